#pragma once
// One line on a terminal: what a program echoes back (a setting's value, a file name) may
// hold line breaks or terminal controls, which would break the one-line message or act on
// the terminal. Any thread; allocates.

#include <cstdio>
#include <string>
#include <string_view>

namespace velmora {

// `text` with every control character written as a C escape (\n, \r, \t, \x1b ...).
inline std::string EscapeControl(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7f) {
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        }
    }
    return out;
}

} // namespace velmora
