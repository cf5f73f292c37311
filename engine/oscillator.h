#pragma once
// One frame of the tone oscillator, shared by the wave function, the block writer and the
// band limiter's scout: the same operations in the same order, so all three make the same bits.

#include <numbers>

namespace velmora {

// Moves the phase on by the step, then the step towards its target (a constant frequency
// glides there) or along the sweep (times the factor, plus the increment); wraps the phase
// past 2 pi. True when it wrapped.
inline bool AdvanceOscillator(double& phase, double& step, double target, double factor, double increment,
                              bool constant)
{
    constexpr double twoPi = 2.0 * std::numbers::pi;
    phase += step;
    if (constant) {
        if (step != target) step = step * 0.995 + target * 0.005;
    } else {
        step = step * factor + increment;
    }
    if (phase > twoPi) {
        phase -= twoPi;
        return true;
    }
    return false;
}

// A repetition's restart of a sweep: back the other way (bidirectional), or again from its
// start step.
inline void RestartSweep(double& step, double& target, double& factor, double& increment, bool bidirectional,
                         double startStep)
{
    if (bidirectional) {
        factor = 1 / factor;
        increment = -increment;
    } else {
        target = step = startStep;
    }
}

} // namespace velmora
