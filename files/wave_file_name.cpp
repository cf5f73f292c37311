#include "wave_file_name.h"

#include <algorithm>

namespace velmora {

namespace {

constexpr size_t kMaxNameBytes = 255; // one path component on Linux file systems

bool Contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

// Blanks and control characters go, as a text field's trim does.
std::string Trim(const std::string& s)
{
    auto blank = [](char ch) { return static_cast<unsigned char>(ch) <= ' '; };
    const auto first = std::find_if_not(s.begin(), s.end(), blank);
    const auto last = std::find_if_not(s.rbegin(), s.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string First15(const std::string& s) { return s.substr(0, 15); }

std::string MlsDetails(const WaveNameChannel& c)
{
    return c.mls ? " " + c.mlsLength + " bits, seed=" + c.mlsSeed : std::string();
}

// "White Noise (periodic)" -> "White Noise periodic 2^16 -20dBFS".
std::string PeriodicName(const WaveNameChannel& c)
{
    std::string kind = c.waveForm;
    const size_t paren = kind.find(" (");
    if (paren != std::string::npos) kind.erase(paren);
    std::string band;
    const std::string b = Trim(c.band);
    const size_t colon = b.find(':');
    // A band other than the full one: "500-2000Hz".
    if (colon != std::string::npos) band = b.substr(0, colon) + "-" + b.substr(colon + 1) + "Hz ";
    return Trim(kind) + " periodic 2^" + c.mlsLength + " " + band + c.amplitude + "dBFS";
}

// "Tone Burst 1000Hz 6.5 cycles Hann -1dBFS": the window names itself ("None" says unwindowed).
std::string BurstName(const WaveNameChannel& c)
{
    return Trim(c.waveForm) + " " + c.fInit + "Hz " + c.cycles + " cycles " +
           (Trim(c.burstWindow) == "None" ? std::string("unwindowed") : Trim(c.burstWindow)) + " " + c.amplitude + "dBFS";
}

// The signals that fix their own frequencies name them: "Multitone third-octave 2^16 -1dBFS",
// "IMD SMPTE 60Hz+7kHz 4-1 -1dBFS", "IMD CCIF 19kHz+20kHz 1-1 -1dBFS", "IMD DIN 250Hz+8kHz 4-1 -1dBFS".
std::string FixedTonesName(const WaveNameChannel& c)
{
    const std::string kind = Trim(c.waveForm);
    std::string what = kind;
    if (kind == "Multitone") what += " third-octave 2^" + c.mlsLength;
    if (kind == "IMD SMPTE") what += " 60Hz+7kHz 4-1";
    if (kind == "IMD CCIF") what += " 19kHz+20kHz 1-1";
    if (kind == "IMD DIN") what += " 250Hz+8kHz 4-1";
    return what + " " + c.amplitude + "dBFS";
}

std::string OneSignal(const WaveNameChannel& c)
{
    if (c.fixedTones) return FixedTonesName(c);
    if (c.periodic) return PeriodicName(c);
    if (c.burst) return BurstName(c);
    std::string s = c.waveForm + " ";
    if (!Contains(s, "oise")) {
        const std::string t = c.constant ? s + c.fInit : s + "sweep " + c.fInit + "Hz to " + c.fFinal;
        return t + "Hz " + c.amplitude + "dBFS";
    }
    // Noise, and the items whose hidden "Noise" ending the cut removes.
    s = Trim(First15(s)) + MlsDetails(c);
    if (Contains(s, "oise")) s += "(" + CrestFactorForName(c.crestFactor) + ") " + c.amplitude + "dBFS mono";
    return s;
}

// `s` is "L=" + the left waveform text, or "R=" + the right one + " ": only the right part
// keeps a space between the waveform and its frequency.
std::string ChannelPart(const WaveNameChannel& c, const std::string& s)
{
    if (!Contains(s, "oise")) {
        if (c.constant) return s + c.fInit + "Hz " + c.amplitude + "dBFS";
        return s + "sweep " + c.fInit + "Hz to " + c.fFinal + "Hz " + c.amplitude + "dBFS";
    }
    std::string t = Trim(First15(s)) + MlsDetails(c) + " ";
    if (Contains(t, "oise")) t += "(" + CrestFactorForName(c.crestFactor) + ") " + c.amplitude + "dBFS";
    return t;
}

// Cuts a UTF-8 text to at most `bytes` bytes without splitting a character.
std::string CutUtf8(const std::string& s, size_t bytes)
{
    if (s.size() <= bytes) return s;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
    return s.substr(0, end);
}

} // namespace

std::string CrestFactorForName(const std::string& crest)
{
    if (crest.size() < 2) return crest;
    return crest.substr(0, crest.size() - 2) + "to" + crest.back();
}

std::string SuggestedWaveFileName(const WaveNameFields& f)
{
    const WaveNameChannel& left = f.channel[0];
    const WaveNameChannel& right = f.channel[1];
    std::string name = f.duration + "s ";
    if (!f.stereo || f.asLeft) {
        name += OneSignal(left);
    } else {
        auto part = [](const WaveNameChannel& c, const std::string& side, const std::string& s) {
            if (c.fixedTones) return side + FixedTonesName(c);
            if (c.burst) return side + BurstName(c);
            return c.periodic ? side + PeriodicName(c) : ChannelPart(c, s);
        };
        if (left.tick) name += part(left, "L=", "L=" + left.waveForm);
        if (left.tick && right.tick) name += "; ";
        if (right.tick) {
            name += part(right, "R=", "R=" + right.waveForm + " ");
            if (f.phase != "0") name += " " + f.phase + " degrees out of phase";
        }
    }
    name = Trim(name);
    std::replace(name.begin(), name.end(), '/', '_');
    return CutUtf8(name, kMaxNameBytes - 4) + ".wav";
}

} // namespace velmora
