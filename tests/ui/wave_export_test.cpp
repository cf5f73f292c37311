// Saving the signal as a wave file from the window: the CD-format question, the suggested
// name and the save dialog, the file itself (the same bytes velmora-render writes), the
// progress window, Cancel and the failures.
#include "window_harness.h"
#include "launcher_listener.h"
#include "user_input.h"

#include "engine/controls.h"
#include "files/wav_header.h"
#include "ui/dialogs/output_settings_dialog.h"
#include "ui/dialogs/wait_window.h"
#include "ui/main_window/wave_export_command.h"
#include "ui/widgets/picture_combo_box.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/mount.h>
#include <sys/wait.h>

namespace velmora::ui::test {
namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;

std::string Slurp(const QString& path)
{
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class WaveExportTest : public WindowHarness {
protected:
    void SetUp() override
    {
        WindowHarness::SetUp();
        ASSERT_TRUE(files.isValid());
        notices.notices.clear(); // the welcome question of the start
    }

    WaveExportCommand& save() { return controller->waveExport(); }
    TfrmSettings& output() { return controller->settingsDialog(); }
    QString file(const char* name) const { return files.filePath(QLatin1String(name)); }

    // Sets a control the way a user does, by its name (velmora-render's setting names).
    void set(const std::string& name, const std::string& value)
    {
        if (name == "SamplingRate") return choose(output().cboFsList, output().cboFsList->findText(QString::fromStdString(value)));
        if (name == "Quantisation") return choose(output().cboQuant, value == "24" ? 1 : 0);
        const ControlInfo info = *FindControl(name);
        QWidget* widget = controller->binding().widget(info.control);
        ASSERT_NE(widget, nullptr) << name;
        switch (info.kind) {
        case ControlKind::Text: type(static_cast<QLineEdit*>(widget), QString::fromStdString(value)); break;
        case ControlKind::Check:
            if (info.control.field == Field::chkConstant) {
                ChannelWidgets& c = ch(info.control.channel);
                (value == "1" ? c.chkConstant : c.chkSweep)->setChecked(true);
            } else {
                static_cast<QAbstractButton*>(widget)->setChecked(value == "1");
            }
            break;
        case ControlKind::Index: choose(static_cast<QComboBox*>(widget), std::stoi(value)); break;
        case ControlKind::Position: static_cast<QSlider*>(widget)->setValue(std::stoi(value)); break;
        }
    }
    void set(const Settings& settings)
    {
        for (const auto& [name, value] : settings) set(name, value);
    }

    // Runs the menu item; the dialog answers `answer` (empty: Cancel) and is remembered.
    void saveAs(const QString& answer)
    {
        dialogRuns = 0;
        save().runSaveDialog = [this, answer](QFileDialog& d) {
            ++dialogRuns;
            dialogTitle = d.windowTitle();
            dialogFilters = d.nameFilters();
            dialogSuffix = d.defaultSuffix();
            dialogConfirms = !d.testOption(QFileDialog::DontConfirmOverwrite);
            dialogSaves = d.acceptMode() == QFileDialog::AcceptSave;
            dialogName = QFileInfo(d.selectedFiles().value(0)).fileName();
            return answer;
        };
        window->menu().SaveWaveFile1->trigger();
    }

    QTemporaryDir files;
    int dialogRuns = 0;
    QString dialogTitle, dialogSuffix, dialogName;
    QStringList dialogFilters;
    bool dialogConfirms = false, dialogSaves = false;
};

TEST_F(WaveExportTest, SuggestsANameFromTheControlsInTheSaveDialog)
{
    notices.answer = NoticeResult::No;
    const struct {
        Settings settings;
        const char* name;
    } cases[] = {
        {{{"fInitLeft", "1000"}}, "5s Sine 1000Hz 0dBFS.wav"},
        {{{"chkConstantLeft", "0"}, {"fInitLeft", "100"}, {"fFinalLeft", "1000"}, {"AmplitudeLeft", "-3"}},
         "5s Sine sweep 100Hz to 1000Hz -3dBFS.wav"},
        {{{"WaveFormLeft", "4"}, {"cboCrestFactorL", "0"}, {"AmplitudeLeft", "-10"}},
         "5s White Noise(1.42to1) -10dBFS mono.wav"},
        {{{"WaveFormLeft", "9"}}, "5s MLS 16 bits, seed=1.wav"},
        {{{"WaveFormLeft", "7"}}, "5s Dirac Pulse.wav"},
        {{{"WaveFormLeft", "6"}, {"fInitLeft", "1000"}}, "5s Sine Pulse 1000Hz 0dBFS.wav"},
        {{{"cboChannels", "1"}, {"fInitLeft", "1000"}, {"fInitRight", "500"}, {"PhaseEdit", "90"}},
         "5s L=Sine1000Hz 0dBFS; R=Sine 500Hz 0dBFS 90 degrees out of phase.wav"},
        {{{"cboChannels", "1"}, {"Lefttick", "0"}, {"WaveFormRight", "5"}, {"cboCrestFactorR", "6"},
          {"AmplitudeRight", "-6"}},
         "5s R=Pink Noise (10to1) -6dBFS.wav"},
    };
    for (const auto& c : cases) {
        make();
        notices.notices.clear();
        set(c.settings);
        saveAs({});
        EXPECT_EQ(dialogRuns, 1);
        EXPECT_EQ(dialogName.toStdString(), c.name);
    }
    EXPECT_EQ(dialogTitle, QStringLiteral("Save wave file"));
    EXPECT_EQ(dialogFilters, QStringList{QStringLiteral("WAVE file (*.wav)")});
    EXPECT_EQ(dialogSuffix, QStringLiteral("wav"));
    EXPECT_TRUE(dialogConfirms);
    EXPECT_TRUE(dialogSaves);
    EXPECT_TRUE(notices.errors.empty());
}

TEST_F(WaveExportTest, TheCdQuestionAndItsAnswers)
{
    // Mono at the first start's 11025 Hz: the question comes; No changes nothing.
    notices.answer = NoticeResult::No;
    saveAs({});
    ASSERT_EQ(notices.notices, std::vector<QString>{QStringLiteral("CDformat")});
    EXPECT_EQ(generator().settings.cboChannels, 0);
    EXPECT_EQ(generator().settings.output.SamplingRate, 11025);

    // A silenced question leaves the format as well.
    notices.answer = NoticeResult::Silenced;
    saveAs({});
    EXPECT_EQ(generator().settings.cboChannels, 0);

    // Yes: stereo, 44100 Hz, 16 bits, applied as the output settings apply a new rate.
    set("Quantisation", "24");
    set("fInitLeft", "8000");
    choose(output().cboFsList, output().cboFsList->findText(QStringLiteral("22050")));
    ASSERT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("8000"));
    notices.answer = NoticeResult::Yes;
    saveAs({});
    EXPECT_EQ(generator().settings.cboChannels, 1);
    EXPECT_EQ(w().cboChannels->currentIndex(), 1);
    EXPECT_TRUE(ch(Channel::Right).WaveForm->isEnabled()); // the layout change ran
    EXPECT_EQ(output().cboFsList->currentText(), QStringLiteral("44100"));
    EXPECT_EQ(output().cboQuant->currentText(), QStringLiteral("16"));
    EXPECT_EQ(generator().settings.output.SamplingRate, 44100);
    EXPECT_EQ(generator().settings.output.Quantisation, 16);
    EXPECT_EQ(w().lblFS->text(), QStringLiteral("fs=44.1kHz"));
    EXPECT_EQ(dialogName, QStringLiteral("5s L=Sine8000Hz 0dBFS; R=Sine 100Hz 0dBFS.wav"));

    // Now in CD format: no question.
    notices.notices.clear();
    saveAs({});
    EXPECT_TRUE(notices.notices.empty());
    EXPECT_EQ(dialogRuns, 1);
}

TEST_F(WaveExportTest, RepeatComesBackAndTheGeneratorStaysOff)
{
    notices.answer = NoticeResult::No;
    set("Duration", "0.5");
    click(w().Loop);
    click(w().btnON);
    pump();
    ASSERT_TRUE(controller->switching().GeneratorRunning());
    bool loopDuringDialog = true;
    save().runSaveDialog = [&](QFileDialog&) {
        loopDuringDialog = generator().settings.Loop;
        return file("looped.wav");
    };
    window->menu().SaveWaveFile1->trigger();
    pump();
    EXPECT_FALSE(loopDuringDialog);
    EXPECT_TRUE(generator().settings.Loop);
    EXPECT_TRUE(w().Loop->isChecked());
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    // The file holds the signal once: 0.5 s at 11025 Hz (5512.5 frames, rounded to even),
    // no repetition.
    EXPECT_EQ(Slurp(file("looped.wav")).size(), 44u + 5512u * 2u);
}

// Writes the same signal through the window and through velmora-render and compares bytes.
TEST_F(WaveExportTest, TheWindowsFileIsVelmoraRendersFile)
{
#ifndef VELMORA_RENDER
    GTEST_SKIP() << "velmora-render is not built";
#else
    notices.answer = NoticeResult::No;
    const Settings cases[] = {
        {{"SamplingRate", "44100"}, {"fInitLeft", "1000"}, {"AmplitudeLeft", "-6"}, {"Duration", "0.7"}},
        {{"SamplingRate", "48000"}, {"Quantisation", "24"}, {"cboChannels", "1"}, {"fInitLeft", "440"},
         {"fInitRight", "880"}, {"PhaseEdit", "90"}, {"AmplitudeRight", "-12"}, {"Duration", "0.5"}},
        {{"SamplingRate", "44100"}, {"Quantisation", "24"}, {"chkConstantLeft", "0"}, {"LogarithmicLeft", "1"},
         {"fInitLeft", "20"}, {"fFinalLeft", "20000"}, {"Duration", "1.5"}},
        {{"SamplingRate", "96000"}, {"cboChannels", "1"}, {"WaveFormLeft", "4"}, {"cboCrestFactorL", "3"},
         {"WaveFormRight", "5"}, {"AmplitudeRight", "-3"}, {"Duration", "1.2"}},
        {{"SamplingRate", "44100"}, {"cboChannels", "1"}, {"fInitLeft", "1000"}, {"ModulationOnLeft", "1"},
         {"ModFunctionLeft", "3"}, {"ModDepthLeftEdit", "50"}, {"ModPeriodLeftEdit", "0.1"},
         {"WaveFormRight", "9"}, {"Duration", "0.6"}},
    };
    const uint32_t seed = 12345;
    int n = 0;
    for (const Settings& settings : cases) {
        SCOPED_TRACE(n);
        make();
        set(settings);
        generator().uniform.seed(seed);
        const QString mine = file("window.wav");
        QFile::remove(mine);
        saveAs(mine);
        ASSERT_TRUE(notices.errors.empty()) << notices.errors.front().toStdString();

        std::string command = std::string(VELMORA_RENDER) + " --seed " + std::to_string(seed) + " " +
                              file("render.wav").toStdString();
        for (const auto& [name, value] : settings) command += " " + name + "=" + value;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const std::string rendered = Slurp(file("render.wav"));
        const std::string written = Slurp(mine);
        EXPECT_GT(written.size(), 44u);
        EXPECT_TRUE(written == rendered) << command << ": " << written.size() << " vs " << rendered.size();
        ++n;
    }
#endif
}

TEST_F(WaveExportTest, CancelHalfWayLeavesNoFileAndTheEarlierOneIntact)
{
    notices.answer = NoticeResult::No;
    set({{"SamplingRate", "44100"}, {"cboChannels", "1"}, {"Quantisation", "24"}, {"chkConstantLeft", "0"},
         {"Duration", "120"}});
    const QString target = file("sweep.wav");
    {
        QFile earlier(target);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("an earlier file");
    }
    std::vector<int> seen;
    bool disabledMeanwhile = false, waitShown = false;
    save().progressed = [&](int percent) {
        seen.push_back(percent);
        disabledMeanwhile = !window->isEnabled();
        waitShown = save().wait().isVisible();
        if (percent >= 50 && !save().CancelSave) click(save().wait().Button1);
    };
    saveAs(target);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 50);
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(waitShown);
    EXPECT_EQ(Slurp(target), "an earlier file");
    EXPECT_EQ(QDir(files.path()).entryList(QDir::Files), QStringList{QStringLiteral("sweep.wav")});
    EXPECT_TRUE(window->isEnabled());
    EXPECT_FALSE(save().wait().isVisible());
    EXPECT_FALSE(save().CancelSave);
    EXPECT_TRUE(notices.messages.empty());

