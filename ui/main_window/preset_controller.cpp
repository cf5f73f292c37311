#include "ui/main_window/preset_controller.h"

#include "audio/audio_out.h"
#include "settings/data_files.h"
#include "ui/main_window/control_binding.h"
#include "ui/main_window/generator_window.h"
#include "ui/main_window/switching_controller.h"
#include "ui/main_window/window_notices.h"

#include <QAction>
#include <QEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace velmora::ui {

namespace {
QString PresetDialog(QWidget* parent, bool save)
{
    QFileDialog dialog(parent, save ? QStringLiteral("Save ZRX presets") : QStringLiteral("Open preset file"));
    dialog.setNameFilter(save ? QStringLiteral("ZRX presets (*.zrx)") : QStringLiteral("Velmora Presets (*.zrx)"));
    dialog.setDefaultSuffix(QStringLiteral("zrx"));
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}
} // namespace

PresetController::PresetController(const Parts& parts)
    : window_(parts.window),
      engine_(parts.engine),
      binding_(parts.binding),
      switching_(parts.switching),
      notices_(parts.notices),
      bank_(parts.generator)
{
    chooseLoadFile = [this] { return PresetDialog(&window_, false); };
    chooseSaveFile = [this] { return PresetDialog(&window_, true); };

    bank_.hooks.startsignal = [this] { switching_.startsignal(); };
    bank_.hooks.nameChanged = [this](int n) {
        window_.widgets().Memory[static_cast<size_t>(n - 1)]->setText(QString::fromStdString(bank_.name(n)));
    };
    bank_.hooks.notice = [this](std::string_view text) {
        notices_.messageBox(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    };
    bank_.autostart = window_.menu().PresetRecallAutostart1->isChecked();
    connectWidgets();
    bank_.storeAllFromCurrent();
}

void PresetController::connectWidgets()
{
    GeneratorWidgets& w = window_.widgets();
    MainMenu& m = window_.menu();
    const std::array<QAction*, 4> recall{m.Memory11, m.Memory21, m.Memory31, m.Memory41};
    const std::array<QAction*, 4> store{m.StoreMemory11, m.StoreMemory2, m.StoreMemory31, m.StoreMemory41};
    for (int i = 0; i < 4; ++i) {
        const int n = i + 1;
        connect(w.Memory[i], &QPushButton::clicked, this, [this, n] { MemRecall(n); });
        connect(recall[i], &QAction::triggered, this, [this, n] { MemRecall(n); });
        connect(w.Store[i], &QAction::triggered, this, [this, n] { MemStore(n); });
        connect(store[i], &QAction::triggered, this, [this, n] { MemStore(n); });
        connect(w.Rename[i], &QAction::triggered, this, [this, n] { startRename(n); });
        connect(w.MemEdit[i], &QLineEdit::returnPressed, this, [this, n] { finishRename(n); });
        w.MemEdit[i]->installEventFilter(this);
    }
    connect(m.PresetRecallAutostart1, &QAction::toggled, this, [this](bool on) { bank_.autostart = on; });
    connect(m.LoadSweepSettings1, &QAction::triggered, this, [this] { LoadSweepSettings1Click(); });
    connect(m.SaveSweepSettingsAs1, &QAction::triggered, this, [this] { SaveSweepSettingsAs1Click(); });
}

void PresetController::MemRecall(int n)
{
    bank_.autostart = window_.menu().PresetRecallAutostart1->isChecked();
    binding_.run([&] { bank_.MemRecall(n); });
}

void PresetController::MemStore(int n)
{
    binding_.run([&] { bank_.MemStore(n); });
}

void PresetController::startRename(int n)
{
    if (renaming_ != 0) finishRename(renaming_);
    GeneratorWidgets& w = window_.widgets();
    QLineEdit* box = w.MemEdit[static_cast<size_t>(n - 1)];
    // Enter ends the rename; it must not switch the generator on.
    w.btnON->setDefault(false);
    w.Memory[static_cast<size_t>(n - 1)]->setText(QString());
    box->setText(QString());
    box->setVisible(true);
    box->setEnabled(true);
    box->raise();
    renaming_ = n;
    box->setFocus(Qt::OtherFocusReason);
}

void PresetController::finishRename(int n)
{
    if (renaming_ != n) return;
    renaming_ = 0;
    GeneratorWidgets& w = window_.widgets();
    QLineEdit* box = w.MemEdit[static_cast<size_t>(n - 1)];
    bank_.rename(n, box->text().toStdString()); // sets the caption too
    w.btnON->setDefault(true);
    box->setVisible(false);
    box->setEnabled(false);
}

bool PresetController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && renaming_ != 0 &&
        watched == window_.widgets().MemEdit[static_cast<size_t>(renaming_ - 1)])
        finishRename(renaming_);
    return QObject::eventFilter(watched, event);
}

bool PresetController::LoadSettings(const QString& file)
{
    try {
        bank_.LoadSettings(file.toStdString());
        return true;
    } catch (const std::exception& e) {
        notices_.errorBox(QString::fromStdString(e.what()));
        return false;
    }
}

void PresetController::LoadSweepSettings1Click()
{
    engine_.StopAtOnce();
    const QString file = chooseLoadFile ? chooseLoadFile() : QString();
    if (!file.isEmpty()) LoadSettings(file);
}

void PresetController::SaveSweepSettingsAs1Click()
{
    engine_.StopAtOnce();
    const QString file = chooseSaveFile ? chooseSaveFile() : QString();
    if (file.isEmpty()) return;
    try {
        bank_.save(file.toStdString());
    } catch (const std::exception& e) {
        notices_.errorBox(QString::fromStdString(e.what()));
    }
}

void PresetController::loadExamples()
{
    const auto file = FindDataFile("Examples.zrx");
    if (!file) return;
    try {
        bank_.LoadSettings(*file);
    } catch (const std::exception&) {
        // A damaged examples file is no reason to trouble the user at start-up.
    }
}

} // namespace velmora::ui
