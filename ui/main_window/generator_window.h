#pragma once
// The generator's main window: both channel boxes, the top row (device, duration, channel
// layout), the bottom row (preset memories, OFF / Pause / ON, the status lamp) and the menus.
// Built on the window thread; all widgets are owned by the window.

#include "ui/main_window/channel_panel.h"
#include "ui/main_window/main_menu.h"

#include <QMainWindow>

#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace velmora::ui {

class PictureComboBox;
class ShapeCircle;
class UpDown;

// The window's widgets, each named after its control (objectName is the control's name).
struct GeneratorWidgets {
    QWidget* client = nullptr;  // the client area, 623 x 601

    // Top row.
    QGroupBox* GroupBox8 = nullptr;  // " Output Device "
    QComboBox* WaveDevice = nullptr;
    QGroupBox* GroupBox2 = nullptr;  // " Duration "
    QLineEdit* Duration = nullptr;
    QLabel* lblDurationUnit = nullptr;  // "s"
    QCheckBox* Loop = nullptr;
    QGroupBox* GroupBox1 = nullptr;  // " Channels "
    PictureComboBox* cboChannels = nullptr;
    QLabel* Image1 = nullptr;  // the program icon

    // Left and right channel, indexed by index(Channel).
    std::array<ChannelWidgets, 2> channel;
    ChannelWidgets& left() { return channel[0]; }
    ChannelWidgets& right() { return channel[1]; }

    // On the right channel's caption line, but owned by the window so that it stays usable
    // while the right channel is disabled.
    QCheckBox* chkAsLeft = nullptr;
    // The right channel's phase against the left.
    QLabel* lblPhaseReLeft = nullptr;
    QLineEdit* PhaseEdit = nullptr;
    UpDown* udPhase = nullptr;
    QLabel* Label7 = nullptr;  // "°"

    // Bottom row. Index n - 1 holds memory n.
    QGroupBox* GroupBox7 = nullptr;  // "Memory Presets"
    std::array<QPushButton*, 4> Memory{};       // Memory1 ... Memory4
    std::array<QLineEdit*, 4> MemEdit{};        // Mem1Edit ... Mem4Edit (renaming)
    std::array<QMenu*, 4> PopupMenu{};         // PopupMenu1 ... PopupMenu4
    std::array<QAction*, 4> Store{};           // Store, Store2, Store3, Store4
    std::array<QAction*, 4> Rename{};          // Rename, Rename1, Rename2, Rename3
    QPushButton* btnOFF = nullptr;
    QPushButton* btnPause = nullptr;
    QPushButton* btnON = nullptr;
    QCheckBox* chkSync = nullptr;
    ShapeCircle* LED = nullptr;
    ShapeCircle* Shape2 = nullptr;
    QLabel* lblFS = nullptr;
    QLabel* lblCorrectionAlert = nullptr;
};

class TfrmGenerator final : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmGenerator(QWidget* parent = nullptr);

    GeneratorWidgets& widgets() { return w_; }
    const GeneratorWidgets& widgets() const { return w_; }
    MainMenu& menu() { return menu_; }
    const MainMenu& menu() const { return menu_; }
    ChannelWidgets& channel(Channel c) { return w_.channel[index(c)]; }

    // The client size that ends the window just right of and below the status lamp.
    static QSize clientSizeForLamp(const QRect& lamp);

private:
    void buildTopRow();
    void buildPhaseControls();
    void buildBottomRow();
    void applyStartupState();

    GeneratorWidgets w_;
    MainMenu menu_;
};

} // namespace velmora::ui
