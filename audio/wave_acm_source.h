// Compressed WAV formats (ADPCM, mu-law, A-law, PCM wider than 16 bits, ...)
// converted to 16-bit PCM by the system's audio compression manager.
#pragma once
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <memory>
#include <vector>

#include "audio/audio_source.h"
#include "audio/wave_source.h"
#include "common/file.h"

class WaveAcmSource : public AudioSource {
 public:
  // `dataSize` is what the file really holds of the "data" body.
  WaveAcmSource(std::unique_ptr<File> file, const WaveFormat& format, uint32_t dataStart,
                uint32_t dataSize);
  ~WaveAcmSource() override;

  void read(int32_t* buffer, int frames) override;
  int32_t position() override { return position_; }
  int32_t length() override;
  void seek(int32_t frame) override;

 private:
  bool openStream(const WaveFormat& format);
  void readPiece(int32_t* buffer, int frames);
  // Converts more source bytes; false once the data is used up and nothing came.
  bool refill(uint32_t bytesStillWanted);
  int64_t frameOfByte(uint64_t byteOffset) const;
  void resetCodec();

  std::unique_ptr<File> file_;
  uint32_t dataStart_;
  uint32_t dataSize_;
  uint32_t consumed_ = 0;
  HACMSTREAM stream_ = nullptr;
  ACMSTREAMHEADER header_ = {};
  std::vector<BYTE> source_;
  std::vector<BYTE> dest_;
  uint32_t sourceCapacity_ = 0;
  uint32_t destCapacity_ = 0;
  uint32_t destRead_ = 0;  // bytes of the destination buffer already delivered
  int32_t sourceRate_;
  uint32_t sourceByteRate_;
  uint16_t sourceBlockAlign_;
  int32_t position_ = 0;
  int32_t endFrame_ = -1;
};