    // Escape in the progress window cancels too.
    seen.clear();
    save().progressed = [&](int percent) {
        seen.push_back(percent);
        if (percent == 10) QTest::keyClick(save().wait().Button1, Qt::Key_Escape);
    };
    saveAs(file("escaped.wav"));
    EXPECT_EQ(seen.back(), 10);
    EXPECT_FALSE(QFile::exists(file("escaped.wav")));
}

TEST_F(WaveExportTest, AStartFromOutsideWhileExportingIsRefusedAndTheFileStaysWhole)
{
    // A start from another generator or a remote message arrives while the export processes
    // events; it would take frames out of the file being written.
    notices.answer = NoticeResult::No;
    set({{"SamplingRate", "44100"}, {"chkConstantLeft", "0"}, {"Duration", "3"}});
    saveAs(file("plain.wav"));
    bool startedMeanwhile = false;
    save().progressed = [&](int percent) {
        if (percent == 30) controller->switching().startsignal();
        pump();
        startedMeanwhile = startedMeanwhile || controller->switching().GeneratorRunning() || device->opens() > 0;
    };
    saveAs(file("started.wav"));
    EXPECT_FALSE(startedMeanwhile);
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    EXPECT_EQ(Slurp(file("started.wav")), Slurp(file("plain.wav")));
    // Afterwards the generator starts as usual.
    controller->switching().startsignal();
    pump();
    EXPECT_TRUE(controller->switching().GeneratorRunning());
}

