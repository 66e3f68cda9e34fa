#include "audio/open_source.h"

#include <string>

#include "audio/wave_source.h"
#include "common/file_kind.h"

namespace {

// An MP3 file gets a source that reports a format this build does not play.
AudioSource* openMp3Source(const char* path) { return newSilentSource(SourceStatus::BadFormat); }

}  // namespace

AudioSource* openAudioSource(const char* path) {
  switch (FileKindOf(path)) {
    case FileKind::Mp3: return openMp3Source(path);
    case FileKind::Wav: return openWaveSource(path);
    case FileKind::Other: break;
  }
  return nullptr;
}
