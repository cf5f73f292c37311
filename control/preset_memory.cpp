#include "preset_memory.h"

#include <algorithm>

namespace velmora {

namespace {
constexpr Channel L = Channel::Left;
constexpr Channel R = Channel::Right;

// A stored list index made safe for its list: outside the list it becomes the nearest
// entry, except that "no selection" stays where the list's handler copes with it (the
// modulation shape plays at full level, the crest factor keeps its exponent).
int ListIndex(Field field, int32_t stored)
{
    const int count = InfoOf({field, L}).count;
    const bool noneAllowed = field == Field::ModFunction || field == Field::cboCrestFactor;
    if (stored == -1 && noneAllowed) return -1;
    return std::clamp<int32_t>(stored, 0, count - 1);
}

void StoreText(const Generator& g, PresetSlot& r, size_t offset, Control c) { r.setText(offset, g.text(c)); }

// Steps shared by the current and the older layout, up to the frequencies.
void RecallCommon(Generator& g, const PresetSlot& r)
{
    if (g.hooks.outputActive && g.hooks.outputActive() && g.hooks.stopAtOnce) g.hooks.stopAtOnce();

    // Setting the Constant radio (or its Sweep twin) runs the click once when the state
    // changes; the recall then runs it again itself.
    g.setChecked({Field::chkConstant, L}, r.flag(slot::chkConstantLeft));
    g.chkConstantClick(L);
    g.setText({Field::Amplitude, L}, r.text(slot::AmplitudeLeft));
    g.setIndex({Field::WaveForm, L}, ListIndex(Field::WaveForm, r.integer(slot::WaveFormLeft)));
    g.WaveFormChange(L);
    g.setChecked({Field::Logarithmic, L}, r.flag(slot::LogarithmicLeft));
    g.setChecked({Field::Bidirectional, L}, r.flag(slot::BidirectionalLeft));
    g.setChecked({Field::ModulationOn, L}, r.flag(slot::ModulationOnLeft));

    g.setChecked({Field::chkConstant, R}, r.flag(slot::chkConstantRight));
    g.chkConstantClick(R);
    g.setText({Field::Amplitude, R}, r.text(slot::AmplitudeRight));
    g.setIndex({Field::WaveForm, R}, ListIndex(Field::WaveForm, r.integer(slot::WaveFormRight)));
    g.WaveFormChange(R);
    g.setChecked({Field::Logarithmic, R}, r.flag(slot::LogarithmicRight));
    g.setChecked({Field::Bidirectional, R}, r.flag(slot::BidirectionalRight));
    g.setChecked({Field::ModulationOn, R}, r.flag(slot::ModulationOnRight));

    g.setText({Field::Duration}, r.text(slot::Duration));
    g.DurationExit();
    g.setChecked({Field::Loop}, r.flag(slot::Loop));
    // Only a mono byte of exactly 1 means "Mono".
    g.setIndex({Field::cboChannels}, r.byte(slot::Mono) == 1 ? 0 : 1);
    g.cboChannelsChange();
    g.setChecked({Field::Tick, L}, r.flag(slot::Lefttick));
    g.setChecked({Field::Tick, R}, r.flag(slot::RightTick));

    g.setText({Field::PhaseEdit}, r.text(slot::PhaseEdit));
    g.setText({Field::ModPeriodEdit, L}, r.text(slot::ModPeriodLeftEdit));
    g.setText({Field::ModPeriodEdit, R}, r.text(slot::ModPeriodRightEdit));
    g.setText({Field::ModDepthEdit, L}, r.text(slot::ModDepthLeftEdit));
    g.setText({Field::ModDepthEdit, R}, r.text(slot::ModDepthRightEdit));
    g.setIndex({Field::ModFunction, L}, ListIndex(Field::ModFunction, r.integer(slot::ModFunctionLeft)));
    g.setIndex({Field::ModFunction, R}, ListIndex(Field::ModFunction, r.integer(slot::ModFunctionRight)));
    g.setText({Field::ModPhaseEdit, L}, r.text(slot::ModPhaseLeftEdit));
    g.setText({Field::ModPhaseEdit, R}, r.text(slot::ModPhaseRightEdit));

    g.AmplitudeExit(L);
    g.AmplitudeExit(R);

    g.setText({Field::fInit, L}, r.text(slot::fInitLeft));
    g.setText({Field::fFinal, L}, r.text(slot::fFinalLeft));
    g.fConstChange(L);
    g.setText({Field::fInit, R}, r.text(slot::fInitRight));
    g.setText({Field::fFinal, R}, r.text(slot::fFinalRight));
    g.fConstChange(R);
}
} // namespace

void MemStore(const Generator& g, PresetSlot& r)
{
    StoreText(g, r, slot::fInitLeft, {Field::fInit, L});
    StoreText(g, r, slot::fFinalLeft, {Field::fFinal, L});
    StoreText(g, r, slot::AmplitudeLeft, {Field::Amplitude, L});
    r.setInteger(slot::WaveFormLeft, g.index({Field::WaveForm, L}));
    r.setFlag(slot::LogarithmicLeft, g.checked({Field::Logarithmic, L}));
    r.setFlag(slot::BidirectionalLeft, g.checked({Field::Bidirectional, L}));
    r.setFlag(slot::chkConstantLeft, g.checked({Field::chkConstant, L}));
    r.setFlag(slot::ModulationOnLeft, g.checked({Field::ModulationOn, L}));
    StoreText(g, r, slot::fInitRight, {Field::fInit, R});
    StoreText(g, r, slot::fFinalRight, {Field::fFinal, R});
    r.setFlag(slot::chkConstantRight, g.checked({Field::chkConstant, R}));
    StoreText(g, r, slot::AmplitudeRight, {Field::Amplitude, R});
    r.setInteger(slot::WaveFormRight, g.index({Field::WaveForm, R}));
    r.setFlag(slot::LogarithmicRight, g.checked({Field::Logarithmic, R}));
    r.setFlag(slot::BidirectionalRight, g.checked({Field::Bidirectional, R}));
    r.setFlag(slot::ModulationOnRight, g.checked({Field::ModulationOn, R}));
    r.setFlag(slot::Loop, g.checked({Field::Loop}));
    r.setFlag(slot::Mono, g.index({Field::cboChannels}) == 0);
    StoreText(g, r, slot::Duration, {Field::Duration});
    r.setFlag(slot::Lefttick, g.checked({Field::Tick, L}));
    r.setFlag(slot::RightTick, g.checked({Field::Tick, R}));
    StoreText(g, r, slot::PhaseEdit, {Field::PhaseEdit});
    StoreText(g, r, slot::ModPeriodLeftEdit, {Field::ModPeriodEdit, L});
    StoreText(g, r, slot::ModPeriodRightEdit, {Field::ModPeriodEdit, R});
    StoreText(g, r, slot::ModDepthLeftEdit, {Field::ModDepthEdit, L});
    StoreText(g, r, slot::ModDepthRightEdit, {Field::ModDepthEdit, R});
    r.setInteger(slot::ModFunctionLeft, g.index({Field::ModFunction, L}));
    r.setInteger(slot::ModFunctionRight, g.index({Field::ModFunction, R}));
    StoreText(g, r, slot::ModPhaseLeftEdit, {Field::ModPhaseEdit, L});
    StoreText(g, r, slot::ModPhaseRightEdit, {Field::ModPhaseEdit, R});
    r.setInteger(slot::cboCrestFactorL, g.index({Field::cboCrestFactor, L}));
    r.setInteger(slot::cboCrestFactorR, g.index({Field::cboCrestFactor, R}));
    r.setFlag(slot::chkAsLeft, g.checked({Field::chkAsLeft}));
    for (Channel c : kChannels) {
        const auto i = static_cast<size_t>(index(c));
        r.added.txtCycles[i] = g.text({Field::txtCycles, c});
        r.added.cboBurstWindow[i] = g.index({Field::cboBurstWindow, c});
        r.added.cboBand[i] = g.text({Field::cboBand, c});
    }
}

void MemRecall(Generator& g, const PresetSlot& r)
{
    RecallCommon(g, r);
    g.setIndex({Field::cboCrestFactor, L}, ListIndex(Field::cboCrestFactor, r.integer(slot::cboCrestFactorL)));
    g.cboCrestFactorChange(L);
    g.setIndex({Field::cboCrestFactor, R}, ListIndex(Field::cboCrestFactor, r.integer(slot::cboCrestFactorR)));
    g.cboCrestFactorChange(R);
    // The burst's and the band's fields (their defaults for a file without them), before
    // "Same as Left" copies the left ones over.
    for (Channel c : kChannels) {
        const auto i = static_cast<size_t>(index(c));
        g.setText({Field::txtCycles, c}, r.added.txtCycles[i]);
        g.selectIndex({Field::cboBurstWindow, c}, ListIndex(Field::cboBurstWindow, r.added.cboBurstWindow[i]));
        g.setText({Field::cboBand, c}, r.added.cboBand[i]);
    }
    g.setChecked({Field::chkAsLeft}, r.flag(slot::chkAsLeft));
}

void MemRecall36(Generator& g, const PresetSlot& r) { RecallCommon(g, r); }

PresetNumberError::PresetNumberError(int n)
    : std::out_of_range("Invalid preset number " + std::to_string(n)), number(n)
{
}

PresetSlot& PresetBank::memory(int n)
{
    if (!validNumber(n)) throw PresetNumberError(n);
    return records_[static_cast<size_t>(n - 1)];
}

const PresetSlot& PresetBank::memory(int n) const
{
    if (!validNumber(n)) throw PresetNumberError(n);
    return records_[static_cast<size_t>(n - 1)];
}

void PresetBank::named(int n)
{
    if (hooks.nameChanged) hooks.nameChanged(n);
}

void PresetBank::MemStore(int n) { velmora::MemStore(generator_, memory(n)); }

void PresetBank::MemRecall(int n)
{
    velmora::MemRecall(generator_, memory(n));
    if (autostart && hooks.startsignal) hooks.startsignal();
}

void PresetBank::rename(int n, std::string_view name)
{
    memory(n).setName(name);
    named(n);
}

void PresetBank::storeAllFromCurrent()
{
    for (int n = 1; n <= kPresetCount; ++n) {
        MemStore(n);
        rename(n, "Memory " + std::to_string(n));
    }
}

void PresetBank::replaceAll(const PresetRecords& records)
{
    records_ = records;
    for (int n = 1; n <= kPresetCount; ++n) named(n);
}

PresetLoad PresetBank::LoadSettings(const std::filesystem::path& file) { return load(ReadPresetFile(file)); }

PresetLoad PresetBank::load(const PresetFileContents& contents)
{
    switch (contents.kind) {
    case PresetFileKind::Current:
        replaceAll(contents.records);
        return PresetLoad::Loaded;
    case PresetFileKind::Obsolete:
        if (hooks.notice) hooks.notice(kObsoleteFormatText);
        return PresetLoad::Obsolete;
    case PresetFileKind::Unknown: return PresetLoad::Ignored;
    case PresetFileKind::Old36: break;
    }
    // Older records have no crest factors and no "Same as Left": store them as 4:1 and off.
    generator_.setIndex({Field::cboCrestFactor, L}, 3);
    generator_.setIndex({Field::cboCrestFactor, R}, 3);
    generator_.setChecked({Field::chkAsLeft}, false);
    if (hooks.notice) hooks.notice(kImportNoticeText);
    for (int n = 1; n <= kPresetCount; ++n) {
        const PresetSlot& old = contents.records[static_cast<size_t>(n - 1)];
        MemRecall36(generator_, old);
        memory(n).setName(old.name());
        named(n);
        MemStore(n);
    }
    return PresetLoad::Imported;
}

} // namespace velmora
