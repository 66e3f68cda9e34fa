// The 128-byte ID3v1.1 block at the end of an MP3 file.
#pragma once
#include <cstdint>
#include <string>

#include "common/file.h"
#include "tags/tag_record.h"

// Fills fields the record does not have yet from the file's block, if any.
void ReadId3v1(TagRecord& record, const char* path);
// Updates the block in place or appends a new one; `file` is open in update mode.
// False when the block could not be written whole.
bool WriteId3v1(const TagRecord& record, File& file);

// The decimal number at the start of `text`, as a leading-number conversion reads
// it ("3/12" gives 3); 0 when the text does not start with a digit. Numbers too
// large for 32 bits give UINT32_MAX.
uint32_t LeadingNumber(const std::string& text);
