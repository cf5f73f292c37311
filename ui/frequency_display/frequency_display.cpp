#include "ui/frequency_display/frequency_display.h"

#include "engine/generator.h"
#include "ui/frequency_display/frequency_text.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QScreen>

#include <algorithm>

namespace velmora::ui {

namespace {
constexpr int kMinimumHeight = 8; // below this there is nothing left to read or grab
}

TfrmFrequencyDisplay::TfrmFrequencyDisplay(const Generator& generator, QAction* menuItem, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      generator_(generator), menuItem_(menuItem)
{
    setObjectName(QStringLiteral("frmFrequencyDisplay"));
    setWindowTitle(QStringLiteral("Frequency"));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);

    lblDisplay = new QLabel(this);
    lblDisplay->setObjectName(QStringLiteral("lblDisplay"));
    lblDisplay->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    lblDisplay->setAttribute(Qt::WA_TranslucentBackground);
    QPalette lime = lblDisplay->palette();
    lime.setColor(QPalette::WindowText, QColor(0, 255, 0));
    lblDisplay->setPalette(lime);
    lblDisplay->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    setMinimumHeight(kMinimumHeight);
    resize(359, 241);
    UpdateFrequencyDisplay();
}

void TfrmFrequencyDisplay::UpdateFrequencyDisplay()
{
    lblDisplay->setText(QString::fromStdString(FrequencyDisplayText(generator_, playing && playing())));
}

void TfrmFrequencyDisplay::FormResize()
{
    if (resizing_) return;
    resizing_ = true;
    const int factor = generator_.settings.stereo() ? 12 : 6;
    const QScreen* screen = this->screen();
    const int largest = std::max(kMinimumHeight, (screen ? screen->geometry().width() : 1920) / factor);
    setMaximumHeight(largest);
    const int height = std::min(this->height(), largest);
    setMaximumWidth(factor * largest);
    resize(factor * height, height);

    // The digits' cell (ascent and descent) fills the client height.
    QFont font = lblDisplay->font();
    font.setPixelSize(std::max(1, height));
    const int cell = QFontMetrics(font).height();
    if (cell > 0) font.setPixelSize(std::max(1, height * height / cell));
    lblDisplay->setFont(font);
    lblDisplay->setGeometry(rect());
    resizing_ = false;
}

void TfrmFrequencyDisplay::FrequencyDisplay1Click() { setVisible(menuItem_ && menuItem_->isChecked()); }

void TfrmFrequencyDisplay::setShown(bool shown)
{
    if (menuItem_) menuItem_->setChecked(shown);
    setVisible(shown);
}

QRect TfrmFrequencyDisplay::placement() const { return {pos(), size()}; }

void TfrmFrequencyDisplay::setPlacement(const QRect& placement)
{
    move(placement.topLeft());
    resize(placement.size());
    FormResize();
}

void TfrmFrequencyDisplay::closeEvent(QCloseEvent* event)
{
    if (menuItem_) menuItem_->setChecked(false);
    QWidget::closeEvent(event);
}

void TfrmFrequencyDisplay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

} // namespace velmora::ui
