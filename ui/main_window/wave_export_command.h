#pragma once
// "Save Tone As Wave File...": the CD-format question, the suggested file name and the save
// dialog (SaveWaveFile1Click), then the export itself over the wave writer of files/ with
// the progress window, Cancel and the task-bar progress (WriteWaveData). The main window is
// disabled while the file is written and always enabled again afterwards. Window thread;
// the export runs nested event processing so that the window repaints and Cancel arrives.

#include "files/wave_file_name.h"
#include "ui/main_window/taskbar_progress.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QFileDialog;

namespace velmora {
class Generator;
class TAudioOut;
} // namespace velmora

namespace velmora::ui {

class ControlBinding;
class TfrmGenerator;
class TfrmSettings;
class TfrmWait;
class WindowNotices;

class WaveExportCommand final : public QObject {
    Q_OBJECT
public:
    struct Parts {
        TfrmGenerator& window;
        Generator& generator;
        TAudioOut& engine;
        ControlBinding& binding;
        WindowNotices& notices;
        TfrmSettings& settings;
    };
    explicit WaveExportCommand(const Parts& parts);
    ~WaveExportCommand() override;

    // The menu item's handler. Errors end it in the window's error box.
    void SaveWaveFile1Click();
    // Writes the prepared signal into `filename` with the progress window up; a file that
    // cannot be written is reported once the windows are back.
    void WriteWaveData(const QString& filename);

    // The file name SaveWaveFile1Click offers, from the controls as they stand.
    QString suggestedFileName() const;
    WaveNameFields nameFields() const;

    TfrmWait& wait() { return *wait_; }
    TaskbarProgress& taskbar() { return taskbar_; }
    // Set by Cancel; the export polls it and clears it when done.
    bool CancelSave = false;
    bool exporting() const { return exporting_; }
    // True from the start of "Save Tone As Wave File..." (the signal is prepared before the
    // file is chosen) or of WriteWaveData until the command is over: what changes the
    // settings meanwhile must wait, or the file would not be what they gave at its start.
    bool active() const { return depth_ > 0; }

Q_SIGNALS:
    // The command is over (written, cancelled, refused or failed): the window is usable again.
    void ended();

public:

    // Runs SaveDialog1 and answers the file chosen, or an empty text. Tests replace it.
    std::function<QString(QFileDialog&)> runSaveDialog;
    // Told each time the progress bar has moved (the pictures of the program use it).
    std::function<void(int percent)> progressed;

private:
    void askForCdFormat();
    bool checkWritable();
    void restoreWindows();
    // Counts the command in for as long as it lives; the last to go announces the end.
    class Span;

    Parts p_;
    std::unique_ptr<TfrmWait> wait_;
    TaskbarProgress taskbar_;
    QString lastFolder_;
    bool exporting_ = false;
    int depth_ = 0;
};

} // namespace velmora::ui
