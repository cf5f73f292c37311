#include "ui/main_window/generator_controller.h"

#include "audio/device_list.h"
#include "engine/numbers.h"
#include "ui/dialogs/about_window.h"
#include "ui/main_window/generator_window.h"
#include "ui/dialogs/help_window.h"
#include "ui/dialogs/output_settings_dialog.h"
#include "ui/dialogs/period_wait_window.h"
#include "ui/frequency_display/frequency_display.h"
#include "ui/main_window/wave_export_command.h"
#include "ui/frequency_slider/freq_slider_window.h"
#include "ui/waveform_display/waveform_window.h"
#include "ui/measurement/measurement_window.h"
#include "audio/system/system_device.h"
#include "ui/frequency_display/frequency_display.h"
#include "ui/main_window/wave_export_command.h"
#include "ui/performance_test/message_box_dialogs.h"
#include "ui/performance_test/performance_test.h"
#include "settings/data_files.h"
#include "ui/widgets/picture_combo_box.h"
#include "ui/widgets/focused_wheel.h"
#include "ui/widgets/up_down.h"
#include "ui/main_window/edit_keys.h"
#include "ui/main_window/window_notices.h"
#include "ui/main_window/preset_controller.h"
#include "ui/script_window/script_controller.h"

#include <cmath>
#include <QFileDialog>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTimer>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

