// Reads the tags of arbitrary bytes as an MP3 and as a WAV file, then changes one
// field, writes, and reads again: the new value must come back. An MP3 file whose
// tag can't be written must be left exactly as it was.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "tags/tag_record.h"

static void ReadChangeWriteRead(const uint8_t* data, size_t size, const char* extension) {
  std::string path = FuzzPath(extension);
  if (!WriteFuzzFile(path, data, size)) return;
  TagRecord record;
  if (ReadTags(record, path.c_str())) {
    record.SetFromText("TITLE", "fuzzed title", true);
    if (WriteTags(record, path.c_str())) {
      TagRecord again;
      if (!ReadTags(again, path.c_str()) || again.Get("TITLE") != "fuzzed title") {
        fprintf(stderr, "written title did not come back (%s)\n", extension);
        abort();
      }
    } else if (strcmp(extension, ".mp3") == 0) {
      std::vector<uint8_t> now(size + 1);
      File f;
      uint32_t moved = 0;
      if (!f.Open(path.c_str(), FileMode::Read) || !f.Read(now.data(), uint32_t(now.size()), &moved) ||
          moved != size || (size && memcmp(now.data(), data, size) != 0)) {
        fprintf(stderr, "a failed write changed the file\n");
        abort();
      }
    }
  }
  remove(path.c_str());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  ReadChangeWriteRead(data, size, ".mp3");
  ReadChangeWriteRead(data, size, ".wav");
  return 0;
}
