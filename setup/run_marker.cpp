#include "setup/run_marker.h"

#include "common/bytes.h"
#include "common/file.h"

uint32_t ReadRunMarker(const char* path) {
  File file;
  if (!file.Open(path, FileMode::Read)) return 0;
  uint32_t size = file.Size();
  uint8_t bytes[4];
  if (size < 4 || !file.SeekFromStart(size - 4) || !file.ReadFull(bytes, 4)) return 0;
  return ReadLE32(bytes);
}
