// The kinds of file this program handles, told by the name's extension.
#pragma once
#include <string>

enum class FileKind { Mp3, Wav, Other };

// ".mp3" or ".wav" (see ExtensionOf), letter case ignored; anything else is Other.
FileKind FileKindOf(const std::string& path);
