#include "ui/startup/persisted_windows.h"

#include "audio/device_list.h"
#include "ui/main_window/generator_controller.h"
#include "ui/main_window/generator_window.h"
#include "ui/main_window/preset_controller.h"
#include "ui/main_window/window_notices.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <utility>

namespace velmora::ui {

namespace {
// One line on a terminal: a stored text may hold line breaks or terminal controls.
std::string printable(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7f) {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        }
    }
    return out;
}

WindowBounds boundsOf(const QWidget& w)
{
    // move() places the outer frame's corner; resize() sets the size inside the frame.
    const QRect frame = w.frameGeometry();
    return {frame.left(), frame.top(), frame.width(), frame.height(), w.width(), w.height()};
}
} // namespace

PersistedWindows::PersistedWindows(TfrmGenerator& window, GeneratorController& controller, WindowNotices& notices)
    : QObject(&window), window_(window), controller_(controller), notices_(notices)
{
    // Filters run last-installed first: this one sees the close before the controller's
    // close handling takes the other windows down, so their state is still there to save.
    window_.installEventFilter(this);
}

RestoreOutcome PersistedWindows::restore()
{
    // Made native before it is shown, the window knows its frame where the platform can
    // tell it, and the screen-edge correction counts the frame in.
    window_.winId();
    RestoreOutcome outcome;
    const SettingsStore store = SettingsStore::openForReading();
    controller_.binding().run([&] { outcome = RestoreWindowState(controller_.generator(), *this, store); });
    // A value that is there but cannot be applied (edited by hand, say) costs no box: the
    // window starts from the reset, and one line says which value it was. A value that is
    // missing (a first start, with no window state kept yet) says nothing.
    if (!outcome.complete && store.isOpen() && !outcome.value.empty() && store.valueExists(outcome.value)) {
        std::string line = "velmora: the stored settings were not restored";
        if (!outcome.value.empty()) line += " from " + outcome.value;
        line += " (" + outcome.failure + "); the window starts from \"Reset current settings\"";
        std::cerr << printable(line) << "\n";
    }
    return outcome;
}

void PersistedWindows::save()
{
    const auto file = SettingsStore::defaultLocation();
    try {
        SettingsStore store = SettingsStore::openForWriting(file);
        if (!store.isOpen())
            throw SettingsError({}, store.openFailure());
        SaveWindowState(controller_.generator(), *this, store);
        store.close();
    } catch (const SettingsError& e) {
        // The window closes all the same; the store on disk is untouched, never half written.
        notices_.messageBox(QStringLiteral("The settings could not be saved to %1.\n\n%2\n\nThe next start will "
                                           "find the settings saved before.")
                                .arg(QString::fromStdString(file.string()), QString::fromUtf8(e.what())));
    }
}

bool PersistedWindows::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &window_ && event->type() == QEvent::Close) {
        controller_.AudioOut1().StopAtOnce();
        save();
    }
    return QObject::eventFilter(watched, event);
}

int PersistedWindows::waveDeviceIndex() const { return window_.widgets().WaveDevice->currentIndex(); }

int PersistedWindows::waveDeviceCount() const { return window_.widgets().WaveDevice->count(); }

void PersistedWindows::setWaveDeviceIndex(int index) { window_.widgets().WaveDevice->setCurrentIndex(index); }

void PersistedWindows::WaveDeviceChange()
{
    controller_.AudioOut1().setWaveDevice(static_cast<uint32_t>(deviceIdForEntry(waveDeviceIndex())));
}

std::string PersistedWindows::waveDeviceName() const { return controller_.selectedDeviceName().toStdString(); }

std::string PersistedWindows::waveDeviceText() const
{
    const QComboBox* list = window_.widgets().WaveDevice;
    return list->currentIndex() > 0 ? list->currentText().toStdString() : std::string();
}

bool PersistedWindows::selectWaveDeviceNamed(const std::string& name)
{
    // The item index alone, as for the position: the change handler runs at its own step.
    QComboBox* list = window_.widgets().WaveDevice;
    const int found = name.empty() ? 0 : list->findData(QString::fromStdString(name));
    list->setCurrentIndex(found);
    return found >= 0;
}

void PersistedWindows::waveDeviceGone(const std::string& name, const std::string& text)
{
    // Said once the window stands, not in the middle of the start.
    const QString n = QString::fromStdString(name), t = QString::fromStdString(text);
    QTimer::singleShot(0, &controller_, [this, n, t] { controller_.deviceGone(n, t); });
}

