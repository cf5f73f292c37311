#pragma once
// What the program makes of its command line at start. Only the first argument counts (later
// ones are ignored); it may suppress the splash, name a preset file to load or a script to
// run, and the example presets are loaded unless it names a file. The tests are substring
// tests on the whole argument, case-sensitive, as they always have been: "/nosplash"
// anywhere suppresses the splash, an argument with a '.' suppresses the examples even when
// it names no existing file, "Sets.ZRX" is no preset file.
//
// Beyond that, the Linux conventions: "--help" and "--version" print and exit,
// "--nosplash" works like "/nosplash", and an unknown "--" option is an error rather than a
// file name. Plain C++; any thread.

#include <string>
#include <string_view>

namespace velmora {

struct StartArguments {
    enum class Mode { Start, Help, Version, BadOption };
    Mode mode = Mode::Start;
    std::string argument; // the first argument, "" when there is none
    bool splash = true;
};

// `first` is the first argument after the program's name; nullptr when there is none.
StartArguments ReadStartArguments(const char* first);

// What start-up does with the argument once the windows are made and the settings restored.
struct StartFiles {
    enum class Action { None, LoadPresets, RunScript };
    bool loadExamples = false; // "Examples.zrx" from the program's folder, errors ignored
    Action action = Action::None;
};

// `exists`: whether the file the argument names exists.
StartFiles ChooseStartFiles(std::string_view argument, bool exists);

// The text of "--help" and "--version".
std::string StartUsage(std::string_view program);
std::string StartVersion();

} // namespace velmora
