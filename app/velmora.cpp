// velmora: the generator window.
#include "audio/fake_device.h"
#include "audio/system/system_device.h"
#include "control/dbus/session_bus.h"
#include "engine/numbers.h"
#include "files/start_files.h"
#include "ui/dialogs/about_window.h"
#include "ui/main_window/generator_controller.h"
#include "ui/main_window/generator_link.h"
#include "ui/main_window/generator_window.h"
#include "ui/main_window/preset_controller.h"
#include "ui/dialogs/output_settings_dialog.h"
#include "ui/dialogs/wait_window.h"
#include "ui/frequency_display/frequency_display.h"
#include "ui/main_window/wave_export_command.h"
#include "ui/frequency_slider/freq_slider_window.h"
#include "ui/main_window/main_menu.h"
#include "ui/waveform_display/waveform_window.h"
#include "ui/widgets/picture_combo_box.h"
#include "ui/widgets/stable_palette_style.h"
#include "ui/splash/start_splash.h"
#include "ui/startup/start_sequence.h"

#ifdef VELMORA_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QComboBox>
#include <QLocale>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>

#include "terminal_text.h"

#include <cstdio>
#include <cstdlib>
#include <future>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#ifdef VELMORA_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

using velmora::Channel;
using velmora::Control;
using velmora::Field;

// VELMORA_SCREENSHOT=<file.png> saves a picture of a window once it is on screen and quits;
// VELMORA_SCREENSHOT_WINDOW picks what: "main" (the default; mono with a sine), "stereo"
// (white noise left, a sweep right, the generator on), "settings", "about", "waves" (the
// left waveform list opened), "export" (the progress window half way through saving a long
// stereo sweep, which is then cancelled), "frequency" or "frequency-stereo" (the frequency
// display of a playing generator), "slider" (the frequency slider), "scope" (the waveform
// display with a 1 kHz sine at 44100 Hz, 500 µs/div), "splash" (the start-up splash,
// fully faded in) or "periodic" (periodic pink noise at 0 dBFS on the left, brown on the
// right, the generator on) or "burst" (a 6.5-cycle 50 Hz tone burst on the left, pink periodic
// noise in the 500:2000 band on the right). Pictures play through a silent fake device, so they need no sound card.
// Used by tools/screenshots.sh.
void scheduleScreenshot(QWidget* window, const QString& file)
{
    QTimer::singleShot(500, window, [window, file] { QApplication::exit(window->grab().save(file) ? 0 : 1); });
}

void setUpStereoPicture(velmora::ui::GeneratorController& controller)
{
    velmora::Generator& g = controller.generator();
    auto select = [&](Control c, int index) { controller.binding().run([&] { g.selectIndex(c, index); }); };
    select({Field::cboChannels}, 1);
    select({Field::WaveForm, Channel::Left}, velmora::kWhiteNoise);
    controller.binding().run([&] { g.setChecked({Field::chkConstant, Channel::Right}, false); });
    controller.switching().btnONClick();
}

void setUpPeriodicPicture(velmora::ui::GeneratorController& controller)
{
    velmora::Generator& g = controller.generator();
    controller.binding().run([&] {
        g.selectIndex({Field::cboChannels}, 1);
        g.selectIndex({Field::WaveForm, Channel::Left}, velmora::kPinkNoisePeriodic);
        g.selectIndex({Field::WaveForm, Channel::Right}, velmora::kBrownNoisePeriodic);
        g.setText({Field::Amplitude, Channel::Right}, "-20");
    });
    controller.switching().btnONClick();
}

void setUpBurstPicture(velmora::ui::GeneratorController& controller)
{
    velmora::Generator& g = controller.generator();
    controller.binding().run([&] {
        g.selectIndex({Field::cboChannels}, 1);
        g.selectIndex({Field::WaveForm, Channel::Left}, velmora::kToneBurst);
        g.setText({Field::fInit, Channel::Left}, "50");
        g.selectIndex({Field::WaveForm, Channel::Right}, velmora::kPinkNoisePeriodic);
        g.setText({Field::cboBand, Channel::Right}, "500:2000");
    });
}

