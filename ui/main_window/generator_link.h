#pragma once
// What ties one generator window to the others and to other programs: its name and object
// on the session bus (messages from outside, the broadcast of ON, OFF and Pause while
// "Sync all Generators" is checked), the global hot key Ctrl+Insert, and File › "Open New
// Generator Window". Without a session bus the window runs alone; without X there is no
// global key. Window thread.

#include "control/dbus/generator_bus.h"
#include "control/generator_messages.h"
#include "ui/main_window/global_hot_key.h"
#include "ui/main_window/switching_controller.h"
#include "ui/main_window/window_notices.h"

#include <QObject>

#include <deque>
#include <functional>
#include <utility>

namespace velmora::ui {

class GeneratorController;
class TfrmGenerator;

// The window's boxes, held back while a message from another process is handled: the
// sender waits for the answer, so a modal box must not stand between the two. Held boxes
// follow from the event loop, one at a time, and so do the questions raised meanwhile
// (whenFree) with what their answers lead to. Window thread.
class DeferredNotices final : public QObject, public WindowNotices {
    Q_OBJECT
public:
    explicit DeferredNotices(WindowNotices& boxes, QObject* parent = nullptr);

    // Runs `work`; the error and message boxes it raises are shown after it returns.
    void deferWhile(const std::function<void()>& work);
    // Boxes waiting to be shown.
    size_t pending() const { return pending_.size(); }

    void errorBox(const QString& text) override;
    void messageBox(const QString& text) override;
    void warningBox(const QString& text) override;
    int suppressible(const QString& text, const QString& title, NoticeButtons buttons,
                     const QString& valueName) override;
    void whenFree(const QString& key, const std::function<void()>& ask) override;

private:
    enum class Kind { Error, Message, Warning };
    void hold(Kind kind, const QString& text);
    void showNext();

    WindowNotices& boxes_;
    int depth_ = 0;
    bool showing_ = false;
    std::deque<std::pair<Kind, QString>> pending_;
    std::deque<std::pair<QString, std::function<void()>>> questions_;
};

class GeneratorLink final : public QObject, public MessageTarget, public GeneratorSync {
    Q_OBJECT
public:
    // `notices` must be the notices the controller shows its boxes through; all three
    // outlive the link. Registers on the bus and grabs the hot key.
    GeneratorLink(TfrmGenerator& window, GeneratorController& controller, DeferredNotices& notices,
                  QObject* parent = nullptr);
    ~GeneratorLink() override;

    // One message as another process sends it. During a wave export every message but
    // start, stop and pause is held, and the held ones are carried out in order when the
    // export is over. Refused: the fill's own message; Busy: no room left to hold one.
    GeneratorBus::Answer receive(uint32_t number, uint32_t wParam, int32_t lParam);
    // The same, true when carried out or held.
    bool message(uint32_t number, uint32_t wParam, int32_t lParam)
    {
        return receive(number, wParam, lParam) == GeneratorBus::Answer::Done;
    }
    // Messages waiting for the export to end.
    size_t held() const { return held_.size(); }

    GeneratorBus& bus() { return bus_; }
    GlobalHotKey& hotKey() { return hotKey_; }

    // Starts another copy of this program, without its splash.
    void OpenNewGeneratorWindow1Click();

    // GeneratorSync: ON, OFF and Pause while "Sync all Generators" is checked.
    void broadcast(SyncCommand command) override;

    // MessageTarget: what the messages do to this window.
    void startsignal() override;
    void stopAtOnce() override;
    void togglePause() override;
    void setSync(bool checked) override;
    void selectDevice(int64_t entry) override;
    void MemRecall(int memory) override;
    void MemStore(int memory) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Held {
        uint32_t number, wParam;
        int32_t lParam;
    };
    // Carries out one message now.
    void carryOut(uint32_t number, uint32_t wParam, int32_t lParam);
    // Carries out the held messages in the order they came.
    void releaseHeld();

    TfrmGenerator& window_;
    GeneratorController& controller_;
    DeferredNotices& notices_;
    GeneratorBus bus_;
    GlobalHotKey hotKey_;
    std::deque<Held> held_;
    bool releasing_ = false;
};

} // namespace velmora::ui
