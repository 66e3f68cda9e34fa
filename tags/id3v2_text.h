// Text of ID3v2.4 frames in the encodings version 2.3 lacks (UTF-16 without a
// byte-order mark, UTF-8), rewritten as UTF-16 with a byte-order mark so that a
// frame carried into a 2.3 tag keeps its meaning.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
