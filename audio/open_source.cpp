#include "audio/open_source.h"

#include <string>

#include "audio/wave_source.h"
#include "common/path.h"

namespace {

// The MP3 decoder plugs in here. Until it exists an MP3 file is reported as a
// format this program can't play.
AudioSource* openMp3Source(const char* path) { return newSilentSource(SourceStatus::BadFormat); }

}  // namespace

AudioSource* openAudioSource(const char* path) {
  const std::string extension = ExtensionOf(path);
  if (EqualsNoCase(extension, ".mp3")) return openMp3Source(path);
  if (EqualsNoCase(extension, ".wav")) return openWaveSource(path);
  return nullptr;
}
