#include "ui/dialogs/about_window.h"

#include "ui/widgets/pictures.h"
#include "ui/widgets/window_fonts.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora::ui {

const char* const kMakerWebPage = "https://karvell.example/velmora";

namespace {
constexpr int kAboutHelpContext = 3;
}

AboutWindow::AboutWindow(QWidget* owner)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), owner_(owner)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About Velmora"));
    setFont(windowFont());
    setProperty("helpContext", kAboutHelpContext);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(programIcon(48));

    name_ = new QLabel(QStringLiteral("Velmora"), this);
    name_->setObjectName(QStringLiteral("ProductName"));
    QFont big = font();
    big.setPointSize(14);
    big.setBold(true);
    name_->setFont(big);

    version_ = new QLabel(QStringLiteral("Version ") + QStringLiteral("4.6"), this);
    version_->setObjectName(QStringLiteral("Version"));

    const QString address = QLatin1String(kMakerWebPage);
    link_ = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(address), this);
    link_->setObjectName(QStringLiteral("WebPage"));
    link_->setTextFormat(Qt::RichText);
    link_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    link_->setOpenExternalLinks(true);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("OKButton"));
    ok_->setDefault(true);
    help_ = new QPushButton(QStringLiteral("Help"), this);
    help_->setObjectName(QStringLiteral("HelpButton"));
    connect(ok_, &QPushButton::clicked, this, &QWidget::close);
    connect(help_, &QPushButton::clicked, this, [this] { emit helpRequested(kAboutHelpContext); });

    auto* text = new QVBoxLayout;
    text->addWidget(name_);
    text->addWidget(version_);
    text->addSpacing(8);
    text->addWidget(link_);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(help_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool AboutWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && owner_)
        owner_->setEnabled(false);
    return QWidget::event(event);
}

void AboutWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Escape: close(); return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // A focused button is the default one, as in a dialog; otherwise OK.
            if (help_->hasFocus())
                help_->click();
            else
                ok_->click();
            return;
        default: break;
        }
    }
    QWidget::keyPressEvent(event);
}

void AboutWindow::closeEvent(QCloseEvent* event)
{
    if (owner_)
        owner_->setEnabled(true);
    QWidget::closeEvent(event);
}

} // namespace velmora::ui
