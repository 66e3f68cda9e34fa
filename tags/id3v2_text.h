// The text encodings of ID3v2 frames: decoding any of them into code points (for
// the values the record shows), and rewriting the text of version 2.4 frames in
// the encodings version 2.3 lacks (UTF-16 without a byte-order mark, UTF-8) as
// UTF-16 with a byte-order mark, so that a frame carried into a 2.3 tag keeps its
// meaning.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/text.h"

// Text encodings.
constexpr uint8_t kLatin1 = 0;
constexpr uint8_t kUtf16WithBom = 1;
constexpr uint8_t kUtf16BigEndian = 2;
constexpr uint8_t kUtf8 = 3;

enum class FrameLayout {
  Unknown,         // may or may not begin with an encoding byte
  NoEncoding,      // binary or ISO-8859-1 only
  Strings,         // encoding, then strings separated by terminators ("T...", "TXXX")
  LanguageText,    // encoding, language, description, text ("COMM", "USLT")
  Link,            // encoding, description, ISO-8859-1 link ("WXXX")
  Picture,         // encoding, MIME type, picture type, description, data ("APIC")
  EncapsulatedObject,  // encoding, MIME type, file name, description, data ("GEOB")
};

FrameLayout LayoutOf(const std::string& id);

// Rewrites frame data in encoding 2 or 3 as encoding 1, appending to `out`. False
// when the layout is unknown or the data does not fit it.
bool ConvertTextData(const std::string& id, const uint8_t* d, size_t size,
                     std::vector<uint8_t>& out);

// The string of `encoding` that starts at `pos`, up to its terminator (one zero
// byte, or an aligned pair of them in UTF-16), as code points; `pos` moves behind
// the terminator. Nothing at or past `size` is read; ill-formed UTF-8, unpaired
// surrogates and an odd last byte of UTF-16 become U+FFFD. UTF-16 with a
// byte-order mark follows it; without one, encoding 1 is read as little-endian.
// `terminated` tells whether the string had its terminator.
std::vector<uint32_t> DecodeString(const uint8_t* d, size_t size, size_t* pos, uint8_t encoding,
                                   bool* terminated = nullptr);

