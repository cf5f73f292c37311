#include "ui/performance_test/performance_test.h"

#include "engine/numbers.h"

namespace velmora::ui {

namespace {
constexpr int kOkCancelHelp = 2;
constexpr int kContentsHelp = 0; // the modulated test's question

const char* const kIntroduction =
    "This test will check the performance and compatibility of your computer. Please set your loudspeaker "
    "volume to a low but audible level. Press OK to start or cancel to abort.";
const char* const kNoTestFile = "Preset file not found. Please re-install application before trying again.";
const char* const kFirstTest =
    "First test: Measuring the time it takes to generate a stereo 10 second tone at 44.1kHz Sampling frequency "
    "(CD quality). If this is well under 10 seconds, your computer is fine for CD quality signals.";
const char* const kHeardAnything = "Did you hear any tone at all?";
const char* const kFroze = "Did your computer stop to respond or freeze during playback?";

const char* const kSlowNext =
    "Next test: A 5 second, 1kHz mono sine wave signal at 22050Hz sampling frequency. Please do not touch any "
    "of the controls during play.";
const char* const kSlowLast =
    "Last test: A 5 second, 1kHz MONO sine wave signal at 44.1 kHz sampling frequency. Check if your computer "
    "freezes or fails to respond during signal playback. Please try to move the Velmora window around on the "
    "desktop.";
const char* const kSlowTooSlow =
    "Your computer might be too slow for 44.1 kHz sampling frequency. The program will be set to 22.05kHz "
    "samplingrate";

const char* const kFastNext =
    "Next test: A 5 sec stereo wave at 44.1 kHz sampling rate. Check if your computer freezes or fails to "
    "respond during signal playback. Please do not touch any of the controls during play, but do try to move "
    "the Velmora window on the desktop.";
const char* const kFastTooSlow =
    "Your computer might be too slow for 44.1 kHz sampling frequency stereo signals. Please choose a lower "
    "samplingrate in \"Compatibility settings\" when playing stereo signals";
const char* const kFastLast =
    "Last test: A 5 second, 1kHz stereo MODULATED sine wave signal at 44.1 kHz sampling frequency. Check if "
    "your computer freezes or fails to respond during signal playback. Please try to move the Velmora window "
    "around on the desktop.";
const char* const kFastModulatedTooSlow =
    "Your computer might be too slow for 44.1 kHz sampling frequency modulated stereo signals. Please choose a "
    "lower samplingrate in \"Compatibility settings\" when playing modulated stereo signals";
const char* const kCongratulations =
    "Congratulations, your computer can handle the most complex signal generation at CD quality and is "
    "perfectly suitable for use with this program.";

std::string soundCardMessage(const std::string& device, const char* ending)
{
    return "If you did not hear anything, your sound card (" + device + ending;
}
} // namespace

std::string PerformanceTest::timingMessage(uint64_t t)
{
    std::string text = "It took " + NumberToText(static_cast<double>(t) / 1000);
    if (t > 10000)
        text += " seconds to generate a 10 second stereo CD quality signal. Your computer is not fast enough to run "
                "tests at full stereo CD quality. Check the help files for possible improvements.";
    else if (t > 9000)
        text += " seconds to generate a 10 second stereo CD quality signal. Your computer is marginally fast enough "
                "to run tests at full stereo CD quality. Check the help files for possible improvements.";
    else
        text += " seconds to generate a 10 second stereo CD quality signal. Your computer is fast enough to run "
                "tests at full stereo CD quality.";
    return text;
}

void PerformanceTest::run()
{
    if (!dialogs_.confirm(kIntroduction, kOkCancelHelp)) return;
    if (!actions_.testFileExists()) {
        dialogs_.tell(kNoTestFile);
        return;
    }
    actions_.loadTestFile();
    const int remembered = actions_.rateEntry();
    actions_.selectRate(44100);
    actions_.recall(4);
    if (!dialogs_.confirm(kFirstTest, kOkCancelHelp)) {
        actions_.selectRateEntry(remembered);
        return;
    }

    const uint64_t before = actions_.tickCount();
    actions_.renderToNull();
    elapsed_ = actions_.tickCount() - before; // unsigned: right across a wrap of the clock
    dialogs_.tell(timingMessage(elapsed_));

    if (elapsed_ > 10000)
        slowPath(remembered);
    else if (elapsed_ < 10000)
        fastPath();
}

void PerformanceTest::slowPath(int remembered)
{
    actions_.recall(1);
    actions_.selectRate(22050);
    if (!dialogs_.confirm(kSlowNext, kOkCancelHelp)) {
        actions_.selectRateEntry(remembered);
        return;
    }
    if (!actions_.playAndWait()) return;
    if (!dialogs_.ask(kHeardAnything))
        dialogs_.tell(soundCardMessage(actions_.deviceText(),
                                       ") cannot play 16 bit files at 22.05kHz. You could try other sampling rates."));

    actions_.selectRate(44100);
    if (!dialogs_.confirm(kSlowLast, kOkCancelHelp)) {
        actions_.selectRateEntry(remembered);
        return;
    }
    if (!actions_.playAndWait()) return;
    if (!dialogs_.ask(kHeardAnything)) {
        dialogs_.tell(soundCardMessage(actions_.deviceText(), ") cannot play 16 bit mono files at 44.1kHz, which is "
                                                              "very unusual. You could try other sampling rates."));
        return;
    }
    if (dialogs_.ask(kFroze)) {
        dialogs_.tell(kSlowTooSlow);
        actions_.selectRate(22050);
    }
}

void PerformanceTest::fastPath()
{
    actions_.recall(2);
    if (!dialogs_.confirm(kFastNext, kOkCancelHelp)) return;
    if (!actions_.playAndWait()) return;
    if (!dialogs_.ask(kHeardAnything)) {
        dialogs_.tell(soundCardMessage(actions_.deviceText(), ") cannot play 16 bit files at 44.1kHz, which is very "
                                                              "unusual. You could try other sampling rates."));
    } else if (dialogs_.ask(kFroze)) {
        dialogs_.tell(kFastTooSlow);
        actions_.selectRate(22050);
        return;
    }

    actions_.recall(3);
    if (!dialogs_.confirm(kFastLast, kContentsHelp)) return;
    if (!actions_.playAndWait()) return;
    if (dialogs_.ask(kFroze)) {
        dialogs_.tell(kFastModulatedTooSlow);
        actions_.selectRate(22050);
    } else {
        dialogs_.tell(kCongratulations);
    }
}

} // namespace velmora::ui
