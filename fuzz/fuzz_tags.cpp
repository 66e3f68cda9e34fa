// Reads the tags of arbitrary bytes as an MP3 and as a WAV file, then changes one
// field, writes, and reads again: the new value must come back.
#include <cstdio>
#include <cstdlib>

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
