// What the stages of ID3v2 reading and writing share: the layout's constants,
// frame ids and field keys, and the byte reader the header search works through.
// Used only by the tags/id3v2_*.cpp files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/file.h"
#include "tags/id3v2.h"
#include "tags/tag_record.h"

namespace id3v2 {

constexpr uint32_t kHeaderSize = 10;
constexpr uint32_t kFooterSize = 10;
constexpr uint32_t kId3v1BlockSize = 128;
// Large enough that an untagged file costs a few dozen reads, small enough to stay
// cheap for short files.
constexpr uint32_t kSearchBufferSize = 64 * 1024;
// The largest body a synchsafe size field can describe.
constexpr uint32_t kMaxTagBody = 0x0FFFFFFF;

// Tag header flags.
constexpr uint8_t kTagUnsynchronised = 0x80;
constexpr uint8_t kTagExtendedHeader = 0x40;  // versions 3 and 4
constexpr uint8_t kTagCompressedV2 = 0x40;    // version 2: the same bit, another meaning
constexpr uint8_t kTagFooter = 0x10;

// Frame format flags (the second flag byte) of version 3.
constexpr uint8_t kV3Compressed = 0x80;
constexpr uint8_t kV3Encrypted = 0x40;
constexpr uint8_t kV3Grouped = 0x20;
// Frame status and format flags of version 4.
constexpr uint8_t kV4TagAlterDiscard = 0x40;
constexpr uint8_t kV4FileAlterDiscard = 0x20;
constexpr uint8_t kV4ReadOnly = 0x10;
constexpr uint8_t kV4Grouped = 0x40;
constexpr uint8_t kV4Compressed = 0x08;
constexpr uint8_t kV4Encrypted = 0x04;
constexpr uint8_t kV4Unsynchronised = 0x02;
constexpr uint8_t kV4DataLength = 0x01;
// Version 3 bits the version 4 status and grouping bits become.
constexpr uint8_t kV3TagAlterDiscard = 0x80;
constexpr uint8_t kV3FileAlterDiscard = 0x40;
constexpr uint8_t kV3ReadOnly = 0x20;


// ---------------------------------------------------------------------------
// Frame ids and field keys (id3v2_format.cpp)

std::string KeyOfFrameId(const std::string& id);
std::string FrameIdOfKey(const std::string& key);
// The version 2.3 id of a version 2.2 frame, or empty when it has none.
std::string Version3IdOf(const std::string& v2Id);
bool IsFrameId(const uint8_t* p, uint32_t length);
bool IsFrameId(const std::string& id);
// A version 2.3 or 2.4 frame id as some writers put it: four letters in either case
// and digits, or a version 2.2 id followed by a zero byte.
bool IsLooseFrameId(const uint8_t* p);
// The frames whose values the record keeps: text frames but the user-defined one,
// the comment and the user-defined link.
bool IsRecordFrame(const std::string& id);
inline uint32_t FrameHeaderSize(uint8_t major) { return major == 2 ? 6 : 10; }
inline uint32_t FrameIdSize(uint8_t major) { return major == 2 ? 3 : 4; }
// Version 4 frame sizes are synchsafe, but a widely used player wrote them as plain
// integers; `plainSizes` reads them so.
uint32_t DeclaredFrameSize(const uint8_t* header, uint8_t major, bool plainSizes = false);
// A version 2.3 frame header.
void AppendFrameHeader(std::vector<uint8_t>& out, const std::string& id, uint32_t size,
                       uint8_t status, uint8_t format);

// ---------------------------------------------------------------------------
// Header search (id3v2_search.cpp)

// Reads up to `size` bytes at `offset` and returns how many arrived: from a file as
// it is, from a file as a rewrite is about to leave it, or from bytes in memory.
using ByteReader = std::function<uint32_t(uint32_t offset, uint8_t* data, uint32_t size)>;
ByteReader FileReader(File& file);
ByteReader MemoryReader(const std::vector<uint8_t>& bytes);
bool ReadFullAt(const ByteReader& read, uint32_t offset, uint8_t* data, uint32_t size);
// Where tags must end: before a trailing ID3v1 block, which can't belong to one.
uint32_t TagAreaEnd(const ByteReader& read, uint32_t fileSize);
// The first real tag that starts before `startsBefore`; without one, a tag at the
// start that can't be parsed, if `takeStartTag`.
bool SearchTag(const ByteReader& read, uint32_t areaEnd, uint32_t startsBefore,
               Id3v2Header* header, bool takeStartTag = true);

// ---------------------------------------------------------------------------
// Frames (id3v2_frames.cpp)

// Reads the frames of the tag `header` describes into the record: the values of its
// text, comment and link frames, and every frame a rewrite can carry.
void ReadTagFrames(const ByteReader& read, const Id3v2Header& header, TagRecord& record);

// ---------------------------------------------------------------------------
// Rendering (id3v2_render.cpp)

// Rendered frames for what changed or what the old tag lacked, then the untouched
// frames of the old tag; empty when there is nothing to write. False when the
// frames exceed what a tag can hold.
bool RenderTag(const TagRecord& record, std::vector<uint8_t>* tag);

}  // namespace id3v2
