// window_cpu: the generator window playing a stereo 1 kHz sine for a while, with or without
// the waveform display open, and the processor time the whole process took meanwhile
// (window, fill, device threads). It plays through the program's output device (a PipeWire
// server where one answers, else ALSA's default device), or with --alsa through ALSA's
// default device whatever answers.
//
//   window_cpu [--scope] [--alsa] [--rate HZ] [--buffers N] [--buffer-size BYTES]
//              [--tdiv POSITION] [--noise] [SECONDS]
//
// --noise plays white noise instead of the sine: a picture that changes every time.
//
// Defaults: 48000 Hz, 4 buffers of 2048 bytes, 100 ms/div (position 10), 30 s. Prints
// "scope off|on, OUTPUT: X.XX % of one core over S s, N underrun(s) (RATE Hz, N x BYTES
// bytes, LABEL/div)".
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
#include <cstdlib>
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
    QString rate = QStringLiteral("48000"), buffers = QStringLiteral("4"), bufferSize = QStringLiteral("2048");
    int timeBase = 10;
    bool noise = false;
    for (int i = 1; i < argc; ++i) {
        const bool valued = i + 1 < argc;
        if (std::strcmp(argv[i], "--scope") == 0)
            scope = true;
        else if (std::strcmp(argv[i], "--alsa") == 0)
            alsa = true;
        else if (std::strcmp(argv[i], "--rate") == 0 && valued)
            rate = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--buffers") == 0 && valued)
            buffers = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--buffer-size") == 0 && valued)
            bufferSize = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--noise") == 0)
            noise = true;
        else if (std::strcmp(argv[i], "--tdiv") == 0 && valued)
            timeBase = std::atoi(argv[++i]);
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
    AudioDevice* player = device.get();
    auto controller = std::make_unique<ui::GeneratorController>(window, std::move(device), &notices);
    window.show();

    Generator& g = controller->generator();
    ui::TfrmSettings& output = controller->settingsDialog();
    const auto choose = [](QComboBox& list, const QString& text) {
        const int index = list.findText(text);
        if (index < 0) {
            std::fprintf(stderr, "window_cpu: no entry '%s' in %s\n", qPrintable(text), qPrintable(list.objectName()));
            std::exit(2);
        }
        list.setCurrentIndex(index);
    };
    choose(*output.cboFsList, rate);
    output.cboFsListChange();
    choose(*output.cboBuffers, buffers);
    output.cboBuffersChange();
    choose(*output.cboBufferSize, bufferSize);
    output.cboBufferSizeChange();
    controller->binding().run([&] {
        g.selectIndex({Field::cboChannels}, 1);
        for (Channel c : kChannels) g.setText({Field::fInit, c}, "1000");
        if (noise)
            for (Channel c : kChannels) g.selectIndex({Field::WaveForm, c}, kWhiteNoise);
        g.setChecked({Field::Loop}, true);
    });
    if (scope) {
        window.menu().WaveformDisplay1->trigger();
        controller->waveform().tbTDiv->setValue(timeBase);
    }
    controller->switching().btnONClick();

    int result = 0;
    double start = 0;
    // A second to settle, then the measured span.
    QTimer::singleShot(1000, &app, [&] { start = processorSeconds(); });
    QTimer::singleShot(1000 + seconds * 1000, &app, [&] {
        const double used = processorSeconds() - start;
        const bool running = controller->switching().GeneratorRunning();
        auto* system = dynamic_cast<SystemAudioDevice*>(player);
        const char* through = system != nullptr && system->playingThroughPipeWire() ? "PipeWire" : "ALSA";
        std::printf("scope %s, %s: %.2f %% of one core over %d s, %llu underrun(s) (%s, %s Hz, %s x %s bytes, %s/div)%s\n",
                    scope ? "on" : "off", through, 100 * used / seconds, seconds,
                    static_cast<unsigned long long>(player->underruns()), noise ? "white noise" : "1 kHz sine",
                    qPrintable(rate), qPrintable(buffers), qPrintable(bufferSize), ui::TimeBaseAt(timeBase).label,
                    running ? "" : " (the generator had stopped)");
        result = running ? 0 : 1;
        app.quit();
    });
    app.exec();
    controller.reset();
    return result;
}
