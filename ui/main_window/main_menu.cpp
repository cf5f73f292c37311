#include "ui/main_window/main_menu.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace velmora::ui {

namespace {

QMenu* addMenu(QMenuBar* bar, const char* name, const QString& title)
{
    QMenu* menu = bar->addMenu(title);
    menu->setObjectName(QLatin1String(name));
    return menu;
}

QAction* addItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {})
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(shortcut);
    return action;
}

QKeySequence keys(QKeyCombination combination) { return QKeySequence(combination); }

} // namespace

MainMenu buildMainMenu(QMainWindow* window)
{
    MainMenu m;
    m.MainMenu1 = window->menuBar();
    m.MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    QMenuBar* bar = m.MainMenu1;

    m.File1 = addMenu(bar, "File1", QStringLiteral("&File"));
    m.File1->setProperty("helpContext", 5);
    m.OpenNewGeneratorWindow1 = addItem(m.File1, "OpenNewGeneratorWindow1", QStringLiteral("&Open New Generator Window"),
                                        keys(Qt::CTRL | Qt::Key_N));
    m.File1->addSeparator();
    m.SaveWaveFile1 = addItem(m.File1, "SaveWaveFile1", QStringLiteral("Save Tone &As Wave File..."),
                              keys(Qt::CTRL | Qt::Key_T));
    m.File1->addSeparator();
    m.LoadSweepSettings1 = addItem(m.File1, "LoadSweepSettings1", QStringLiteral("&Load Presets"),
                                   keys(Qt::CTRL | Qt::Key_L));
    m.SaveSweepSettingsAs1 = addItem(m.File1, "SaveSweepSettingsAs1", QStringLiteral("&Save Presets As..."),
                                     keys(Qt::CTRL | Qt::Key_S));
    m.File1->addSeparator();
    m.RunScript1 = addItem(m.File1, "RunScript1", QStringLiteral("&Run Script"), keys(Qt::CTRL | Qt::Key_R));
    m.RunScript1->setProperty("helpContext", 4);
    m.OpenScriptEditor1 = addItem(m.File1, "OpenScriptEditor1", QStringLiteral("&Open Script Editor"));
    m.File1->addSeparator();
    m.Exit1 = addItem(m.File1, "Exit1", QStringLiteral("&Exit"), keys(Qt::CTRL | Qt::Key_X));

    m.View1 = addMenu(bar, "View1", QStringLiteral("&View"));
    m.FreqSlider1 = addItem(m.View1, "FreqSlider1", QStringLiteral("&Frequency Slider"), keys(Qt::CTRL | Qt::Key_F));
    m.FreqSlider1->setCheckable(true);
    m.FrequencyDisplay1 = addItem(m.View1, "FrequencyDisplay1", QStringLiteral("Frequency &Display"),
                                  keys(Qt::CTRL | Qt::Key_D));
    m.FrequencyDisplay1->setCheckable(true); // checked while the display is visible
    // A hidden menu item would take its shortcut with it, so this one lives on the window.
    m.WaveformDisplay1 = new QAction(QStringLiteral("&Waveform Display"), window);
    m.WaveformDisplay1->setObjectName(QStringLiteral("WaveformDisplay1"));
    m.WaveformDisplay1->setShortcut(keys(Qt::CTRL | Qt::Key_W));
    m.WaveformDisplay1->setCheckable(true);
    window->addAction(m.WaveformDisplay1);
    m.View1->addSeparator();
    m.WindowsVolumeControl1 = addItem(m.View1, "WindowsVolumeControl1", QStringLiteral("&Volume Control"));
    m.View1->addSeparator();
    m.MeasurementSweep1 = addItem(m.View1, "MeasurementSweep1", QStringLiteral("&Measurement Sweep..."));
    m.MeasurementSweep1->setCheckable(true);

    m.Presets1 = addMenu(bar, "Presets1", QStringLiteral("&Presets"));
    m.Presets1->setProperty("helpContext", 6);
    m.Memory11 = addItem(m.Presets1, "Memory11", QStringLiteral("Recall Preset 1"), keys(Qt::Key_F5));
    m.Memory21 = addItem(m.Presets1, "Memory21", QStringLiteral("Recall Preset 2"), keys(Qt::Key_F6));
    m.Memory31 = addItem(m.Presets1, "Memory31", QStringLiteral("Recall Preset 3"), keys(Qt::Key_F7));
    m.Memory41 = addItem(m.Presets1, "Memory41", QStringLiteral("Recall Preset 4"), keys(Qt::Key_F8));
    m.Presets1->addSeparator();
    m.StoreMemory11 = addItem(m.Presets1, "StoreMemory11", QStringLiteral("Store Preset 1"),
                              keys(Qt::SHIFT | Qt::Key_F5));
    m.StoreMemory2 = addItem(m.Presets1, "StoreMemory2", QStringLiteral("Store Preset 2"), keys(Qt::SHIFT | Qt::Key_F6));
    m.StoreMemory31 = addItem(m.Presets1, "StoreMemory31", QStringLiteral("Store Preset 3"),
                              keys(Qt::SHIFT | Qt::Key_F7));
    m.StoreMemory41 = addItem(m.Presets1, "StoreMemory41", QStringLiteral("Store Preset 4"),
                              keys(Qt::SHIFT | Qt::Key_F8));
    m.Presets1->addSeparator();
    m.PresetRecallAutostart1 = addItem(m.Presets1, "PresetRecallAutostart1", QStringLiteral("Autostart Recalled Presets"));
    m.PresetRecallAutostart1->setCheckable(true);
    m.rESETTOdEFAULT1 = addItem(m.Presets1, "rESETTOdEFAULT1", QStringLiteral("&Reset current settings"),
                                keys(Qt::CTRL | Qt::Key_Z));

    m.Recall1 = addMenu(bar, "Recall1", QStringLiteral("&Tools"));
    m.Compatibilitysettings1 = addItem(m.Recall1, "Compatibilitysettings1", QStringLiteral("&Output Settings"),
                                       keys(Qt::CTRL | Qt::Key_C));
    m.Recheckoutputdevices1 = addItem(m.Recall1, "Recheckoutputdevices1", QStringLiteral("&Recheck output devices"),
                                      keys(Qt::CTRL | Qt::ALT | Qt::Key_R));
    m.Recall1->addSeparator();
    // Ctrl+T already saves a wave file: the performance test only shows the key.
    m.CompatibilityTest1 = addItem(m.Recall1, "CompatibilityTest1",
                                   QStringLiteral("Performance &Test\t") +
                                       keys(Qt::CTRL | Qt::Key_T).toString(QKeySequence::NativeText));
    m.Recall1->addSeparator();
    m.OnOff1 = addItem(m.Recall1, "OnOff1", QStringLiteral("OFF"), keys(Qt::Key_F9));
    m.Pause1 = addItem(m.Recall1, "Pause1", QStringLiteral("Pause"), keys(Qt::Key_F10));
    m.Off1 = addItem(m.Recall1, "Off1", QStringLiteral("ON"), keys(Qt::Key_F11));
    m.Recall1->addSeparator();
    m.ONOFF2 = addItem(m.Recall1, "ONOFF2", QStringLiteral("ON/OFF Toggle"), keys(Qt::CTRL | Qt::Key_Insert));

    m.About1 = addMenu(bar, "About1", QStringLiteral("&Help"));
    m.Introduction1 = addItem(m.About1, "Introduction1", QStringLiteral("Show &Introduction"));
    m.Help1 = addItem(m.About1, "Help1", QStringLiteral("&Help"), keys(Qt::Key_F1));
    m.About1->addSeparator();
    m.About2 = addItem(m.About1, "About2", QStringLiteral("&About this program..."));
    return m;
}

} // namespace velmora::ui
