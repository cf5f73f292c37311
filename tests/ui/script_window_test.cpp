// Scripts run from the window on the fake device: the script window, the main window
// disabled while a script runs and given back on every way out, Cancel and Next, and the
// Repeat box restored.
#include "window_harness.h"
#include "user_input.h"

#include "control/preset_memory.h"
#include "ui/main_window/preset_controller.h"
#include "ui/script_window/script_controller.h"
#include "ui/script_window/script_popup.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <fstream>
#include <functional>

namespace velmora::ui::test {
namespace {

class ScriptWindowTest : public WindowHarness {
protected:
    void SetUp() override
    {
        WindowHarness::SetUp();
        window->show();
        // Two memories: a 1 kHz tone and a 500 Hz one, 5 s each (a few wait steps on the
        // fake device, which plays whatever it holds at every step).
        type(w().Duration, QStringLiteral("5"));
        leave(w().Duration);
        type(ch(Channel::Left).fInit, QStringLiteral("1000"));
        w().Store[0]->trigger();
        type(ch(Channel::Left).fInit, QStringLiteral("500"));
        w().Store[1]->trigger();
        controller->presets().bank().rename(1, "kHz");
        presetFile = dir.filePath(QStringLiteral("two presets.zrx"));
        controller->presets().bank().save(presetFile.toStdString());
        controller->presets().bank().rename(1, "before");
        type(ch(Channel::Left).fInit, QStringLiteral("100"));

        // A wait step plays what the device holds; `during` looks in at every step.
        scripts().waitStep = [this] {
            ++steps;
            states.push_back({window->isEnabled(), popup().isVisible(), w().Loop->isChecked(),
                              controller->AudioOut1().Active(), popup().Label1->text()});
            if (during) during(steps);
            device->completeAll();
            pump();
        };
    }
    ScriptController& scripts() { return controller->scripts(); }
    TfrmScriptPopup& popup() { return scripts().popup(); }
    QString script(const std::string& text)
    {
        const QString path = dir.filePath(QStringLiteral("test.zrs"));
        std::ofstream(path.toStdString(), std::ios::binary) << text;
        return path;
    }
    std::string path() const { return presetFile.toStdString(); }

