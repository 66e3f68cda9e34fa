// The last four bytes of any copy of the program say which role it plays.
#pragma once
#include <cstdint>

constexpr uint32_t InstallerMarker = 0x0F0FF0F0;
constexpr uint32_t UninstallerMarker = 0xF0F00F0F;

// The last 32-bit value (little-endian) of the file; 0 when it can't be read.
uint32_t ReadRunMarker(const char* path);
