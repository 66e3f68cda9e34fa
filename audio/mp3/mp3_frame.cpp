#include "audio/mp3/mp3_frame.h"

namespace {

// Layer III bitrates in kbit/s by index 1 … 14; index 0 (free format) and 15 are
// not playable here.
constexpr int16_t kBitratesMpeg1[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int16_t kBitratesLsf[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int32_t kSampleRates[3] = {44100, 48000, 32000};

}  // namespace

bool parseFrameHeader(const uint8_t b[4], FrameHeader* header) {
  if (b[0] != 0xFF || b[1] < 0xE0) return false;
  int versionBits = (b[1] >> 3) & 3;
  int layerBits = (b[1] >> 1) & 3;
  int bitrateIndex = b[2] >> 4;
  int rateIndex = (b[2] >> 2) & 3;
  if (versionBits == 1 || layerBits != 1) return false;
  if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  FrameHeader h;
  h.version = versionBits == 3 ? 0 : versionBits == 2 ? 1 : 2;
  h.noCrc = b[1] & 1;
  h.bitrate = (h.version == 0 ? kBitratesMpeg1 : kBitratesLsf)[bitrateIndex] * 1000;
  h.sampleRateIndex = rateIndex;
  h.padding = (b[2] >> 1) & 1;
  h.mode = b[3] >> 6;
  h.modeExtension = (b[3] >> 4) & 3;
  *header = h;
  return true;
}

int32_t sampleRateOf(const FrameHeader& h) { return kSampleRates[h.sampleRateIndex] >> h.version; }

int sideInfoSize(const FrameHeader& h) {
  bool mono = h.mode == kModeSingleChannel;
  if (isLsf(h)) return mono ? 9 : 17;
  return mono ? 17 : 32;
}

int frameLength(const FrameHeader& h) {
  return int(int64_t(frameLengthFactor(h)) * h.bitrate / sampleRateOf(h)) + h.padding;
}

int mainDataSize(const FrameHeader& h) {
  int n = frameLength(h) - 4 - (h.noCrc ? 0 : 2) - sideInfoSize(h);
  return n > 0 ? n : 0;
}