namespace velmora::ui {

// Until generators are kept in step across processes, a synchronised command is carried
// out here only.
class GeneratorController::LocalSync final : public GeneratorSync {
public:
    explicit LocalSync(GeneratorController& owner) : owner_(owner) {}
    void broadcast(SyncCommand command) override
    {
        switch (command) {
        case SyncCommand::Start: owner_.switching_.startsignal(); break;
        case SyncCommand::Stop: owner_.switching_.switchOff(); break;
        case SyncCommand::Pause: owner_.switching_.togglePause(); break;
        }
    }

private:
    GeneratorController& owner_;
};

GeneratorController::GeneratorController(TfrmGenerator& window, std::unique_ptr<AudioDevice> device,
                                         WindowNotices* notices)
    : window_(window),
      ownNotices_(notices ? nullptr : std::make_unique<MessageBoxNotices>(&window)),
      notices_(notices ? *notices : *ownNotices_),
      device_(std::move(device)),
      AudioOut1_(*device_),
      output_(generator_, AudioOut1_),
      rules_(window.widgets(), window.menu(), generator_.settings),
      binding_(generator_, notices_),
      commands_(generator_, binding_, window.widgets()),
      switching_({window, AudioOut1_, output_, route_, notices_, rules_}),
      sync_(std::make_unique<LocalSync>(*this))
{
    switching_.setSync(sync_.get());
    // Once per window start: noise must differ from run to run and between two generators.
    generator_.uniform.seed(StartSeed());
    bindWindow();
    plugHooks();
    connectCommands();
    FormCreate();
    presets_ = std::make_unique<PresetController>(
        PresetController::Parts{window, generator_, AudioOut1_, binding_, switching_, notices_});
    scripts_ = std::make_unique<ScriptController>(
        ScriptController::Parts{window, generator_, AudioOut1_, binding_, switching_, *presets_, notices_});
    underruns_ = std::make_unique<UnderrunIndicator>(window.widgets().lblFS, *device_, AudioOut1_);
}

GeneratorController::~GeneratorController()
{
    device_->watchDevices({});
    // The engine's events point here; nothing may reach them once this is gone.
    AudioOut1_.OnStart = nullptr;
    AudioOut1_.OnStop = nullptr;
    AudioOut1_.StopAtOnce();
    generator_.hooks = {};
}

void GeneratorController::bindWindow()
{
    GeneratorWidgets& w = window_.widgets();
    for (Channel c : kChannels) {
        ChannelWidgets& ch = w.channel[index(c)];
        binding_.bind({Field::WaveForm, c}, ch.WaveForm);
        binding_.bind({Field::chkConstant, c}, ch.chkConstant, ch.chkSweep);
        binding_.bind({Field::fInit, c}, ch.fInit);
        binding_.bind({Field::fFinal, c}, ch.fFinal);
        binding_.bind({Field::Logarithmic, c}, ch.Logarithmic);
        binding_.bind({Field::Bidirectional, c}, ch.Bidirectional);
        binding_.bind({Field::Amplitude, c}, ch.Amplitude);
        binding_.bind({Field::barAmplitude, c}, ch.barAmplitude);
        binding_.bind({Field::Tick, c}, ch.Tick);
        binding_.bind({Field::ModulationOn, c}, ch.ModulationOn);
        binding_.bind({Field::ModFunction, c}, ch.ModFunction);
        binding_.bind({Field::ModDepthEdit, c}, ch.ModDepthEdit);
        binding_.bind({Field::ModPeriodEdit, c}, ch.ModPeriodEdit);
        binding_.bind({Field::ModPhaseEdit, c}, ch.ModPhaseEdit);
        binding_.bind({Field::cboCrestFactor, c}, ch.cboCrestFactor);
        binding_.bind({Field::txtMLSLength, c}, ch.txtMLSLength);
        binding_.bind({Field::txtMLSSeed, c}, ch.txtMLSSeed);
        binding_.bind({Field::txtCycles, c}, ch.txtCycles);
        binding_.bind({Field::cboBurstWindow, c}, ch.cboBurstWindow);
        binding_.bind({Field::cboBand, c}, ch.cboBand->lineEdit()); // a ready band chosen sets the text too

        binding_.onExit(ch.fInit, [this, c] { generator_.FrequencyExit(c, Field::fInit); });
        binding_.onExit(ch.fFinal, [this, c] { generator_.FrequencyExit(c, Field::fFinal); });
        binding_.onExit(ch.Amplitude, [this, c] { generator_.AmplitudeExit(c); });
        binding_.onExit(ch.ModDepthEdit, [this, c] { generator_.ModDepthEditExit(c); });
        binding_.onExit(ch.ModPeriodEdit, [this, c] { generator_.ModPeriodEditExit(c); });
        binding_.onExit(ch.ModPhaseEdit, [this, c] { generator_.ModPhaseEditExit(c); });
    }
    binding_.bind({Field::PhaseEdit}, w.PhaseEdit);
    binding_.bind({Field::Duration}, w.Duration);
    binding_.bind({Field::Loop}, w.Loop);
    binding_.bind({Field::cboChannels}, w.cboChannels);
    binding_.bind({Field::chkAsLeft}, w.chkAsLeft);
    binding_.onExit(w.Duration, [this] { generator_.DurationExit(); });
    binding_.onExit(w.PhaseEdit, [this] { generator_.PhaseEditExit(); });
}

void GeneratorController::refreshLevelLimits()
{
    for (Channel c : kChannels) {
        QLabel* label = window_.channel(c).lblLevelLimit;
        if (!label) continue;
        const double limit = generator_.periodLevelLimit(c);
        const bool shown = !std::isnan(limit);
        if (shown) {
            const QString text = QStringLiteral("max %1 dBFS").arg(limit, 0, 'f', 2);
            if (label->text() != text) {
                label->setText(text);
                label->setToolTip(QStringLiteral("This noise's peaks would pass full scale at the level set: it "
                                                 "plays at %1 dBFS")
                                      .arg(limit, 0, 'f', 2));
            }
        }
        if (label->isVisibleTo(label->parentWidget()) != shown) label->setVisible(shown);
    }
}

void GeneratorController::plugHooks()
{
    // A periodic noise chosen in the window is made while the user goes on, before ON.
    generator_.periods->setMakeAhead(true);
    GeneratorHooks& h = generator_.hooks;
    h.outputActive = [this] { return AudioOut1_.Active(); };
    h.stopAtOnce = [this] { AudioOut1_.StopAtOnce(); };
    h.controlWritten = [this](Control c) { binding_.mirror(c); };
    h.periodLevelChanged = [this] { refreshLevelLimits(); };
    h.frequencySlider = [this](Channel c, int position) {
        if (slider_) slider_->setSliderPosition(c, position);
    };
    h.windowRule = [this](WindowRule rule, Channel c) { rules_.apply(rule, c); };
    // Raised by a message (1034 runs the duration's exit handler), the question waits until
    // the sender has its answer.
    h.aboveNyquist = [this](Channel) {
        notices_.whenFree(QStringLiteral("AboveNyquistLimit"), [this] {
            const int answer = notices_.suppressible(
                QStringLiteral("The output frequency can never be higher than half the sampling rate. If you "
                               "would like to generate a higher frequency signal, please adjust the sampling "
                               "rate in the 'Output Settings' via the 'Tools' menu."),
                QStringLiteral("Information"), NoticeButtons::YesNo, QStringLiteral("AboveNyquistLimit"));
            if (answer == NoticeResult::Yes) Compatibilitysettings1Click();
        });
    };

    OutputCallbacks& o = output_.callbacks;
    o.aliveMessage = [this] { generator_.state.AliveFlag = true; };
    o.bufferFilled = [this](const FilledBuffer& buffer) {
        if (waveform_) waveform_->bufferFilled(buffer);
        refreshLevelLimits();
    };
    // The boxes wait until the fill has returned: the engine is stopped already, and a
    // modal loop inside the fill would run the device's notices inside it.
    o.runningBehind = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                notices_.suppressible(QString::fromLatin1(kPerformanceMessage), QStringLiteral("Information"),
                                      NoticeButtons::Ok, QStringLiteral("MBPerformance"));
            },
            Qt::QueuedConnection);
    };
    o.reentered = [this] {
        QMetaObject::invokeMethod(
            this, [this] { notices_.messageBox(QString::fromLatin1(kPerformanceMessage)); }, Qt::QueuedConnection);
    };

    switching_.openOutputSettings = [this] { Compatibilitysettings1Click(); };
    // A long period (a multitone or periodic noise of many samples) may still be in the
    // making when the generator is switched on: the wait shows, and can be given up.
    switching_.waitForPeriods = [this] {
        const std::vector<PeriodKey> making = generator_.periodsBeingMade();
        if (making.empty()) return true;
        qint64 longest = 0;
        for (const PeriodKey& key : making) longest = std::max<qint64>(longest, PeriodSamples(key));
        return periodWait().wait([this] { return generator_.periodsBeingMade().empty(); },
                                 [this] { return switching_.startGivenUp() || closed_; }, longest);
    };
    switching_.runningChanged = [this](bool running) {
        screensaver_.setActive(running && settings_ && settings_->chkDisableSS->isChecked());
        generatorRunning_ = running;
        if (waveform_) waveform_->setGeneratorRunning(running);
    };
}