void setUpStereoOffPicture(velmora::ui::GeneratorController& controller)
{
    velmora::Generator& g = controller.generator();
    controller.binding().run([&] {
        g.selectIndex({Field::cboChannels}, 1);
        g.setChecked({Field::chkConstant, Channel::Left}, false);
        g.selectIndex({Field::WaveForm, Channel::Right}, velmora::kMLS);
        g.setText({Field::PhaseEdit}, "90");
    });
}

// The progress window is pictured once the bar passes half way; the export is then cancelled,
// which leaves no file.
void shootExport(velmora::ui::GeneratorController& controller, const QString& file)
{
    velmora::Generator& g = controller.generator();
    velmora::ui::TfrmSettings& output = controller.settingsDialog();
    output.cboFsList->setCurrentIndex(output.cboFsList->findText(QStringLiteral("44100")));
    output.cboFsListChange();
    output.cboQuant->setCurrentIndex(output.cboQuant->findText(QStringLiteral("24")));
    output.cboBuffersChange();
    auto& binding = controller.binding();
    binding.run([&] {
        g.selectIndex({Field::cboChannels}, 1);
        g.setText({Field::Duration}, "600");
        g.setChecked({Field::chkConstant, Channel::Left}, false);
        g.setText({Field::fFinal, Channel::Left}, "20000");
    });
    velmora::ui::WaveExportCommand& save = controller.waveExport();
    save.runSaveDialog = [](QFileDialog&) { return QDir::temp().filePath(QStringLiteral("velmora-screenshot.wav")); };
    auto shot = std::make_shared<bool>(false);
    save.progressed = [&save, shot, file](int percent) {
        if (*shot || percent < 50) return;
        *shot = true;
        save.wait().grab().save(file);
        save.CancelSave = true;
    };
    QTimer::singleShot(300, &controller, [&controller, shot] {
        controller.waveExport().SaveWaveFile1Click();
        QApplication::exit(*shot ? 0 : 1);
    });
}

void shootFrequencyDisplay(velmora::ui::GeneratorController& controller, bool stereo, const QString& file)
{
    velmora::Generator& g = controller.generator();
    controller.binding().run([&] {
        g.selectIndex({Field::cboChannels}, stereo ? 1 : 0);
        g.setText({Field::fInit, Channel::Left}, "1000");
        g.setText({Field::fInit, Channel::Right}, "500");
    });
    velmora::ui::TfrmFrequencyDisplay& display = controller.frequencyDisplay();
    display.resize(display.width(), 60);
    display.setShown(true);
    controller.switching().btnONClick();
    scheduleScreenshot(&display, file);
}

void setUpScopePicture(velmora::ui::GeneratorController& controller, velmora::ui::TfrmGenerator& window)
{
    velmora::Generator& g = controller.generator();
    auto& rates = *controller.settingsDialog().cboFsList;
    rates.setCurrentIndex(rates.findText(QStringLiteral("44100")));
    controller.settingsDialog().cboFsListChange();
    controller.binding().run([&] {
        g.setText({Field::fInit, Channel::Left}, "1000");
        g.setChecked({Field::Loop}, true);
    });
    window.menu().WaveformDisplay1->trigger();
    // The start fills the whole ring, which the scope shows (the fake device plays nothing).
    controller.switching().btnONClick();
}

// Fontconfig reads its configuration and caches once per process; Qt's font database then
// finds them ready.
void readFontConfiguration()
{
#ifdef VELMORA_FONTCONFIG
    FcInit();
#endif
}

char localeDecimalSeparator()
{
    const QString point = QLocale().decimalPoint();
    return point == QLatin1String(",") ? ',' : '.';
}

