// The preset memories through the window on the fake device: the buttons, their pop-up
// menus and rename boxes, the Presets menu, and loading and saving preset files.
#include "window_harness.h"
#include "user_input.h"

#include "files/preset_file.h"
#include "control/preset_memory.h"
#include "ui/main_window/preset_controller.h"
#include "ui/widgets/picture_combo_box.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>

namespace velmora::ui::test {
namespace {

class PresetsTest : public WindowHarness {
protected:
    PresetController& presets() { return controller->presets(); }
    PresetBank& bank() { return presets().bank(); }
    QString caption(int n) { return w().Memory[static_cast<size_t>(n - 1)]->text(); }
    QString file(const QString& name) { return dir.filePath(name); }
    void saveAs(const QString& path)
    {
        presets().chooseSaveFile = [path] { return path; };
        window->menu().SaveSweepSettingsAs1->trigger();
    }
    void loadFrom(const QString& path)
    {
        presets().chooseLoadFile = [path] { return path; };
        window->menu().LoadSweepSettings1->trigger();
    }
    void typeAndLeave(QLineEdit* edit, const QString& text)
    {
        type(edit, text);
        leave(edit);
    }
    QTemporaryDir dir;
};

TEST_F(PresetsTest, StartUpFillsTheMemoriesFromTheSettingsAndNamesThem)
{
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(caption(n), QStringLiteral("Memory %1").arg(n));
        EXPECT_EQ(bank().name(n), "Memory " + std::to_string(n));
        EXPECT_EQ(bank().memory(n).text(slot::fInitLeft), "100");
    }
    // Saving right after such a start writes those names.
    saveAs(file("fresh.zrx"));
    const PresetFileContents c = ReadPresetFile(file("fresh.zrx").toStdString());
    for (int n = 1; n <= 4; ++n) EXPECT_EQ(c.records[static_cast<size_t>(n - 1)].name(), "Memory " + std::to_string(n));
}

TEST_F(PresetsTest, StoreFromThePopupAndRecallWithTheButtonAndTheKeys)
{
    typeAndLeave(ch(Channel::Left).fInit, QStringLiteral("440"));
    typeAndLeave(ch(Channel::Left).Amplitude, QStringLiteral("-6"));
    w().Store[1]->trigger(); // memory 2
    typeAndLeave(ch(Channel::Left).fInit, QStringLiteral("1000"));
    window->menu().StoreMemory31->trigger(); // Shift+F7
    typeAndLeave(ch(Channel::Left).Amplitude, QStringLiteral("-40"));

    click(w().Memory[1]);
    EXPECT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("440"));
    EXPECT_EQ(ch(Channel::Left).Amplitude->text(), QStringLiteral("-6"));
    EXPECT_EQ(ch(Channel::Left).barAmplitude->value(), 600);
    EXPECT_EQ(caption(2), QStringLiteral("Memory 2")); // a store leaves the name

    window->menu().Memory31->trigger(); // F7
    EXPECT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("1000"));
    EXPECT_EQ(ch(Channel::Left).Amplitude->text(), QStringLiteral("-6"));
    EXPECT_EQ(window->menu().Memory31->shortcut(), QKeySequence(Qt::Key_F7));
    EXPECT_EQ(window->menu().StoreMemory41->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F8));
}

TEST_F(PresetsTest, MonoByteRecallsAsMonoOnlyWhenItIsOne)
{
    struct Case { uint8_t mono; int shown; };
    for (const Case& c : {Case{0, 1}, Case{1, 0}, Case{2, 1}}) {
        choose(w().cboChannels, c.shown == 0 ? 1 : 0); // start from the other layout
        bank().memory(1).bytes[slot::Mono] = c.mono;
        click(w().Memory[0]);
        EXPECT_EQ(w().cboChannels->currentIndex(), c.shown) << int(c.mono);
        EXPECT_EQ(generator().settings.cboChannels, c.shown) << int(c.mono);
    }
}

TEST_F(PresetsTest, AutostartStartsTheRecalledPresetOnlyWhenChecked)
{
    QAction* autostart = window->menu().PresetRecallAutostart1;
    struct Case { bool autostart; bool playingBefore; bool playingAfter; };
    for (const Case& c : {Case{false, false, false}, Case{true, false, true}, Case{false, true, false},
                          Case{true, true, true}}) {
        SCOPED_TRACE(std::to_string(c.autostart) + std::to_string(c.playingBefore));
        autostart->setChecked(c.autostart);
        if (c.playingBefore) {
            click(w().btnON);
            pump();
            ASSERT_TRUE(controller->switching().GeneratorRunning());
        }
        // While playing, the buttons are locked; a script or another window still recalls.
        presets().MemRecall(1);
        pump();
        EXPECT_EQ(controller->AudioOut1().Active(), c.playingAfter);
        EXPECT_EQ(controller->switching().GeneratorRunning(), c.playingAfter);
        click(w().btnOFF);
        pump();
    }
    // The check mark is no part of a memory.
    autostart->setChecked(true);
    w().Store[0]->trigger();
    autostart->setChecked(false);
    click(w().Memory[0]);
    pump();
    EXPECT_FALSE(controller->AudioOut1().Active());
}