void GeneratorController::connectCommands()
{
    GeneratorWidgets& w = window_.widgets();
    MainMenu& m = window_.menu();
    SwitchingController* s = &switching_;
    connect(w.btnON, &QPushButton::clicked, this, [s] { s->btnONClick(); });
    connect(w.btnOFF, &QPushButton::clicked, this, [s] { s->btnOFFClick(); });
    connect(w.btnPause, &QPushButton::clicked, this, [s] { s->btnPauseClick(); });
    connect(m.Off1, &QAction::triggered, this, [s] { s->btnONClick(); });
    connect(m.OnOff1, &QAction::triggered, this, [s] { s->btnOFFClick(); });
    connect(m.Pause1, &QAction::triggered, this, [s] { s->btnPauseClick(); });
    connect(m.ONOFF2, &QAction::triggered, this, [s] { s->ONOFF2Click(); });

    connect(m.Exit1, &QAction::triggered, this, [this] {
        if (AudioOut1_.Active()) AudioOut1_.StopAtOnce();
        window_.close();
    });
    connect(m.Compatibilitysettings1, &QAction::triggered, this, [this] { Compatibilitysettings1Click(); });
    connect(m.Recheckoutputdevices1, &QAction::triggered, this, [this] { Recheckoutputdevices1Click(); });
    connect(m.CompatibilityTest1, &QAction::triggered, this, [this] { CompatibilityTest1Click(); });
    connect(m.Introduction1, &QAction::triggered, this, [this] { openHelp(10); });
    connect(m.Help1, &QAction::triggered, this, [this] { openHelp(1); });
    connect(m.About2, &QAction::triggered, this, [this] {
        AboutWindow& about = this->about();
        about.show();
        about.raise();
        about.activateWindow();
    });
    connect(m.WindowsVolumeControl1, &QAction::triggered, this, [this] {
        if (!startVolumeControl())
            notices_.messageBox(QStringLiteral("No volume control program was found. Install pavucontrol (or "
                                               "pavucontrol-qt, or the desktop's sound settings) to set the "
                                               "output volume."));
    });

    for (Channel c : kChannels) {
        ChannelWidgets& ch = w.channel[index(c)];
        // The +/-1 Hz buttons act on the press itself (see eventFilter).
        ch.fInitPlus->installEventFilter(this);
        ch.fInitMinus->installEventFilter(this);
        connect(ch.SemiUp, &QPushButton::clicked, this, [this, c] { commands_.semitone(c, true); });
        connect(ch.SemiDown, &QPushButton::clicked, this, [this, c] { commands_.semitone(c, false); });
        connect(ch.copySettings, &QAction::triggered, this, [this, c] { commands_.copySettingsFrom(other(c)); });
    }
    connect(m.rESETTOdEFAULT1, &QAction::triggered, this, [this] { commands_.reset(); });

    connect(w.WaveDevice, &QComboBox::activated, this,
            [this](int position) { AudioOut1_.setWaveDevice(static_cast<uint32_t>(deviceIdForEntry(position))); });
    // Enter and Ctrl+Insert in the edit boxes; the rename boxes of the memories keep Enter.
    auto* keys = new EditKeys({w.btnON, w.btnOFF}, [s] { s->ONOFF2Click(); }, this);
    for (QLineEdit* edit : w.client->findChildren<QLineEdit*>())
        if (!edit->objectName().startsWith(QLatin1String("Mem"))) keys->watch(edit);
    wheelOnlyWhenFocused(&window_);
    for (QWidget* clickable : std::initializer_list<QWidget*>{w.lblFS, w.lblCorrectionAlert, w.Image1,
                                                             w.left().lblPeakRMSratio, w.WaveDevice})
        clickable->installEventFilter(this);
    window_.installEventFilter(this);
}

