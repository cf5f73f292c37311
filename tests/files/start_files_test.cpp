// What start-up makes of the program's first argument.
#include <gtest/gtest.h>

#include "files/start_files.h"

namespace {

using velmora::ChooseStartFiles;
using velmora::ReadStartArguments;
using velmora::StartArguments;
using velmora::StartFiles;
using Mode = StartArguments::Mode;
using Action = StartFiles::Action;

TEST(StartFiles, TheFirstArgumentDecidesSplashExamplesAndFile)
{
    struct Case {
        const char* argument; // nullptr: none
        bool exists;
        Mode mode;
        bool splash;
        bool examples;
        Action action;
    };
    const Case cases[] = {
        {nullptr, false, Mode::Start, true, true, Action::None},
        {"/nosplash", false, Mode::Start, false, true, Action::None},
        {"--nosplash", false, Mode::Start, false, true, Action::None},
        {"x/nosplashy", false, Mode::Start, false, true, Action::None},  // a substring anywhere
        {"/NOSPLASH", false, Mode::Start, true, true, Action::None},     // case-sensitive
        {"/home/u/sets.zrx", true, Mode::Start, true, false, Action::LoadPresets},
        {"/home/u/SETS.ZRX", true, Mode::Start, true, false, Action::None},
        {"/home/u/missing.zrx", false, Mode::Start, true, false, Action::None},
        {"/home/u/notes.txt", true, Mode::Start, true, false, Action::None},
        {"/home/u/test.zrs", true, Mode::Start, true, false, Action::RunScript},
        {"/home/u/test.zrs", false, Mode::Start, true, false, Action::None},
        {"/home/u/a.zrs.zrx", true, Mode::Start, true, false, Action::RunScript},
        {"presets", true, Mode::Start, true, true, Action::None},          // no '.': examples
        {"--help", false, Mode::Help, true, true, Action::None},
        {"-h", false, Mode::Help, true, true, Action::None},
        {"--version", false, Mode::Version, true, true, Action::None},
        {"--nosplsh", false, Mode::BadOption, true, true, Action::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument ? c.argument : "(none)");
        const StartArguments a = ReadStartArguments(c.argument);
        EXPECT_EQ(a.mode, c.mode);
        EXPECT_EQ(a.argument, c.argument ? c.argument : "");
        if (a.mode != Mode::Start) continue;
        EXPECT_EQ(a.splash, c.splash);
        const StartFiles f = ChooseStartFiles(a.argument, c.exists);
        EXPECT_EQ(f.loadExamples, c.examples);
        EXPECT_EQ(f.action, c.action);
    }
}

TEST(StartFiles, HelpNamesEveryOptionAndVersionTheProgram)
{
    const std::string usage = velmora::StartUsage("velmora");
    for (const char* option : {"--nosplash", "--help", "--version", ".zrx", ".zrs", "Usage: velmora"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    EXPECT_EQ(velmora::StartVersion(), "Velmora 4.6\n");
}

} // namespace
