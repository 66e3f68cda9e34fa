// The 128-byte ID3v1.1 block at the end of an MP3 file.
#pragma once
#include "common/file.h"
#include "tags/tag_record.h"

// Fills fields the record does not have yet from the file's block, if any.
void ReadId3v1(TagRecord& record, const char* path);
// Updates the block in place or appends a new one; `file` is open in update mode.
bool WriteId3v1(const TagRecord& record, File& file);