void GeneratorController::FormCreate()
{
    GeneratorWidgets& w = window_.widgets();

    for (Channel c : kChannels) {
        binding_.run([&] { generator_.selectIndex({Field::WaveForm, c}, kSine); });
        generator_.setIndex({Field::ModFunction, c}, kModCosine);
    }
    // The layout a first start has; restored settings replace it.
    binding_.run([&] { generator_.selectIndex({Field::cboChannels}, 0); });

    Recheckoutputdevices1Click();
    // Sinks of the sound server that come or go show in the list without a recheck. The
    // watcher calls from a thread of its own: the list is refreshed here, once a burst of
    // changes (a card's profile switch, say) has settled.
    deviceRefresh_ = new QTimer(this);
    deviceRefresh_->setSingleShot(true);
    deviceRefresh_->setInterval(150);
    connect(deviceRefresh_, &QTimer::timeout, this, [this] { devicesChanged(); });
    device_->watchDevices([this] {
        QMetaObject::invokeMethod(this, [this] { deviceRefresh_->start(); }, Qt::QueuedConnection);
    });
    if (w.WaveDevice->count() <= 1) {
        notices_.messageBox(QStringLiteral("No Soundcard driver found. No sound output possible."));
        rules_.setDevicesExist(false);
        w.btnON->setEnabled(false);
        window_.menu().Off1->setEnabled(false); // F11 must not try where the button cannot
    }
    window_.raise();
    const int answer =
        notices_.suppressible(QStringLiteral("Welcome to Velmora! Would you like to see the introduction to this program?"),
                              QStringLiteral("Welcome"), NoticeButtons::YesNo, QStringLiteral("Welcome"));
    if (answer == NoticeResult::Yes) openHelp(10);

    // Before the output settings, whose loading already moves the sliders.
    slider_ = std::make_unique<TfrmFreqSlider>(generator_, binding_, window_.menu().FreqSlider1);
    connect(window_.menu().FreqSlider1, &QAction::triggered, this,
            [this](bool checked) { slider_->applyMenuCheck(checked); });
    commands_.setSliderRange = [this](const std::string& lower, const std::string& upper) {
        slider_->MinFreqEdit->setText(QString::fromStdString(lower));
        slider_->MaxFreqEdit->setText(QString::fromStdString(upper));
    };
    connect(window_.menu().WaveformDisplay1, &QAction::triggered, this,
            [this](bool checked) { waveform().applyMenuCheck(checked); });
    connect(window_.menu().MeasurementSweep1, &QAction::triggered, this,
            [this](bool checked) { measurement().applyMenuCheck(checked); });
    TfrmSettings::Hooks hooks;
    // An output setting changes only once the engine has stopped: no fade-out waits for it.
    hooks.switchOff = [this] {
        switching_.btnOFFClick();
        if (AudioOut1_.Active()) AudioOut1_.StopAtOnce();
    };
    hooks.refreshLabels = [this] { refreshOutputLabels(); };
    hooks.help = [this](int context) { openHelp(context); };
    hooks.enableMain = [this] { window_.setEnabled(true); };
    hooks.rateChanged = [this] {
        slider_->samplingRateChanged();
        if (waveform_) waveform_->samplingRateChanged();
        if (frequencyDisplay_) frequencyDisplay_->UpdateFrequencyDisplay();
    };
    settings_ = std::make_unique<TfrmSettings>(generator_, binding_, notices_, std::move(hooks));
    // The stream is named after the window and what it plays, so that the desktop's sound
    // settings tell two generators apart.
    switching_.beforeStart = [this] {
        const ChannelWidgets& left = window_.widgets().left();
        QString what = left.fInit->text();
        if (!left.chkConstant->isChecked()) what += QStringLiteral("-") + left.fFinal->text();
        what += QStringLiteral(" Hz ") + left.WaveForm->currentText();
        device_->setStreamName((SwitchingController::generatorName() + QStringLiteral(": ") + what).toStdString());
    };
    wheelOnlyWhenFocused(settings_.get());

    binding_.mirrorAll();
    refreshOutputLabels();
    createExportAndFrequencyDisplay();
}