void PersistedWindows::monoClick()
{
    Generator& g = controller_.generator();
    if (!g.settings.stereo()) {
        for (Channel c : kChannels) g.setChecked({Field::Tick, c}, true);
        g.TickClick();
        g.setText({Field::PhaseEdit}, "0");
    }
    controller_.rules().monoClick();
}

bool PersistedWindows::presetAutoStart() const { return window_.menu().PresetRecallAutostart1->isChecked(); }

void PersistedWindows::setPresetAutoStart(bool on) { window_.menu().PresetRecallAutostart1->setChecked(on); }

ScreenSize PersistedWindows::primaryScreen() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    return {screen->geometry().width(), screen->geometry().height()};
}

std::vector<ScreenRect> PersistedWindows::screens() const
{
    std::vector<ScreenRect> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    const auto add = [&](const QScreen* screen) {
        const QRect a = screen->availableGeometry();
        areas.push_back({a.left(), a.top(), a.width(), a.height()});
    };
    if (primary) add(primary);
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary) add(screen);
    return areas;
}

WindowBounds PersistedWindows::mainWindow() const { return boundsOf(window_); }

void PersistedWindows::moveMainWindow(WindowPlace place) { window_.move(place.left, place.top); }

void PersistedWindows::setAuxiliaryWindows(QWidget* frequencyDisplay, QWidget* frequencySlider)
{
    display_ = frequencyDisplay;
    slider_ = frequencySlider;
}

bool PersistedWindows::frequencySliderShown() const { return slider_ && slider_->isVisible(); }

void PersistedWindows::FreqSlider1Click() { window_.menu().FreqSlider1->trigger(); }

bool PersistedWindows::frequencyDisplayShown() const { return display_ && display_->isVisible(); }

void PersistedWindows::FrequencyDisplay1Click() { window_.menu().FrequencyDisplay1->trigger(); }

void PersistedWindows::limitFrequencyDisplayWidth(int width)
{
    if (display_) display_->setMaximumWidth(width);
}

WindowBounds PersistedWindows::frequencyDisplay() const { return display_ ? boundsOf(*display_) : WindowBounds{}; }

void PersistedWindows::setFrequencyDisplayHeight(int height)
{
    // The display keeps its aspect ratio itself when its height changes.
    if (display_) display_->resize(display_->width(), height);
}

void PersistedWindows::moveFrequencyDisplay(WindowPlace place)
{
    if (display_) display_->move(place.left, place.top);
}

WindowBounds PersistedWindows::frequencySlider() const { return slider_ ? boundsOf(*slider_) : WindowBounds{}; }

void PersistedWindows::setFrequencySliderWidth(int width)
{
    if (slider_) slider_->resize(width, slider_->height());
}

void PersistedWindows::moveFrequencySlider(WindowPlace place)
{
    if (slider_) slider_->move(place.left, place.top);
}

namespace {
const char* sliderEditName(SliderEdit edit)
{
    switch (edit) {
    case SliderEdit::MinFreqEdit: return "MinFreqEdit";
    case SliderEdit::MaxFreqEdit: return "MaxFreqEdit";
    case SliderEdit::txtRound: return "txtRound";
    }
    return "";
}
} // namespace

std::string PersistedWindows::sliderText(SliderEdit edit) const
{
    const QLineEdit* field = slider_ ? slider_->findChild<QLineEdit*>(QLatin1String(sliderEditName(edit))) : nullptr;
    return field ? field->text().toStdString() : std::string();
}

void PersistedWindows::setSliderText(SliderEdit edit, const std::string& text)
{
    // The slider's edits have exit handlers only: setting their text runs nothing.
    if (QLineEdit* field = slider_ ? slider_->findChild<QLineEdit*>(QLatin1String(sliderEditName(edit))) : nullptr)
        field->setText(QString::fromStdString(text));
}

void PersistedWindows::resetCurrentSettings()
{
    // The reset's own sweep end (10 kHz) lies above half of the first start's 11025 Hz: a
    // notice about a frequency nobody typed would greet every first start, twice. The
    // reset's values are brought below the limit all the same; a stored frequency above it
    // still raises the notice.
    GeneratorHooks& hooks = controller_.generator().hooks;
    const auto notice = std::exchange(hooks.aboveNyquist, nullptr);
    controller_.commands().reset();
    hooks.aboveNyquist = notice;
}

void PersistedWindows::fillMemoriesFromSettings() { controller_.presets().bank().storeAllFromCurrent(); }

} // namespace velmora::ui
