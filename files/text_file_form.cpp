#include "text_file_form.h"

#include "windows1252.h"

namespace velmora {

DecodedTextFile DecodeTextFile(std::string_view bytes)
{
    DecodedTextFile out;
    if (!IsValidUtf8(bytes)) out.form.encoding = TextFileForm::Encoding::Windows1252;
    out.form.byteOrderMark = out.form.encoding == TextFileForm::Encoding::Utf8 && bytes.starts_with("\xEF\xBB\xBF");
    const size_t end = bytes.find_first_of("\r\n");
    if (end != std::string_view::npos)
        out.form.lineEnd = bytes[end] == '\n' ? "\n" : (end + 1 < bytes.size() && bytes[end + 1] == '\n' ? "\r\n" : "\r");

    const std::string utf8 = TextFileToUtf8(bytes);
    out.text.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '\r') {
            out.text += utf8[i];
        } else {
            out.text += '\n';
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        }
    }
    return out;
}

std::string EncodeTextFile(std::string_view text, const TextFileForm& form)
{
    std::string lines;
    lines.reserve(text.size());
    for (const char c : text) {
        if (c == '\n')
            lines += form.lineEnd;
        else
            lines += c;
    }
    if (form.encoding == TextFileForm::Encoding::Windows1252) {
        std::string cp1252 = Utf8ToWindows1252(lines);
        if (Windows1252ToUtf8(cp1252) == lines) return cp1252;
    }
    return form.byteOrderMark ? "\xEF\xBB\xBF" + lines : lines;
}

} // namespace velmora