void GeneratorController::FormClose()
{
    closed_ = true;
    switching_.giveUpWaitingStart();
    AudioOut1_.StopAtOnce();
    // The program ends with its main window.
    for (QWidget* other : std::initializer_list<QWidget*>{settings_.get(), about_.get(), help_.get()})
        if (other && other->isVisible()) other->close();
    // Hidden, not closed: their menu check marks still tell whether they were open.
    slider_->hide();
    if (waveform_) waveform_->hide();
    if (measurement_) measurement_->hide();
}

void GeneratorController::Recheckoutputdevices1Click()
{
    QComboBox* list = window_.widgets().WaveDevice;
    fillDeviceList();
    goneDevice_.clear();
    list->setCurrentIndex(0);
    AudioOut1_.setWaveDevice(static_cast<uint32_t>(deviceIdForEntry(0)));
    // A device plugged in since the start makes ON usable (and one taken out, not); a
    // running generator keeps its controls as they are until it stops.
    rules_.setDevicesExist(list->count() > 1);
    if (!AudioOut1_.Active()) rules_.tickClick();
}

void GeneratorController::fillDeviceList()
{
    QComboBox* list = window_.widgets().WaveDevice;
    list->clear();
    list->setPlaceholderText({});
    const std::vector<std::string> entries = outputDeviceEntries(*device_);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QString text = QString::fromStdString(entries[i]);
        const std::string key = i == 0 ? std::string() : device_->deviceKey(deviceIdForEntry(static_cast<int>(i)));
        list->addItem(text, i == 0 ? QString() : key.empty() ? text : QString::fromStdString(key));
    }
}

