#include "ui/performance_test/generator_test_actions.h"

#include "audio/audio_out.h"
#include "engine/generator.h"
#include "files/wave_export.h"
#include "ui/dialogs/output_settings_dialog.h"
#include "ui/main_window/switching_controller.h"
#include "ui/main_window/window_notices.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>
#include <system_error>

namespace velmora::ui {

namespace {
// Where rendered data vanish at the full cost of writing them.
constexpr const char* kNullDevice = "/dev/null";
} // namespace

bool GeneratorTestActions::testFileExists()
{
    std::error_code error;
    return std::filesystem::is_regular_file(p_.testFile, error);
}

void GeneratorTestActions::loadTestFile() { p_.loadPresets(p_.testFile); }

void GeneratorTestActions::recall(int preset) { p_.recall(preset); }

int GeneratorTestActions::rateEntry() { return p_.settings.cboFsList->currentIndex(); }

void GeneratorTestActions::selectRateEntry(int entry)
{
    p_.settings.cboFsList->setCurrentIndex(entry);
    p_.settings.cboFsListChange();
}

void GeneratorTestActions::selectRate(int hertz)
{
    const int entry = p_.settings.cboFsList->findText(QString::number(hertz));
    if (entry >= 0) selectRateEntry(entry);
}

void GeneratorTestActions::renderToNull()
{
    p_.generator.PrepareSignal();
    try {
        WriteWaveData(p_.generator, kNullDevice);
    } catch (const FileAccessError& e) {
        // Reported as the export reports it; the test goes on with the time it took.
        p_.notices.messageBox(QString::fromStdString(e.what()));
    }
}

bool GeneratorTestActions::playAndWait()
{
    p_.switching.startsignal();
    // Every notice of the device arrives as an event, so waiting for events misses none;
    // the window stays live, and OFF ends the wait early.
    while (p_.engine.Active() && p_.windowOpen())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (p_.windowOpen()) return true;
    p_.engine.StopAtOnce();
    return false;
}

std::string GeneratorTestActions::deviceText() { return p_.WaveDevice->currentText().toStdString(); }

uint64_t GeneratorTestActions::tickCount()
{
    if (p_.clock) return p_.clock();
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace velmora::ui
