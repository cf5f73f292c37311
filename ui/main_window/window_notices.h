#pragma once
// The message boxes the generator window shows, behind one interface so that tests can
// record them instead of blocking in a modal loop. Window thread; every call may allocate.

#include "settings/suppressible_notice.h"

#include <QString>

#include <functional>

class QWidget;

namespace velmora::ui {

class WindowNotices {
public:
    virtual ~WindowNotices() = default;
    // The window's default error box: an exception's text, nothing else.
    virtual void errorBox(const QString& text) = 0;
    // A plain message box with an OK button.
    virtual void messageBox(const QString& text) = 0;
    // A message box with the warning icon and an OK button (by default the plain box).
    virtual void warningBox(const QString& text) { messageBox(text); }
    // A notice the user can silence (ShowSuppressibleNotice); returns a NoticeResult value.
    virtual int suppressible(const QString& text, const QString& title, NoticeButtons buttons,
                             const QString& valueName) = 0;
    // Runs `ask` - a question and what its answer leads to - now; the notices that hold boxes
    // back while another process waits for an answer run it once that answer is given (once,
    // however often the question named `key` was raised meanwhile).
    virtual void whenFree(const QString& key, const std::function<void()>& ask)
    {
        (void)key;
        ask();
    }
};

// The real boxes, modal over `parent`.
class MessageBoxNotices final : public WindowNotices {
public:
    explicit MessageBoxNotices(QWidget* parent) : parent_(parent) {}
    void errorBox(const QString& text) override;
    void messageBox(const QString& text) override;
    void warningBox(const QString& text) override;
    int suppressible(const QString& text, const QString& title, NoticeButtons buttons,
                     const QString& valueName) override;

private:
    QWidget* parent_;
};

} // namespace velmora::ui
