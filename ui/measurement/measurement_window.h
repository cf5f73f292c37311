#pragma once
// The "Measurement Sweep" window: the fields of a synchronised exponential sweep, Play (on
// the output device chosen in the main window, beside the generator), "Export sweep..."
// (the sweep and its inverse filter), and "Impulse response...", which turns a recording of
// the sweep into the linear and harmonic impulse responses, writes them and plots the
// frequency response and the harmonics. The long steps run on a worker with a progress
// window and Cancel; a cancelled or failed step leaves no file. Window thread.

#include "audio/audio_device.h"
#include "measure/impulse_response.h"
#include "measure/sweep.h"
#include "ui/measurement/measure_job.h"
#include "ui/measurement/response_plot.h"
#include "ui/measurement/sweep_player.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressDialog;
class QPushButton;
class QSpinBox;

namespace velmora::ui {

class TfrmMeasurement final : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        // The player's own output device (the program's system device; a fake one in tests).
        std::function<std::unique_ptr<AudioDevice>()> makeDevice;
        // The device chosen in the main window (0xFFFFFFFF: the system's default) and its
        // ring: buffer count and size in bytes.
        std::function<uint32_t()> deviceId;
        std::function<std::pair<int32_t, int32_t>()> ring;
        // Whether the generator plays now: the sweep then waits for it to be switched off.
        std::function<bool()> generatorRunning;
        // File dialogs: a path chosen, or empty when the user cancelled.
        std::function<QString(const QString& caption, const QString& suggested, const QString& filter)> savePath;
        std::function<QString(const QString& caption, const QString& filter)> openPath;
        // A message box over the window.
        std::function<void(const QString& text)> error;
    };

    // `menuItem`: View > "&Measurement Sweep..." (checkable: checked while shown).
    TfrmMeasurement(Hooks hooks, QAction* menuItem);
    ~TfrmMeasurement() override;

    QLineEdit* txtSweepStart = nullptr;
    QLineEdit* txtSweepEnd = nullptr;
    QLineEdit* txtSweepDuration = nullptr;
    QLineEdit* txtSweepLevel = nullptr;
    QLineEdit* txtSweepPre = nullptr;
    QLineEdit* txtSweepPost = nullptr;
    QLineEdit* txtFadeIn = nullptr;
    QLineEdit* txtFadeOut = nullptr;
    QComboBox* cboSweepChannels = nullptr;
    QComboBox* cboSweepRate = nullptr;
    QComboBox* cboSweepBits = nullptr;
    QCheckBox* chkMarker = nullptr;
    QLabel* lblSweepInfo = nullptr;
    QPushButton* btnPlaySweep = nullptr;
    QPushButton* btnStopSweep = nullptr;
    QPushButton* btnExportSweep = nullptr;
    QLineEdit* txtRecording = nullptr;
    QPushButton* btnRecording = nullptr;
    QLineEdit* txtSweepFile = nullptr;
    QPushButton* btnSweepFile = nullptr;
    QSpinBox* spnHarmonics = nullptr;
    QPushButton* btnImpulseResponse = nullptr;
    QComboBox* cboResponseChannel = nullptr;
    ResponsePlot* plot = nullptr;
    QPlainTextEdit* txtDistortion = nullptr;
    QLabel* lblResult = nullptr;

    // The sweep the fields describe; nullopt (and the reason in `problem`) when they do not.
    std::optional<SweepSpec> spec(QString* problem = nullptr) const;

    // The buttons' handlers, also for code that drives the window.
    void btnPlaySweepClick();
    void btnStopSweepClick();
    void btnExportSweepClick();
    void btnImpulseResponseClick();
    // The long steps with their paths given (the buttons ask for them first). Return false
    // when nothing was started (a field or another step in the way; the box said why).
    bool exportSweep(const QString& sweepPath, const QString& inversePath);
    bool computeResponses(const QString& recordingPath, const QString& sweepPath, const QString& responsePath);

    MeasureJob& job() { return job_; }
    SweepPlayer& player();
    QProgressDialog* progressWindow() const { return progress_; }
    // The responses of the last "Impulse response...", if any.
    const std::optional<ImpulseResponses>& responses() const { return responses_; }
    void showChannel(int channel);

    void applyMenuCheck(bool checked);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void refreshInfo();
    bool startJob(const QString& title, MeasureJob::Work work, std::function<void()> succeeded);
    void playerFinished();

    Hooks hooks_;
    QAction* menuItem_;
    MeasureJob job_;
    std::unique_ptr<SweepPlayer> player_;
    QProgressDialog* progress_ = nullptr;
    std::optional<ImpulseResponses> responses_;
};

// "1/12", "0.5", "0,25": a number of octaves as the fade fields take it; nullopt otherwise.
std::optional<double> ReadOctaves(const QString& text);

} // namespace velmora::ui