TEST_F(WaveExportTest, ProgressMovesInStepsToTheEndAndReachesTheTaskBar)
{
    notices.answer = NoticeResult::No;
    set({{"SamplingRate", "44100"}, {"Duration", "10"}});
    LauncherListener launcher;
    const bool bus = launcher.listen();
    std::vector<int> seen;
    save().progressed = [&](int percent) { seen.push_back(percent); };
    saveAs(file("ten.wav"));
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 100);
    EXPECT_EQ(save().wait().ProgressBar1->maximum(), 100);
    EXPECT_EQ(Slurp(file("ten.wav")).size(), 44u + 441000u * 2u);
    EXPECT_TRUE(notices.messages.empty());

    if (!bus) GTEST_SKIP() << "no session bus: the task bar shows nothing";
    QElapsedTimer waited;
    waited.start();
    while ((launcher.visible.empty() || launcher.visible.back()) && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_FALSE(launcher.visible.empty());
    EXPECT_FALSE(launcher.visible.back());
    EXPECT_EQ(launcher.uris.front(), QStringLiteral("application://velmora.desktop"));
    EXPECT_TRUE(launcher.visible.front());
    EXPECT_EQ(launcher.progress.front(), 0.0);
    // The bar moved through the export, one signal per change, and was put away at 0.
    EXPECT_GT(launcher.progress.size(), 10u);
    EXPECT_TRUE(std::find(launcher.progress.begin(), launcher.progress.end(), 1.0) != launcher.progress.end());
    EXPECT_EQ(launcher.progress.back(), 0.0);
}

