// RIFF "LIST" "INFO" and "DISP" chunks in WAV files.
//
// The writer never moves audio: it renames the old tag chunks to four spaces so
// that every reader skips them, then puts the new chunks into a pair of blank
// chunks of exactly the right sizes, or at the end of the file.
#include "tags/riff_info.h"

#include "tags/narrow_text.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/file.h"
#include "common/open_retry.h"
#include "common/riff.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct InfoField {
  char id[5];
  const char* key;
  bool written;  // "IPRD" is read as the title, but the title is written to "DISP"
};

constexpr InfoField kInfoFields[] = {
    {"IART", "ARTIST", true},      {"INAM", "ALBUM", true},   {"ICOP", "DATE", true},
    {"ITRK", "TRACKNUMBER", true}, {"ICMT", "COMMENT", true}, {"IGNR", "GENRE", true},
    {"IPRD", "TITLE", false},
};

constexpr char kBlankId[] = "    ";
constexpr uint32_t kDispTypeText = 1;

bool SameIdNoCase(const uint8_t* id, const char* name) {
  for (int i = 0; i < 4; ++i) {
    uint8_t a = id[i], b = static_cast<uint8_t>(name[i]);
    if (a >= 'a' && a <= 'z') a = uint8_t(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = uint8_t(b - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}

const InfoField* FieldOfId(const uint8_t* id) {
  for (const InfoField& f : kInfoFields)
    if (RiffIdIs(id, f.id)) return &f;
  return nullptr;
}

// Reads up to `size` bytes at `position`, never past the end of the file, so a
// size field of a broken file can't make us allocate more than the file holds.
bool ReadClipped(File& file, uint32_t position, uint64_t size, uint32_t fileSize, Bytes& out) {
  out.clear();
  if (position >= fileSize) return true;
  uint64_t available = fileSize - position;
  out.resize(static_cast<size_t>(size < available ? size : available));
  if (out.empty()) return true;
  uint32_t moved = 0;
  if (!file.SeekFromStart(position) ||
      !file.Read(out.data(), static_cast<uint32_t>(out.size()), &moved))
    return false;
  out.resize(moved);
  return true;
}

bool IsBlank(const RiffChunk& chunk) { return RiffIdIs(chunk.id, kBlankId); }

bool IsInfoList(File& file, const RiffChunk& chunk, uint32_t fileSize) {
  if (!RiffIdIs(chunk.id, "LIST") || chunk.size < 4) return false;
  if (uint64_t(chunk.position) + kRiffChunkHeaderSize + 4 > fileSize) return false;
  uint8_t type[4];
  return file.SeekFromStart(chunk.position + kRiffChunkHeaderSize) && file.ReadFull(type, 4) &&
         SameIdNoCase(type, "INFO");
}

// The sub-chunks of an "INFO" list: the list's data after its type, up to the
// list's end or the file's end, whichever comes first.
bool ReadInfoBody(File& file, const RiffChunk& chunk, uint32_t fileSize, Bytes& body) {
  return ReadClipped(file, chunk.position + kRiffChunkHeaderSize + 4, chunk.size - 4, fileSize, body);
}

struct SubChunk {
  const uint8_t* id;
  uint32_t size;     // as declared
  size_t offset;     // of its id in the body
  size_t available;  // data bytes present in the body, at most `size`
};

void ForEachSubChunk(const Bytes& body, const std::function<void(const SubChunk&)>& visit) {
  uint64_t offset = 0;
  while (offset + kRiffChunkHeaderSize <= body.size()) {
    SubChunk sub;
    sub.id = body.data() + offset;
    sub.size = ReadLE32(body.data() + offset + 4);
    sub.offset = static_cast<size_t>(offset);
    uint64_t room = body.size() - offset - kRiffChunkHeaderSize;
    sub.available = static_cast<size_t>(sub.size < room ? sub.size : room);
    visit(sub);
    offset += kRiffChunkHeaderSize + RiffPadded(sub.size);
  }
}

// ---------------------------------------------------------------------------
// Reading.

void ReadInfoList(File& file, const RiffChunk& chunk, uint32_t fileSize, TagRecord& record) {
  Bytes body;
  if (!ReadInfoBody(file, chunk, fileSize, body)) return;
  ForEachSubChunk(body, [&](const SubChunk& sub) {
    const InfoField* field = FieldOfId(sub.id);
    if (!field) return;
    const uint8_t* data = body.data() + sub.offset + kRiffChunkHeaderSize;
    record.SetFromText(field->key, WidenText(TextUpToZero(data, sub.available)), false);
  });
}

void ReadDisp(File& file, const RiffChunk& chunk, uint32_t fileSize, TagRecord& record) {
  if (chunk.size < 4) return;
  Bytes data;
  // Only the first 259 characters of a value are ever kept.
  uint64_t wanted = 4 + std::min<uint64_t>(chunk.size - 4, kMaxValue);
  if (!ReadClipped(file, chunk.position + kRiffChunkHeaderSize, wanted, fileSize, data) ||
      data.size() < 4)
    return;
  if (ReadLE32(data.data()) == 0) return;  // not text
  record.SetFromText("TITLE", WidenText(TextUpToZero(data.data() + 4, data.size() - 4)), false);
}

// ---------------------------------------------------------------------------
// Writing.

// What the writer learns from one walk before it changes anything.
struct Survey {
  std::vector<uint32_t> tagChunks;  // old "LIST" "INFO" and "DISP" chunks to blank
  Bytes carried;                    // sub-chunks of the old lists the writer keeps
  std::vector<std::string> carriedIds;
  uint64_t end = 0;                 // where appended chunks begin
};

// Every id the writer writes itself is left behind, and so is "IPRD": the title
// now lives in "DISP", and an old "IPRD" read first would hide it.
bool IsCarried(const SubChunk& sub) { return FieldOfId(sub.id) == nullptr; }

void CollectCarried(const Bytes& body, Survey& survey) {
  ForEachSubChunk(body, [&](const SubChunk& sub) {
    if (!IsCarried(sub) || sub.available < sub.size) return;  // a cut-off sub-chunk is lost
    std::string id(reinterpret_cast<const char*>(sub.id), 4);
    for (const std::string& seen : survey.carriedIds)
      if (seen == id) return;  // the first one wins, as when reading
    survey.carriedIds.push_back(id);
    size_t whole = kRiffChunkHeaderSize + sub.size;
    const uint8_t* from = body.data() + sub.offset;
    survey.carried.insert(survey.carried.end(), from, from + whole);
    if (sub.size & 1) survey.carried.push_back(sub.offset + whole < body.size() ? from[whole] : 0);
  });
}

// One walk over the form: which chunks to blank, what to carry, where the end is.
// False for a file whose chunks can't all be followed; such a file is not written.
bool SurveyForm(File& file, uint32_t firstChunk, uint32_t fileSize, Survey& survey) {
  bool ok = true;
  RiffWalk walk = WalkRiffChunks(file, firstChunk, fileSize, [&](const RiffChunk& chunk) {
    if (RiffIdIs(chunk.id, "DISP")) {
      survey.tagChunks.push_back(chunk.position);
    } else if (IsInfoList(file, chunk, fileSize)) {
      survey.tagChunks.push_back(chunk.position);
      Bytes body;
      if (!ReadInfoBody(file, chunk, fileSize, body)) ok = false;
      CollectCarried(body, survey);
    }
    return ok;
  });
  survey.end = walk.next;
  return ok && walk.how == RiffWalkEnd::Tail;
}

void AppendLE32(Bytes& out, uint32_t value) {
  uint8_t b[4];
  WriteLE32(b, value);
  out.insert(out.end(), b, b + 4);
}

void AppendId(Bytes& out, const char* id) { out.insert(out.end(), id, id + 4); }

// A zero-terminated text, padded to an even length.
void AppendText(Bytes& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
  if ((text.size() + 1) & 1) out.push_back(0);
}

Bytes RenderInfoList(const TagRecord& record, const Bytes& carried) {
  Bytes list;
  AppendId(list, "LIST");
  AppendLE32(list, 0);  // filled in below
  AppendId(list, "INFO");
  for (const TagEntry& entry : record.Entries()) {
    for (const InfoField& field : kInfoFields) {
      if (!field.written || entry.key != field.key) continue;
      AppendId(list, field.id);
      const std::string text = NarrowText(entry.value);
      AppendLE32(list, static_cast<uint32_t>(text.size() + 1));
      AppendText(list, text);
    }
  }
  list.insert(list.end(), carried.begin(), carried.end());
  WriteLE32(list.data() + 4, static_cast<uint32_t>(list.size() - kRiffChunkHeaderSize));
  return list;
}

Bytes RenderDisp(const TagRecord& record) {
  Bytes disp;
  AppendId(disp, "DISP");
  AppendLE32(disp, 0);
  AppendLE32(disp, kDispTypeText);
  AppendText(disp, NarrowText(record.Get("TITLE")));
  WriteLE32(disp.data() + 4, static_cast<uint32_t>(disp.size() - kRiffChunkHeaderSize));
  return disp;
}

bool BlankChunks(File& file, const std::vector<uint32_t>& positions) {
  for (uint32_t position : positions)
    if (!file.SeekFromStart(position) || !file.WriteFull(kBlankId, 4)) return false;
  return true;
}

// The first blank chunk of size `listSize` that is directly followed by a blank
// chunk of size `dispSize`, if any.
bool FindBlankPair(File& file, uint32_t firstChunk, uint32_t fileSize, uint32_t listSize,
                   uint32_t dispSize, uint32_t* position) {
  bool found = false;
  bool previousFits = false;
  uint32_t previous = 0;
  WalkRiffChunks(file, firstChunk, fileSize, [&](const RiffChunk& chunk) {
    if (previousFits && IsBlank(chunk) && chunk.size == dispSize) {
      *position = previous;
      found = true;
      return false;
    }
    previousFits = IsBlank(chunk) && chunk.size == listSize;
    previous = chunk.position;
    return true;
  });
  return found;
}

bool WriteAt(File& file, uint32_t position, const Bytes& bytes) {
  return file.SeekFromStart(position) && file.WriteFull(bytes.data(), uint32_t(bytes.size()));
}

enum class PairWrite { Written, NotStarted, Failed };

// A pair that can't take even the first header leaves the chunks to the end of
// the file; a write that fails later has already damaged the pair.
PairWrite WriteInBlankPair(File& file, uint32_t position, const Bytes& chunks) {
  if (!file.SeekFromStart(position) || !file.WriteFull(chunks.data(), kRiffChunkHeaderSize))
    return PairWrite::NotStarted;
  uint32_t rest = static_cast<uint32_t>(chunks.size() - kRiffChunkHeaderSize);
  return file.WriteFull(chunks.data() + kRiffChunkHeaderSize, rest) ? PairWrite::Written
                                                                : PairWrite::Failed;
}

// At the end of the last chunk. A missing pad byte of that chunk is written first
// and a few stray bytes after it are written over: either way the new chunks
// start where a walk will look for them.
bool Append(File& file, uint64_t end, uint32_t fileSize, const Bytes& chunks) {
  if (end > fileSize) {
    const uint8_t pad = 0;
    if (!file.SeekFromStart(fileSize) || !file.WriteFull(&pad, 1)) return false;
  }
  return WriteAt(file, static_cast<uint32_t>(end), chunks);
}

bool WriteRiffSize(File& file, uint32_t formPosition) {
  uint32_t size = file.Size();
  if (size < kRiffFormHeaderSize) return false;
  uint8_t field[4];
  WriteLE32(field, size - 8);
  return file.SeekFromStart(formPosition + 4) && file.WriteFull(field, 4);
}

}  // namespace

bool ReadWavTags(TagRecord& record, const char* path) {
  File file;
  if (!OpenWithRetry(file, path, FileMode::Read, kTagFileOpenBudgetMs)) return false;
  uint32_t fileSize = file.Size();
  if (fileSize == 0) return false;
  uint32_t form = 0;
  switch (FindWaveForm(file, fileSize, &form)) {
    case FormSearch::EndOfFile: return false;
    case FormSearch::GaveUp: return true;
    case FormSearch::Found: break;
  }
  WalkRiffChunks(file, form + kRiffFormHeaderSize, fileSize, [&](const RiffChunk& chunk) {
    if (RiffIdIs(chunk.id, "DISP"))
      ReadDisp(file, chunk, fileSize, record);
    else if (IsInfoList(file, chunk, fileSize))
      ReadInfoList(file, chunk, fileSize, record);
    return true;
  });
  return true;
}

bool WriteWavTags(const TagRecord& record, const char* path) {
  File file;
  if (!OpenWithRetry(file, path, FileMode::Update, kTagFileOpenBudgetMs)) return false;
  uint32_t fileSize = file.Size();
  uint32_t form = 0;
  if (fileSize == 0 || FindWaveForm(file, fileSize, &form) != FormSearch::Found) return false;
  uint32_t firstChunk = form + kRiffFormHeaderSize;

  Survey survey;
  if (!SurveyForm(file, firstChunk, fileSize, survey)) return false;
  if (!BlankChunks(file, survey.tagChunks)) return false;

  Bytes chunks = RenderInfoList(record, survey.carried);
  Bytes disp = RenderDisp(record);
  uint32_t listSize = ReadLE32(chunks.data() + 4);
  uint32_t dispSize = ReadLE32(disp.data() + 4);
  chunks.insert(chunks.end(), disp.begin(), disp.end());

  uint32_t place = 0;
  PairWrite pair = PairWrite::NotStarted;
  if (FindBlankPair(file, firstChunk, fileSize, listSize, dispSize, &place))
    pair = WriteInBlankPair(file, place, chunks);
  if (pair == PairWrite::Failed) return false;
  if (pair == PairWrite::NotStarted && !Append(file, survey.end, fileSize, chunks)) return false;
  return WriteRiffSize(file, form);
}