// --help, --version and unknown options are answered before any window (or display) is needed.
std::optional<int> answerWithoutWindows(const velmora::StartArguments& arguments, const char* program)
{
    using Mode = velmora::StartArguments::Mode;
    switch (arguments.mode) {
    case Mode::Help: std::fputs(velmora::StartUsage(program).c_str(), stdout); return 0;
    case Mode::Version: std::fputs(velmora::StartVersion().c_str(), stdout); return 0;
    case Mode::BadOption:
        std::fprintf(stderr, "%s: unknown option '%s' (see %s --help)\n", program,
                     velmora::EscapeControl(arguments.argument).c_str(), program);
        return 2;
    case Mode::Start: break;
    }
    return std::nullopt;
}

// The value of Qt's own option `-name value` (or `--name value`, `-name=value`), if given.
const char* qtOption(int argc, char** argv, const char* name)
{
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a.starts_with("--")) a.remove_prefix(1);
        if (!a.starts_with("-") || a.substr(1, std::strlen(name)) != name) continue;
        const std::string_view rest = a.substr(1 + std::strlen(name));
        if (rest.empty() && i + 1 < argc) return argv[i + 1];
        if (rest.starts_with("=")) return argv[i] + (std::string_view(argv[i]).size() - rest.size() + 1);
    }
    return nullptr;
}

