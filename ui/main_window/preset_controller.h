#pragma once
// The window's side of the preset memories: the "Memory Presets" buttons with their pop-up
// menus and rename boxes, the Presets menu, and File > Load Presets / Save Presets As. The
// memories themselves and their store, recall and load live in PresetBank, shared with
// scripts, the renderer and remote control. Window thread.

#include "control/preset_memory.h"

#include <QObject>
#include <QString>

#include <functional>

namespace velmora {
class TAudioOut;
}

namespace velmora::ui {

class ControlBinding;
class SwitchingController;
class TfrmGenerator;
class WindowNotices;

class PresetController final : public QObject {
    Q_OBJECT
public:
    struct Parts {
        TfrmGenerator& window;
        Generator& generator;
        TAudioOut& engine;
        ControlBinding& binding;
        SwitchingController& switching;
        WindowNotices& notices;
    };
    // Wires the widgets and fills the memories from the current settings, named
    // "Memory 1" ... "Memory 4".
    explicit PresetController(const Parts& parts);

    PresetBank& bank() { return bank_; }

    // What the file dialogs answer ("" when cancelled); tests replace them.
    std::function<QString()> chooseLoadFile;
    std::function<QString()> chooseSaveFile;

    void MemRecall(int n);
    void MemStore(int n);
    void startRename(int n);
    void finishRename(int n);
    // LoadSettings with the window's reports: an unreadable or incomplete file in the error
    // box, the V3.2 refusal and the import notice in message boxes. False when it failed.
    bool LoadSettings(const QString& file);
    void LoadSweepSettings1Click();
    void SaveSweepSettingsAs1Click();
    // The examples file beside the program, loaded quietly at start-up: when it is missing
    // or unreadable the memories keep what they hold.
    void loadExamples();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectWidgets();

    TfrmGenerator& window_;
    TAudioOut& engine_;
    ControlBinding& binding_;
    SwitchingController& switching_;
    WindowNotices& notices_;
    PresetBank bank_;
    int renaming_ = 0; // the memory being renamed, 0 for none
};

} // namespace velmora::ui
