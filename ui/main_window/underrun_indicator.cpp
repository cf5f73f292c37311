#include "ui/main_window/underrun_indicator.h"

#include "audio/audio_device.h"
#include "audio/audio_out.h"

#include <QLabel>

namespace velmora::ui {

namespace {
constexpr int kLookEveryMs = 250;
constexpr int kGap = 8;
constexpr int kWidestText = 240;
}

UnderrunIndicator::UnderrunIndicator(QLabel* beside, const AudioDevice& device, const TAudioOut& engine)
    : beside_(beside), label_(new QLabel(beside->parentWidget())), device_(device), engine_(engine)
{
    label_->setObjectName(QStringLiteral("lblUnderruns"));
    label_->setFont(beside->font());
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    label_->setPalette(palette);
    label_->hide();
    timer_.setInterval(kLookEveryMs);
    connect(&timer_, &QTimer::timeout, this, &UnderrunIndicator::refresh);
    timer_.start();
}

void UnderrunIndicator::refresh()
{
    if (!label_ || !beside_) return;
    const bool open = engine_.WaveDeviceOpen();
    if (open && !wasOpen_) {
        // A new stream: its count starts from here.
        atStart_ = device_.underruns();
        label_->hide();
    }
    wasOpen_ = open;
    const uint64_t count = device_.underruns() - atStart_;
    // What is wrong with the stream now (a sound server that does not answer, a volume that
    // is not 100 %, resampling) shows while it lasts, after the count.
    const QString warning = open ? QString::fromStdString(device_.streamWarning()) : QString();
    if (count == 0 && warning.isEmpty()) {
        if (!label_->toolTip().isEmpty()) {
            label_->hide(); // the warning has passed
            label_->setToolTip({});
        }
        return;
    }
    QString text;
    if (count > 0) text = count == 1 ? QStringLiteral("1 underrun") : QStringLiteral("%1 underruns").arg(count);
    if (!warning.isEmpty()) text = text.isEmpty() ? warning : text + QStringLiteral("; ") + warning;
    // A long warning is cut short on the window's line; the tool tip holds it whole.
    label_->setText(label_->fontMetrics().elidedText(text, Qt::ElideRight, kWidestText));
    label_->setToolTip(warning.isEmpty() ? QString() : text);
    label_->adjustSize();
    place();
    label_->show();
}

void UnderrunIndicator::place()
{
    // Left of the rate (the status lamp is on its right), on its line; above it, ending where
    // it ends, when a long correction note leaves no room there.
    const QRect rate = beside_->geometry();
    QRect at(QPoint(rate.left() - kGap - label_->width(), rate.top()), label_->size());
    const auto* parent = label_->parentWidget();
    bool clear = at.left() >= 0;
    for (const QWidget* other : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (other != label_ && other != beside_ && other->isVisibleTo(parent) &&
            other->geometry().intersects(at)) clear = false;
    if (!clear) at.moveTopLeft(QPoint(rate.right() + 1 - label_->width(), rate.top() - label_->height()));
    label_->move(at.topLeft());
}

} // namespace velmora::ui
