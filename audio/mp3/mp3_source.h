// The MP3 file as an AudioSource: finds and checks frame headers, keeps the main-
// data reservoir, runs the Layer III stages on each frame, hands decoded frames out
// in any read size, estimates the length and seeks.
#pragma once
#include <cstdint>
#include <memory>

#include "audio/audio_source.h"
#include "audio/mp3/mp3_frame.h"
#include "audio/mp3/mp3_layer3.h"
#include "audio/mp3/mp3_stream.h"

// The source for `path` with the caller's reference taken; a SilentSource with
// OpenFailed or BadFormat when the file can't be opened or holds no Layer III
// stream.
AudioSource* openMp3Source(const char* path);

class Mp3Source : public AudioSource {
 public:
  struct Probe {
    FrameHeader refHeader;     // last probed header, bitrate = the average
    int32_t vbrFrames = 0;     // from a Xing or VBRI frame, 0 when none
    uint32_t dataStart = 0;    // where the first audio frame starts (behind an information frame)
  };
  Mp3Source(std::unique_ptr<Mp3Stream> stream, const Probe& probe);

  void read(int32_t* buffer, int frames) override;
  int32_t position() override { return position_; }
  int32_t length() override { return length_; }
  void seek(int32_t frame) override;

  // Decodes the next acceptable frame into frameSamples × channels work samples
  // (silence for a frame that is cut short or whose main data begins before the
  // bytes received); false at the end of the data.
  bool decodeFrame(int32_t* destination);
  // MPEG frames decoded since opening (warm-up frames of seeks included).
  int32_t framesDecoded() const { return framesDecoded_; }
  int32_t vbrFrames() const { return vbrFrames_; }
  // Granule-channels, among those whose code tables are all present, where the
  // Huffman data did not end exactly at part2_3_length: 0 for a sound stream with
  // correct tables, so it checks the table data against real streams.
  int32_t huffmanMismatches() const { return huffmanMismatches_; }

 private:
  bool findAcceptedHeader(FrameHeader* h, uint32_t* at);
  bool cutShort(const FrameHeader& h, uint32_t at, uint32_t* resume);
  void silentFrame(int32_t* destination);
  void decodeGranules(const FrameHeader& h, const SideInfo& si, uint32_t mainStart, int32_t* destination);
  void afterDecode();

  std::unique_ptr<Mp3Stream> stream_;
  int32_t position_ = 0;
  int32_t length_ = 0;
  int32_t vbrFrames_ = 0;
  uint32_t dataStart_ = 0;
  FrameHeader refHeader_;
  double avgFrameBytes_ = 1;
  int32_t frameSamples_ = 1152;
  int32_t frameReadIndex_ = 1152;
  int32_t streamFrame_ = 0;  // sample frame at which the next decoded MPEG frame starts
  int32_t framesDecoded_ = 0;
  int32_t huffmanMismatches_ = 0;
  bool syncCheck_ = false;   // the next header must be confirmed by the one after it

  uint8_t reservoir_[2048] = {};
  uint32_t reservoirBytes_ = 0;

  int32_t frameBuffer_[1152 * 2] = {};
  float overlap_[2][18][32] = {};
  SynthesisState synthesis_;
  ReorderMaps maps_;
  Scalefactors scalefactors_[2];
  float xr_[2][576];
  float subbands_[18][2][32];
};
