#include "tags/id3v2_text.h"

#include <cstring>

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

// Version 4 frames that hold no text encoding byte: their bytes mean the same in a
// version 3 tag, whatever their first byte is. (Every "W..." frame but "WXXX" too.)
constexpr const char* kFramesWithoutEncoding[] = {
    "UFID", "MCDI", "ETCO", "MLLT", "SYTC", "RVA2", "EQU2", "RVRB", "PCNT", "POPM",
    "RBUF", "AENC", "LINK", "POSS", "ENCR", "GRID", "PRIV", "SEEK", "ASPI", "SIGN",
};

void AppendUnit(std::vector<uint8_t>& out, uint32_t unit) {
  out.push_back(uint8_t(unit));
  out.push_back(uint8_t(unit >> 8));
}

void AppendCodePoint(std::vector<uint8_t>& out, uint32_t cp) {
  if (cp < 0x10000) {
    AppendUnit(out, cp);
    return;
  }
  cp -= 0x10000;
  AppendUnit(out, 0xD800 + (cp >> 10));
  AppendUnit(out, 0xDC00 + (cp & 0x3FF));
}

void AppendUtf8AsUtf16(std::vector<uint8_t>& out, const uint8_t* s, size_t size) {
  std::vector<uint32_t> codePoints;
  DecodeUtf8(s, size, codePoints);
  for (uint32_t cp : codePoints) AppendCodePoint(out, cp);
}

// Where the string starting at `pos` ends: the index of its terminator (one zero
// byte in UTF-8, an aligned pair of zero bytes in UTF-16), or `size`.
size_t TerminatorOf(const uint8_t* d, size_t size, size_t pos, uint8_t encoding) {
  if (encoding == kUtf16BigEndian || encoding == kUtf16WithBom) {
    for (size_t i = pos; i + 1 < size; i += 2)
      if (d[i] == 0 && d[i + 1] == 0) return i;
    return size;
  }
  const void* zero = std::memchr(d + pos, 0, size - pos);
  return zero ? size_t(static_cast<const uint8_t*>(zero) - d) : size;
}

// Converts the string at `pos` to UTF-16 with a byte-order mark (little-endian),
// followed by a two-byte terminator when it had one; moves `pos` behind it.
void ConvertOneString(std::vector<uint8_t>& out, const uint8_t* d, size_t size, size_t* pos,
                      uint8_t encoding) {
  const size_t end = TerminatorOf(d, size, *pos, encoding);
  const bool terminated = end < size;
  if (end == *pos && !terminated) return;
  out.push_back(0xFF);
  out.push_back(0xFE);
  if (encoding == kUtf16BigEndian) {
    for (size_t i = *pos; i + 1 < end; i += 2) {  // an odd last byte is dropped
      out.push_back(d[i + 1]);
      out.push_back(d[i]);
    }
  } else {
    AppendUtf8AsUtf16(out, d + *pos, end - *pos);
  }
  if (terminated) {
    out.push_back(0);
    out.push_back(0);
    *pos = end + (encoding == kUtf16BigEndian ? 2 : 1);
  } else {
    *pos = size;
  }
}

void ConvertAllStrings(std::vector<uint8_t>& out, const uint8_t* d, size_t size, size_t pos,
                       uint8_t encoding) {
  while (pos < size) ConvertOneString(out, d, size, &pos, encoding);
}

// Copies an ISO-8859-1 string with its terminator; false when it has none.
bool CopyLatin1String(std::vector<uint8_t>& out, const uint8_t* d, size_t size, size_t* pos) {
  const void* zero = std::memchr(d + *pos, 0, size - *pos);
  if (!zero) return false;
  const size_t end = size_t(static_cast<const uint8_t*>(zero) - d) + 1;
  out.insert(out.end(), d + *pos, d + end);
  *pos = end;
  return true;
}

}  // namespace

// Decodes UTF-8; every ill-formed sequence (the longest prefix that could have
// begun a valid one) becomes U+FFFD.

