#pragma once
// velmora-render's options for people who know sox: "--wave pink --level -20" instead of the
// control names. Each option is translated into the NAME=VALUE settings it stands for, in
// place, so the renderer applies it exactly as the same settings typed by hand; NAME=VALUE
// stays the tool's precise interface and may be mixed in. Runs on the renderer's only thread.

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct RenderOptions {
    std::vector<std::string> args; // the arguments with every option below spelled NAME=VALUE
    bool quiet = false;             // --quiet, -q: no progress display
    bool version = false;           // --version
};

// Translates the options it knows (without the program name) and passes every other
// argument through unchanged. Channel options before --right set the left (or mono)
// channel, those after it the right one. Throws RenderUsageError naming the option.
RenderOptions TranslateRenderOptions(const std::vector<std::string>& args);

// A sampling rate as --rate takes it ("48000", "48k", "44.1k"): one of the list's rates.
// Throws RenderUsageError naming --rate and the list.
int32_t RenderSamplingRate(const std::string& text);

// The options' part of --help.
std::string RenderOptionsUsage();

} // namespace velmora
