// window_cpu: the generator window playing a 48000 Hz stereo 1 kHz sine for a while, with
// or without the waveform display open at 100 ms/div, and the processor time the whole
// process took meanwhile (window, fill, device threads). It plays through the program's
// output device (a PipeWire server where one answers, else ALSA's default device), or with
// --alsa through ALSA's default device whatever answers.
//
//   window_cpu [--scope] [--alsa] [SECONDS]
//       prints: "scope off|on, OUTPUT: X.XX % of one core over S s"
//
// Run it under an X server and a sound server (bench/window_cpu.sh starts both).
#include "audio/alsa/alsa_device.h"
#include "audio/system/system_device.h"
#include "ui/dialogs/output_settings_dialog.h"
#include "ui/main_window/generator_controller.h"
#include "ui/main_window/generator_window.h"
#include "ui/main_window/main_menu.h"
#include "ui/main_window/window_notices.h"
#include "ui/waveform_display/waveform_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QSlider>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using namespace velmora;

// No box may wait for a click here: notices are printed.
class PrintedNotices final : public ui::WindowNotices {
public:
    void errorBox(const QString& text) override { std::fprintf(stderr, "error: %s\n", qPrintable(text)); }
    void messageBox(const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    int suppressible(const QString& text, const QString&, NoticeButtons, const QString&) override
    {
        std::fprintf(stderr, "notice: %s\n", qPrintable(text));
        return NoticeResult::No;
    }
};

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    bool scope = false;
    bool alsa = false;
    int seconds = 30;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scope") == 0)
            scope = true;
        else if (std::strcmp(argv[i], "--alsa") == 0)
            alsa = true;
        else
            seconds = std::atoi(argv[i]);
    }

    PrintedNotices notices;
    ui::TfrmGenerator window;
    std::unique_ptr<AudioDevice> device;
    if (alsa)
        device = std::make_unique<AlsaDevice>();
    else
        device = std::make_unique<SystemAudioDevice>();
    AudioDevice* output = device.get();
    auto controller = std::make_unique<ui::GeneratorController>(window, std::move(device), &notices);
    window.show();

    Generator& g = controller->generator();
    QComboBox& rates = *controller->settingsDialog().cboFsList;
    rates.setCurrentIndex(rates.findText(QStringLiteral("48000")));
    controller->settingsDialog().cboFsListChange();
    controller->binding().run([&] {
        g.selectIndex({Field::cboChannels}, 1);
        for (Channel c : kChannels) g.setText({Field::fInit, c}, "1000");
        g.setChecked({Field::Loop}, true);
    });
    if (scope) {
        window.menu().WaveformDisplay1->trigger();
        controller->waveform().tbTDiv->setValue(10); // 100 ms/div
    }
    controller->switching().btnONClick();

    int result = 0;
    double start = 0;
    // A second to settle, then the measured span.
    QTimer::singleShot(1000, &app, [&] { start = processorSeconds(); });
    QTimer::singleShot(1000 + seconds * 1000, &app, [&] {
        const double used = processorSeconds() - start;
        const bool running = controller->switching().GeneratorRunning();
        auto* system = dynamic_cast<SystemAudioDevice*>(output);
        const char* through = system != nullptr && system->playingThroughPipeWire() ? "PipeWire" : "ALSA";
        std::printf("scope %s, %s: %.2f %% of one core over %d s, %llu underrun(s)%s\n", scope ? "on" : "off",
                    through, 100 * used / seconds, seconds, static_cast<unsigned long long>(output->underruns()),
                    running ? "" : " (the generator had stopped)");
        result = running ? 0 : 1;
        app.quit();
    });
    app.exec();
    controller.reset();
    return result;
}