    struct State {
        bool mainEnabled, popupVisible, loop, active;
        QString label;
    };
    QTemporaryDir dir;
    QString presetFile;
    int steps = 0;
    std::vector<State> states;
    std::function<void(int)> during;
};

TEST_F(ScriptWindowTest, TheScriptWindow)
{
    TfrmScriptPopup& p = popup();
    EXPECT_EQ(p.windowTitle(), QStringLiteral("ZRX Script"));
    EXPECT_EQ(p.size(), QSize(292, 122));
    EXPECT_EQ(p.Button1->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(p.Button1->geometry(), QRect(37, 8, 80, 30));
    EXPECT_EQ(p.Button2->text(), QStringLiteral("Next"));
    EXPECT_EQ(p.Button2->geometry(), QRect(152, 8, 80, 30));
    EXPECT_EQ(p.Label1->geometry(), QRect(73, 48, 134, 13));
    EXPECT_EQ(p.Label1->objectName(), QStringLiteral("Label1"));
    EXPECT_FALSE(p.isVisible());
    EXPECT_EQ(window->menu().RunScript1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
}

TEST_F(ScriptWindowTest, PlaysTwoPresetsWithADelayFromTheMenu)
{
    click(w().Loop); // Repeat on before the script
    scripts().chooseScriptFile = [this] {
        return script("rem two tones\nplay 1 " + path() + "\ndelay 0,3\nPLAY 2 " + path() + "\nend\n");
    };
    window->menu().RunScript1->trigger();

    ASSERT_FALSE(states.empty());
    for (const State& s : states) {
        EXPECT_FALSE(s.mainEnabled);
        EXPECT_TRUE(s.popupVisible);
        EXPECT_FALSE(s.loop); // Repeat is off while the script plays
    }
    EXPECT_EQ(states.front().label, QStringLiteral("Line 2: play 1"));
    EXPECT_EQ(states.back().label, QStringLiteral("Line 4: play 2"));
    int delaySteps = 0;
    for (const State& s : states) delaySteps += s.label == QStringLiteral("Line 3: delay 0,3");
    EXPECT_EQ(delaySteps, 3);
    // Afterwards: the second memory in the controls, the window back, Repeat as it was.
    EXPECT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("500"));
    EXPECT_TRUE(window->isEnabled());
    EXPECT_FALSE(popup().isVisible());
    EXPECT_TRUE(w().Loop->isChecked());
    EXPECT_FALSE(controller->AudioOut1().Active());
    EXPECT_EQ(w().Memory[0]->text(), QStringLiteral("kHz")); // the file was loaded
    EXPECT_TRUE(notices.messages.empty());
    EXPECT_TRUE(notices.errors.empty());
}

TEST_F(ScriptWindowTest, NextEndsTheWaitAndLeavesTheSignalPlaying)
{
    during = [this](int step) {
        if (step == 1) click(popup().Button2);
    };
    const ScriptResult r = scripts().Runscript(script("play 1 " + path() + "\nplay 2 " + path() + "\nend"));
    EXPECT_EQ(r.outcome, ScriptResult::Stopped); // before its end: no success
    EXPECT_EQ(r.line, 1);
    EXPECT_EQ(steps, 1);
    EXPECT_TRUE(controller->AudioOut1().Active());
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("1000"));
    click(w().btnOFF);
    pump();
}

TEST_F(ScriptWindowTest, CancelGivesTheWindowBackAtOnceAndEndsAfterTheSignal)
{
    bool enabledAfterCancel = false;
    during = [&](int step) {
        if (step == 1) click(popup().Button1);
        if (step == 2) enabledAfterCancel = window->isEnabled();
    };
    const ScriptResult r = scripts().Runscript(script("play 1 " + path() + "\nplay 2 " + path() + "\nend"));
    EXPECT_EQ(r.outcome, ScriptResult::Stopped); // before its end: no success
    EXPECT_EQ(r.line, 1);
    EXPECT_TRUE(enabledAfterCancel);
    EXPECT_GT(steps, 2); // the play went on to the end of its signal
    EXPECT_FALSE(controller->AudioOut1().Active());
    EXPECT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("1000")); // line 2 never ran
}

TEST_F(ScriptWindowTest, ClosingTheMainWindowEndsTheScriptAtOnce)
{
    during = [this](int step) {
        if (step == 1) window->close();
    };
    const ScriptResult r = scripts().Runscript(script("play 1 " + path() + "\nplay 2 " + path() + "\nend"));
    EXPECT_EQ(r.outcome, ScriptResult::Stopped); // before its end: no success
    EXPECT_EQ(r.line, 1);
    EXPECT_EQ(steps, 1);
    EXPECT_FALSE(controller->AudioOut1().Active()); // closing stopped the output
    EXPECT_FALSE(popup().isVisible());
}

TEST_F(ScriptWindowTest, ErrorsAndInvalidLinesGiveTheWindowBack)
{
    struct Case {
        std::string script;
        QString error;
        QString message;
    };
    const std::vector<Case> cases{
        {"play x " + path(), QStringLiteral("'x' is not a valid integer value"), {}},
        {"play 9 " + path(), {}, QStringLiteral("Invalid preset number in line 1")},
        {"rem\nhop", {}, QStringLiteral("Invalid command in line 2")},
        {"play 1 /nowhere/x.zrx\nend", {}, QStringLiteral("FILE NOT FOUND: '/nowhere/x.zrx'.")},
        {"pause Level\nend", {}, QStringLiteral("Level ")},
        {"pause Level check\nend", {}, QStringLiteral("Level check")},
        {"delay soon", QStringLiteral("'soon' is not a valid floating point value"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        notices.errors.clear();
        notices.messages.clear();
        scripts().Runscript(script(c.script));
        if (c.error.isEmpty()) {
            EXPECT_TRUE(notices.errors.empty());
        } else {
            ASSERT_EQ(notices.errors.size(), 1u);
            EXPECT_EQ(notices.errors[0], c.error);
        }
        if (c.message.isEmpty()) {
            EXPECT_TRUE(notices.messages.empty());
        } else {
            ASSERT_EQ(notices.messages.size(), 1u);
            EXPECT_EQ(notices.messages[0], c.message);
        }
        EXPECT_TRUE(window->isEnabled());
        EXPECT_FALSE(popup().isVisible());
    }
    notices.errors.clear();
    scripts().Runscript(dir.filePath(QStringLiteral("missing.zrs")));
    ASSERT_EQ(notices.errors.size(), 1u);
    EXPECT_TRUE(notices.errors[0].startsWith(QStringLiteral("Cannot open file"))) << notices.errors[0].toStdString();
    EXPECT_TRUE(window->isEnabled());
}

TEST_F(ScriptWindowTest, RepeatPlaysTheSameMemoryUntilNext)
{
    during = [&](int) {
        if (steps == 40) click(popup().Button2);
    };
    const int opensBefore = device->opens();
    scripts().Runscript(script("play 2 " + path() + "\nrepeat\n"));
    for (const State& s : states) EXPECT_EQ(s.label, QStringLiteral("Line 1: play 2"));
    EXPECT_EQ(steps, 40);
    EXPECT_GE(device->opens() - opensBefore, 2); // the memory played again and again
    EXPECT_TRUE(window->isEnabled());
    click(w().btnOFF);
    pump();
}

// A play that cannot play ends the script at its line with no success: a signal that
// cannot be prepared, an empty memory, a file that is not a preset file, a device that
// cannot start. Each says why in its box; the next line never runs.
TEST_F(ScriptWindowTest, APlayThatCannotPlayEndsTheScriptAtItsLine)
{
    // Memory 3: a phase that is no number; memory 4: empty.
    PresetRecords records = controller->presets().bank().records();
    records[2] = records[0];
    records[2].setText(slot::PhaseEdit, "abc");
    records[3] = PresetSlot{};
    const std::string bad = dir.filePath(QStringLiteral("bad.zrx")).toStdString();
    WritePresetFile(bad, records);
    const std::string notes = dir.filePath(QStringLiteral("notes.txt")).toStdString();
    std::ofstream(notes, std::ios::binary) << "not presets\n";

    struct Case {
        std::string name;
        std::string play;
        bool deviceFails;
        ScriptResult::Outcome outcome;
        QString error;   // the error box, if any
        QString message; // the message box, if any
    };
    const std::vector<Case> cases{
        {"not prepared", "play 3 " + bad, false, ScriptResult::NotPlayed,
         QStringLiteral("'abc' is not a valid floating point value"), {}},
        {"empty memory", "play 4 " + bad, false, ScriptResult::Failed,
         QString::fromStdString("Memory 4 of '" + bad + "' is empty"), {}},
        {"not a preset file", "play 1 " + notes, false, ScriptResult::Failed,
         QString::fromStdString("'" + notes + "' is not a preset file"), {}},
        {"device fails", "play 1 " + path(), true, ScriptResult::DeviceFailed, {},
         QStringLiteral("Sound Device Error: ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        notices.errors.clear();
        notices.messages.clear();
        type(ch(Channel::Left).fInit, QStringLiteral("100"));
        if (c.deviceFails) device->failNextOpen();
        const ScriptResult r = scripts().Runscript(script("rem\n" + c.play + "\nplay 2 " + path() + "\nend"));
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.line, 2);
        EXPECT_FALSE(r.succeeded());
        EXPECT_NE(ch(Channel::Left).fInit->text(), QStringLiteral("500")); // line 3 never ran
        if (c.error.isEmpty()) {
            EXPECT_TRUE(notices.errors.empty());
        } else {
            ASSERT_EQ(notices.errors.size(), 1u);
            EXPECT_EQ(notices.errors[0], c.error);
        }
        if (c.message.isEmpty()) {
            EXPECT_TRUE(notices.messages.empty());
        } else {
            ASSERT_EQ(notices.messages.size(), 1u);
            EXPECT_TRUE(notices.messages[0].startsWith(c.message)) << notices.messages[0].toStdString();
        }
        EXPECT_TRUE(window->isEnabled());
        EXPECT_FALSE(popup().isVisible());
        EXPECT_FALSE(controller->AudioOut1().Active());
    }
}

// A relative preset path names the file beside the script, wherever the window was started.
TEST_F(ScriptWindowTest, RelativePresetPathsAreFoundBesideTheScript)
{
    const ScriptResult r = scripts().Runscript(script("play 2 two presets.zrx\nend"));
    EXPECT_TRUE(r.succeeded());
    EXPECT_TRUE(notices.messages.empty());
    EXPECT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("500"));
}

} // namespace
} // namespace velmora::ui::test