void GeneratorController::devicesChanged()
{
    QComboBox* list = window_.widgets().WaveDevice;
    const int position = list->currentIndex();
    const QString chosen = selectedDeviceName();
    const QString chosenText = position > 0 ? list->currentText() : QString();
    // A device already gone is still the one wanted: should it come back, it is chosen again.
    const QString wanted = position < 0 ? goneDevice_ : chosen;
    const QString shownGone = list->placeholderText();
    fillDeviceList();
    const int found = position == 0 ? 0 : list->findData(wanted);
    list->setCurrentIndex(found);
    AudioOut1_.setWaveDevice(static_cast<uint32_t>(deviceIdForEntry(found)));
    if (found >= 0) {
        goneDevice_.clear();
    } else if (position > 0) {
        goneDevice_ = chosen;
        deviceGone(chosen, chosenText);
    } else {
        list->setPlaceholderText(shownGone); // still gone: said once already
    }
    rules_.setDevicesExist(list->count() > 1);
    if (!AudioOut1_.Active()) rules_.tickClick();
}

QString GeneratorController::selectedDeviceName() const
{
    const QComboBox* list = window_.widgets().WaveDevice;
    return list->currentIndex() > 0 ? list->currentData().toString() : QString();
}

void GeneratorController::deviceGone(const QString& name, const QString& text)
{
    const QString shown = text.isEmpty() ? name : text;
    goneDevice_ = name;
    QComboBox* list = window_.widgets().WaveDevice;
    if (list->currentIndex() < 0) list->setPlaceholderText(shown + QStringLiteral(" (not available)"));
    notices_.warningBox(QStringLiteral("The output device \"%1\" is not available. Nothing plays until you choose "
                                       "another in the Output Device list; should the device come back, it is "
                                       "chosen again.")
                            .arg(shown));
}

void GeneratorController::Compatibilitysettings1Click()
{
    AudioOut1_.StopAtOnce();
    settings_->open();
}

void GeneratorController::refreshOutputLabels()
{
    GeneratorWidgets& w = window_.widgets();
    const OutputSettings& o = generator_.settings.output;
    w.lblFS->setText(QStringLiteral("fs=%1kHz").arg(QString::fromStdString(NumberToText(o.SamplingRate / 1000.0))));
    w.lblFS->adjustSize();
    const QString correction = QString::fromStdString(o.txtCorrectionFactor);
    w.lblCorrectionAlert->setVisible(correction != QLatin1String("0"));
    w.lblCorrectionAlert->setText(QStringLiteral("Frequency correction applied: ") + correction +
                                  (o.cboCorrectionUnits == 1 ? QStringLiteral(" cent") : QStringLiteral(" %")));
    w.lblCorrectionAlert->adjustSize();
}

void GeneratorController::generatorNumberChanged()
{
    const int n = SwitchingController::generatorNumber();
    window_.setWindowTitle(SwitchingController::titleFor(switching_.GeneratorRunning()));
    if (!frequencyDisplay_) return;
    frequencyDisplay_->setWindowTitle(n > 1 ? QStringLiteral("Frequency - ") + SwitchingController::generatorName()
                                            : QStringLiteral("Frequency"));
    // The kept place is shared by every generator: the second's display opens below and to
    // the right of the first's, and so on.
    if (n > 1) frequencyDisplay_->move(frequencyDisplay_->pos() + QPoint(32, 32) * (n - 1));
}

void GeneratorController::FormActivate()
{
    refreshOutputLabels();
    // The title doubles as the task bar's "ON - Velmora": keep what the switching set.
    window_.setWindowTitle(SwitchingController::titleFor(switching_.GeneratorRunning()));
}

void GeneratorController::openHelp(int context) { help().showTopic(context); }

HelpWindow& GeneratorController::help()
{
    if (!help_) help_ = std::make_unique<HelpWindow>();
    return *help_;
}

PeriodWaitWindow& GeneratorController::periodWait()
{
    if (!periodWait_) periodWait_ = std::make_unique<PeriodWaitWindow>(&window_);
    return *periodWait_;
}