std::vector<uint32_t> DecodeString(const uint8_t* d, size_t size, size_t* pos, uint8_t encoding,
                                   bool* terminated) {
  std::vector<uint32_t> out;
  if (terminated) *terminated = false;
  if (*pos >= size) return out;
  const size_t end = TerminatorOf(d, size, *pos, encoding);
  if (terminated) *terminated = end < size;
  const uint8_t* s = d + *pos;
  const size_t n = end - *pos;
  if (encoding == kUtf8) {
    DecodeUtf8(s, n, out);
  } else if (encoding == kUtf16WithBom || encoding == kUtf16BigEndian) {
    // A byte-order mark decides; without one, version 2.4's encoding 2 is
    // big-endian and encoding 1 taken as little-endian, as most writers write it.
    bool bigEndian = encoding == kUtf16BigEndian;
    size_t i = 0;
    if (n >= 2 && ((s[0] == 0xFF && s[1] == 0xFE) || (s[0] == 0xFE && s[1] == 0xFF))) {
      bigEndian = s[0] == 0xFE;
      i = 2;
    }
    auto unitAt = [&](size_t k) { return bigEndian ? uint32_t(s[k] << 8 | s[k + 1]) : uint32_t(s[k + 1] << 8 | s[k]); };
    for (; i + 1 < n; i += 2) {
      const uint32_t unit = unitAt(i);
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < n) {
        const uint32_t low = unitAt(i + 2);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          out.push_back(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
          i += 2;
          continue;
        }
      }
      out.push_back(unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);  // unpaired surrogates
    }
    if (i < n) out.push_back(kReplacement);  // an odd last byte
  } else {
    out.assign(s, s + n);  // ISO-8859-1: each byte its own code point
  }
  const size_t terminator = (encoding == kUtf16WithBom || encoding == kUtf16BigEndian) ? 2 : 1;
  *pos = end < size ? end + terminator : size;
  return out;
}

FrameLayout LayoutOf(const std::string& id) {
  // Text frames, and a music player's text frames of its own (grouping, movement).
  if (id[0] == 'T' || id == "GRP1" || id == "MVNM" || id == "MVIN") return FrameLayout::Strings;
  if (id == "COMM" || id == "USLT") return FrameLayout::LanguageText;
  if (id == "WXXX") return FrameLayout::Link;
  if (id == "APIC") return FrameLayout::Picture;
  if (id == "GEOB") return FrameLayout::EncapsulatedObject;
  if (id[0] == 'W') return FrameLayout::NoEncoding;
  for (const char* plain : kFramesWithoutEncoding)
    if (id == plain) return FrameLayout::NoEncoding;
  return FrameLayout::Unknown;
}

// Rewrites frame data in encoding 2 or 3 as encoding 1. False when the layout is
// unknown or the data does not fit it: such a frame is dropped rather than carried
// with a wrong encoding.
bool ConvertTextData(const std::string& id, const uint8_t* d, size_t size,
                     std::vector<uint8_t>& out) {
  const uint8_t encoding = d[0];
  out.push_back(kUtf16WithBom);
  size_t pos = 1;
  switch (LayoutOf(id)) {
    case FrameLayout::Strings:
      ConvertAllStrings(out, d, size, pos, encoding);
      return true;
    case FrameLayout::LanguageText:
      if (size < 4) return false;
      out.insert(out.end(), d + 1, d + 4);
      ConvertAllStrings(out, d, size, 4, encoding);
      return true;
    case FrameLayout::Link:
      ConvertOneString(out, d, size, &pos, encoding);
      out.insert(out.end(), d + pos, d + size);
      return true;
    case FrameLayout::Picture:
      if (!CopyLatin1String(out, d, size, &pos) || pos >= size) return false;
      out.push_back(d[pos++]);  // picture type
      ConvertOneString(out, d, size, &pos, encoding);
      out.insert(out.end(), d + pos, d + size);
      return true;
    case FrameLayout::EncapsulatedObject:
      if (!CopyLatin1String(out, d, size, &pos)) return false;
      ConvertOneString(out, d, size, &pos, encoding);  // file name
      ConvertOneString(out, d, size, &pos, encoding);  // description
      out.insert(out.end(), d + pos, d + size);
      return true;
    case FrameLayout::NoEncoding:
    case FrameLayout::Unknown:
      break;
  }
  return false;
}
