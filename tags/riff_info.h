// RIFF "LIST" "INFO" and "DISP" chunks in WAV files.
#pragma once
#include "tags/tag_record.h"

// The WAV branches of ReadTags and WriteTags.
bool ReadWavTags(TagRecord& record, const char* path);
bool WriteWavTags(const TagRecord& record, const char* path);