TEST_F(WaveExportTest, AFileThatCannotBeWrittenIsReportedWithNothingLost)
{
    notices.answer = NoticeResult::No;
    // A folder that does not exist.
    saveAs(file("missing/folder/tone.wav"));
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_EQ(notices.messages[0], QStringLiteral("File Access Error, cannot write file."));
    EXPECT_TRUE(window->isEnabled());
    EXPECT_FALSE(save().wait().isVisible());

    // A full disk: a small file system of the test's own, holding an earlier file.
    const QString disk = file("disk");
    QDir().mkpath(disk);
    if (::mount("velmora-test", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    const QString target = disk + QStringLiteral("/tone.wav");
    {
        QFile earlier(target);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write(QByteArray(20000, 'x'));
    }
    notices.messages.clear();
    set("Duration", "5"); // 110 kB at 11025 Hz: more than the disk has left
    saveAs(target);
    const std::string left = Slurp(target);
    const QStringList entries = QDir(disk).entryList(QDir::Files | QDir::Hidden);
    ::umount(QFile::encodeName(disk).constData());
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_EQ(notices.messages[0], QStringLiteral("File Access Error, cannot write file."));
    EXPECT_EQ(left, std::string(20000, 'x'));
    EXPECT_EQ(entries, QStringList{QStringLiteral("tone.wav")});
    EXPECT_TRUE(window->isEnabled());
}

TEST_F(WaveExportTest, WhatCannotBecomeAWaveFileIsRefusedBeforeTheDialog)
{
    notices.answer = NoticeResult::No;
    // A duration that is no number: its conversion error, before the CD question.
    set("Duration", "5s");
    saveAs(file("never.wav"));
    EXPECT_EQ(dialogRuns, 0);
    EXPECT_TRUE(notices.notices.empty());
    ASSERT_EQ(notices.errors.size(), 1u);
    EXPECT_EQ(notices.errors[0], QStringLiteral("'5s' is not a valid floating point value"));

    // Past 2 GiB a file is RF64; what no disk holds (ten years) is refused once the name is
    // chosen, before anything is written: one clear box, Repeat as it was.
    notices.errors.clear();
    set({{"SamplingRate", "44100"}, {"cboChannels", "1"}, {"Duration", "315360000"}});
    click(w().Loop);
    saveAs(file("never.wav"));
    EXPECT_EQ(dialogRuns, 1);
    ASSERT_EQ(notices.messages.size(), 1u);
    EXPECT_EQ(notices.messages[0], QStringLiteral("File Access Error, cannot write file."));
    EXPECT_TRUE(w().Loop->isChecked());
    EXPECT_FALSE(QFile::exists(file("never.wav")));
}

} // namespace
} // namespace velmora::ui::test
