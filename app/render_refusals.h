#pragma once
// The renderer's refusals of settings whose arithmetic fails, in words that name the
// setting and the reason ("a sweep needs at least two samples: Duration=... gives 1 at
// 44100 Hz") rather than only the processor's "Floating point division by zero".
// Renderer's thread; allocates.

#include <exception>
#include <string>

#include "engine/generator.h"

namespace velmora {

// Why the recompute of channel `c` failed with arithmetic error `error`.
std::string ExplainRecomputeFailure(const Generator& generator, Channel c, const std::string& error);

// Why preparing the signal failed with `error`: the field whose number cannot be used.
std::string ExplainPrepareFailure(const Generator& generator, const std::exception& error);

// The first field whose text is not a number its handler can use ("PhaseEdit"), or "".
std::string UnusableTextField(const Generator& generator);

// Texts that a control's change handler leaves alone while the user is still typing (an
// empty modulation field, an empty or lone "-" correction): setting one is the same as not
// setting it.
bool HandlerSkipsText(Field field, const std::string& text);

} // namespace velmora
