#pragma once
// Commands that hand over to the desktop: the mixer, web pages, and holding off the
// screensaver while a signal plays. Window thread; failures are ignored, as nothing in the
// generator depends on them.

#include <QObject>
#include <QString>

namespace velmora::ui {

// Starts the desktop's volume control, the first that is installed; false when none is.
bool startVolumeControl();
// Opens a web page in the user's browser.
void openWebPage(const QString& address);

// Holds an inhibit on the session's screensaver while on; released when switched off or
// destroyed. Without a session bus or screensaver service it does nothing.
class ScreensaverInhibit final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~ScreensaverInhibit() override;
    void setActive(bool active);
    bool active() const { return active_; }

private:
    bool active_ = false;
    uint cookie_ = 0;
};

} // namespace velmora::ui
