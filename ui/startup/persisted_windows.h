#pragma once
// The generator's windows as the kept window state sees them: the restore at start applies
// the stored values to them, and closing the main window saves them. A store that cannot be
// written at close costs one message box naming the file and the reason; the window still
// closes, and the store on disk keeps its previous contents whole.
// Window thread; the restore and the save touch the disk.

#include "control/window_state.h"

#include <QObject>

class QWidget;

namespace velmora::ui {

class GeneratorController;
class TfrmGenerator;
class WindowNotices;

class PersistedWindows final : public QObject, public WindowStateHost {
    Q_OBJECT
public:
    // Saves whenever `window` closes, so it must be made after the controller (its close
    // handling then runs after the save) and go before both.
    PersistedWindows(TfrmGenerator& window, GeneratorController& controller, WindowNotices& notices);

    // The auxiliary windows whose place and visibility are kept; either may be null while
    // the program has no such window.
    void setAuxiliaryWindows(QWidget* frequencyDisplay, QWidget* frequencySlider);
    QWidget* frequencyDisplayWindow() const { return display_; }
    QWidget* frequencySliderWindow() const { return slider_; }

    // Reads the store and applies it; the last step of making the windows at start.
    RestoreOutcome restore();
    // Writes the store; what closing the main window does after stopping the output.
    void save();

    // WindowStateHost.
    int waveDeviceIndex() const override;
    int waveDeviceCount() const override;
    void setWaveDeviceIndex(int index) override;
    void WaveDeviceChange() override;
    std::string waveDeviceName() const override;
    std::string waveDeviceText() const override;
    bool selectWaveDeviceNamed(const std::string& name) override;
    void waveDeviceGone(const std::string& name, const std::string& text) override;
    void monoClick() override;
    bool presetAutoStart() const override;
    void setPresetAutoStart(bool on) override;
    bool frequencySliderShown() const override;
    void FreqSlider1Click() override;
    bool frequencyDisplayShown() const override;
    void FrequencyDisplay1Click() override;
    ScreenSize primaryScreen() const override;
    std::vector<ScreenRect> screens() const override;
    WindowBounds mainWindow() const override;
    void moveMainWindow(WindowPlace place) override;
    void limitFrequencyDisplayWidth(int width) override;
    WindowBounds frequencyDisplay() const override;
    void setFrequencyDisplayHeight(int height) override;
    void moveFrequencyDisplay(WindowPlace place) override;
    WindowBounds frequencySlider() const override;
    void setFrequencySliderWidth(int width) override;
    void moveFrequencySlider(WindowPlace place) override;
    std::string sliderText(SliderEdit edit) const override;
    void setSliderText(SliderEdit edit, const std::string& text) override;
    void resetCurrentSettings() override;
    void fillMemoriesFromSettings() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TfrmGenerator& window_;
    GeneratorController& controller_;
    WindowNotices& notices_;
    QWidget* display_ = nullptr;
    QWidget* slider_ = nullptr;
};

} // namespace velmora::ui