TfrmMeasurement& GeneratorController::measurement()
{
    if (!measurement_) {
        TfrmMeasurement::Hooks hooks;
        hooks.makeDevice = [this]() -> std::unique_ptr<AudioDevice> {
            if (makeMeasurementDevice) return makeMeasurementDevice();
            return std::make_unique<SystemAudioDevice>();
        };
        hooks.deviceId = [this] { return AudioOut1_.WaveDevice(); };
        hooks.ring = [this] {
            const OutputSettings& o = generator_.settings.output;
            return std::pair<int32_t, int32_t>{o.Buffers, o.BufferSize};
        };
        hooks.generatorRunning = [this] { return AudioOut1_.Active(); };
        hooks.savePath = [this](const QString& caption, const QString& suggested, const QString& filter) {
            return QFileDialog::getSaveFileName(measurement_.get(), caption, suggested, filter);
        };
        hooks.openPath = [this](const QString& caption, const QString& filter) {
            return QFileDialog::getOpenFileName(measurement_.get(), caption, QString(), filter);
        };
        hooks.error = [this](const QString& text) { notices_.errorBox(text); };
        measurement_ = std::make_unique<TfrmMeasurement>(std::move(hooks), window_.menu().MeasurementSweep1);
    }
    return *measurement_;
}

TfrmWaveForm& GeneratorController::waveform()
{
    if (!waveform_) {
        waveform_ = std::make_unique<TfrmWaveForm>(generator_.settings, window_.menu().WaveformDisplay1);
        waveform_->framesAhead = [this] { return AudioOut1_.FramesAhead(); };
        if (generatorRunning_) waveform_->setGeneratorRunning(true);
    }
    return *waveform_;
}

AboutWindow& GeneratorController::about()
{
    if (!about_) {
        about_ = std::make_unique<AboutWindow>(&window_);
        connect(about_.get(), &AboutWindow::helpRequested, this, [this](int context) { openHelp(context); });
    }
    return *about_;
}

GeneratorTestActions::Parts GeneratorController::performanceTestParts()
{
    return {generator_,
            AudioOut1_,
            switching_,
            *settings_,
            window_.widgets().WaveDevice,
            notices_,
            FindDataFile(kCompatibilityTestFile).value_or(DataFileBesideProgram(kCompatibilityTestFile)),
            // A file that cannot be loaded ends the test with its error.
            [this](const std::filesystem::path& file) { presets_->bank().LoadSettings(file); },
            [this](int n) { presets_->MemRecall(n); },
            [this] { return !closed_; },
            {}};
}

void GeneratorController::CompatibilityTest1Click()
{
    // The test keeps the window live while its signals play: one test at a time.
    if (testRunning_) return;
    testRunning_ = true;
    window_.menu().CompatibilityTest1->setEnabled(false);
    MessageBoxTestDialogs dialogs(&window_, [this](int topic) { openHelp(topic); });
    GeneratorTestActions actions(performanceTestParts());
    PerformanceTest test(dialogs, actions);
    binding_.run([&] { test.run(); });
    window_.menu().CompatibilityTest1->setEnabled(true);
    testRunning_ = false;
}

bool GeneratorController::eventFilter(QObject* watched, QEvent* event)
{
    GeneratorWidgets& w = window_.widgets();
    if (watched == &window_) {
        if (event->type() == QEvent::WindowActivate) FormActivate();
        if (event->type() == QEvent::Close) FormClose();
    } else if (event->type() == QEvent::MouseButtonPress) {
        for (Channel c : kChannels) {
            if (watched == w.channel[index(c)].fInitPlus) commands_.stepHertz(c, +1);
            if (watched == w.channel[index(c)].fInitMinus) commands_.stepHertz(c, -1);
        }
    } else if (event->type() == QEvent::KeyPress) {
        // Space on a focused step button steps once, as a press of the mouse does.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier && !key->isAutoRepeat()) {
            for (Channel c : kChannels) {
                if (watched == w.channel[index(c)].fInitPlus) commands_.stepHertz(c, +1);
                if (watched == w.channel[index(c)].fInitMinus) commands_.stepHertz(c, -1);
            }
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == w.lblFS || watched == w.lblCorrectionAlert) Compatibilitysettings1Click();
        if (watched == w.left().lblPeakRMSratio) openHelp(12);
        if (watched == w.Image1) openWebPage(QString::fromLatin1(kMakerWebPage));
    } else if (event->type() == QEvent::FocusOut && watched == w.WaveDevice) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            generator_.fConstChange(Channel::Left);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velmora::ui
