#include "ui/main_window/generator_link.h"

#include "audio/device_list.h"
#include "ui/main_window/generator_controller.h"
#include "ui/main_window/generator_window.h"
#include "ui/main_window/preset_controller.h"
#include "ui/main_window/wave_export_command.h"
#include "ui/startup/window_cascade.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QtDebug>

#include <exception>

namespace velmora::ui {

namespace {
// More held boxes than anyone would read: later ones go to the log only.
constexpr size_t kMostHeldBoxes = 8;
// Messages held during an export: far more than any client sends, and a bound for one
// that floods.
constexpr size_t kMostHeldMessages = 100000;

// The switching messages act at once, even during an export: a start is refused then, a
// stop or a pause touches no setting.
bool Switching(uint32_t number)
{
    return number == message::kStart || number == message::kStop || number == message::kPause;
}
} // namespace

// ---------------------------------------------------------------- DeferredNotices

DeferredNotices::DeferredNotices(WindowNotices& boxes, QObject* parent) : QObject(parent), boxes_(boxes) {}

void DeferredNotices::deferWhile(const std::function<void()>& work)
{
    ++depth_;
    try {
        work();
    } catch (...) {
        --depth_;
        throw;
    }
    --depth_;
    if (depth_ == 0 && (!pending_.empty() || !questions_.empty())) QTimer::singleShot(0, this, [this] { showNext(); });
}

void DeferredNotices::whenFree(const QString& key, const std::function<void()>& ask)
{
    if (depth_ == 0) return ask();
    for (const auto& waiting : questions_)
        if (waiting.first == key) return;
    if (questions_.size() < kMostHeldBoxes) questions_.emplace_back(key, ask);
}

void DeferredNotices::hold(Kind kind, const QString& text)
{
    if (!pending_.empty() && pending_.back().second == text) return;
    if (pending_.size() >= kMostHeldBoxes) {
        qWarning().noquote() << text;
        return;
    }
    pending_.emplace_back(kind, text);
}

void DeferredNotices::showNext()
{
    // A box already open runs this again once it is closed.
    if (showing_ || depth_ > 0 || (pending_.empty() && questions_.empty())) return;
    showing_ = true;
    if (!pending_.empty()) {
        const auto [kind, text] = pending_.front();
        pending_.pop_front();
        if (kind == Kind::Error)
            boxes_.errorBox(text);
        else if (kind == Kind::Warning)
            boxes_.warningBox(text);
        else
            boxes_.messageBox(text);
    } else {
        const std::function<void()> ask = std::move(questions_.front().second);
        questions_.pop_front();
        ask();
    }
    showing_ = false;
    if (!pending_.empty() || !questions_.empty()) QTimer::singleShot(0, this, [this] { showNext(); });
}

void DeferredNotices::errorBox(const QString& text)
{
    if (depth_ > 0)
        hold(Kind::Error, text);
    else
        boxes_.errorBox(text);
}

void DeferredNotices::messageBox(const QString& text)
{
    if (depth_ > 0)
        hold(Kind::Message, text);
    else
        boxes_.messageBox(text);
}

void DeferredNotices::warningBox(const QString& text)
{
    if (depth_ > 0)
        hold(Kind::Warning, text);
    else
        boxes_.warningBox(text);
}

int DeferredNotices::suppressible(const QString& text, const QString& title, NoticeButtons buttons,
                                  const QString& valueName)
{
    return boxes_.suppressible(text, title, buttons, valueName);
}

// ---------------------------------------------------------------- GeneratorLink

GeneratorLink::GeneratorLink(TfrmGenerator& window, GeneratorController& controller, DeferredNotices& notices,
                             QObject* parent)
    : QObject(parent),
      window_(window),
      controller_(controller),
      notices_(notices),
      // Every generator, whatever its number, carries the same title on the bus: the group
      // that "Sync all Generators" reaches.
      bus_(QStringLiteral("Velmora")),
      hotKey_([this] { controller_.switching().ONOFF2Click(); })
{
    bus_.handler = [this](uint32_t number, uint32_t wParam, int32_t lParam) {
        return receive(number, wParam, lParam);
    };
    connect(&controller_.waveExport(), &WaveExportCommand::ended, this, [this] { releaseHeld(); });
    // Without a bus the synchronised commands stay with this window alone.
    if (bus_.registered()) controller_.switching().setSync(this);
    // A second generator running at once says so in its titles.
    SwitchingController::setGeneratorNumber(bus_.number());
    controller_.generatorNumberChanged();

    connect(window_.menu().OpenNewGeneratorWindow1, &QAction::triggered, this,
            [this] { OpenNewGeneratorWindow1Click(); });
    window_.installEventFilter(this);
    window_.widgets().Image1->installEventFilter(this);
    hotKey_.grab();
}

GeneratorLink::~GeneratorLink()
{
    controller_.switching().setSync(nullptr);
    bus_.handler = nullptr;
    hotKey_.release();
}

GeneratorBus::Answer GeneratorLink::receive(uint32_t number, uint32_t wParam, int32_t lParam)
{
    if (number == message::kAlive) return GeneratorBus::Answer::Refused;
    // While the held messages are carried out, those that arrive queue behind them.
    if (releasing_ || (controller_.waveExport().active() && !Switching(number))) {
        if (held_.size() >= kMostHeldMessages) return GeneratorBus::Answer::Busy;
        held_.push_back({number, wParam, lParam});
        return GeneratorBus::Answer::Done;
    }
    carryOut(number, wParam, lParam);
    return GeneratorBus::Answer::Done;
}

void GeneratorLink::carryOut(uint32_t number, uint32_t wParam, int32_t lParam)
{
    notices_.deferWhile([&] {
        try {
            HandleMessage(controller_.generator(), *this, number, wParam, lParam);
        } catch (const std::exception& e) {
            // As for the user's own change: the handler stops and its error is shown.
            notices_.errorBox(QString::fromStdString(e.what()));
        }
    });
}

void GeneratorLink::releaseHeld()
{
    if (releasing_ || controller_.waveExport().active()) return;
    releasing_ = true;
    // A message carried out here may let events through (a start opens the device), and
    // messages arriving then queue behind the rest.
    while (!held_.empty()) {
        const Held m = held_.front();
        held_.pop_front();
        carryOut(m.number, m.wParam, m.lParam);
    }
    releasing_ = false;
}

void GeneratorLink::broadcast(SyncCommand command)
{
    switch (command) {
    case SyncCommand::Start: bus_.broadcast(message::kStart); break;
    case SyncCommand::Stop: bus_.broadcast(message::kStop); break;
    case SyncCommand::Pause: bus_.broadcast(message::kPause); break;
    }
}

void GeneratorLink::OpenNewGeneratorWindow1Click()
{
    const QString program = QCoreApplication::applicationFilePath();
    if (!StartGeneratorBeside(program, window_))
        notices_.errorBox(QStringLiteral("Cannot start a new generator window (%1).").arg(program));
}

void GeneratorLink::startsignal()
{
    // The sender waits for its answer: no window with an event loop of its own comes between
    // the two, so a period still being made is waited for as the start prepares.
    SwitchingController& switching = controller_.switching();
    const bool shows = switching.showsPeriodWait;
    switching.showsPeriodWait = false;
    switching.startsignal();
    switching.showsPeriodWait = shows;
}

void GeneratorLink::stopAtOnce()
{
    controller_.switching().switchOff();
}

void GeneratorLink::togglePause() { controller_.switching().togglePause(); }

void GeneratorLink::setSync(bool checked) { window_.widgets().chkSync->setChecked(checked); }

void GeneratorLink::selectDevice(int64_t entry)
{
    QComboBox* list = window_.widgets().WaveDevice;
    // Beyond the list no entry is selected, and the next start reports the bad device.
    list->setCurrentIndex(entry >= 0 && entry < list->count() ? static_cast<int>(entry) : -1);
    controller_.AudioOut1().setWaveDevice(static_cast<uint32_t>(deviceIdForEntry(list->currentIndex())));
}

void GeneratorLink::MemRecall(int memory) { controller_.presets().MemRecall(memory); }

void GeneratorLink::MemStore(int memory) { controller_.presets().MemStore(memory); }

bool GeneratorLink::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &window_) {
        // The key goes to whichever generator was activated last while it was free.
        if (event->type() == QEvent::WindowActivate) hotKey_.grab();
        if (event->type() == QEvent::Close) hotKey_.release();
    } else if (watched == window_.widgets().Image1 && event->type() == QEvent::MouseButtonRelease) {
        hotKey_.grab();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velmora::ui
