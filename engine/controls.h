#pragma once
// Identities and names of the controls that make up GeneratorSettings. The headless
// renderer, preset files, persisted settings and scripts all name controls this way.

#include <optional>
#include <span>
#include <string_view>

#include "settings.h"

namespace velmora {

enum class Field {
    // One per channel.
    WaveForm, chkConstant, fInit, fFinal, Logarithmic, Bidirectional, Amplitude, barAmplitude,
    Tick, ModulationOn, ModFunction, ModDepthEdit, ModPeriodEdit, ModPhaseEdit, cboCrestFactor,
    txtMLSLength, txtMLSSeed,
    // The right channel's phase and the whole signal.
    PhaseEdit, Duration, Loop, cboChannels, chkAsLeft,
    // Output settings.
    txtCorrectionFactor, cboCorrectionUnits,
    // One per channel: the tone burst's cycles and window, a periodic noise's band.
    txtCycles, cboBurstWindow, cboBand,
};

// How a control holds its value, and so which rule runs when code sets it.
enum class ControlKind {
    Text,     // edit box: its change handler runs when the text changes
    Check,    // check box / radio pair: its click handler runs when the state changes
    Index,    // list: setting the index from code runs nothing
    Position, // track bar: its change handler runs when the position changes
};

struct Control {
    Field field;
    Channel channel = Channel::Left; // ignored for the fields that have no twin
    friend bool operator==(const Control&, const Control&) = default;
};

struct ControlInfo {
    std::string_view name; // the control's name, e.g. "fInitLeft"
    Control control;
    ControlKind kind;
    int count = 0; // Index: number of list items; Position: maximum
};

std::span<const ControlInfo> ControlTable();
std::optional<ControlInfo> FindControl(std::string_view name);
const ControlInfo& InfoOf(Control control);
bool HasTwin(Field field);

} // namespace velmora
