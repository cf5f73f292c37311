#pragma once
// The program's help: one HTML page per help context, shown in a window of its own. The
// pages are built into the program. Window thread.

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace velmora::ui {

// Where the help pages live (the place the help file had): a resource folder.
QString HelpFilePath();
// The page of a help context; contexts without a page of their own show the contents (0).
QString helpPageFor(int context);

class HelpWindow final : public QWidget {
    Q_OBJECT
public:
    HelpWindow();

    // Shows the page of `context` and brings the window to the front.
    void showTopic(int context);
    int currentContext() const { return context_; }
    QTextBrowser* browser() const { return browser_; }

protected:
    // Escape closes the window.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTextBrowser* browser_;
    int context_ = -1;
};

} // namespace velmora::ui
