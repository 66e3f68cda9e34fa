#include "tags/riff_info.h"
bool ReadWavTags(TagRecord&, const char*) { return false; }
bool WriteWavTags(const TagRecord&, const char*) { return false; }
