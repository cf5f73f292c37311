#include "render_refusals.h"

#include <cmath>

#include "engine/controls.h"
#include "engine/numbers.h"

namespace velmora {

namespace {

std::string Setting(Control c, const std::string& value)
{
    return std::string(InfoOf(c).name) + "=" + value;
}

bool Rounds(const std::string& text)
{
    double x = 0;
    if (!TryIntlStrToFloat(text, x)) return true; // a conversion error says so itself
    try {
        RoundToInt64(x);
        return true;
    } catch (const ArithmeticError&) {
        return false;
    }
}

} // namespace

std::string ExplainRecomputeFailure(const Generator& g, Channel c, const std::string& error)
{
    const ChannelSettings& cs = g.settings[c];
    const OutputSettings& o = g.settings.output;
    const double fs = g.samplingRate();
    const std::string rate = NumberToText(fs) + " Hz";
    if (!(o.FrequencyCorrection > 0))
        return Setting({Field::txtCorrectionFactor}, o.txtCorrectionFactor) +
               (o.cboCorrectionUnits == 1 ? " cent" : " %") +
               ": a frequency correction must leave every frequency above 0 Hz (" + error + ")";
    double seconds = 0;
    if (!TryIntlStrToFloat(g.settings.Duration, seconds) || !Rounds(g.settings.Duration) ||
        !std::isfinite(seconds * fs) || std::fabs(seconds * fs) >= 9.2e18)
        return Setting({Field::Duration}, g.settings.Duration) + ": the number of samples at " + rate +
               " cannot be counted (" + error + ")";
    const int64_t n = RoundToInt64(seconds * fs);
    if (!cs.chkConstant && n <= 1)
        return "a sweep needs at least two samples: " + Setting({Field::Duration}, g.settings.Duration) +
               " gives " + std::to_string(n) + " at " + rate;
    if (!cs.chkConstant)
        return Setting({Field::fInit, c}, cs.fInit) + " to " + Setting({Field::fFinal, c}, cs.fFinal) +
               (cs.Logarithmic ? ": a logarithmic" : ": a linear") + " sweep over " + std::to_string(n) +
               " samples cannot be computed (" + error + ")";
    return Setting({Field::fInit, c}, cs.fInit) + ": the tone cannot be computed (" + error + ")";
}

std::string ExplainPrepareFailure(const Generator& g, const std::exception& error)
{
    const std::string why = error.what();
    for (Channel c : kChannels) {
        const std::string& seed = g.settings[c].txtMLSSeed;
        if (!Rounds(seed))
            return Setting({Field::txtMLSSeed, c}, seed) +
                   ": a register value must be below 2^63 in magnitude (" + why + ")";
    }
    const std::string field = UnusableTextField(g);
    if (!field.empty()) return "cannot prepare the signal: " + field + ": " + why;
    return "cannot prepare the signal: " + why;
}

std::string UnusableTextField(const Generator& g)
{
    for (const ControlInfo& info : ControlTable()) {
        if (info.kind != ControlKind::Text) continue;
        const std::string text = g.text(info.control);
        double x = 0;
        if (!TryIntlStrToFloat(text, x) && !HandlerSkipsText(info.control.field, text)) return std::string(info.name);
    }
    return {};
}

bool HandlerSkipsText(Field field, const std::string& text)
{
    switch (field) {
    case Field::ModDepthEdit:
    case Field::ModPeriodEdit: return text.empty();
    case Field::txtCorrectionFactor: return text.empty() || text == "-";
    case Field::cboBand: return true; // a band, not a number: the renderer checks it itself
    default: return false;
    }
}

} // namespace velmora
