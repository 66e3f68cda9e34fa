// MPEG audio frame headers: the four header bytes, what they say about the frame,
// and the sizes that follow from them. Only Layer III is a frame here.
#pragma once
#include <cstdint>

struct FrameHeader {
  int32_t version = 0;          // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5 (1 and 2 are "LSF")
  int32_t noCrc = 1;            // 1 when no CRC follows the header
  int32_t bitrate = 0;          // bits per second
  int32_t sampleRateIndex = 0;  // 0, 1 or 2
  int32_t padding = 0;
  int32_t mode = 0;             // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
  int32_t modeExtension = 0;    // bit 0 intensity, bit 1 middle/side
};

constexpr int kModeJointStereo = 1;
constexpr int kModeSingleChannel = 3;

// Fills `header` from four bytes when they are a Layer III header with a usable
// bitrate (not free format) and sampling rate.
bool parseFrameHeader(const uint8_t bytes[4], FrameHeader* header);

int32_t sampleRateOf(const FrameHeader& h);
inline bool isLsf(const FrameHeader& h) { return h.version != 0; }
inline int channelsOf(const FrameHeader& h) { return h.mode == kModeSingleChannel ? 1 : 2; }
inline int samplesPerFrame(const FrameHeader& h) { return isLsf(h) ? 576 : 1152; }
inline int granulesPerFrame(const FrameHeader& h) { return isLsf(h) ? 1 : 2; }
// 144 (MPEG-1) or 72 (LSF): bytes per frame per bit-per-sample-period.
inline int frameLengthFactor(const FrameHeader& h) { return isLsf(h) ? 72 : 144; }
int sideInfoSize(const FrameHeader& h);
// Whole frame in bytes, header included.
int frameLength(const FrameHeader& h);
// Bytes of main data the frame carries behind header, CRC and side information
// (0 for a frame too short to hold any).
int mainDataSize(const FrameHeader& h);
// Row of the per-rate tables: version × 3 + sampleRateIndex (44.1, 48, 32, 22.05,
// 24, 16, 11.025, 12, 8 kHz).
inline int rateRow(const FrameHeader& h) { return h.version * 3 + h.sampleRateIndex; }
