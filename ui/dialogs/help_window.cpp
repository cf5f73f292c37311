#include "ui/dialogs/help_window.h"

#include <QFile>
#include <QKeyEvent>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// Resources of a static library must be registered by name, outside any namespace.
static void registerHelpPages() { Q_INIT_RESOURCE(help); }

namespace velmora::ui {

QString HelpFilePath() { return QStringLiteral(":/velmora/help"); }

QString helpPageFor(int context)
{
    registerHelpPages();
    const QString page = HelpFilePath() + QStringLiteral("/topic-%1.html").arg(context);
    return QFile::exists(page) ? page : HelpFilePath() + QStringLiteral("/topic-0.html");
}

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window), browser_(new QTextBrowser(this))
{
    registerHelpPages();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Velmora Help"));
    setAttribute(Qt::WA_QuitOnClose, false);
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    browser_->setOpenExternalLinks(true);
    browser_->setSearchPaths({HelpFilePath()});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(560, 480);
}

void HelpWindow::showTopic(int context)
{
    context_ = context;
    browser_->setSource(QUrl(QStringLiteral("qrc") + helpPageFor(context)));
    show();
    raise();
    activateWindow();
}

void HelpWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace velmora::ui
