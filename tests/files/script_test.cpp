// Script lines and script files: splitting, numbers, code pages and the check.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "files/script.h"

namespace velmora {
namespace {

TEST(ScriptLine, SplitsIntoCommandArgumentAndTail)
{
    struct Case { std::string line; ScriptLine split; };
    const std::vector<Case> cases{
        {"play 1 a.zrx", {"play", "1", "a.zrx"}},
        {"PLAY 1 A.zrx", {"play", "1", "A.zrx"}},
        {"PlAy 2 My Presets/a b.zrx", {"play", "2", "My Presets/a b.zrx"}},
        {"play 2 a.zrx ", {"play", "2", "a.zrx"}},    // one trailing space dropped
        {"play 2 a.zrx  ", {"play", "2", "a.zrx "}},  // the second one stays
        {"pause", {"pause", "", ""}},
        {"pause Hello", {"pause", "Hello", ""}},
        {"pause  two spaces", {"pause", "", "two spaces"}},
        {" play 1 a.zrx", {"", "play", "1 a.zrx"}},
        {"", {"", "", ""}},
        {"delay 2,5", {"delay", "2,5", ""}},
        {"rem a b c d e f g h i j k l m n o p q r s t u v w x y z", {"rem", "a", "b c d e f g h i j k l m n o p q r s t u v w x y z"}},
        {"END", {"end", "", ""}},
        {"Ä x", {"Ä", "x", ""}}, // only ASCII letters change case
    };
    for (const Case& c : cases) EXPECT_EQ(SplitScriptLine(c.line), c.split) << "'" << c.line << "'";

    EXPECT_EQ(ScriptLabel(3, {"play", "1", "a.zrx"}), "Line 3: play 1");
    EXPECT_EQ(PauseText({"pause", "", ""}), "Pause in script. Press OK to continue");
    EXPECT_EQ(PauseText({"pause", "", "two spaces"}), "Pause in script. Press OK to continue");
    EXPECT_EQ(PauseText({"pause", "Hello", ""}), "Hello ");
    EXPECT_EQ(PauseText({"pause", "Set", "level to -20"}), "Set level to -20");
}

TEST(ScriptLine, WholeNumbers)
{
    struct Case { std::string text; int value; bool ok; };
    for (const Case& c : std::vector<Case>{{"1", 1, true}, {"+4", 4, true}, {"-3", -3, true}, {" 2 ", 2, true},
                                           {"007", 7, true}, {"2147483647", 2147483647, true},
                                           {"-2147483648", INT32_MIN, true}, {"2147483648", 0, false},
                                           {"", 0, false}, {"x", 0, false}, {"1.0", 0, false}, {"1x", 0, false},
                                           {"-", 0, false}, {"99999999999999999999", 0, false}}) {
        if (c.ok) {
            EXPECT_EQ(ScriptStrToInt(c.text), c.value) << c.text;
        } else {
            try {
                ScriptStrToInt(c.text);
                ADD_FAILURE() << c.text;
            } catch (const ScriptNumberError& e) {
                EXPECT_EQ(e.what(), "'" + c.text + "' is not a valid integer value");
            }
        }
    }
}

TEST(ScriptFile, LinesAndCodePages)
{
    const ScriptFile f = ScriptFile::FromBytes("play 1 a.zrx\r\ndelay 1\nrem\rend");
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f.line(1), "play 1 a.zrx");
    EXPECT_EQ(f.line(2), "delay 1");
    EXPECT_EQ(f.line(3), "rem");
    EXPECT_EQ(f.line(4), "end");
    EXPECT_EQ(f.line(5), ""); // past the end: empty lines
    EXPECT_EQ(f.line(500), "");
    EXPECT_EQ(ScriptFile::FromBytes("end\n").size(), 1u);
    EXPECT_EQ(ScriptFile::FromBytes("\n\nend").line(3), "end");

