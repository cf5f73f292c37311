#include "control/generator_messages.h"

#include "engine/numbers.h"

#include <string>

namespace velmora {

namespace {

// A list given a position from code shows no entry when the position is beyond its items.
int ListPosition(Control control, int64_t position)
{
    return position >= 0 && position < InfoOf(control).count ? static_cast<int>(position) : -1;
}

// Numbers reach the edits as the shortest decimal text with the user's separator.
std::string Hundredths(uint32_t value) { return NumberToText(value / 100.0); }
std::string Tenths(uint32_t value) { return NumberToText(value / 10.0); }
std::string Whole(int64_t value) { return std::to_string(value); }

// The messages that exist for both channels, the right one's number being the left's + 100.
bool HandleChannelMessage(Generator& g, Channel c, uint32_t n, uint32_t wParam)
{
    switch (n) {
    case message::kSweep: g.setChecked({Field::chkConstant, c}, wParam == 0); return true;
    case message::kStartFrequency:
    case message::kStartFrequency2: g.setText({Field::fInit, c}, Hundredths(wParam)); return true;
    case message::kFinalFrequency: g.setText({Field::fFinal, c}, Hundredths(wParam)); return true;
    case message::kLogarithmic: g.setChecked({Field::Logarithmic, c}, wParam != 0); return true;
    case message::kBidirectional: g.setChecked({Field::Bidirectional, c}, wParam != 0); return true;
    case message::kLevel:
        // Levels are 0 dBFS or below: the only messages that read wParam as signed.
        g.setText({Field::Amplitude, c}, Whole(static_cast<int32_t>(wParam)));
        return true;
    case message::kModulationOn: g.setChecked({Field::ModulationOn, c}, wParam != 0); return true;
    case message::kWaveForm: {
        const Control list{Field::WaveForm, c};
        g.setIndex(list, ListPosition(list, wParam));
        return true;
    }
    default: return false;
    }
}

// Both channels' values in one message: wParam for the left, lParam for the right.
void SetPair(Generator& g, Field field, uint32_t wParam, int32_t lParam)
{
    g.setText({field, Channel::Left}, Whole(wParam));
    g.setText({field, Channel::Right}, Whole(lParam));
}

} // namespace

MessageResult HandleMessage(Generator& g, MessageTarget& target, uint32_t n, uint32_t wParam, int32_t lParam)
{
    switch (n) {
    case message::kStart: target.startsignal(); return MessageResult::Done;
    case message::kStop: target.stopAtOnce(); return MessageResult::Done;
    case message::kPause: target.togglePause(); return MessageResult::Done;
    case message::kSync: target.setSync(wParam != 0); return MessageResult::Done;
    case message::kDuration:
        g.setText({Field::Duration}, Tenths(wParam));
        g.DurationExit();
        return MessageResult::Done;
    case message::kRepeat: g.setChecked({Field::Loop}, wParam != 0); return MessageResult::Done;
    case message::kChannels:
        g.selectIndex({Field::cboChannels}, wParam != 0 ? 1 : 0);
        g.setChecked({Field::Tick, Channel::Left}, (wParam & 1u) != 0 || wParam == 0);
        g.setChecked({Field::Tick, Channel::Right}, (wParam & 2u) != 0 || wParam == 0);
        return MessageResult::Done;
    case message::kPhase:
        if (g.checked({Field::Tick, Channel::Left}) && g.checked({Field::Tick, Channel::Right}) &&
            g.settings.stereo())
            g.setText({Field::PhaseEdit}, Whole(wParam));
        return MessageResult::Done;
    case message::kModPeriod: SetPair(g, Field::ModPeriodEdit, wParam, lParam); return MessageResult::Done;
    case message::kModDepth: SetPair(g, Field::ModDepthEdit, wParam, lParam); return MessageResult::Done;
    case message::kModPhase: SetPair(g, Field::ModPhaseEdit, wParam, lParam); return MessageResult::Done;
    case message::kModFunction: {
        const Control left{Field::ModFunction, Channel::Left}, right{Field::ModFunction, Channel::Right};
        g.setIndex(left, ListPosition(left, wParam));
        g.setIndex(right, ListPosition(right, lParam));
        return MessageResult::Done;
    }
    case message::kDevice:
        // Entry wParam + 1 in 32 bits: 0xFFFFFFFF (id -1) is the system default, entry 0.
        target.selectDevice(static_cast<uint32_t>(wParam + 1u));
        return MessageResult::Done;
    case message::kPreset:
        if (lParam >= 1 && lParam <= 4) {
            if (wParam == 0) target.MemRecall(lParam);
            if (wParam == 1) target.MemStore(lParam);
        }
        return MessageResult::Done;
    case message::kAlive: return MessageResult::Internal;
    default: break;
    }
    if (HandleChannelMessage(g, Channel::Left, n, wParam)) return MessageResult::Done;
    if (n >= message::kRightOffset && n - message::kRightOffset >= message::kSweep &&
        HandleChannelMessage(g, Channel::Right, n - message::kRightOffset, wParam))
        return MessageResult::Done;
    return MessageResult::Unknown;
}

} // namespace velmora
