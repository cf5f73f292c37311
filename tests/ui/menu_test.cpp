// The generator window's menu bar: order, captions, separators and shortcuts, and which item a
// shared or hidden shortcut reaches.
#include "ui/main_window/generator_window.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

using velmora::ui::TfrmGenerator;

namespace {

struct Item {
    const char* name;  // "-" for a separator
    const char* caption;
    QKeySequence shortcut;
};

struct Menu {
    const char* name;
    const char* title;
    std::vector<Item> items;
};

const Item kSeparator{"-", "", {}};

std::vector<Menu> expectedMenus()
{
    return {
        {"File1",
         "&File",
         {
             {"OpenNewGeneratorWindow1", "&Open New Generator Window", QKeySequence("Ctrl+N")},
             kSeparator,
             {"SaveWaveFile1", "Save Tone &As Wave File...", QKeySequence("Ctrl+T")},
             kSeparator,
             {"LoadSweepSettings1", "&Load Presets", QKeySequence("Ctrl+L")},
             {"SaveSweepSettingsAs1", "&Save Presets As...", QKeySequence("Ctrl+S")},
             kSeparator,
             {"RunScript1", "&Run Script", QKeySequence("Ctrl+R")},
             {"OpenScriptEditor1", "&Open Script Editor", {}},
             kSeparator,
             {"Exit1", "&Exit", QKeySequence("Ctrl+X")},
         }},
        {"View1",
         "&View",
         {
             {"FreqSlider1", "&Frequency Slider", QKeySequence("Ctrl+F")},
             {"FrequencyDisplay1", "Frequency &Display", QKeySequence("Ctrl+D")},
             kSeparator,
             {"WindowsVolumeControl1", "&Volume Control", {}},
             kSeparator,
             {"MeasurementSweep1", "&Measurement Sweep...", {}},
         }},
        {"Presets1",
         "&Presets",
         {
             {"Memory11", "Recall Preset 1", QKeySequence("F5")},
             {"Memory21", "Recall Preset 2", QKeySequence("F6")},
             {"Memory31", "Recall Preset 3", QKeySequence("F7")},
             {"Memory41", "Recall Preset 4", QKeySequence("F8")},
             kSeparator,
             {"StoreMemory11", "Store Preset 1", QKeySequence("Shift+F5")},
             {"StoreMemory2", "Store Preset 2", QKeySequence("Shift+F6")},
             {"StoreMemory31", "Store Preset 3", QKeySequence("Shift+F7")},
             {"StoreMemory41", "Store Preset 4", QKeySequence("Shift+F8")},
             kSeparator,
             {"PresetRecallAutostart1", "Autostart Recalled Presets", {}},
             {"rESETTOdEFAULT1", "&Reset current settings", QKeySequence("Ctrl+Z")},
         }},
        {"Recall1",
         "&Tools",
         {
             {"Compatibilitysettings1", "&Output Settings", QKeySequence("Ctrl+C")},
             {"Recheckoutputdevices1", "&Recheck output devices", QKeySequence("Ctrl+Alt+R")},
             kSeparator,
             {"CompatibilityTest1", "Performance &Test\tCtrl+T", {}},
             kSeparator,
             {"OnOff1", "OFF", QKeySequence("F9")},
             {"Pause1", "Pause", QKeySequence("F10")},
             {"Off1", "ON", QKeySequence("F11")},
             kSeparator,
             {"ONOFF2", "ON/OFF Toggle", QKeySequence("Ctrl+Ins")},
         }},
        {"About1",
         "&Help",
         {
             {"Introduction1", "Show &Introduction", {}},
             {"Help1", "&Help", QKeySequence("F1")},
             kSeparator,
             {"About2", "&About this program...", {}},
         }},
    };
}

TEST(MainMenuTest, MenusItemsSeparatorsAndShortcutsInOrder)
{
    TfrmGenerator window;
    QMenuBar* bar = window.menuBar();
    EXPECT_EQ(bar->objectName(), "MainMenu1");
    const std::vector<Menu> menus = expectedMenus();
    const QList<QAction*> top = bar->actions();
    ASSERT_EQ(top.size(), static_cast<qsizetype>(menus.size()));
    for (size_t m = 0; m < menus.size(); ++m) {
        const Menu& expected = menus[m];
        SCOPED_TRACE(expected.name);
        QMenu* menu = top[m]->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), expected.name);
        EXPECT_EQ(menu->title(), expected.title);
        const QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), static_cast<qsizetype>(expected.items.size()));
        for (size_t i = 0; i < expected.items.size(); ++i) {
            const Item& e = expected.items[i];
            SCOPED_TRACE(e.name);
            QAction* action = items[i];
            if (QLatin1String(e.name) == QLatin1String("-")) {
                EXPECT_TRUE(action->isSeparator());
                continue;
            }
            EXPECT_FALSE(action->isSeparator());
            EXPECT_EQ(action->objectName(), e.name);
            EXPECT_EQ(action->text(), QString::fromUtf8(e.caption));
            EXPECT_EQ(action->shortcut(), e.shortcut);
            EXPECT_TRUE(action->isVisible());
        }
    }
    EXPECT_TRUE(window.menu().PresetRecallAutostart1->isCheckable());
    EXPECT_FALSE(window.menu().PresetRecallAutostart1->isChecked());
}