    EXPECT_EQ(ScriptFile::FromBytes("play 1 Müller.zrx").line(1), "play 1 Müller.zrx");      // UTF-8
    EXPECT_EQ(ScriptFile::FromBytes("play 1 M\xFCller.zrx").line(1), "play 1 Müller.zrx");  // Windows-1252
    EXPECT_EQ(ScriptFile::FromBytes("\xEF\xBB\xBFplay 1 a.zrx").line(1), "play 1 a.zrx");  // byte order mark
    EXPECT_THROW(ScriptFile::Read("/nonexistent/x.zrs"), ScriptFileError);
}

TEST(ScriptFile, CheckFindsWhatTheRunnerRefuses)
{
    const ScriptFile f = ScriptFile::FromBytes("play 1 a.zrx\nplay 7 a.zrx\nplay x a.zrx\nplay 1 missing.zrx\n"
                                               "delay 2,5\ndelay soon\nfly\n\n pause\nrem ok");
    const auto issues = CheckScript(f, [](const std::string& p) {
        return p == "a.zrx" ? ScriptPreset::Found : ScriptPreset::Missing;
    });
    std::vector<std::string> got;
    for (const ScriptIssue& i : issues) got.push_back(std::to_string(i.line) + (i.stops ? " " : " ~") + i.text);
    EXPECT_EQ(got, (std::vector<std::string>{
                       "2 Invalid preset number in line 2",
                       "3 'x' is not a valid integer value",
                       "4 ~FILE NOT FOUND: 'missing.zrx'.",
                       "6 'soon' is not a valid floating point value",
                       "7 Invalid command in line 7",
                       "8 Invalid command in line 8",
                       "9 Invalid command in line 9",
                       "11 Invalid command in line 11",
                   }));
    EXPECT_TRUE(CheckScript(ScriptFile::FromBytes("play 1 a.zrx\nrepeat"), {}).empty());
}

// What the runner does with each line, with its severity: it stops at an error, goes on
// past a warning, and never reaches what follows the first end or repeat.
TEST(ScriptFile, CheckSaysWhatTheRunnerWillDo)
{
    const auto preset = [](const std::string& p) {
        if (p == "notes.txt") return ScriptPreset::NotAPreset;
        if (p == "old.zrx") return ScriptPreset::Obsolete;
        if (p == "locked.zrx") return ScriptPreset::Unreadable;
        return p == "a.zrx" ? ScriptPreset::Found : ScriptPreset::Missing;
    };
    struct Case {
        const char* script;
        std::vector<std::string> issues; // "line ~text" for a warning, "line text" for an error
    };
    const std::vector<Case> cases{
        {"play 1 a.zrx\nend", {}},
        {"play 1 gone.zrx\nend", {"1 ~FILE NOT FOUND: 'gone.zrx'."}},
        {"play 1 notes.txt\nend", {"1 'notes.txt' is not a preset file"}},
        {"play 1 old.zrx\nend", {"1 'old.zrx': Obsolete file format, sorry."}},
        {"play 1 locked.zrx\nend", {"1 'locked.zrx' cannot be read"}},
        // After the end nothing runs, not even an invalid line: one warning for the lot.
        {"play 1 a.zrx\nend\nplay 2 a.zrx\nfly\n", {"3 ~Lines 3 to 4 are never run: line 2 ends the script"}},
        {"play 1 a.zrx\nrepeat\nrem\n\n", {"3 ~Line 3 is never run: line 2 repeats the script"}},
        {"end\n\n\n", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        for (const ScriptIssue& i : CheckScript(ScriptFile::FromBytes(c.script), preset))
            got.push_back(std::to_string(i.line) + (i.stops ? " " : " ~") + i.text);
        EXPECT_EQ(got, c.issues) << c.script;
    }
}

// A relative path is looked up as written, then beside the script; an absolute one only
// as written.
TEST(ScriptFile, PresetPathsAsWrittenThenBesideTheScript)
{
    const std::set<std::string> files{"here.zrx", "/s/there.zrx", "/s/sub/deep.zrx", "/abs.zrx"};
    const auto exists = [&](const std::string& p) { return files.count(p) > 0; };
    EXPECT_EQ(FindScriptPreset("here.zrx", "/s", exists), "here.zrx");
    EXPECT_EQ(FindScriptPreset("there.zrx", "/s", exists), "/s/there.zrx");
    EXPECT_EQ(FindScriptPreset("sub/deep.zrx", "/s", exists), "/s/sub/deep.zrx");
    EXPECT_EQ(FindScriptPreset("/abs.zrx", "/s", exists), "/abs.zrx");
    EXPECT_EQ(FindScriptPreset("/there.zrx", "/s", exists), "");
    EXPECT_EQ(FindScriptPreset("there.zrx", "", exists), "");
    EXPECT_EQ(FindScriptPreset("", "/s", exists), "");
}

// The check reads what the file is, beside the script too.
TEST(ScriptFile, CheckScriptPresetReadsTheHeader)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("velmora-script-check-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    };
    write("good.zrx", std::string("\x14ZRX Preset File V4.1") + std::string(4 * 3880, '\0'));
    write("old.zrx", "ZRX Preset File V3.2\r\nwhatever\r\n");
    write("notes.txt", "shopping list\n");
    EXPECT_EQ(CheckScriptPreset("good.zrx", dir), ScriptPreset::Found);
    EXPECT_EQ(CheckScriptPreset((dir / "good.zrx").string(), "/elsewhere"), ScriptPreset::Found);
    EXPECT_EQ(CheckScriptPreset("old.zrx", dir), ScriptPreset::Obsolete);
    EXPECT_EQ(CheckScriptPreset("notes.txt", dir), ScriptPreset::NotAPreset);
    EXPECT_EQ(CheckScriptPreset("missing.zrx", dir), ScriptPreset::Missing);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace velmora
