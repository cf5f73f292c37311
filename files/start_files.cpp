#include "files/start_files.h"

namespace velmora {

StartArguments ReadStartArguments(const char* first)
{
    StartArguments a;
    if (!first) return a;
    a.argument = first;
    if (a.argument == "--help" || a.argument == "-h") {
        a.mode = StartArguments::Mode::Help;
    } else if (a.argument == "--version") {
        a.mode = StartArguments::Mode::Version;
    } else if (a.argument == "--nosplash") {
        a.splash = false;
    } else if (a.argument.starts_with("--")) {
        a.mode = StartArguments::Mode::BadOption;
    } else {
        a.splash = a.argument.find("/nosplash") == std::string::npos;
    }
    return a;
}

StartFiles ChooseStartFiles(std::string_view argument, bool exists)
{
    StartFiles f;
    f.loadExamples = argument.find('.') == std::string_view::npos;
    if (exists && argument.find(".zrs") != std::string_view::npos)
        f.action = StartFiles::Action::RunScript;
    else if (exists && argument.find(".zrx") != std::string_view::npos)
        f.action = StartFiles::Action::LoadPresets;
    return f;
}

std::string StartUsage(std::string_view program)
{
    const std::string p(program);
    return "Usage: " + p + " [--nosplash | FILE.zrx | SCRIPT.zrs]\n"
           "       " + p + " --help | --version\n"
           "\n"
           "Velmora, an audio test-signal generator.\n"
           "\n"
           "  FILE.zrx     load the four presets of a preset file (nothing is recalled)\n"
           "  SCRIPT.zrs   run a script with the main window hidden, then exit:\n"
           "               status 0 when it ends at 'end', 1 when it stops on an error\n"
           "  --nosplash   start without the splash (also: /nosplash)\n"
           "  --help       show this text\n"
           "  --version    show the version\n"
           "\n"
           "Without a file the example presets (Examples.zrx) are loaded. Only the first\n"
           "argument is read. The window state is kept in $XDG_CONFIG_HOME/Karvell/Velmora.conf.\n";
}

std::string StartVersion() { return "Velmora 4.6\n"; }

} // namespace velmora
