#pragma once
// The generator behind the main window: one Generator, one output engine AudioOut1 on one
// device, the fill that feeds it, and the wiring of the window's widgets, menus and
// auxiliary windows to them. Making it runs the window's start-up (device list, welcome
// notice, output settings); closing the window stops the output. Window thread.

#include "audio/audio_device.h"
#include "audio/audio_out.h"
#include "audio/live/generator_output.h"
#include "audio/qt/qt_notice_route.h"
#include "engine/generator.h"
#include "ui/main_window/channel_commands.h"
#include "ui/main_window/control_binding.h"
#include "ui/main_window/desktop_commands.h"
#include "ui/main_window/switching_controller.h"
#include "ui/main_window/underrun_indicator.h"
#include "ui/main_window/visibility_rules.h"
#include "ui/performance_test/generator_test_actions.h"

#include <QObject>
#include <QString>

class QTimer;

#include <functional>
#include <memory>

namespace velmora::ui {

class AboutWindow;
class TfrmFreqSlider;
class TfrmWaveForm;
class TfrmMeasurement;
class PeriodWaitWindow;
class HelpWindow;
class TfrmFrequencyDisplay;
class PresetController;
class ScriptController;
class TfrmGenerator;
class TfrmSettings;
class WaveExportCommand;
class WindowNotices;

class GeneratorController final : public QObject {
    Q_OBJECT
public:
    // `device` is the output device (ALSA in the program, a fake one in tests). `notices`
    // (may be null: message boxes over the window) must outlive the controller, and the
    // controller must go before the window.
    GeneratorController(TfrmGenerator& window, std::unique_ptr<AudioDevice> device,
                        WindowNotices* notices = nullptr);
    ~GeneratorController() override;

    Generator& generator() { return generator_; }
    TAudioOut& AudioOut1() { return AudioOut1_; }
    QtNoticeRoute& route() { return route_; }
    AudioDevice& device() { return *device_; }
    SwitchingController& switching() { return switching_; }
    VisibilityRules& rules() { return rules_; }
    ChannelCommands& commands() { return commands_; }
    ControlBinding& binding() { return binding_; }
    TfrmSettings& settingsDialog() { return *settings_; }
    // Made when first wanted: nothing of them shows at the start (the waveform view starts
    // hidden whatever the kept window state holds).
    HelpWindow& help();
    AboutWindow& about();
    TfrmFreqSlider& freqSlider() { return *slider_; }
    TfrmWaveForm& waveform();
    // View > "Measurement Sweep...": made when first opened.
    TfrmMeasurement& measurement();
    // The device the measurement window plays its sweep through, beside the generator's own:
    // the system's, unless set (tests give a fake one).
    std::function<std::unique_ptr<AudioDevice>()> makeMeasurementDevice;
    // What switching on shows while the signal's period is still being made.
    PeriodWaitWindow& periodWait();
    ScreensaverInhibit& screensaver() { return screensaver_; }
    TfrmFrequencyDisplay& frequencyDisplay() { return *frequencyDisplay_; }
    WaveExportCommand& waveExport() { return *waveExport_; }
    PresetController& presets() { return *presets_; }
    ScriptController& scripts() { return *scripts_; }

    // Lists the output devices into WaveDevice and selects "System Default".
    void Recheckoutputdevices1Click();
    // What identifies the selected device from one listing to the next (a sink's node name;
    // the entry's text where the device layer cannot tell); empty for "System Default" and
    // for no selection.
    QString selectedDeviceName() const;
    // Says that the device `name` (shown as `text`) is not there: the list shows it in its
    // empty selection, and a warning box says what to do.
    void deviceGone(const QString& name, const QString& text);
    // The device layer saw devices come or go: the list is made again, keeping the chosen
    // device where it still is; a chosen device that went says so (deviceGone) and none is
    // chosen. Recheck, as ever, starts again from "System Default".
    void devicesChanged();
    // Switches this generator off and shows the output settings.
    void Compatibilitysettings1Click();
    // The generator's number became known (SwitchingController::generatorNumber): the
    // titles of the window and of the frequency display say it, and a second generator's
    // display stands off the first's.
    void generatorNumberChanged();
    // What activating the window refreshes: lblFS, lblCorrectionAlert and the title.
    void FormActivate();
    void refreshOutputLabels();
    void openHelp(int context);
    // Tools > "Performance Test": the guided test in message boxes (nothing while it runs).
    void CompatibilityTest1Click();
    // What the performance test works on: this window, its memories and output settings,
    // and "Compatibility Test.zrx" beside the program.
    GeneratorTestActions::Parts performanceTestParts();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class LocalSync;
    void bindWindow();
    void connectCommands();
    void plugHooks();
    // The periodic noises' level-limit labels, from the generator.
    void refreshLevelLimits();
    // Lists the devices into WaveDevice, each entry with its identity; nothing selected.
    void fillDeviceList();
    void FormCreate();
    void FormClose();
    // The wave export and the frequency display, made last and wired to the menus, the
    // fill and the frequency recomputes (wave_export_wiring.cpp).
    void createExportAndFrequencyDisplay();

    TfrmGenerator& window_;
    std::unique_ptr<WindowNotices> ownNotices_;
    WindowNotices& notices_;
    std::unique_ptr<AudioDevice> device_;
    QtNoticeRoute route_; // outlives the engine, which forgets its notices there
    Generator generator_;
    TAudioOut AudioOut1_;
    GeneratorOutput output_;
    VisibilityRules rules_;
    ControlBinding binding_;
    ChannelCommands commands_;
    SwitchingController switching_;
    std::unique_ptr<LocalSync> sync_;
    ScreensaverInhibit screensaver_;
    std::unique_ptr<HelpWindow> help_;
    std::unique_ptr<AboutWindow> about_;
    std::unique_ptr<TfrmSettings> settings_;
    std::unique_ptr<TfrmFreqSlider> slider_;
    std::unique_ptr<TfrmWaveForm> waveform_;
    std::unique_ptr<TfrmMeasurement> measurement_;
    std::unique_ptr<PeriodWaitWindow> periodWait_;
    std::unique_ptr<WaveExportCommand> waveExport_;
    std::unique_ptr<TfrmFrequencyDisplay> frequencyDisplay_;
    QTimer* deviceRefresh_ = nullptr;
    QString goneDevice_; // the chosen device that is not there (none is selected)
    bool testRunning_ = false;
    bool generatorRunning_ = false;
    bool closed_ = false;
    std::unique_ptr<PresetController> presets_;
    std::unique_ptr<ScriptController> scripts_;
    std::unique_ptr<UnderrunIndicator> underruns_;
};

} // namespace velmora::ui
