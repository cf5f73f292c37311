// velmora: the generator window.
#include "audio/alsa/alsa_device.h"
#include "audio/fake_device.h"
#include "engine/numbers.h"
#include "ui/dialogs/about_window.h"
#include "ui/main_window/generator_controller.h"
#include "ui/main_window/generator_window.h"
#include "ui/main_window/preset_controller.h"
#include "ui/dialogs/output_settings_dialog.h"
#include "ui/frequency_slider/freq_slider_window.h"
#include "ui/main_window/main_menu.h"
#include "ui/waveform_display/waveform_window.h"
#include "ui/widgets/picture_combo_box.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

#include <memory>

namespace {

using velmora::Channel;
using velmora::Control;
using velmora::Field;

// VELMORA_SCREENSHOT=<file.png> saves a picture of a window once it is on screen and quits;
// VELMORA_SCREENSHOT_WINDOW picks what: "main" (the default; mono with a sine), "stereo"
// (white noise left, a sweep right, the generator on), "settings", "about", "waves" (the
// left waveform list opened), "slider" (the frequency slider) or "scope" (the waveform
// display with a 1 kHz sine at 44100 Hz, 500 µs/div). Pictures play through a silent fake device, so they need no
// sound card. Used by tools/screenshots.sh.
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

char localeDecimalSeparator()
{
    const QString point = QLocale().decimalPoint();
    return point == QLatin1String(",") ? ',' : '.';
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    velmora::SetDecimalSeparator(localeDecimalSeparator());

    const QString shot = qEnvironmentVariable("VELMORA_SCREENSHOT");
    const QString shotWindow = qEnvironmentVariable("VELMORA_SCREENSHOT_WINDOW");
    std::unique_ptr<velmora::AudioDevice> device;
    if (shot.isEmpty())
        device = std::make_unique<velmora::AlsaDevice>();
    else
        device = std::make_unique<velmora::FakeDevice>(std::vector<std::string>{"Built-in Audio"});

    velmora::ui::TfrmGenerator window;
    auto controller = std::make_unique<velmora::ui::GeneratorController>(window, std::move(device));
    controller->presets().loadExamples();
    window.show();

    if (!shot.isEmpty()) {
        if (shotWindow == QLatin1String("about")) {
            controller->about().show();
            scheduleScreenshot(&controller->about(), shot);
        } else if (shotWindow == QLatin1String("settings")) {
            controller->Compatibilitysettings1Click();
            scheduleScreenshot(&controller->settingsDialog(), shot);
        } else if (shotWindow == QLatin1String("waves")) {
            auto* list = window.widgets().left().WaveForm;
            QTimer::singleShot(200, list, [list] { list->showPopup(); });
            scheduleScreenshot(list->view()->window(), shot);
        } else if (shotWindow == QLatin1String("slider")) {
            window.menu().FreqSlider1->trigger();
            scheduleScreenshot(&controller->freqSlider(), shot);
        } else if (shotWindow == QLatin1String("scope")) {
            setUpScopePicture(*controller, window);
            scheduleScreenshot(&controller->waveform(), shot);
        } else if (shotWindow == QLatin1String("stereo")) {
            setUpStereoPicture(*controller);
            scheduleScreenshot(&window, shot);
        } else {
            scheduleScreenshot(&window, shot);
        }
    }
    const int result = app.exec();
    controller.reset(); // before the window it is wired to
    return result;
}
