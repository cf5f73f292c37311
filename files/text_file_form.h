#pragma once
// The form a text file was written in (encoding, byte order mark, line ends), so that an
// editor saves a file the way it found it. Pure; any thread; allocates the returned texts.

#include <string>
#include <string_view>

namespace velmora {

struct TextFileForm {
    enum class Encoding { Utf8, Windows1252 };
    Encoding encoding = Encoding::Utf8;
    bool byteOrderMark = false;    // UTF-8 with EF BB BF in front
    std::string lineEnd = "\n";    // the first line end found: "\n", "\r\n" or "\r"
    friend bool operator==(const TextFileForm&, const TextFileForm&) = default;
};

struct DecodedTextFile {
    std::string text; // UTF-8, every line end a "\n"
    TextFileForm form;
};

// Reads the bytes as TextFileToUtf8 does (valid UTF-8 as such, anything else as
// Windows-1252) and notes the form.
DecodedTextFile DecodeTextFile(std::string_view bytes);

// The bytes of `text` (UTF-8, lines ending in "\n") in `form`: its line ends and byte order
// mark, and Windows-1252 while every character has a place in that code page; a text
// holding one that has not is written as UTF-8 instead.
std::string EncodeTextFile(std::string_view text, const TextFileForm& form);

} // namespace velmora
