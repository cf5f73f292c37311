// The script runner, driven through a host that stands in for the
// window and the output engine.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "files/script.h"
#include "control/script_runner.h"

namespace velmora {
namespace {

// The window and the output engine as the runner sees them. A started signal plays for
// `signalSteps` wait steps; actions can be scheduled at a given wait step.
struct Host {
    std::vector<std::string> log;
    std::set<std::string> files{"a.zrx", "my presets/b c.zrx", "Müller.zrx"};
    bool loop = true;
    bool visible = false;
    bool running = false; // GeneratorRunning
    bool active = false;  // the output engine
    int signalLeft = 0;
    int signalSteps = 5;
    int steps = 0;
    int maxSteps = 2000; // a runaway script is a test failure, not a hang
    std::map<int, std::string> at; // wait step -> "next" / "cancel"
    bool enabled = true; // the main window
    std::map<int, PlayStart> startAs; // the n-th start (1-based) -> what became of it
    int starts = 0;
    bool pauseWaits = true;

    ScriptHooks hooks()
    {
        ScriptHooks h;
        h.started = [this] { enabled = false, visible = true; };
        h.finished = [this] { enabled = true, visible = false, log.push_back("finished"); };
        h.windowVisible = [this] { return visible; };
        h.hideWindow = [this] { visible = false; };
        h.showLine = [this](const std::string& s) { log.push_back(s); };
        h.message = [this](const std::string& s) { log.push_back("message " + s); };
        h.pause = [this](const std::string& s) { log.push_back("pause " + s); };
        h.pauseWaits = [this] { return pauseWaits; };
        h.fileExists = [this](const std::string& p) { return files.count(p) > 0; };
        h.loadSettings = [this](const std::string& p) { log.push_back("load " + p); };
        h.memRecall = [this](int n) { log.push_back("recall " + std::to_string(n)); };
        h.loop = [this] { return loop; };
        h.setLoop = [this](bool on) { loop = on; };
        h.startsignal = [this] {
            log.push_back(std::string("start, loop ") + (loop ? "on" : "off"));
            const auto as = startAs.find(++starts);
            if (as != startAs.end() && as->second != PlayStart::Playing) return as->second;
            active = running = true;
            signalLeft = signalSteps;
            return PlayStart::Playing;
        };
        h.outputActive = [this] { return active; };
        h.generatorRunning = [this] { return running; };
        h.setGeneratorRunning = [this](bool on) { running = on; };
        h.waitStep = [this] {
            ++steps;
            if (steps > maxSteps) throw std::runtime_error("runaway");
            if (active && --signalLeft <= 0) active = running = false; // the stop notice
            const auto a = at.find(steps);
            if (a == at.end()) return;
            if (a->second == "next") running = false, visible = false;
            if (a->second == "cancel") visible = false, enabled = true;
        };
        h.processEvents = [] {};
        return h;
    }