// Qt's X platform aborts the program, with several lines of its own, when it cannot reach a
// display: checked first, in one line that says where to turn instead. Other platforms
// (offscreen, Wayland) are left to Qt.
std::optional<int> refuseWithoutDisplay(int argc, char** argv)
{
    const char* chosen = qtOption(argc, argv, "platform");
    std::string platform = chosen ? chosen : qEnvironmentVariable("QT_QPA_PLATFORM").toStdString();
    platform = platform.substr(0, platform.find_first_of(";:")); // the first choice, without options
    if (platform.empty()) {
        // Qt's own choice: Wayland where a Wayland display is offered, X otherwise.
        if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return std::nullopt;
    } else if (platform != "xcb") {
        return std::nullopt;
    }
    const char* given = qtOption(argc, argv, "display");
    const std::string display = given ? given : qEnvironmentVariable("DISPLAY").toStdString();
    std::string why;
    if (display.empty()) {
        why = "no display (DISPLAY is not set)";
    } else {
#ifdef VELMORA_HAVE_XCB
        xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
        const bool reached = xcb_connection_has_error(connection) == 0;
        xcb_disconnect(connection);
        if (!reached) why = "cannot open the display '" + velmora::EscapeControl(display) + "'";
#endif
    }
    if (why.empty()) return std::nullopt;
    std::fprintf(stderr, "velmora: %s; to play or render without a display use velmora-render\n", why.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (const auto status = answerWithoutWindows(velmora::ReadStartArguments(argc > 1 ? argv[1] : nullptr), "velmora"))
        return *status;
    if (const auto status = refuseWithoutDisplay(argc, argv))
        return *status;

    // Before anything (Qt's own accessibility and theme included) asks for a session bus:
    // none is started for this program. It may set the environment, so it comes before
    // the other threads start.
    velmora::SettleSessionBus();
    // Reading the font configuration takes a good part of the start; it runs on another
    // thread while Qt connects to the display.
    std::future<void> fontsAhead = std::async(std::launch::async, readFontConfiguration);

    QApplication app(argc, argv);
    // The session bus (the accessibility bridge asks for it at the first control with a
    // text, the link to other programs after) is reached on another thread meanwhile.
    std::future<void> busAhead = std::async(std::launch::async, [] { QDBusConnection::sessionBus(); });
    // Listing the sound devices runs on another thread while the main window's controls are
    // made; started once Qt has its display, whose libraries it would otherwise hold up.
    const char* shotVariable = std::getenv("VELMORA_SCREENSHOT");
    const bool screenshot = shotVariable != nullptr && *shotVariable != '\0';
    std::future<std::unique_ptr<velmora::AudioDevice>> deviceAhead =
        std::async(std::launch::async, [screenshot]() -> std::unique_ptr<velmora::AudioDevice> {
            std::unique_ptr<velmora::AudioDevice> device;
            if (screenshot)
                device = std::make_unique<velmora::FakeDevice>(std::vector<std::string>{"Built-in Audio"});
            else
                device = std::make_unique<velmora::SystemAudioDevice>();
            device->listDevicesAhead();
            return device;
        });
    // The desktop's style, handed stable palettes (greyed groups would grow its caches).
    QApplication::setStyle(new velmora::ui::StablePaletteStyle(QApplication::style()->name()));
    fontsAhead.get(); // before the first text is measured
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    // Desktops match the running window to the installed velmora.desktop by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("velmora"));
    velmora::SetDecimalSeparator(localeDecimalSeparator());
    // The first argument once Qt has taken its own options (-platform, -display ...) away.
    const QStringList arguments = QApplication::arguments();
    velmora::StartArguments start =
        velmora::ReadStartArguments(arguments.size() > 1 ? arguments[1].toLocal8Bit().constData() : nullptr);
    if (const auto status = answerWithoutWindows(start, "velmora"))
        return *status;

    const QString shot = qEnvironmentVariable("VELMORA_SCREENSHOT");
    const QString shotWindow = qEnvironmentVariable("VELMORA_SCREENSHOT_WINDOW");
    if (!shot.isEmpty())
        start.splash = false; // pictures of the windows, not of the splash

    // From its hand-over on the device is the window thread's.
    auto sequence = std::make_unique<velmora::ui::StartSequence>(
        start, [&deviceAhead] { return deviceAhead.get(); });
    if (const auto status = sequence->run())
        return *status;
    velmora::ui::TfrmGenerator& window = sequence->window();
    velmora::ui::GeneratorController* controller = &sequence->controller();
    // Other programs reach the generator from here on: remote messages, the generators kept in
    // step, the global hot key. Boxes raised by a message wait until its sender has its answer.
    auto link = std::make_unique<velmora::ui::GeneratorLink>(window, *controller, *sequence->deferredNotices());
    window.show();

    std::unique_ptr<velmora::ui::TfrmStartSplash> splash;
    if (!shot.isEmpty()) {
        if (shotWindow == QLatin1String("splash")) {
            splash = std::make_unique<velmora::ui::TfrmStartSplash>();
            splash->setWindowOpacity(1.0);
            splash->show();
            scheduleScreenshot(splash.get(), shot);
        } else if (shotWindow == QLatin1String("about")) {
            controller->about().show();
            scheduleScreenshot(&controller->about(), shot);
        } else if (shotWindow == QLatin1String("settings")) {
            controller->Compatibilitysettings1Click();
            scheduleScreenshot(&controller->settingsDialog(), shot);
        } else if (shotWindow == QLatin1String("waves")) {
            auto* list = window.widgets().left().WaveForm;
            QTimer::singleShot(200, list, [list] { list->showPopup(); });
            scheduleScreenshot(list->view()->window(), shot);
        } else if (shotWindow == QLatin1String("stereo-off")) {
            setUpStereoOffPicture(*controller);
            scheduleScreenshot(&window, shot);
        } else if (shotWindow == QLatin1String("export")) {
            shootExport(*controller, shot);
        } else if (shotWindow.startsWith(QLatin1String("frequency"))) {
            shootFrequencyDisplay(*controller, shotWindow.endsWith(QLatin1String("stereo")), shot);
        } else if (shotWindow == QLatin1String("slider")) {
            window.menu().FreqSlider1->trigger();
            scheduleScreenshot(&controller->freqSlider(), shot);
        } else if (shotWindow == QLatin1String("scope")) {
            setUpScopePicture(*controller, window);
            scheduleScreenshot(&controller->waveform(), shot);
        } else if (shotWindow == QLatin1String("stereo")) {
            setUpStereoPicture(*controller);
            scheduleScreenshot(&window, shot);
        } else if (shotWindow == QLatin1String("periodic")) {
            setUpPeriodicPicture(*controller);
            scheduleScreenshot(&window, shot);
        } else if (shotWindow == QLatin1String("burst")) {
            setUpBurstPicture(*controller);
            scheduleScreenshot(&window, shot);
        } else {
            scheduleScreenshot(&window, shot);
        }
    }
    const int result = app.exec();
    link.reset();
    sequence.reset(); // the windows go before the application
    return result;
}
