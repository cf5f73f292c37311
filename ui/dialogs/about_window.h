#pragma once
// The About window: program name, version, the maker's web page, OK and Help. It does not
// block the generator window by itself; instead it disables its owner while it is active and
// enables it again when it closes. Window thread.

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

namespace velmora::ui {

// Address of the maker's web page, opened from the About window and the program icon.
extern const char* const kMakerWebPage;

class AboutWindow final : public QWidget {
    Q_OBJECT
public:
    // `owner` (may be null) is the window disabled while this one is up. The About window is
    // a top-level window of its own, so disabling the owner does not disable it too.
    explicit AboutWindow(QWidget* owner);

    QLabel* nameLabel() const { return name_; }
    QLabel* versionLabel() const { return version_; }
    QLabel* linkLabel() const { return link_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* helpButton() const { return help_; }

signals:
    // "Help" was pressed: open help topic `context`.
    void helpRequested(int context);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Return and Enter press the default button (OK, or Help when it has the focus); Escape
    // closes.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointer<QWidget> owner_;
    QLabel* name_;
    QLabel* version_;
    QLabel* link_;
    QPushButton* ok_;
    QPushButton* help_;
};

} // namespace velmora::ui
