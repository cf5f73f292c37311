#pragma once
// Which controls of the generator window are visible, enabled and grey, as the signal
// settings demand: the waveform's panels, constant or sweep, the channel layout, "Same as
// Left", the channel "On" boxes, the modulation boxes and Repeat. The engine decides when a
// rule runs (GeneratorHooks::windowRule); this class only reads the settings and sets the
// widgets, so a test can drive it with any settings. Window thread; allocates nothing
// beyond Qt's own palette copies.

#include "engine/generator.h"
#include "ui/main_window/generator_window.h"

namespace velmora::ui {

class VisibilityRules final {
public:
    VisibilityRules(GeneratorWidgets& widgets, MainMenu& menu, const GeneratorSettings& settings)
        : w_(widgets), menu_(menu), s_(settings)
    {
    }

    // Whether the system has any output device; without one ON stays disabled.
    void setDevicesExist(bool exist) { devicesExist_ = exist; }
    bool devicesExist() const { return devicesExist_; }

    // The window half of the handler the engine names.
    void apply(WindowRule rule, Channel c);

    void waveFormChange(Channel c);    // WaveFormLeftChange / WaveFormRightChange
    void constantClick(Channel c);     // chkConstantLeftClick / chkConstantRightClick
    void phaseRule();
    void channelsChange();             // cboChannelsChange, the enabling steps
    void monoClick();                  // the restore's layout pass
    void tickClick();                  // LefttickClick
    void loopClick();                  // LoopClick
    void modulationOnClick(Channel c); // ModulationOnLeftClick / ModulationOnRightClick

    // The right channel's enabling by layout, without the phase rule and colours: what the
    // stop notice puts back after unlocking the controls a playing generator locks.
    void rightChannelEnabling();

    // The grey of disabled-looking texts, and the check the tests use.
    static void setGrey(QWidget* widget, bool grey);
    static bool isGrey(const QWidget* widget);

private:
    bool independentRight() const { return s_.stereo() && !s_.chkAsLeft; }
    void pulseOverrides(Channel c);
    void burstOverrides(Channel c);
    void setPhaseTrio(bool enabled);

    GeneratorWidgets& w_;
    MainMenu& menu_;
    const GeneratorSettings& s_;
    bool devicesExist_ = true;
};

} // namespace velmora::ui
