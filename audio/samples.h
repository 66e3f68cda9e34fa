// Plain functions on blocks of samples: conversions between file PCM, work samples
// and device PCM, block peaks and mean squares for the meters, and a Q24 gain.
#pragma once
#include <cstdint>

// out = in × 16.
void pcm16ToWork(const int16_t* in, int32_t* out, int n);
// out = (u − 128) × 4096: unsigned 8-bit PCM centred on 128.
void pcm8ToWork(const uint8_t* in, int32_t* out, int n);
// out = (in + 8) >> 4, kept to 16 bits without clipping: the caller keeps the
// input within ±0x7FFF0 (through the peak limiter when a source can exceed it).
void workToPcm16(const int32_t* in, int16_t* out, int n);

// The largest magnitude among channels × frames samples (0 for none).
int32_t peakOf(int channels, const int32_t* buffer, int frames);
// The mean square of one channel's samples (stride `channels`, from index
// `channel`), in units that make it about a quarter of the mean squared 16-bit
// sample, summed so that it fits 32 bits; 0 when frames ≤ 0.
uint32_t meanSquareOf(const int32_t* buffer, int channel, int frames, int channels);
// The level of a mean square in whole decibels relative to 8,388,626, rounded half
// away from zero and held to −127 … +127; −127 for digital silence.
int8_t levelDb(uint32_t meanSquare);

// x × g / 2^24 without a 64-bit product; 0x1000000 is unity. It rounds down and
// lands between 0 and 2 below the exact quotient.
int32_t mulQ24(int32_t x, int32_t g);
