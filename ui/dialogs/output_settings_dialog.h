#pragma once
// The output settings dialog: sampling rate, quantisation, buffers and the frequency
// correction. It lives from program start to exit, loads its values from the settings
// store when made and saves them whenever it is closed. Every change of the output format
// switches the generator off first, so the engine is never reconfigured while it plays.
// Window thread; loading and saving touch the disk.

#include "engine/generator.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora::ui {

// How long a buffer of `bytes` plays, in ms, at `rate` with `quantisation` bits per sample
// (32: float) on one or two channels.
double BufferMilliseconds(int32_t bytes, int32_t rate, int quantisation, bool stereo);

class ControlBinding;
class WindowNotices;

// Address of the page that explains the cent.
extern const char* const kCentWebPage;

class TfrmSettings final : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void()> switchOff;      // the OFF command of the main window
        std::function<void()> refreshLabels;  // the main window's lblFS / lblCorrectionAlert
        std::function<void(int)> help;        // open a help topic
        std::function<void()> enableMain;     // the main window may be used again
        std::function<void()> rateChanged;    // the frequency slider's range follows the rate
    };

    // Builds the dialog, binds the correction controls through `binding` and loads the stored
    // values (FormCreate).
    TfrmSettings(Generator& generator, ControlBinding& binding, WindowNotices& notices, Hooks hooks);

    QComboBox* cboFsList = nullptr;
    QComboBox* cboQuant = nullptr;
    QComboBox* cboDither = nullptr;
    QCheckBox* chkAliasFree = nullptr;
    QCheckBox* chkFade = nullptr;
    QLineEdit* txtFadeMs = nullptr;
    QComboBox* cboBufferSize = nullptr;
    QComboBox* cboBuffers = nullptr;
    QLabel* lblBufferMs = nullptr; // one buffer's length in ms, beside its size
    QLineEdit* txtCorrectionFactor = nullptr;
    QComboBox* cboCorrectionUnits = nullptr;
    QLabel* Label7 = nullptr;
    QGroupBox* grpNetwork = nullptr;
    QLineEdit* txtPort = nullptr;
    QCheckBox* chkDisableSS = nullptr;
    QPushButton* HelpButton = nullptr;
    QPushButton* Button1 = nullptr;

    // Handlers, also for code that drives the dialog.
    void FormCreate();
    void cboFsListChange();
    void cboBuffersChange();
    void cboBufferSizeChange();
    void txtCorrectionFactorExit();
    // Takes the fade time when it is a whole number of ms in 1..10000; otherwise shows why
    // and puts the time in force back into the field (false).
    bool txtFadeMsExit();
    // Shows the dialog centred on the screen, without blocking the main window.
    void open();
    // Writes the dialog's values into the settings store now, as closing it does (an error
    // goes to the window's error box).
    void saveValues();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void takeListValues(); // the numbers of the lists' selected entries into the settings
    void refreshBufferLength();
    void save();

    Generator& generator_;
    ControlBinding& binding_;
    WindowNotices& notices_;
    Hooks hooks_;
};

} // namespace velmora::ui
