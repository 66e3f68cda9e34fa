#include "common/file.h"

bool File::ReadFull(void* data, uint32_t size) {
  uint32_t moved = 0;
  return Read(data, size, &moved) && moved == size;
}

bool File::WriteFull(const void* data, uint32_t size) {
  uint32_t moved = 0;
  return Write(data, size, &moved) && moved == size;
}

bool ResizeFile(File& file, uint32_t size) {
  return file.SeekFromStart(size) && file.Truncate() && file.Size() == size;
}
