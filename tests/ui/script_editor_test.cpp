// The script editor: lines checked as the runner would, problems listed with their line
// numbers, files read in either code page and saved whole.
#include "ui/script_editor/script_editor_window.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace velmora::ui::test {
namespace {

class ScriptEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor.checkPreset = [](const std::string& path, const std::filesystem::path&) {
            return path == "here.zrx" ? ScriptPreset::Found : ScriptPreset::Missing;
        };
        editor.showError = [this](const QString& text) { errors.push_back(text); };
    }
    QStringList problems()
    {
        QStringList out;
        for (int i = 0; i < editor.Problems->count(); ++i) out << editor.Problems->item(i)->text();
        return out;
    }
    QString path(const char* name) { return dir.filePath(QLatin1String(name)); }

    ScriptEditorWindow editor;
    QTemporaryDir dir;
    std::vector<QString> errors;
};

TEST_F(ScriptEditorTest, EveryRefusedLineIsListedWithItsNumberAndReason)
{
    editor.Editor->setPlainText(QStringLiteral("rem check\nPLAY 1 here.zrx\nplay 1 gone.zrx\nplay 5 here.zrx\n"
                                               "delay 2,5\ndelay later\nfly away\n\nend"));
    editor.recheck();
    EXPECT_EQ(problems(), (QStringList{
                              QStringLiteral("Line 3: warning: FILE NOT FOUND: 'gone.zrx'."),
                              QStringLiteral("Line 4: Invalid preset number in line 4"),
                              QStringLiteral("Line 6: 'later' is not a valid floating point value"),
                              QStringLiteral("Line 7: Invalid command in line 7"),
                              QStringLiteral("Line 8: Invalid command in line 8"),
                          }));
    editor.Editor->setPlainText(QStringLiteral("play 1 here.zrx"));
    editor.recheck();
    EXPECT_EQ(problems(), QStringList{QStringLiteral("Line 2: Invalid command in line 2")});
    editor.Editor->setPlainText(QStringLiteral("play 1 here.zrx\nrepeat"));
    editor.recheck();
    EXPECT_EQ(problems(), QStringList{QStringLiteral("No problems: every line runs.")});
}

TEST_F(ScriptEditorTest, CommandsAreHighlighted)
{
    editor.Editor->setPlainText(QStringLiteral("Play 1 here.zrx\nhop 1"));
    const QTextBlock play = editor.Editor->document()->firstBlock();
    const QTextBlock hop = play.next();
    ASSERT_FALSE(play.layout()->formats().isEmpty());
    ASSERT_FALSE(hop.layout()->formats().isEmpty());
    const QTextLayout::FormatRange p = play.layout()->formats().first();
    const QTextLayout::FormatRange h = hop.layout()->formats().first();
    EXPECT_EQ(p.start, 0);
    EXPECT_EQ(p.length, 4);
    EXPECT_EQ(p.format.fontWeight(), QFont::Bold);
    EXPECT_EQ(h.length, 3);
    EXPECT_NE(h.format.foreground().color(), p.format.foreground().color());
}

TEST_F(ScriptEditorTest, OpensEitherCodePageAndSavesInTheFormItFound)
{
    std::ofstream(path("old.zrs").toStdString(), std::ios::binary) << "play 1 M\xFCller.zrx\r\nend\r\n";
    ASSERT_TRUE(editor.openFile(path("old.zrs")));
    EXPECT_EQ(editor.Editor->toPlainText(), QStringLiteral("play 1 Müller.zrx\nend\n"));
    EXPECT_FALSE(editor.Editor->document()->isModified());
    EXPECT_TRUE(editor.windowTitle().startsWith(QStringLiteral("old.zrs - ")));

    editor.Editor->appendPlainText(QStringLiteral("rem ä"));
    EXPECT_TRUE(editor.Editor->document()->isModified());
    ASSERT_TRUE(editor.saveFile(path("new.zrs")));
    std::ifstream in(path("new.zrs").toStdString(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    // Windows-1252 and CR LF, as it was.
    EXPECT_EQ(bytes, "play 1 M\xFCller.zrx\r\nend\r\n\r\nrem \xE4");
    EXPECT_EQ(editor.fileName(), path("new.zrs"));

    EXPECT_FALSE(editor.openFile(path("missing.zrs")));
    EXPECT_FALSE(editor.saveFile(path("no-such-folder/x.zrs")));
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_EQ(editor.fileName(), path("new.zrs")); // a failed save keeps the file it had

    // A character the code page lacks makes it UTF-8; the line ends stay.
    editor.Editor->appendPlainText(QStringLiteral("rem \u03A9"));
    ASSERT_TRUE(editor.saveFile(path("new.zrs")));
    std::ifstream again(path("new.zrs").toStdString(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}),
              "play 1 Müller.zrx\r\nend\r\n\r\nrem ä\r\nrem \u03A9");

    // A UTF-8 file with a byte order mark keeps it.
    std::ofstream(path("bom.zrs").toStdString(), std::ios::binary) << "\xEF\xBB\xBFrem ü\nend\n";
    ASSERT_TRUE(editor.openFile(path("bom.zrs")));
    EXPECT_EQ(editor.Editor->toPlainText(), QStringLiteral("rem ü\nend\n"));
    ASSERT_TRUE(editor.saveFile(path("bom.zrs")));
    std::ifstream bom(path("bom.zrs").toStdString(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(bom), {}), "\xEF\xBB\xBFrem ü\nend\n");
}

TEST_F(ScriptEditorTest, UnsavedChangesAreAskedAbout)
{
    int asked = 0;
    editor.confirmDiscard = [&] { return ++asked, false; };
    editor.Editor->insertPlainText(QStringLiteral("end")); // typed
    editor.New1->trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(editor.Editor->toPlainText(), QStringLiteral("end")); // refused: kept
    editor.confirmDiscard = [&] { return ++asked, true; };
    editor.New1->trigger();
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(editor.Editor->toPlainText().isEmpty());
}

// With the runner's own check: a relative path is found beside the script, a file of
// another kind is an error, lines after the end are never run.
TEST_F(ScriptEditorTest, PresetFilesAreLookedUpBesideTheScriptAndRead)
{
    editor.checkPreset = CheckScriptPreset;
    std::ofstream(path("tones.zrx").toStdString(), std::ios::binary)
        << std::string("\x14ZRX Preset File V4.1") + std::string(4 * 3880, '\0');
    std::ofstream(path("notes.txt").toStdString(), std::ios::binary) << "not presets\n";
    std::ofstream(path("s.zrs").toStdString(), std::ios::binary)
        << "play 1 tones.zrx\nplay 2 notes.txt\nplay 3 gone.zrx\nend\nplay 4 tones.zrx\n";
    ASSERT_TRUE(editor.openFile(path("s.zrs")));
    EXPECT_EQ(problems(), (QStringList{
                              QStringLiteral("Line 2: 'notes.txt' is not a preset file"),
                              QStringLiteral("Line 3: warning: FILE NOT FOUND: 'gone.zrx'."),
                              QStringLiteral("Line 5: warning: Line 5 is never run: line 4 ends the script"),
                          }));
}

} // namespace
} // namespace velmora::ui::test