TEST(MainMenuTest, HelpContextsOfWindowAndMenus)
{
    TfrmGenerator window;
    EXPECT_EQ(window.property("helpContext").toInt(), 1);
    EXPECT_EQ(window.menu().File1->property("helpContext").toInt(), 5);
    EXPECT_EQ(window.menu().RunScript1->property("helpContext").toInt(), 4);
    EXPECT_EQ(window.menu().Presets1->property("helpContext").toInt(), 6);
}

TEST(MainMenuTest, WaveformDisplayItemIsHiddenButKeepsItsShortcut)
{
    TfrmGenerator window;
    QAction* hidden = window.menu().WaveformDisplay1;
    EXPECT_EQ(hidden->objectName(), "WaveformDisplay1");
    EXPECT_EQ(hidden->text(), "&Waveform Display");
    EXPECT_EQ(hidden->shortcut(), QKeySequence("Ctrl+W"));
    EXPECT_TRUE(window.actions().contains(hidden));
    for (QAction* top : window.menuBar()->actions())
        EXPECT_FALSE(top->menu()->actions().contains(hidden)) << top->text().toStdString();
}

// Keys pressed on the shown window reach the item that carries them.
class MenuKeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    TfrmGenerator window;
};

TEST_F(MenuKeysTest, CtrlTSavesAWaveFileAndNeverStartsThePerformanceTest)
{
    QSignalSpy save(window.menu().SaveWaveFile1, &QAction::triggered);
    QSignalSpy test(window.menu().CompatibilityTest1, &QAction::triggered);
    QTest::keyClick(&window, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(save.count(), 1);
    EXPECT_EQ(test.count(), 0);
}

TEST_F(MenuKeysTest, EachShortcutTriggersItsItem)
{
    struct Case {
        QAction* action;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    const auto& m = window.menu();
    const Case cases[] = {
        {m.WaveformDisplay1, Qt::Key_W, Qt::ControlModifier},
        {m.OpenNewGeneratorWindow1, Qt::Key_N, Qt::ControlModifier},
        {m.Memory31, Qt::Key_F7, Qt::NoModifier},
        {m.StoreMemory41, Qt::Key_F8, Qt::ShiftModifier},
        {m.Recheckoutputdevices1, Qt::Key_R, Qt::ControlModifier | Qt::AltModifier},
        {m.RunScript1, Qt::Key_R, Qt::ControlModifier},
        {m.Off1, Qt::Key_F11, Qt::NoModifier},
        {m.ONOFF2, Qt::Key_Insert, Qt::ControlModifier},
        {m.Help1, Qt::Key_F1, Qt::NoModifier},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action->objectName().toStdString());
        QSignalSpy spy(c.action, &QAction::triggered);
        QTest::keyClick(&window, c.key, c.modifiers);
        EXPECT_EQ(spy.count(), 1);
    }
}

TEST_F(MenuKeysTest, EditingKeysInAnEditBoxEditTheText)
{
    // Ctrl+X (Exit) and Ctrl+Z (reset) must not fire while an edit box has the focus.
    QSignalSpy exit(window.menu().Exit1, &QAction::triggered);
    QSignalSpy reset(window.menu().rESETTOdEFAULT1, &QAction::triggered);
    QLineEdit* edit = window.widgets().left().fInit;
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), "");
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), "100");
    EXPECT_EQ(exit.count(), 0);
    EXPECT_EQ(reset.count(), 0);
}

} // namespace
