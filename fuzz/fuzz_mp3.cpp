// Opens arbitrary bytes as an MP3 file and plays them: reads of varying sizes and
// seeks chosen by the input itself, with a bound on the work per input.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "audio/mp3/mp3_source.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::string path = FuzzPath(".mp3");
  if (!WriteFuzzFile(path, data, size)) return 0;
  {
    SourceRef source = SourceRef::adopt(openMp3Source(path.c_str()));
    const int channels = source->channels();
    // A few frames per read and a bounded total keep each input quick, so that a
    // run tries many inputs: at most 24 reads of up to 1,300 sample frames.
    std::vector<int32_t> buffer(size_t(1300) * size_t(channels));
    // The last bytes steer the reads and seeks.
    size_t steer = size > 16 ? size - 16 : 0;
    for (int step = 0; step < 24; ++step) {
      uint8_t b = size ? data[(steer + size_t(step)) % size] : 0;
      if (b < 32) {
        source->seek(int32_t(b) * 997 - 3000);
      } else {
        int frames = 1 + (b * 19) % 1300;
        source->read(buffer.data(), frames);
        for (int32_t v : buffer)
          if (v > kDecoderPeakLimit || v < -kDecoderPeakLimit) abort();
      }
    }
  }
  remove(path.c_str());
  return 0;
}
