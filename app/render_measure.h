#pragma once
// velmora-render's measurement modes: writing a measurement sweep (and its inverse filter),
// and turning a recording of it into impulse responses. Runs on the renderer's only thread.

#include <string>
#include <vector>

namespace velmora {

// Whether the arguments ask for a measurement mode (--measurement-sweep or --impulse-response).
bool IsMeasurementRequest(const std::vector<std::string>& args);

// Runs it: 0 when done; throws RenderUsageError or another exception with a one-line text for
// bad input, after which no output file is left.
int RunMeasurement(const std::vector<std::string>& args);

// The measurement part of --help.
std::string MeasurementUsage();

} // namespace velmora
