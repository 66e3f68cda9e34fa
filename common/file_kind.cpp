#include "common/file_kind.h"

#include "common/path.h"

FileKind FileKindOf(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  if (EqualsNoCase(extension, ".mp3")) return FileKind::Mp3;
  if (EqualsNoCase(extension, ".wav")) return FileKind::Wav;
  return FileKind::Other;
}
