#pragma once
// Texts in the 8-bit code page of preset files and old scripts (Windows-1252), and UTF-8,
// which the controls hold. Pure; any thread; allocates only the returned text.

#include <string>
#include <string_view>

namespace velmora {

// UTF-8 to Windows-1252. A character the code page lacks, and every byte of a malformed
// sequence, becomes '?'.
std::string Utf8ToWindows1252(std::string_view utf8);

// Windows-1252 to UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the control characters of the same number, so nothing is lost.
std::string Windows1252ToUtf8(std::string_view bytes);

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Text read from a file written by a Linux editor (UTF-8) or on Windows (Windows-1252):
// valid UTF-8 stays as it is, less its byte order mark; anything else is read as
// Windows-1252.
std::string TextFileToUtf8(std::string_view bytes);

} // namespace velmora
