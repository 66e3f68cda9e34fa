// Frame ids and field keys of ID3v2 tags.
#include <cstring>

#include "common/bytes.h"
#include "tags/id3v2_format.h"

namespace id3v2 {
namespace {

struct FrameKey {
  const char* frameId;
  const char* key;
};
constexpr FrameKey kFrameKeys[] = {
    {"TIT2", "TITLE"},   {"TPE1", "ARTIST"},      {"TALB", "ALBUM"}, {"TYER", "DATE"},
    {"COMM", "COMMENT"}, {"TRCK", "TRACKNUMBER"}, {"TCON", "GENRE"},
};

// Version 2.2 frames with their version 2.3 ids: the frames whose layout version
// 2.3 kept, and the ids music players add to version 2.2. "PIC" becomes "APIC"
// with its image format turned into a MIME type (PictureAsVersion3). Not here, so
// dropped by a rewrite: "CRM" (encrypted meta frames, gone from version 2.3),
// "LNK" (its frame ids have three characters) and ids of no standard.
struct Version2Id {
  const char* v2;
  const char* v3;
};
constexpr Version2Id kVersion2Ids[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"},
    {"EQU", "EQUA"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"MCI", "MCDI"}, {"MLL", "MLLT"},
    {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"},
    {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"},
    {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"}, {"TFT", "TFLT"},
    {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"},
    {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"},
    {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"},
    {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TSI", "TSIZ"},
    {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"},
    {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"}, {"WAF", "WOAF"},
    {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"},
    {"WXX", "WXXX"},
    // Added by music players.
    {"TCP", "TCMP"}, {"TS2", "TSO2"}, {"TSA", "TSOA"}, {"TSC", "TSOC"}, {"TSP", "TSOP"},
    {"TST", "TSOT"}, {"GP1", "GRP1"}, {"MVN", "MVNM"}, {"MVI", "MVIN"},
};

}  // namespace

std::string KeyOfFrameId(const std::string& id) {
  for (const FrameKey& k : kFrameKeys)
    if (id == k.frameId) return k.key;
  return id;
}

std::string FrameIdOfKey(const std::string& key) {
  for (const FrameKey& k : kFrameKeys)
    if (key == k.key) return k.frameId;
  return key;
}

std::string Version3IdOf(const std::string& v2Id) {
  for (const Version2Id& v : kVersion2Ids)
    if (v2Id == v.v2) return v.v3;
  return std::string();
}

bool IsIdChar(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool IsFrameId(const uint8_t* p, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i)
    if (!IsIdChar(p[i])) return false;
  return true;
}

bool IsLooseFrameId(const uint8_t* p) {
  if (IsFrameId(p, 3) && p[3] == 0) return true;  // a version 2.2 id, padded
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = p[i];
    if (!IsIdChar(c) && !(c >= 'a' && c <= 'z')) return false;
  }
  return true;
}

bool IsFrameId(const std::string& id) {
  return id.size() == 4 && IsFrameId(reinterpret_cast<const uint8_t*>(id.data()), 4);
}

bool IsRecordFrame(const std::string& id) {
  return (id[0] == 'T' && id != "TXXX") || id == "COMM" || id == "WXXX";
}


uint32_t DeclaredFrameSize(const uint8_t* header, uint8_t major, bool plainSizes) {
  if (major == 2) return (uint32_t(header[3]) << 16) | (uint32_t(header[4]) << 8) | header[5];
  if (major == 4 && !plainSizes) return ReadSynchsafe32(header + 4);
  return ReadBE32(header + 4);
}

void AppendFrameHeader(std::vector<uint8_t>& out, const std::string& id, uint32_t size,
                       uint8_t status, uint8_t format) {
  out.insert(out.end(), id.begin(), id.end());
  uint8_t sizeBytes[4];
  WriteBE32(sizeBytes, size);
  out.insert(out.end(), sizeBytes, sizeBytes + 4);
  out.push_back(status);
  out.push_back(format);
}

}  // namespace id3v2
