#pragma once
// The generator's window state kept from one run to the next: both channels' settings, the
// output device, the autostart mark, which auxiliary windows are open, where the windows
// stand and the frequency slider's range, as 48 named values of the settings store.
//
// The save writes every value from the generator and its windows; the restore reads them
// back in a fixed order through the generator's control setters and handlers, so that every
// derived state (visible controls, sweeps, modulation) follows as if the user had set them.
// The first step that fails - a missing number, a value of the wrong kind, a store that was
// never written, an error a handler raises - ends the restore, and "Reset current settings"
// runs instead; what earlier steps applied and the reset does not touch stays. A window whose
// title bar would come back on no screen (saved on a screen that is gone) is brought onto
// the primary screen.
//
// Plain C++: the windows are reached through WindowStateHost, so a test can stand in for
// them. Window thread only; everything here may allocate.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/generator.h"
#include "settings/screen_edges.h"
#include "settings/settings_store.h"

namespace velmora {

enum class StoredKind { Text, Integer, Boolean };

struct StoredValue {
    std::string_view name;
    StoredKind kind;
};

// The 48 values, in the order the save writes them.
std::span<const StoredValue> WindowStateValues();
// Values written after those: the tone burst's cycles and window and the noise band of each
// channel. A store written before they existed lacks them; the restore then leaves the
// fields as they are instead of failing.
std::span<const StoredValue> WindowStateAddedValues();

// The slider window's edit boxes whose texts are kept.
enum class SliderEdit { MinFreqEdit, MaxFreqEdit, txtRound };

// A window's outer frame in screen pixels, and the size of the area inside it (which is what
// the kept height of the display and width of the slider measure).
struct WindowBounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int clientWidth = 0;
    int clientHeight = 0;
};

// What the save and the restore reach beyond the Generator: the main window's own lists and
// menu marks, the auxiliary windows and the preset memories. Window thread.
class WindowStateHost {
public:
    virtual ~WindowStateHost() = default;

    // The output device list: the item index alone (nothing runs), and its change handler.
    virtual int waveDeviceIndex() const = 0;
    virtual int waveDeviceCount() const = 0;
    virtual void setWaveDeviceIndex(int index) = 0;
    virtual void WaveDeviceChange() = 0;
    // What identifies the selected device from one start to the next ("" for "System
    // Default", for no selection and where the list cannot tell), and the text it shows.
    virtual std::string waveDeviceName() const { return {}; }
    virtual std::string waveDeviceText() const { return {}; }
    // Selects the entry of that identity; false, with nothing selected, when none has it.
    virtual bool selectWaveDeviceNamed(const std::string& name)
    {
        (void)name;
        return false;
    }
    // The kept device is not in the list: tells the user which one, and what to do.
    virtual void waveDeviceGone(const std::string& name, const std::string& text)
    {
        (void)name;
        (void)text;
    }

    // The layout pass that follows the channel layout's change handler during the restore.
    virtual void monoClick() = 0;

    // The check mark of "Autostart Recalled Presets".
    virtual bool presetAutoStart() const = 0;
    virtual void setPresetAutoStart(bool on) = 0;

    // The View menu's auxiliary windows: shown or not, and the menu commands that open them.
    virtual bool frequencySliderShown() const = 0;
    virtual void FreqSlider1Click() = 0;
    virtual bool frequencyDisplayShown() const = 0;
    virtual void FrequencyDisplay1Click() = 0;

    // Screen and window geometry in screen pixels. The display's height and the slider's
    // width are set as client sizes, as WindowBounds reports them.
    virtual ScreenSize primaryScreen() const = 0;
    // The areas of every screen, the primary one first; by default the primary screen alone.
    virtual std::vector<ScreenRect> screens() const
    {
        const ScreenSize primary = primaryScreen();
        return {ScreenRect{0, 0, primary.width, primary.height}};
    }
    virtual WindowBounds mainWindow() const = 0;
    virtual void moveMainWindow(WindowPlace place) = 0;
    virtual void limitFrequencyDisplayWidth(int width) = 0;
    virtual WindowBounds frequencyDisplay() const = 0;
    virtual void setFrequencyDisplayHeight(int height) = 0;
    virtual void moveFrequencyDisplay(WindowPlace place) = 0;
    virtual WindowBounds frequencySlider() const = 0;
    virtual void setFrequencySliderWidth(int width) = 0;
    virtual void moveFrequencySlider(WindowPlace place) = 0;

    // The slider window's range and rounding texts, as they stand.
    virtual std::string sliderText(SliderEdit edit) const = 0;
    virtual void setSliderText(SliderEdit edit, const std::string& text) = 0;

    // "Reset current settings".
    virtual void resetCurrentSettings() = 0;
    // Stores the current settings into the four preset memories, named "Memory 1" ... "Memory 4".
    virtual void fillMemoriesFromSettings() = 0;
};

struct RestoreOutcome {
    bool complete = true;   // false: a step failed and the reset ran
    std::string value;      // the stored value whose step failed ("fInitLeft")
    std::string failure;    // what failed, for logs and tests
};

// Applies the values of `store` (opened for reading; an unopened store fails at once) to the
// generator and the windows, then recomputes both channels' frequencies and modulation and
// fills the preset memories. Errors of the final recompute reach the caller.
RestoreOutcome RestoreWindowState(Generator& generator, WindowStateHost& host, const SettingsStore& store);

// The device's identity and text, written after the 48 values. A store without them (an
// older one) restores the device by its list position alone; with them the restore selects
// the device that has the identity wherever it now stands, and when none has it selects
// nothing (the next start reports the device error) and tells the host once.
inline constexpr std::string_view kWaveDeviceName = "WaveDeviceName";
inline constexpr std::string_view kWaveDeviceText = "WaveDeviceText";

// Writes the 48 values and the device's identity into `store` (opened for writing); the
// caller closes it, which is where the file is replaced. Throws SettingsError.
void SaveWindowState(const Generator& generator, const WindowStateHost& host, SettingsStore& store);

} // namespace velmora
