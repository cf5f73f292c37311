#pragma once
// The performance test's operations on a real generator window: the test preset file beside
// the program, the four memories, the sampling-rate list of the output settings, a render to
// the null device and playing with the window kept live. Window thread.

#include "ui/performance_test/performance_test.h"

#include <QPointer>

#include <filesystem>
#include <functional>

class QComboBox;
class QWidget;

namespace velmora {
class Generator;
class TAudioOut;
} // namespace velmora

namespace velmora::ui {

class SwitchingController;
class TfrmSettings;
class WindowNotices;

class GeneratorTestActions final : public PerformanceTestActions {
public:
    struct Parts {
        Generator& generator;
        TAudioOut& engine;
        SwitchingController& switching;
        TfrmSettings& settings;
        QComboBox* WaveDevice;
        WindowNotices& notices;
        std::filesystem::path testFile;
        // Loading a preset file into the memories and recalling memory n.
        std::function<void(const std::filesystem::path&)> loadPresets;
        std::function<void(int)> recall;
        // False once the main window has closed.
        std::function<bool()> windowOpen;
        // Milliseconds of a monotonic clock; empty: the steady clock.
        std::function<uint64_t()> clock;
    };
    explicit GeneratorTestActions(Parts parts) : p_(std::move(parts)) {}

    bool testFileExists() override;
    void loadTestFile() override;
    void recall(int preset) override;
    int rateEntry() override;
    void selectRateEntry(int entry) override;
    void selectRate(int hertz) override;
    void renderToNull() override;
    bool playAndWait() override;
    std::string deviceText() override;
    uint64_t tickCount() override;

private:
    Parts p_;
};

} // namespace velmora::ui
