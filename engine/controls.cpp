#include "controls.h"

#include <array>
#include <stdexcept>

namespace velmora {

namespace {
constexpr Channel L = Channel::Left;
constexpr Channel R = Channel::Right;
using K = ControlKind;
using F = Field;

constexpr std::array<ControlInfo, 47> kTable{{
    {"WaveFormLeft", {F::WaveForm, L}, K::Index, kWaveFormCount},
    {"WaveFormRight", {F::WaveForm, R}, K::Index, kWaveFormCount},
    {"chkConstantLeft", {F::chkConstant, L}, K::Check},
    {"chkConstantRight", {F::chkConstant, R}, K::Check},
    {"fInitLeft", {F::fInit, L}, K::Text},
    {"fInitRight", {F::fInit, R}, K::Text},
    {"fFinalLeft", {F::fFinal, L}, K::Text},
    {"fFinalRight", {F::fFinal, R}, K::Text},
    {"LogarithmicLeft", {F::Logarithmic, L}, K::Check},
    {"LogarithmicRight", {F::Logarithmic, R}, K::Check},
    {"BidirectionalLeft", {F::Bidirectional, L}, K::Check},
    {"BidirectionalRight", {F::Bidirectional, R}, K::Check},
    {"AmplitudeLeft", {F::Amplitude, L}, K::Text},
    {"AmplitudeRight", {F::Amplitude, R}, K::Text},
    {"barAmplitudeLeft", {F::barAmplitude, L}, K::Position, 10000},
    {"barAmplitudeRight", {F::barAmplitude, R}, K::Position, 10000},
    {"Lefttick", {F::Tick, L}, K::Check},
    {"RightTick", {F::Tick, R}, K::Check},
    {"ModulationOnLeft", {F::ModulationOn, L}, K::Check},
    {"ModulationOnRight", {F::ModulationOn, R}, K::Check},
    {"ModFunctionLeft", {F::ModFunction, L}, K::Index, 4},
    {"ModFunctionRight", {F::ModFunction, R}, K::Index, 4},
    {"ModDepthLeftEdit", {F::ModDepthEdit, L}, K::Text},
    {"ModDepthRightEdit", {F::ModDepthEdit, R}, K::Text},
    {"ModPeriodLeftEdit", {F::ModPeriodEdit, L}, K::Text},
    {"ModPeriodRightEdit", {F::ModPeriodEdit, R}, K::Text},
    {"ModPhaseLeftEdit", {F::ModPhaseEdit, L}, K::Text},
    {"ModPhaseRightEdit", {F::ModPhaseEdit, R}, K::Text},
    {"cboCrestFactorL", {F::cboCrestFactor, L}, K::Index, 7},
    {"cboCrestFactorR", {F::cboCrestFactor, R}, K::Index, 7},
    {"txtMLSLengthLeft", {F::txtMLSLength, L}, K::Text},
    {"txtMLSLengthRight", {F::txtMLSLength, R}, K::Text},
    {"txtMLSSeedLeft", {F::txtMLSSeed, L}, K::Text},
    {"txtMLSSeedRight", {F::txtMLSSeed, R}, K::Text},
    {"PhaseEdit", {F::PhaseEdit, L}, K::Text},
    {"Duration", {F::Duration, L}, K::Text},
    {"Loop", {F::Loop, L}, K::Check},
    {"cboChannels", {F::cboChannels, L}, K::Index, 2},
    {"chkAsLeft", {F::chkAsLeft, L}, K::Check},
    {"txtCorrectionFactor", {F::txtCorrectionFactor, L}, K::Text},
    {"cboCorrectionUnits", {F::cboCorrectionUnits, L}, K::Index, 2},
    {"txtCyclesLeft", {F::txtCycles, L}, K::Text},
    {"txtCyclesRight", {F::txtCycles, R}, K::Text},
    {"cboBurstWindowL", {F::cboBurstWindow, L}, K::Index, 2},
    {"cboBurstWindowR", {F::cboBurstWindow, R}, K::Index, 2},
    // An editable list: its text is the band ("Full", "500:2000", "30:80" or typed).
    {"cboBandL", {F::cboBand, L}, K::Text},
    {"cboBandR", {F::cboBand, R}, K::Text},
}};
} // namespace

bool HasTwin(Field field)
{
    return field <= Field::txtMLSSeed || (field >= Field::txtCycles && field <= Field::cboBand);
}

std::span<const ControlInfo> ControlTable() { return kTable; }

std::optional<ControlInfo> FindControl(std::string_view name)
{
    for (const ControlInfo& info : kTable)
        if (info.name == name) return info;
    return std::nullopt;
}

const ControlInfo& InfoOf(Control control)
{
    if (!HasTwin(control.field)) control.channel = Channel::Left;
    for (const ControlInfo& info : kTable)
        if (info.control == control) return info;
    throw std::logic_error("unknown control");
}

} // namespace velmora
