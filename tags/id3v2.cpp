#include "tags/id3v2.h"
bool ReadMp3Tags(TagRecord&, const char*) { return false; }
bool WriteMp3Tags(const TagRecord&, const char*) { return false; }
