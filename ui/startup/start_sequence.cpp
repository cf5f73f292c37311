#include "ui/startup/start_sequence.h"

#include "audio/audio_device.h"
#include "ui/frequency_display/frequency_display.h"
#include "ui/frequency_slider/freq_slider_window.h"
#include "ui/main_window/generator_controller.h"
#include "ui/main_window/generator_link.h"
#include "ui/main_window/generator_window.h"
#include "ui/main_window/preset_controller.h"
#include "ui/main_window/window_notices.h"
#include "ui/script_window/script_controller.h"
#include "ui/splash/start_splash.h"
#include "ui/startup/persisted_windows.h"
#include "ui/startup/window_cascade.h"

#include <QFileInfo>

namespace velmora::ui {

StartSequence::StartSequence(StartArguments arguments, std::unique_ptr<AudioDevice> device, WindowNotices* notices)
    : StartSequence(std::move(arguments),
                    [device = std::make_shared<std::unique_ptr<AudioDevice>>(std::move(device))] {
                        return std::move(*device);
                    },
                    notices)
{
}

StartSequence::StartSequence(StartArguments arguments, std::function<std::unique_ptr<AudioDevice>()> takeDevice,
                             WindowNotices* notices)
    : arguments_(std::move(arguments)), takeDevice_(std::move(takeDevice)), notices_(notices)
{
}

StartSequence::~StartSequence()
{
    controller_.reset(); // before the window it is wired to
}

std::optional<int> StartSequence::run()
{
    // Made first, hidden, so that its picture is ready when the fade begins.
    if (arguments_.splash) {
        splash_ = std::make_unique<TfrmStartSplash>();
        if (splashWait) splash_->wait = splashWait;
    }

    // The main window (its welcome question and any no-device message come before the
    // splash, while nothing else is on screen), the output settings and the other windows.
    window_ = std::make_unique<TfrmGenerator>();
    if (!notices_) {
        ownNotices_ = std::make_unique<MessageBoxNotices>(window_.get());
        deferred_ = std::make_unique<DeferredNotices>(*ownNotices_);
        notices_ = deferred_.get();
    }
    controller_ = std::make_unique<GeneratorController>(*window_, takeDevice_(), notices_);
    takeDevice_ = nullptr;
    persisted_ = new PersistedWindows(*window_, *controller_, *notices_);
    persisted_->setAuxiliaryWindows(&controller_->frequencyDisplay(), &controller_->freqSlider());

    if (splash_) {
        splash_->fadeIn();
        splashHoldRounds_ = splash_->hold();
        splashShown_ = true;
        splash_->fadeOut();
        splash_.reset();
    }

    persisted_->restore();
    // Opened from another generator window: beside it rather than on top of it.
    if (const auto place = TakeOpeningPlace()) OpenAt(*window_, *place);
    return handleStartFiles();
}

std::optional<int> StartSequence::handleStartFiles()
{
    const QString argument = QString::fromLocal8Bit(arguments_.argument.c_str());
    const bool exists = !argument.isEmpty() && QFileInfo(argument).isFile();
    const StartFiles files = ChooseStartFiles(arguments_.argument, exists);
    if (files.loadExamples) controller_->presets().loadExamples();
    switch (files.action) {
    case StartFiles::Action::None: break;
    case StartFiles::Action::LoadPresets:
        // Into the memories only: nothing is recalled, the controls keep the restored state.
        controller_->presets().LoadSettings(argument);
        break;
    case StartFiles::Action::RunScript: {
        // Unattended: only the script's own window shows, and the program ends with it.
        for (QWidget* shown : std::initializer_list<QWidget*>{window_.get(), persisted_->frequencyDisplayWindow(),
                                                              persisted_->frequencySliderWindow()})
            if (shown) shown->hide();
        const ScriptResult result = controller_->scripts().Runscript(argument);
        return result.succeeded() ? 0 : 1;
    }
    }
    return std::nullopt;
}

} // namespace velmora::ui
