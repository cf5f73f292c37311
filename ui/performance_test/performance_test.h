#pragma once
// The guided performance test (Tools > "Performance Test"): it times the rendering of a 10
// second stereo signal, plays either two mono or two stereo test signals from the test
// preset file, asks the user what was heard and advises, lowering the sampling rate where
// the answers call for it. The rules live here; the dialogs and the generator's operations
// come in through two small interfaces, so that a test drives it with scripted answers.
// Window thread.

#include <cstdint>
#include <functional>
#include <string>

namespace velmora::ui {

inline constexpr const char* kCompatibilityTestFile = "Compatibility Test.zrx";

// The questions and messages, as the user sees them.
class PerformanceTestDialogs {
public:
    virtual ~PerformanceTestDialogs() = default;
    // A question with OK and Cancel; true for OK.
    virtual bool confirm(const std::string& text, int helpTopic) = 0;
    // A question with Yes and No (help topic 0); true for Yes.
    virtual bool ask(const std::string& text) = 0;
    // A plain message box.
    virtual void tell(const std::string& text) = 0;
};

// What the test does to the generator.
class PerformanceTestActions {
public:
    virtual ~PerformanceTestActions() = default;
    virtual bool testFileExists() = 0;
    // Loads the test preset file into the four memories (errors propagate and end the test).
    virtual void loadTestFile() = 0;
    virtual void recall(int preset) = 0;
    // The selected entry of the sampling-rate list, and selecting one as the user does
    // (which switches the generator off).
    virtual int rateEntry() = 0;
    virtual void selectRateEntry(int entry) = 0;
    virtual void selectRate(int hertz) = 0;
    // Renders the current signal as a wave file into a sink that discards it.
    virtual void renderToNull() = 0;
    // Switches the generator on and handles window events until it is off again; false
    // when the main window went away meanwhile, which ends the test.
    virtual bool playAndWait() = 0;
    // The text of the output device list.
    virtual std::string deviceText() = 0;
    // A monotonic clock in milliseconds.
    virtual uint64_t tickCount() = 0;
};

class PerformanceTest final {
public:
    PerformanceTest(PerformanceTestDialogs& dialogs, PerformanceTestActions& actions)
        : dialogs_(dialogs), actions_(actions)
    {
    }

    // Runs the whole test (CompatibilityTest1Click).
    void run();

    // The milliseconds the timing took, once it ran.
    uint64_t elapsed() const { return elapsed_; }

    // "It took " + t / 1000 + the verdict for t milliseconds.
    static std::string timingMessage(uint64_t milliseconds);

private:
    void slowPath(int remembered);
    void fastPath();

    PerformanceTestDialogs& dialogs_;
    PerformanceTestActions& actions_;
    uint64_t elapsed_ = 0;
};

} // namespace velmora::ui
