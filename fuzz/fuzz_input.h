// Fuzz inputs become real files, since the tag code works on files.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/file.h"

inline std::string FuzzPath(const char* extension) {
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/lirva-fuzz-" + std::to_string(getpid()) + extension;
}

inline bool WriteFuzzFile(const std::string& path, const uint8_t* data, size_t size) {
  File f;
  return f.Open(path.c_str(), FileMode::CreateAlways) &&
         f.WriteFull(data, static_cast<uint32_t>(size));
}
