#include "control/window_state.h"

#include <algorithm>
#include <array>
#include <exception>

namespace velmora {
namespace {

constexpr Channel L = Channel::Left;
constexpr Channel R = Channel::Right;
using K = StoredKind;

struct Sources {
    const Generator& g;
    const WindowStateHost& host;
};

// One value as the save takes it: text, or a number for integers and booleans.
struct Taken {
    std::string text;
    std::int32_t number = 0;
};

struct SavedValue {
    StoredValue value;
    Taken (*take)(const Sources&);
};

Taken text(const Sources& s, Control c) { return {s.g.text(c), 0}; }
Taken checked(const Sources& s, Control c) { return {{}, s.g.checked(c) ? 1 : 0}; }
Taken index(const Sources& s, Control c) { return {{}, s.g.index(c)}; }
Taken number(std::int32_t n) { return {{}, n}; }

// The save's order. Checked by the tests against the restore, which reads the same names
// with the same kinds in an order of its own.
const std::array<SavedValue, 48> kSaved{{
    {{"fInitLeft", K::Text}, [](const Sources& s) { return text(s, {Field::fInit, L}); }},
    {{"fFinalLeft", K::Text}, [](const Sources& s) { return text(s, {Field::fFinal, L}); }},
    {{"AmplitudeLeft", K::Text}, [](const Sources& s) { return text(s, {Field::Amplitude, L}); }},
    {{"chkConstantLeft", K::Boolean}, [](const Sources& s) { return checked(s, {Field::chkConstant, L}); }},
    {{"LogarithmicLeft", K::Boolean}, [](const Sources& s) { return checked(s, {Field::Logarithmic, L}); }},
    {{"BidirectionalLeft", K::Boolean}, [](const Sources& s) { return checked(s, {Field::Bidirectional, L}); }},
    {{"ModulationOnLeft", K::Boolean}, [](const Sources& s) { return checked(s, {Field::ModulationOn, L}); }},
    {{"WaveFormLeft", K::Integer}, [](const Sources& s) { return index(s, {Field::WaveForm, L}); }},
    {{"fInitRight", K::Text}, [](const Sources& s) { return text(s, {Field::fInit, R}); }},
    {{"fFinalRight", K::Text}, [](const Sources& s) { return text(s, {Field::fFinal, R}); }},
    {{"AmplitudeRight", K::Text}, [](const Sources& s) { return text(s, {Field::Amplitude, R}); }},
    {{"chkConstantRight", K::Boolean}, [](const Sources& s) { return checked(s, {Field::chkConstant, R}); }},
    {{"LogarithmicRight", K::Boolean}, [](const Sources& s) { return checked(s, {Field::Logarithmic, R}); }},
    {{"BidirectionalRight", K::Boolean}, [](const Sources& s) { return checked(s, {Field::Bidirectional, R}); }},
    {{"AsLeft", K::Boolean}, [](const Sources& s) { return checked(s, {Field::chkAsLeft}); }},
    {{"PeakRmsL", K::Integer}, [](const Sources& s) { return index(s, {Field::cboCrestFactor, L}); }},
    {{"PeakRmsR", K::Integer}, [](const Sources& s) { return index(s, {Field::cboCrestFactor, R}); }},
    {{"ModulationOnRight", K::Boolean}, [](const Sources& s) { return checked(s, {Field::ModulationOn, R}); }},
    {{"WaveFormRight", K::Integer}, [](const Sources& s) { return index(s, {Field::WaveForm, R}); }},
    {{"Duration", K::Text}, [](const Sources& s) { return text(s, {Field::Duration}); }},
    {{"Loop", K::Boolean}, [](const Sources& s) { return checked(s, {Field::Loop}); }},
    // Written lower-case; the restore reads it as "Mono", names match without regard to case.
    {{"mono", K::Boolean}, [](const Sources& s) { return number(s.g.index({Field::cboChannels}) == 0); }},
    {{"LeftTick", K::Boolean}, [](const Sources& s) { return checked(s, {Field::Tick, L}); }},
    {{"RightTick", K::Boolean}, [](const Sources& s) { return checked(s, {Field::Tick, R}); }},
    {{"PhaseEdit", K::Text}, [](const Sources& s) { return text(s, {Field::PhaseEdit}); }},
    {{"ModPeriodLeftEdit", K::Text}, [](const Sources& s) { return text(s, {Field::ModPeriodEdit, L}); }},
    {{"ModDepthLeftEdit", K::Text}, [](const Sources& s) { return text(s, {Field::ModDepthEdit, L}); }},
    {{"ModFunctionLeft", K::Integer}, [](const Sources& s) { return index(s, {Field::ModFunction, L}); }},
    {{"ModPhaseLeftEdit", K::Text}, [](const Sources& s) { return text(s, {Field::ModPhaseEdit, L}); }},
    {{"ModPeriodRightEdit", K::Text}, [](const Sources& s) { return text(s, {Field::ModPeriodEdit, R}); }},
    {{"ModDepthRightEdit", K::Text}, [](const Sources& s) { return text(s, {Field::ModDepthEdit, R}); }},
    {{"ModFunctionRight", K::Integer}, [](const Sources& s) { return index(s, {Field::ModFunction, R}); }},
    {{"ModPhaseRightEdit", K::Text}, [](const Sources& s) { return text(s, {Field::ModPhaseEdit, R}); }},
    {{"WaveDevice", K::Integer}, [](const Sources& s) { return number(s.host.waveDeviceIndex()); }},
    {{"PresetAutoStart", K::Boolean}, [](const Sources& s) { return number(s.host.presetAutoStart()); }},
    {{"frmFreqSlider", K::Boolean}, [](const Sources& s) { return number(s.host.frequencySliderShown()); }},
    {{"frmFrequencyDisplay", K::Boolean}, [](const Sources& s) { return number(s.host.frequencyDisplayShown()); }},
    {{"FormX", K::Integer}, [](const Sources& s) { return number(s.host.mainWindow().left); }},
    {{"FormY", K::Integer}, [](const Sources& s) { return number(s.host.mainWindow().top); }},
    {{"DisplayX", K::Integer}, [](const Sources& s) { return number(s.host.frequencyDisplay().left); }},
    {{"DisplayY", K::Integer}, [](const Sources& s) { return number(s.host.frequencyDisplay().top); }},
    // The display keeps its aspect ratio, so its height alone gives its size.
    {{"DisplayW", K::Integer}, [](const Sources& s) { return number(s.host.frequencyDisplay().clientHeight); }},
    {{"SliderX", K::Integer}, [](const Sources& s) { return number(s.host.frequencySlider().left); }},
    {{"SliderY", K::Integer}, [](const Sources& s) { return number(s.host.frequencySlider().top); }},
    {{"SliderW", K::Integer}, [](const Sources& s) { return number(s.host.frequencySlider().clientWidth); }},
    {{"MinFreqEdit", K::Text}, [](const Sources& s) { return Taken{s.host.sliderText(SliderEdit::MinFreqEdit), 0}; }},
    {{"MaxFreqEdit", K::Text}, [](const Sources& s) { return Taken{s.host.sliderText(SliderEdit::MaxFreqEdit), 0}; }},
    {{"txtRound", K::Text}, [](const Sources& s) { return Taken{s.host.sliderText(SliderEdit::txtRound), 0}; }},
}};

// Written after the 48, read only where the store has them.
const std::array<SavedValue, 6> kAdded{{
    {{"txtCyclesLeft", K::Text}, [](const Sources& s) { return text(s, {Field::txtCycles, L}); }},
    {{"txtCyclesRight", K::Text}, [](const Sources& s) { return text(s, {Field::txtCycles, R}); }},
    {{"cboBurstWindowL", K::Integer}, [](const Sources& s) { return index(s, {Field::cboBurstWindow, L}); }},
    {{"cboBurstWindowR", K::Integer}, [](const Sources& s) { return index(s, {Field::cboBurstWindow, R}); }},
    {{"cboBandL", K::Text}, [](const Sources& s) { return text(s, {Field::cboBand, L}); }},
    {{"cboBandR", K::Text}, [](const Sources& s) { return text(s, {Field::cboBand, R}); }},
}};

const std::array<StoredValue, 6> kAddedValues = [] {
    std::array<StoredValue, 6> values{};
    for (std::size_t i = 0; i < kAdded.size(); ++i) values[i] = kAdded[i].value;
    return values;
}();

const std::array<StoredValue, 48> kValues = [] {
    std::array<StoredValue, 48> values{};
    for (std::size_t i = 0; i < kSaved.size(); ++i) values[i] = kSaved[i].value;
    return values;
}();

// A stored list index outside its list (a store edited by hand, or written by another
// version) fails its step like a value of the wrong kind, instead of selecting nothing.
class InvalidIndex final : public std::exception {
public:
    explicit InvalidIndex(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

class Restore final {
public:
    Restore(Generator& g, WindowStateHost& host, const SettingsStore& store, ScreenSize screen)
        : g_(g), host_(host), store_(store), screen_(screen)
    {
    }

    void run()
    {
        waveDevice();                                                   // 1
        g_.setText({Field::Duration}, readText("Duration"));     // 2
        g_.DurationExit();
        check("Loop", {Field::Loop});                                   // 3
        check("BidirectionalLeft", {Field::Bidirectional, L});
        check("BidirectionalRight", {Field::Bidirectional, R});
        check("LogarithmicLeft", {Field::Logarithmic, L});
        check("LogarithmicRight", {Field::Logarithmic, R});
        listIndex("PeakRmsL", {Field::cboCrestFactor, L});             // 4
        listIndex("PeakRmsR", {Field::cboCrestFactor, R});
        g_.setIndex({Field::cboChannels}, readBoolean("Mono") ? 0 : 1); // 5
        g_.cboChannelsChange();
        host_.monoClick();
        check("LeftTick", {Field::Tick, L});                            // 6
        check("RightTick", {Field::Tick, R});
        text("PhaseEdit", {Field::PhaseEdit});                          // 7
        text("AmplitudeLeft", {Field::Amplitude, L});
        text("AmplitudeRight", {Field::Amplitude, R});
        check("ModulationOnLeft", {Field::ModulationOn, L});            // 8
        check("ModulationOnRight", {Field::ModulationOn, R});
        for (Channel c : kChannels) {                                   // 9
            const std::string side = c == L ? "Left" : "Right";
            text("ModPeriod" + side + "Edit", {Field::ModPeriodEdit, c});
            text("ModDepth" + side + "Edit", {Field::ModDepthEdit, c});
            listIndex("ModFunction" + side, {Field::ModFunction, c});
            text("ModPhase" + side + "Edit", {Field::ModPhaseEdit, c});
        }
        for (Channel c : kChannels) {                                   // 10
            listIndex(c == L ? "WaveFormLeft" : "WaveFormRight", {Field::WaveForm, c});
            g_.WaveFormChange(c);
        }
        for (Channel c : kChannels) { // the burst's and the band's fields, where kept
            const bool left = c == L;
            if (store_.valueExists(left ? "txtCyclesLeft" : "txtCyclesRight"))
                text(left ? "txtCyclesLeft" : "txtCyclesRight", {Field::txtCycles, c});
            if (store_.valueExists(left ? "cboBurstWindowL" : "cboBurstWindowR"))
                listIndex(left ? "cboBurstWindowL" : "cboBurstWindowR", {Field::cboBurstWindow, c});
            if (store_.valueExists(left ? "cboBandL" : "cboBandR")) text(left ? "cboBandL" : "cboBandR", {Field::cboBand, c});
        }
        waveDevice();                                                   // 11
        host_.WaveDeviceChange();
        if (!goneDevice_.empty()) host_.waveDeviceGone(goneDevice_, storedText(kWaveDeviceText));
        host_.setPresetAutoStart(readBoolean("PresetAutoStart")); // 12
        if (readBoolean("frmFreqSlider")) host_.FreqSlider1Click(); // 13
        if (readBoolean("frmFrequencyDisplay")) host_.FrequencyDisplay1Click();
        mainWindow();                                                   // 14
        frequencyDisplay();                                             // 15
        frequencySlider();                                              // 16
        host_.setSliderText(SliderEdit::MinFreqEdit, readText("MinFreqEdit")); // 17
        host_.setSliderText(SliderEdit::MaxFreqEdit, readText("MaxFreqEdit"));
        host_.setSliderText(SliderEdit::txtRound, readText("txtRound"));
        for (Channel c : kChannels) {                                   // 18
            g_.setChecked({Field::chkConstant, c}, readBoolean(c == L ? "chkConstantLeft" : "chkConstantRight"));
            g_.chkConstantClick(c);
        }
        for (Channel c : kChannels) {                                   // 19
            const std::string side = c == L ? "Left" : "Right";
            for (Field f : {Field::fInit, Field::fFinal}) {
                text((f == Field::fInit ? "fInit" : "fFinal") + side, {f, c});
                g_.FrequencyExit(c, f); // above half the sampling rate: the Nyquist notice
            }
        }
        g_.setChecked({Field::chkAsLeft}, readBoolean("AsLeft")); // 20
        g_.chkAsLeftClick();
    }

private:
    void check(std::string_view name, Control c) { g_.setChecked(c, readBoolean(name)); }
    void text(std::string_view name, Control c) { g_.setText(c, readText(name)); }

    void listIndex(std::string_view name, Control c)
    {
        const std::int32_t i = readInteger(name);
        if (i < 0 || i >= InfoOf(c).count)
            throw InvalidIndex("'" + std::string(name) + "' holds " + std::to_string(i) + ", not an item of its list");
        g_.setIndex(c, i);
    }

    void waveDevice()
    {
        // The device list is the system's, and may have shrunk since the save (a device
        // unplugged): an entry that is gone falls back to the first, the system default.
        const std::int32_t i = readInteger("WaveDevice");
        host_.setWaveDeviceIndex(i >= 0 && i < host_.waveDeviceCount() ? i : 0);
        // Where the device's identity is kept, it decides: the same device wherever it now
        // stands, or none at all rather than another one.
        goneDevice_.clear();
        const std::string name = storedText(kWaveDeviceName);
        if (!name.empty() && !host_.selectWaveDeviceNamed(name)) {
            host_.setWaveDeviceIndex(-1);
            goneDevice_ = name;
        }
    }

    // An optional text: empty when missing or of another kind.
    std::string storedText(std::string_view name) const
    {
        if (!store_.valueExists(name)) return {};
        try {
            return store_.readText(name);
        } catch (const SettingsError&) {
            return {};
        }
    }

    void mainWindow()
    {
        const WindowPlace saved{readInteger("FormX"), readInteger("FormY")};
        const WindowBounds now = host_.mainWindow();
        host_.moveMainWindow(reachable(PlaceMainWindow(saved, now.width, now.height, screen_), now));
    }

    void frequencyDisplay()
    {
        const WindowPlace saved{readInteger("DisplayX"), readInteger("DisplayY")};
        host_.setFrequencyDisplayHeight(readInteger("DisplayW"));
        const WindowBounds now = host_.frequencyDisplay();
        host_.moveFrequencyDisplay(reachable(PlaceToolWindow(saved, now.height, screen_), now));
    }

    void frequencySlider()
    {
        const WindowPlace saved{readInteger("SliderX"), readInteger("SliderY")};
        host_.setFrequencySliderWidth(readInteger("SliderW"));
        const WindowBounds now = host_.frequencySlider();
        host_.moveFrequencySlider(reachable(PlaceToolWindow(saved, now.height, screen_), now));
    }

    // Left of or above the primary screen a window may stand on another screen; when its
    // title bar is on none (that screen is gone), it comes onto the primary screen.
    WindowPlace reachable(WindowPlace place, const WindowBounds& window) const
    {
        // The frame above the client area is the title bar; without a frame the platform
        // draws none, and a strip of a usual title bar's height counts.
        const int title = std::max(window.height - window.clientHeight, kTitleHeight);
        const std::vector<ScreenRect> screens = host_.screens();
        if (screens.empty() || TitleBarOnScreen(place, window.width, title, screens)) return place;
        return PlaceOnScreen(place, window.width, window.height, screens.front());
    }
    static constexpr int kTitleHeight = 20;

    // Every read goes through these, so that a failure can name the value its step was about.
    std::string readText(std::string_view name)
    {
        last_ = name;
        return store_.readText(name);
    }
    std::int32_t readInteger(std::string_view name)
    {
        last_ = name;
        return store_.readInteger(name);
    }
    bool readBoolean(std::string_view name)
    {
        last_ = name;
        return store_.readBoolean(name);
    }

public:
    // The value of the step that was running (the last one read).
    const std::string& lastValue() const { return last_; }

private:
    Generator& g_;
    WindowStateHost& host_;
    const SettingsStore& store_;
    ScreenSize screen_;
    std::string last_;
    std::string goneDevice_;
};

} // namespace

std::span<const StoredValue> WindowStateValues() { return kValues; }

std::span<const StoredValue> WindowStateAddedValues() { return kAddedValues; }

RestoreOutcome RestoreWindowState(Generator& generator, WindowStateHost& host, const SettingsStore& store)
{
    const ScreenSize screen = host.primaryScreen();
    host.limitFrequencyDisplayWidth(screen.width);

    RestoreOutcome outcome;
    Restore restore(generator, host, store, screen);
    try {
        restore.run();
    } catch (const std::exception& e) {
        outcome.complete = false;
        outcome.value = restore.lastValue();
        outcome.failure = e.what();
        host.resetCurrentSettings();
    }

    generator.fConstChange(Channel::Left);
    generator.fConstChange(Channel::Right);
    generator.ModulationOnClick(Channel::Left);
    generator.ModulationOnClick(Channel::Right);
    host.fillMemoriesFromSettings();
    return outcome;
}

void SaveWindowState(const Generator& generator, const WindowStateHost& host, SettingsStore& store)
{
    const Sources sources{generator, host};
    std::vector<SavedValue> all(kSaved.begin(), kSaved.end());
    all.insert(all.end(), kAdded.begin(), kAdded.end());
    for (const SavedValue& saved : all) {
        const Taken value = saved.take(sources);
        switch (saved.value.kind) {
        case StoredKind::Text: store.writeText(saved.value.name, value.text); break;
        case StoredKind::Integer: store.writeInteger(saved.value.name, value.number); break;
        case StoredKind::Boolean: store.writeBoolean(saved.value.name, value.number != 0); break;
        }
    }
    store.writeText(kWaveDeviceName, host.waveDeviceName());
    store.writeText(kWaveDeviceText, host.waveDeviceText());
}

} // namespace velmora
