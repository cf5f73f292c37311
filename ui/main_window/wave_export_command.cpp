#include "ui/main_window/wave_export_command.h"

#include "audio/audio_out.h"
#include "engine/generator.h"
#include "engine/numbers.h"
#include "files/wav_header.h"
#include "files/wave_export.h"
#include "ui/dialogs/output_settings_dialog.h"
#include "ui/dialogs/wait_window.h"
#include "ui/main_window/control_binding.h"
#include "ui/main_window/generator_window.h"
#include "ui/main_window/window_notices.h"
#include "ui/widgets/picture_combo_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QThread>

#include <cmath>

namespace velmora::ui {

namespace {

const char* const kCdQuestion =
    "If you would like to burn your created wave files to CD, they must be generated in stereo, 16 bit and at "
    "44.1kHz sampling rate. Your current settings are different. Would you like to adjust this now?";

constexpr int kSettleMs = 100;

// Puts a value back when the scope ends, however it ends.
template <typename F>
class Finally final {
public:
    explicit Finally(F f) : f_(std::move(f)) {}
    ~Finally() { f_(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    F f_;
};

QString defaultSaveDialog(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

class WaveExportCommand::Span final {
public:
    explicit Span(WaveExportCommand& command) : command_(command) { ++command_.depth_; }
    ~Span()
    {
        if (--command_.depth_ == 0) Q_EMIT command_.ended();
    }
    Span(const Span&) = delete;
    Span& operator=(const Span&) = delete;

private:
    WaveExportCommand& command_;
};

WaveExportCommand::WaveExportCommand(const Parts& parts)
    : runSaveDialog(defaultSaveDialog), p_(parts), wait_(std::make_unique<TfrmWait>(&parts.window))
{
    connect(wait_.get(), &TfrmWait::cancelled, this, [this] { CancelSave = true; });
}

WaveExportCommand::~WaveExportCommand() = default;

void WaveExportCommand::SaveWaveFile1Click()
{
    if (exporting_) return;
    Span span(*this);
    p_.binding.run([this] {
        Generator& g = p_.generator;
        // A duration that is no number stops here, before any question or dialog.
        IntlStrToFloat(g.settings.Duration);
        askForCdFormat();

        const bool loop = g.settings.Loop;
        g.setChecked({Field::Loop}, false);
        Finally restoreLoop([&] { p_.binding.run([&] { g.setChecked({Field::Loop}, loop); }); });
        p_.engine.StopAtOnce();
        g.PrepareSignal();
        if (!checkWritable()) return;

        QFileDialog SaveDialog1(&p_.window, QStringLiteral("Save wave file"));
        SaveDialog1.setObjectName(QStringLiteral("SaveDialog1"));
        SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
        SaveDialog1.setFileMode(QFileDialog::AnyFile);
        SaveDialog1.setNameFilter(QStringLiteral("WAVE file (*.wav)"));
        SaveDialog1.setDefaultSuffix(QStringLiteral("wav"));
        if (!lastFolder_.isEmpty()) SaveDialog1.setDirectory(lastFolder_);
        SaveDialog1.selectFile(suggestedFileName());
        const QString file = runSaveDialog(SaveDialog1);
        if (file.isEmpty()) return;
        lastFolder_ = QFileInfo(file).absolutePath();
        WriteWaveData(file);
    });
}

void WaveExportCommand::askForCdFormat()
{
    TfrmSettings& s = p_.settings;
    if (s.cboFsList->currentText() == QLatin1String("44100") && p_.generator.settings.cboChannels == 1 &&
        s.cboQuant->currentText() == QLatin1String("16"))
        return;
    const int answer = p_.notices.suppressible(QString::fromLatin1(kCdQuestion), QStringLiteral("Hint"),
                                               NoticeButtons::YesNo, QStringLiteral("CDformat"));
    if (answer != NoticeResult::Yes) return;
    p_.generator.selectIndex({Field::cboChannels}, 1);
    // The rate list is stepped up from no selection to "44100".
    s.cboFsList->setCurrentIndex(-1);
    for (int i = 0; i < s.cboFsList->count(); ++i) {
        s.cboFsList->setCurrentIndex(i);
        if (s.cboFsList->currentText() == QLatin1String("44100")) break;
    }
    s.cboQuant->setCurrentIndex(0);
    s.cboFsListChange();
    // Kept at once: the dialog may never be opened and closed before the program ends, and
    // the next start must find the format the file was written in.
    s.saveValues();
}

// Refuses, with one clear box, what cannot become a wave file: frequencies that give no
// signal, a negative duration, more frames than a wave header can count.
bool WaveExportCommand::checkWritable()
{
    Generator& g = p_.generator;
    for (Channel c : kChannels) {
        const bool used = c == Channel::Left || (g.settings.stereo() && !g.settings.chkAsLeft);
        if (!used) continue;
        const Recompute rc = g.fConstChange(c);
        if (!rc) {
            p_.notices.errorBox(QString::fromStdString(rc.message));
            return false;
        }
    }
    const int64_t frames = ExportFrameCount(g);
    if (frames < 0) {
        p_.notices.errorBox(QStringLiteral("A wave file cannot have a negative duration (") +
                            QString::fromStdString(g.settings.Duration) + QStringLiteral(" s)."));
        return false;
    }
    // A file past 2 GiB is written as RF64; one the disk cannot hold is refused by the
    // export before anything is written.
    return true;
}

void WaveExportCommand::WriteWaveData(const QString& filename)
{
    if (exporting_) return;
    Span span(*this);
    exporting_ = true;
    Generator& g = p_.generator;
    TfrmGenerator& window = p_.window;
    TfrmWait& wait = *wait_;

    wait.ProgressBar1->setValue(0);
    taskbar_.setProgress(0);
    window.setEnabled(false);
    wait.showCentred();
    window.repaint();
    wait.repaint();
    QString failure;
    bool accessError = false; // a file that could not be written: an error, not a piece of information
    {
        Finally restore([this] { restoreWindows(); });
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < kSettleMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, kSettleMs);
            QThread::msleep(5);
        }
        int shown = 0;
        const auto progress = [&](int64_t done, int64_t total) {
            if (wait.isVisible()) {
                const int percent = total > 0 ? static_cast<int>(RoundToInt64(done * 100.0 / total)) : 0;
                if (percent != shown) {
                    shown = percent;
                    wait.ProgressBar1->setValue(percent);
                    taskbar_.setProgress(percent);
                    if (progressed) progressed(percent);
                }
                QCoreApplication::processEvents();
            }
            return !CancelSave;
        };
        try {
            velmora::WriteWaveData(g, QFile::encodeName(filename).toStdString(), progress);
        } catch (const FileAccessError&) {
            failure = QStringLiteral("File Access Error, cannot write file.");
            accessError = true;
        } catch (const WaveTooLongError& e) {
            failure = QString::fromStdString(e.what());
        }
    }
    // The box comes once the main window is usable again: a box over a disabled window
    // would be disabled with it.
    if (accessError)
        p_.notices.errorBox(failure);
    else if (!failure.isEmpty())
        p_.notices.messageBox(failure);
}

void WaveExportCommand::restoreWindows()
{
    wait_->hide();
    taskbar_.clear();
    p_.window.setEnabled(true);
    p_.window.raise();
    p_.window.activateWindow();
    CancelSave = false;
    exporting_ = false;
}

WaveNameFields WaveExportCommand::nameFields() const
{
    const GeneratorWidgets& w = p_.window.widgets();
    WaveNameFields f;
    f.duration = w.Duration->text().toStdString();
    f.stereo = w.cboChannels->currentIndex() == 1;
    f.asLeft = w.chkAsLeft->isChecked();
    f.phase = w.PhaseEdit->text().toStdString();
    for (Channel c : kChannels) {
        const ChannelWidgets& ch = w.channel[index(c)];
        WaveNameChannel& n = f.channel[index(c)];
        n.waveForm = ch.WaveForm->currentText().toStdString();
        n.mls = ch.WaveForm->currentIndex() == kMLS;
        n.periodic = IsPeriodicNoise(ch.WaveForm->currentIndex());
        n.fixedTones = IsFixedTones(ch.WaveForm->currentIndex());
        n.constant = ch.chkConstant->isChecked();
        n.tick = ch.Tick->isChecked();
        n.fInit = ch.fInit->text().toStdString();
        n.fFinal = ch.fFinal->text().toStdString();
        n.amplitude = ch.Amplitude->text().toStdString();
        n.crestFactor = ch.cboCrestFactor->currentText().toStdString();
        n.mlsLength = ch.txtMLSLength->text().toStdString();
        n.mlsSeed = ch.txtMLSSeed->text().toStdString();
        n.burst = ch.WaveForm->currentIndex() == kToneBurst;
        n.cycles = ch.txtCycles->text().toStdString();
        n.burstWindow = ch.cboBurstWindow->currentText().toStdString();
        n.band = ch.cboBand->currentText().toStdString();
    }
    return f;
}

QString WaveExportCommand::suggestedFileName() const
{
    return QString::fromStdString(SuggestedWaveFileName(nameFields()));
}

} // namespace velmora::ui
