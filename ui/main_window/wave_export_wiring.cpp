// The generator window's wave export and frequency display: made after the other windows,
// and wired to the menu items, the buffer fill, the frequency recomputes and the channel
// layout change.
#include "ui/main_window/generator_controller.h"

#include "ui/dialogs/output_settings_dialog.h"
#include "ui/frequency_display/frequency_display.h"
#include "ui/main_window/generator_window.h"
#include "ui/main_window/wave_export_command.h"

#include <QAction>

namespace velmora::ui {

void GeneratorController::createExportAndFrequencyDisplay()
{
    MainMenu& m = window_.menu();
    waveExport_ = std::make_unique<WaveExportCommand>(
        WaveExportCommand::Parts{window_, generator_, AudioOut1_, binding_, notices_, *settings_});
    connect(m.SaveWaveFile1, &QAction::triggered, this, [this] { waveExport_->SaveWaveFile1Click(); });
    switching_.busy = [this] { return waveExport_->active(); };

    frequencyDisplay_ = std::make_unique<TfrmFrequencyDisplay>(generator_, m.FrequencyDisplay1, &window_);
    TfrmFrequencyDisplay* display = frequencyDisplay_.get();
    connect(m.FrequencyDisplay1, &QAction::triggered, display, [display] { display->FrequencyDisplay1Click(); });
    display->playing = [this] { return AudioOut1_.Active(); };
    generator_.hooks.frequencyDisplay = [display](Channel) { display->UpdateFrequencyDisplay(); };
    // Switched off, it reads what the next start plays (the fill refreshes it while on).
    switching_.runningChanged = [previous = std::move(switching_.runningChanged), display](bool running) {
        if (previous) previous(running);
        if (!running) display->UpdateFrequencyDisplay();
    };
    output_.callbacks.updateFrequencyDisplay = [display] { display->UpdateFrequencyDisplay(); };
    // The channel-layout change gives the display the width of one or two frequencies.
    generator_.hooks.windowRule = [previous = std::move(generator_.hooks.windowRule), display](WindowRule rule,
                                                                                                Channel c) {
        if (previous) previous(rule, c);
        if (rule == WindowRule::ChannelsChange) {
            display->FormResize();
            display->UpdateFrequencyDisplay();
        }
    };
}

} // namespace velmora::ui
