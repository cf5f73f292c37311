#pragma once
// The commands of the channel panels that are not a single control's own handler: the
// +/-1 Hz and semitone buttons, copying one channel's settings to the other, and resetting
// every setting to its default. Window thread.

#include "engine/generator.h"

#include <functional>
#include <string>

namespace velmora::ui {

class ControlBinding;
struct GeneratorWidgets;

class ChannelCommands final {
public:
    ChannelCommands(Generator& generator, ControlBinding& binding, GeneratorWidgets& widgets)
        : generator_(generator), binding_(binding), widgets_(widgets)
    {
    }

    // fInitLeftPlusMouseDown ... fInitRightMinusMouseDown: one step of the start field, not
    // clamped, not normalised; a text that is not a number makes it do nothing, silently.
    void stepHertz(Channel c, int direction);
    // SemiUpLeftClick / SemiUpRightClick: a semitone up or down while it stays below half the
    // sampling rate; the left field is normalised afterwards, the right one keeps 15 digits.
    void semitone(Channel c, bool up);
    // "&Use Settings from Left/Right Channel".
    void copySettingsFrom(Channel source);
    // rESETTOdEFAULT1Click: "&Reset current settings". It completes whatever the fields
    // hold: a step that fails on a value a later step replaces (the start frequency "abc"
    // that leaving Duration checks, say) does not end it. Returns the first such failure's
    // text, "" when there was none; nothing is shown.
    std::string reset();

    // The frequency slider window's range texts: the reset sets the lower end to "20" and
    // the upper end to half the sampling rate. Empty: no slider window.
    std::function<void(const std::string& lower, const std::string& upper)> setSliderRange;

private:
    Generator& generator_;
    ControlBinding& binding_;
    GeneratorWidgets& widgets_;
};

} // namespace velmora::ui
