#include "ui/script_window/script_popup.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace velmora::ui {

TfrmScriptPopup::TfrmScriptPopup(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("frmScriptPopup"));
    setWindowTitle(QStringLiteral("ZRX Script"));
    setFixedSize(292, 122);
    setProperty("helpContext", 4);

    Button1 = new QPushButton(QStringLiteral("Cancel"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(37, 8, 80, 30);
    Button2 = new QPushButton(QStringLiteral("Next"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(152, 8, 80, 30);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    // Fixed size: a long line is cut, the window never grows.
    Label1->setGeometry(73, 48, 134, 13);

    connect(Button1, &QPushButton::clicked, this, &QWidget::close);
}

void TfrmScriptPopup::showCentred()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
}

void TfrmScriptPopup::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    emit closed();
}

} // namespace velmora::ui
