// ID3v2 tags in MP3 files: found anywhere in the file, read in versions 2.2 to 2.4,
// written as version 2.3. The stages live in tags/id3v2_*.cpp: search, frames
// (parsing and carrying), render, rewrite, with what they share in id3v2_format.h.
#pragma once
#include <cstdint>
#include <vector>

#include "common/file.h"
#include "tags/tag_record.h"

struct Id3v2Header {
  uint8_t majorVersion = 0;
  uint8_t revision = 0;
  uint8_t flags = 0;
  uint32_t tagOffset = 0;         // file position of the header's first byte
  uint32_t totalSize = 0;         // header + body (+ footer), as the header says
  uint32_t firstFrameOffset = 0;  // behind the header and any extended header
  uint32_t framesEnd = 0;         // where the frames end: the body's end, or the
                                  // file's tag area when the tag claims more
  // A tag that can't be replaced safely: it claims more bytes than the file holds
  // (there is no telling where the audio begins) or it can't be parsed at all. A
  // rewrite leaves such a file as it is.
  bool replaceable = true;
};

// Looks for the first tag anywhere in the file whose header is followed by a frame
// header, padding or the tag's end, and which ends within the file. A file that
// begins with "ID3" always has its tag there, whatever it holds: a tag that fails
// those tests is returned as not replaceable, so that no second tag is ever put in
// front of it.
bool FindId3v2Header(File& file, Id3v2Header* header);

// The MP3 branches of ReadTags and WriteTags. Reading fails only when the file
// cannot be opened; it also keeps the frames a rewrite can carry in
// record.id3Frames.
bool ReadMp3Tags(TagRecord& record, const char* path);
bool WriteMp3Tags(const TagRecord& record, const char* path);

// The bytes of the tag a rewrite puts in place of the old one: rendered frames for
// the fields that changed or that had no frame, then the carried frames of the
// others. Empty when there is nothing to write (or too much for a tag).
std::vector<uint8_t> RenderId3v2Tag(const TagRecord& record);
// Reads a tag that begins at the first of `bytes` into the record as ReadMp3Tags
// reads one from a file (values and carried frames, no ID3v1 block). False when the
// bytes begin with no tag.
bool ParseId3v2Tag(const std::vector<uint8_t>& bytes, TagRecord& record);
