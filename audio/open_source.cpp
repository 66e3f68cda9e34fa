#include "audio/open_source.h"

#include "audio/mp3/mp3_source.h"
#include "audio/wave_source.h"
#include "common/file_kind.h"

AudioSource* openAudioSource(const char* path) {
  switch (FileKindOf(path)) {
    case FileKind::Mp3: return openMp3Source(path);
    case FileKind::Wav: return openWaveSource(path);
    case FileKind::Other: break;
  }
  return nullptr;
}
