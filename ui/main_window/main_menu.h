#pragma once
// The generator window's menu bar. Window thread.

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;

namespace velmora::ui {

// Every menu and item of the menu bar, named after its control. The help context of a menu
// or item, where it has its own, is kept in its "helpContext" property.
struct MainMenu {
    QMenuBar* MainMenu1 = nullptr;

    QMenu* File1 = nullptr;
    QAction* OpenNewGeneratorWindow1 = nullptr;
    QAction* SaveWaveFile1 = nullptr;
    QAction* LoadSweepSettings1 = nullptr;
    QAction* SaveSweepSettingsAs1 = nullptr;
    QAction* RunScript1 = nullptr;
    QAction* OpenScriptEditor1 = nullptr;
    QAction* Exit1 = nullptr;

    QMenu* View1 = nullptr;
    QAction* FreqSlider1 = nullptr;
    QAction* FrequencyDisplay1 = nullptr;
    // Never shown in the menu; its Ctrl+W lives on the window itself.
    QAction* WaveformDisplay1 = nullptr;
    QAction* WindowsVolumeControl1 = nullptr;
    QAction* MeasurementSweep1 = nullptr;

    QMenu* Presets1 = nullptr;
    QAction* Memory11 = nullptr;
    QAction* Memory21 = nullptr;
    QAction* Memory31 = nullptr;
    QAction* Memory41 = nullptr;
    QAction* StoreMemory11 = nullptr;
    QAction* StoreMemory2 = nullptr;
    QAction* StoreMemory31 = nullptr;
    QAction* StoreMemory41 = nullptr;
    QAction* PresetRecallAutostart1 = nullptr;
    QAction* rESETTOdEFAULT1 = nullptr;

    QMenu* Recall1 = nullptr;  // "&Tools"
    QAction* Compatibilitysettings1 = nullptr;
    QAction* Recheckoutputdevices1 = nullptr;
    // Shows Ctrl+T beside its caption, but the key belongs to SaveWaveFile1.
    QAction* CompatibilityTest1 = nullptr;
    QAction* OnOff1 = nullptr;  // "OFF"
    QAction* Pause1 = nullptr;
    QAction* Off1 = nullptr;    // "ON"
    QAction* ONOFF2 = nullptr;

    QMenu* About1 = nullptr;  // "&Help"
    QAction* Introduction1 = nullptr;
    QAction* Help1 = nullptr;
    QAction* About2 = nullptr;
};

// Builds the menu bar of `window`; the hidden waveform-display item is added to the window so
// that its shortcut works. Allocates; everything is owned by the window.
MainMenu buildMainMenu(QMainWindow* window);

} // namespace velmora::ui