    ScriptResult run(const std::string& text, const std::filesystem::path& folder = {})
    {
        ScriptRunner runner(hooks());
        return runner.run(ScriptFile::FromBytes(text), folder);
    }
};

TEST(ScriptRunner, PlaysPresetsInOrder)
{
    Host host;
    const ScriptResult r = host.run("PLAY 2 a.zrx\nPlay 1 my presets/b c.zrx \nEnd\nplay 3 a.zrx");
    EXPECT_EQ(r.outcome, ScriptResult::Ended);
    EXPECT_EQ(r.line, 3);
    EXPECT_EQ(host.log, (std::vector<std::string>{
                            "Line 1: play 2", "load a.zrx", "recall 2", "start, loop off",
                            "Line 2: play 1", "load my presets/b c.zrx", "recall 1", "start, loop off",
                            "Line 3: end ", "finished"})); // the label ends in the empty argument
    EXPECT_EQ(host.steps, 10); // each play waits for its signal to end
    EXPECT_TRUE(host.loop);    // the Repeat box as it was
    EXPECT_TRUE(host.enabled);
}

TEST(ScriptRunner, TableOfScripts)
{
    struct Case {
        std::string name;
        std::string script;
        std::vector<std::string> log; // messages, pauses and loads (labels left out)
        ScriptResult::Outcome outcome;
        int steps;
        std::string error;
    };
    const std::vector<Case> cases{
        {"pause texts", "pause\npause Hello\npause  two\nPAUSE Set level to -20\nend",
         {"pause Pause in script. Press OK to continue", "pause Hello ", "pause Pause in script. Press OK to continue",
          "pause Set level to -20"},
         ScriptResult::Ended, 0, ""},
        {"delay with comma", "delay 2,5\nend", {}, ScriptResult::Ended, 25, ""},
        {"delay with point", "delay 2.5\nend", {}, ScriptResult::Ended, 25, ""},
        {"delay of zero", "delay 0\nend", {}, ScriptResult::Ended, 1, ""},
        {"delay not a number", "delay soon\nend", {}, ScriptResult::Failed, 1,
         "'soon' is not a valid floating point value"},
        {"past the last line", "play 1 a.zrx", {"load a.zrx", "message Invalid command in line 2"},
         ScriptResult::Invalid, 5, ""},
        {"missing file goes on", "play 1 missing.zrx\nrem fine\nend", {"message FILE NOT FOUND: 'missing.zrx'."},
         ScriptResult::Ended, 0, ""},
        {"loop of nothing", "rem a\nrem b\nrepeat",
         {"message Endless loop in line 3: the script repeats without a play, delay or pause"}, ScriptResult::Looping,
         0, ""},
        {"loop of missing files", "play 1 missing.zrx\nrepeat",
         {"message FILE NOT FOUND: 'missing.zrx'.",
          "message Endless loop in line 2: the script repeats without a play, delay or pause"},
         ScriptResult::Looping, 0, ""},
        {"not a whole number", "play x a.zrx\nend", {"load a.zrx"}, ScriptResult::Failed, 0,
         "'x' is not a valid integer value"},
        {"preset number outside 1-4", "play 7 a.zrx\nend", {"load a.zrx", "message Invalid preset number in line 1"},
         ScriptResult::Invalid, 0, ""},
        {"empty line", "rem\n\nend", {"message Invalid command in line 2"}, ScriptResult::Invalid, 0, ""},
        {"leading space", " end", {"message Invalid command in line 1"}, ScriptResult::Invalid, 0, ""},
        {"unknown command", "jump 1", {"message Invalid command in line 1"}, ScriptResult::Invalid, 0, ""},
        {"non-ASCII path", "play 1 Müller.zrx\nend", {"load Müller.zrx"}, ScriptResult::Ended, 5, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        const ScriptResult r = host.run(c.script);
        std::vector<std::string> log;
        for (const std::string& e : host.log)
            if (e.starts_with("message ") || e.starts_with("pause ") || e.starts_with("load ")) log.push_back(e);
        EXPECT_EQ(log, c.log);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(host.steps, c.steps);
        EXPECT_EQ(r.error, c.error);
        // Every way out restores the Repeat box and gives the main window back.
        EXPECT_TRUE(host.loop);
        EXPECT_TRUE(host.enabled);
        EXPECT_FALSE(host.visible);
        EXPECT_EQ(host.log.back(), "finished");
    }
}

TEST(ScriptRunner, RepeatStartsAgainAtLineOne)
{
    Host host;
    host.at[23] = "next"; // during the fifth play
    const ScriptResult r = host.run("play 1 a.zrx\nrepeat");
    EXPECT_EQ(r.outcome, ScriptResult::Stopped);
    int plays = 0;
    for (const std::string& e : host.log) {
        EXPECT_NE(e, "Line 3: play 1");
        if (e == "Line 1: play 1") ++plays;
    }
    EXPECT_EQ(plays, 5);
    EXPECT_EQ(host.steps, 23);
    EXPECT_TRUE(host.active); // Next leaves the signal playing
}

TEST(ScriptRunner, CancelAndNextDuringWaits)
{
    struct Case {
        std::string name;
        std::string script;
        int step;
        std::string action;
        int steps;       // wait steps made in all
        bool stillActive; // the signal still plays afterwards
    };
    const std::vector<Case> cases{
        // Cancel lets a play run to the end of its signal, then the script ends.
        {"cancel during play", "play 1 a.zrx\nplay 2 a.zrx\nend", 2, "cancel", 5, false},
        // Next ends the wait at once; the signal plays on.
        {"next during play", "play 1 a.zrx\nplay 2 a.zrx\nend", 2, "next", 2, true},
        // Cancel lets a delay run out.
        {"cancel during delay", "delay 3\nplay 2 a.zrx\nend", 4, "cancel", 30, false},
        {"next during delay", "delay 3\nplay 2 a.zrx\nend", 4, "next", 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        host.at[c.step] = c.action;
        const ScriptResult r = host.run(c.script);
        EXPECT_EQ(r.outcome, ScriptResult::Stopped); // not the end: no success
        EXPECT_EQ(r.line, 1);
        EXPECT_FALSE(r.succeeded());
        EXPECT_EQ(host.steps, c.steps);
        EXPECT_EQ(host.active, c.stillActive);
        for (const std::string& e : host.log) EXPECT_NE(e, "recall 2"); // the next line never runs
        EXPECT_TRUE(host.loop);
        EXPECT_TRUE(host.enabled);
    }
}

TEST(ScriptRunner, RepeatBoxIsOffWhilePlayingAndRestoredAfter)
{
    for (bool before : {false, true}) {
        Host host;
        host.loop = before;
        bool loopDuringPlay = true;
        ScriptHooks h = host.hooks();
        auto step = h.waitStep;
        h.waitStep = [&] {
            loopDuringPlay = host.loop;
            step();
        };
        ScriptRunner runner(h);
        runner.run(ScriptFile::FromBytes("play 1 a.zrx\nend"));
        EXPECT_FALSE(loopDuringPlay);
        EXPECT_EQ(host.loop, before);
    }
}

TEST(ScriptRunner, UnreadableScriptFileIsAnErrorWithTheWindowGivenBack)
{
    Host host;
    ScriptRunner runner(host.hooks());
    const ScriptResult r = runner.run(std::filesystem::path("/nonexistent/folder/x.zrs"));
    EXPECT_EQ(r.outcome, ScriptResult::Failed);
    EXPECT_NE(r.error.find("No such file or directory"), std::string::npos) << r.error;
    EXPECT_TRUE(host.enabled);
    EXPECT_FALSE(host.visible);
}

TEST(ScriptRunner, LoadErrorsEndTheScript)
{
    Host host;
    ScriptHooks h = host.hooks();
    h.loadSettings = [](const std::string&) { throw std::runtime_error("The preset file a.zrx is incomplete"); };
    ScriptRunner runner(h);
    const ScriptResult r = runner.run(ScriptFile::FromBytes("play 1 a.zrx\nend"));
    EXPECT_EQ(r.outcome, ScriptResult::Failed);
    EXPECT_EQ(r.line, 1);
    EXPECT_EQ(r.error, "The preset file a.zrx is incomplete");
    EXPECT_TRUE(host.enabled);
}

// Success is the end line reached with every play played; an error ends the script at its
// line.
TEST(ScriptRunner, ResultsAndWhereTheyStop)
{
    struct Case {
        std::string name;
        std::string script;
        std::map<int, PlayStart> startAs;
        ScriptResult::Outcome outcome;
        int line;
        bool succeeded;
        int missingFiles;
    };
    const std::vector<Case> cases{
        {"all played", "play 1 a.zrx\nplay 2 a.zrx\nend", {}, ScriptResult::Ended, 3, true, 0},
        {"a missing file", "play 1 gone.zrx\nplay 2 a.zrx\nend", {}, ScriptResult::Ended, 3, false, 1},
        {"two missing files", "play 1 gone.zrx\nplay 1 gone.zrx\nend", {}, ScriptResult::Ended, 3, false, 2},
        {"signal not prepared", "play 1 a.zrx\nplay 2 a.zrx\nend", {{1, PlayStart::NotPlayed}},
         ScriptResult::NotPlayed, 1, false, 0},
        {"second not prepared", "play 1 a.zrx\nplay 2 a.zrx\nend", {{2, PlayStart::NotPlayed}},
         ScriptResult::NotPlayed, 2, false, 0},
        {"device cannot play", "play 1 a.zrx\nplay 2 a.zrx\nend", {{1, PlayStart::DeviceFailed}},
         ScriptResult::DeviceFailed, 1, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        host.startAs = c.startAs;
        const ScriptResult r = host.run(c.script);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.line, c.line);
        EXPECT_EQ(r.succeeded(), c.succeeded);
        EXPECT_EQ(r.missingFiles, c.missingFiles);
        // Nothing after the failed line runs.
        EXPECT_EQ(host.starts, c.outcome == ScriptResult::Ended ? 2 - c.missingFiles : c.line);
        EXPECT_TRUE(host.enabled);
        EXPECT_FALSE(host.visible);
    }
}

TEST(ScriptRunner, PresetErrorsFromTheHostEndTheScriptAtTheirLine)
{
    Host host;
    ScriptHooks h = host.hooks();
    h.memRecall = [](int n) {
        if (n == 2) throw ScriptPlayError("Memory 2 of 'a.zrx' is empty");
    };
    ScriptRunner runner(h);
    const ScriptResult r = runner.run(ScriptFile::FromBytes("play 1 a.zrx\nplay 2 a.zrx\nplay 3 a.zrx\nend"));
    EXPECT_EQ(r.outcome, ScriptResult::Failed);
    EXPECT_EQ(r.line, 2);
    EXPECT_EQ(r.error, "Memory 2 of 'a.zrx' is empty");
}

TEST(ScriptRunner, RelativePresetPathsAreFoundBesideTheScript)
{
    Host host;
    host.files = {"a.zrx", "/scripts/b.zrx", "/scripts/sub/c.zrx"};
    const ScriptResult r = host.run("play 1 a.zrx\nplay 1 b.zrx\nplay 1 sub/c.zrx\nplay 1 /b.zrx\nend", "/scripts");
    std::vector<std::string> loads;
    for (const std::string& e : host.log)
        if (e.starts_with("load ") || e.starts_with("message ")) loads.push_back(e);
    EXPECT_EQ(loads, (std::vector<std::string>{"load a.zrx", "load /scripts/b.zrx", "load /scripts/sub/c.zrx",
                                               "message FILE NOT FOUND: '/b.zrx'."}));
    EXPECT_EQ(r.missingFiles, 1);
}

// A repeat loops only after something that plays or waits; a pause that does not wait (no
// terminal) is not enough.
TEST(ScriptRunner, LoopsThatNeverWaitAreStopped)
{
    Host host;
    host.pauseWaits = false;
    const ScriptResult r = host.run("rem\npause hello\nrepeat");
    EXPECT_EQ(r.outcome, ScriptResult::Looping);
    EXPECT_EQ(r.line, 3);

    // A delay of 0 still waits one step each time round: the loop runs until Next.
    Host waits;
    waits.at[7] = "next";
    EXPECT_EQ(waits.run("rem\ndelay 0\nrepeat").outcome, ScriptResult::Stopped);
    EXPECT_EQ(waits.steps, 7);
}

} // namespace
} // namespace velmora
