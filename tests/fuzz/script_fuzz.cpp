// Fuzz target: the script reader and line splitter, the script checker, and the runner
// over the lines with a stand-in for the window and the output that bounds every wait.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

#include "files/script.h"
#include "control/script_runner.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ScriptFile script = ScriptFile::FromBytes(bytes);
    auto exists = [](const std::string& path) { return std::hash<std::string>{}(path) % 3 == 0; };
    for (size_t n = 1; n <= script.size() + 1; ++n) {
        const ScriptLine line = SplitScriptLine(script.line(n));
        if (line.command.size() + line.argument.size() + line.tail.size() > script.line(n).size()) std::abort();
        (void)ScriptLabel(static_cast<int>(n), line);
        (void)PauseText(line);
        (void)CommandOf(line.command);
        try {
            (void)ScriptStrToInt(line.argument);
        } catch (const ScriptNumberError&) {
        }
    }
    (void)CheckScript(script, [&](const std::string& path) {
        return exists(path) ? ScriptPreset::Found : ScriptPreset::Missing;
    });

    // The runner, with every wait counted: a script that never ends is cut off.
    bool visible = true, running = false, active = false, loop = true;
    int lines = 0, steps = 0, signal = 0;
    ScriptHooks h;
    h.windowVisible = [&] { return visible; };
    h.hideWindow = [&] { visible = false; };
    h.showLine = [&](const std::string&) {
        if (++lines > 300) visible = false;
    };
    h.fileExists = exists;
    h.loadSettings = [](const std::string& path) {
        if (path.size() % 5 == 1) throw std::runtime_error("cannot read");
    };
    h.memRecall = [](int n) {
        if (n < 1 || n > 4) std::abort(); // the runner checks the number first
    };
    h.loop = [&] { return loop; };
    h.setLoop = [&](bool on) { loop = on; };
    h.startsignal = [&] {
        active = running = true;
        signal = 3;
        return PlayStart::Playing;
    };
    h.outputActive = [&] { return active; };
    h.generatorRunning = [&] { return running; };
    h.setGeneratorRunning = [&](bool on) { running = on; };
    h.waitStep = [&] {
        if (active && --signal <= 0) active = running = false;
        if (++steps > 2000) running = false, visible = false;
    };
    ScriptRunner runner(h);
    runner.run(script);
    if (!loop) std::abort(); // the Repeat box always comes back
    return 0;
}