TEST_F(PresetsTest, RenameInsideTheButton)
{
    w().Rename[2]->trigger();
    QLineEdit* box = w().MemEdit[2];
    EXPECT_FALSE(box->isHidden());
    EXPECT_TRUE(box->isEnabled());
    EXPECT_TRUE(box->text().isEmpty());
    EXPECT_TRUE(caption(3).isEmpty()); // blank while renaming
    EXPECT_FALSE(w().btnON->isDefault());
    QTest::keyClicks(box, QStringLiteral("Sweep "));
    box->insert(QStringLiteral("ä"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(caption(3), QStringLiteral("Sweep ä"));
    EXPECT_EQ(bank().name(3), "Sweep ä");
    EXPECT_TRUE(w().btnON->isDefault());
    EXPECT_TRUE(box->isHidden());
    EXPECT_FALSE(box->isEnabled());
    EXPECT_FALSE(controller->AudioOut1().Active()); // Enter did not switch on

    // Leaving the box empty names the memory with an empty text, kept by a saved file.
    w().Rename[0]->trigger();
    leave(w().MemEdit[0]);
    EXPECT_TRUE(caption(1).isEmpty());
    EXPECT_EQ(bank().name(1), "");
    EXPECT_TRUE(w().MemEdit[0]->isHidden());
    saveAs(file("renamed.zrx"));
    bank().rename(1, "changed");
    loadFrom(file("renamed.zrx"));
    EXPECT_TRUE(caption(1).isEmpty());
    EXPECT_EQ(caption(3), QStringLiteral("Sweep ä"));
}

TEST_F(PresetsTest, SaveLoadAndSavedNamesAfterAFreshStart)
{
    typeAndLeave(ch(Channel::Left).fInit, QStringLiteral("250"));
    w().Store[3]->trigger();
    bank().rename(4, "Quarter");
    saveAs(file("set.zrx"));
    // The four records, then the burst's and the band's block (109 bytes with their defaults).
    ASSERT_EQ(std::filesystem::file_size(file("set.zrx").toStdString()), 15541u + 109u);

    make(); // a fresh start
    EXPECT_EQ(caption(4), QStringLiteral("Memory 4"));
    loadFrom(file("set.zrx"));
    EXPECT_EQ(caption(4), QStringLiteral("Quarter"));
    // Loading changes the captions and nothing else.
    EXPECT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("100"));
    EXPECT_TRUE(notices.errors.empty());
    click(w().Memory[3]);
    EXPECT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("250"));
}

TEST_F(PresetsTest, FilesThatDoNotLoadAreReportedAndChangeNothing)
{
    saveAs(file("good.zrx"));
    std::string good;
    {
        std::ifstream in(file("good.zrx").toStdString(), std::ios::binary);
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    auto write = [&](const QString& name, const std::string& bytes) {
        std::ofstream(file(name).toStdString(), std::ios::binary) << bytes;
        return file(name);
    };
    bank().rename(2, "kept");

    loadFrom(write(QStringLiteral("short.zrx"), good.substr(0, 5000)));
    ASSERT_EQ(notices.errors.size(), 1u);
    EXPECT_EQ(notices.errors[0], QStringLiteral("The preset file %1 is incomplete: 5000 of 15541 bytes.")
                                     .arg(file(QStringLiteral("short.zrx"))));
    loadFrom(write(QStringLiteral("old.zrx"), "ZRX Preset File V3.2\r\n"));
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_EQ(notices.messages[0], QStringLiteral("Obsolete file format, sorry."));
    loadFrom(write(QStringLiteral("other.zrx"), "hello"));
    loadFrom(file(QStringLiteral("missing.zrx")));
    EXPECT_EQ(notices.errors.size(), 2u);
    EXPECT_EQ(notices.messages.size(), 1u);
    EXPECT_EQ(caption(2), QStringLiteral("kept"));

    // A save that fails shows why and leaves the memories and any earlier file alone.
    saveAs(dir.filePath(QStringLiteral("no-such-folder/x.zrx")));
    EXPECT_EQ(notices.errors.size(), 3u);
    EXPECT_TRUE(notices.errors.back().startsWith(QStringLiteral("Cannot create file")));
}

TEST_F(PresetsTest, OlderFileIsImportedWithItsNoticeOnceAndMemoryFourShown)
{
    std::string bytes("\x14" "ZRX Preset File V3.6");
    for (int n = 1; n <= 4; ++n) {
        PresetSlot r;
        MemStore(generator(), r);
        r.setText(slot::fInitLeft, std::to_string(300 * n));
        r.setName("Old " + std::to_string(n));
        bytes.append(reinterpret_cast<const char*>(r.bytes.data()), kPresetSlotSize36);
    }
    std::ofstream(file("v36.zrx").toStdString(), std::ios::binary) << bytes;
    choose(w().cboChannels, 1);
    click(w().chkAsLeft);

    loadFrom(file("v36.zrx"));
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_TRUE(notices.messages[0].startsWith(QStringLiteral("This file format is old")));
    EXPECT_EQ(caption(1), QStringLiteral("Old 1"));
    EXPECT_EQ(caption(4), QStringLiteral("Old 4"));
    EXPECT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("1200"));
    EXPECT_EQ(ch(Channel::Left).cboCrestFactor->currentIndex(), 3);
    EXPECT_FALSE(w().chkAsLeft->isChecked());
    for (int n = 1; n <= 4; ++n) EXPECT_EQ(bank().memory(n).integer(slot::cboCrestFactorR), 3);
}

} // namespace
} // namespace velmora::ui::test
