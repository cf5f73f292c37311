// Text files saved in the form they were found: encoding, byte order mark, line ends.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/text_file_form.h"

namespace velmora {
namespace {

using Encoding = TextFileForm::Encoding;

TEST(TextFileForm, UnchangedTextSavesAsTheSameBytes)
{
    const std::vector<std::string> files{
        "play 1 M\xFCller.zrx\r\nend\r\n",          // Windows-1252, CR LF
        "play 1 M\xC3\xBCller.zrx\nend\n",           // UTF-8, LF
        "\xEF\xBB\xBFplay 1 a.zrx\r\nend",           // UTF-8 with a byte order mark, no last line end
        "rem old Mac\rplay 1 \xE9t\xE9.zrx\rend\r",  // Windows-1252, CR
        "",                                          // empty
        "end",                                       // one line, no line end
    };
    for (const std::string& bytes : files) {
        const DecodedTextFile d = DecodeTextFile(bytes);
        EXPECT_EQ(d.text.find('\r'), std::string::npos) << bytes;
        EXPECT_EQ(EncodeTextFile(d.text, d.form), bytes) << bytes;
    }
}

TEST(TextFileForm, FormFound)
{
    struct Case {
        std::string bytes;
        TextFileForm form;
    };
    const std::vector<Case> cases{
        {"a\xFC\r\nb\n", {Encoding::Windows1252, false, "\r\n"}},
        {"\xEF\xBB\xBF" "a\rb", {Encoding::Utf8, true, "\r"}},
        {"a\nb\r\n", {Encoding::Utf8, false, "\n"}}, // the first line end counts
        {"abc", {Encoding::Utf8, false, "\n"}},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeTextFile(c.bytes).form, c.form) << c.bytes;
}

TEST(TextFileForm, Windows1252StaysUnlessACharacterNeedsUtf8)
{
    const TextFileForm cp1252{Encoding::Windows1252, false, "\r\n"};
    // "€" and "ü" have places in the code page.
    EXPECT_EQ(EncodeTextFile("rem 5 \xE2\x82\xAC\nplay 1 M\xC3\xBCller.zrx\n", cp1252),
              "rem 5 \x80\r\nplay 1 M\xFCller.zrx\r\n");
    // A Greek letter has none: the whole file becomes UTF-8, its line ends stay.
    EXPECT_EQ(EncodeTextFile("rem \xCE\xA9 M\xC3\xBCller\n", cp1252), "rem \xCE\xA9 M\xC3\xBCller\r\n");
    // A new file: UTF-8, LF, no byte order mark.
    EXPECT_EQ(EncodeTextFile("rem \xC3\xBC\nend\n", TextFileForm{}), "rem \xC3\xBC\nend\n");
}

} // namespace
} // namespace velmora
