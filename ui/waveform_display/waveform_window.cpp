#include "ui/waveform_display/waveform_window.h"

#include "ui/main_window/widget_factory.h"
#include "ui/widgets/window_fonts.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSlider>

#include <cmath>
#include <cstring>

namespace velmora::ui {

namespace {
constexpr int kScreenSize = 401;
constexpr int kRightEdge = 452; // right end of the labels under the screen
const QColor kGridColour(0, 128, 0);
const QColor kLeftColour(0, 255, 0);
const QColor kRightColour(255, 160, 0);

// The paint box: its picture is the window's pbxScopePaint.
class ScopeView final : public QWidget {
public:
    ScopeView(TfrmWaveForm& owner, QWidget* parent) : QWidget(parent), owner_(owner)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        owner_.pbxScopePaint(painter);
    }

private:
    TfrmWaveForm& owner_;
};

int rounded(double x) { return static_cast<int>(std::nearbyint(x)); }
} // namespace

TfrmWaveForm::TfrmWaveForm(const GeneratorSettings& settings, QAction* menuItem)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      settings_(settings),
      menuItem_(menuItem)
{
    setObjectName(QStringLiteral("frmWaveForm"));
    setWindowTitle(QStringLiteral("WaveForm"));
    setFont(windowFont());
    setAttribute(Qt::WA_QuitOnClose, false);
    build();
    // FormCreate: the grid, then the time base.
    drawGrid();
    tbTDivChange();

    repaintTimer_.setSingleShot(true);
    connect(&repaintTimer_, &QTimer::timeout, pbxScope, [this] { pbxScope->update(); });
}

void TfrmWaveForm::build()
{
    pbxScope = new ScopeView(*this, this);
    pbxScope->setObjectName(QStringLiteral("pbxScope"));
    pbxScope->setGeometry(8, 8, kScreenSize, kScreenSize);

    tbTDiv = new QSlider(Qt::Horizontal, this);
    tbTDiv->setObjectName(QStringLiteral("tbTDiv"));
    tbTDiv->setGeometry(8, 414, 260, 26);
    tbTDiv->setRange(1, kTimeBaseCount);
    tbTDiv->setPageStep(1);
    tbTDiv->setValue(3);
    tbTDiv->setTickPosition(QSlider::TicksBelow);
    tbTDiv->setTickInterval(1);
    lbltDiv = makeLabel(this, QStringLiteral("lbltDiv"), QStringLiteral("500\u00B5s/div"), 276, 420);

    tbZoom = new QSlider(Qt::Vertical, this);
    tbZoom->setObjectName(QStringLiteral("tbZoom"));
    tbZoom->setGeometry(420, 8, 30, 380);
    tbZoom->setRange(0, 15);
    tbZoom->setPageStep(1);
    tbZoom->setValue(15);
    tbZoom->setTickPosition(QSlider::TicksBothSides);
    tbZoom->setTickInterval(1);
    lblZoom = makeLabel(this, QStringLiteral("lblZoom"), QStringLiteral("1x Zoom"), 0, 420);
    lblZoom->move(kRightEdge - lblZoom->width(), lblZoom->y());

    setFixedSize(460, 447);

    connect(tbTDiv, &QSlider::valueChanged, this, [this] { tbTDivChange(); });
    connect(tbZoom, &QSlider::valueChanged, this, [this] { tbZoomChange(); });
}

void TfrmWaveForm::drawGrid()
{
    const int w = pbxScope->width();
    const int h = pbxScope->height();
    imgPhantomScopeGrid = QImage(w, h, QImage::Format_RGB32);
    imgPhantomScopeGrid.fill(Qt::black);
    QPainter painter(&imgPhantomScopeGrid);
    painter.setPen(kGridColour);
    painter.setBrush(Qt::black);
    const float a = static_cast<float>(w) / 10;
    const float c = static_cast<float>(h) / 10;
    for (int i = 0; i < 10; ++i) {
        for (int j = 0; j < 10; ++j) {
            // The rectangle from (x1, y1) to (x2, y2) covers x1 .. x2 - 1 and y1 .. y2 - 1.
            const int x1 = rounded(j * a), y1 = rounded(i * c);
            const int x2 = rounded(a + 1 + j * a), y2 = rounded(c + 1 + i * c);
            painter.drawRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
        }
    }
}

int TfrmWaveForm::zoomFactor() const { return ZoomFactor(tbZoom->value()); }

ScopeScale TfrmWaveForm::scale() const
{
    return {pbxScope->width(), pbxScope->height(), timePerDivision_, settings_.output.SamplingRate, zoomFactor()};
}

void TfrmWaveForm::WaveformDisplay1Click()
{
    menuItem_->setChecked(!menuItem_->isChecked());
    applyMenuCheck(menuItem_->isChecked());
}

void TfrmWaveForm::applyMenuCheck(bool checked)
{
    if (checked) {
        show();
        raise();
    } else {
        hide();
    }
}

void TfrmWaveForm::tbTDivChange()
{
    const TimeBase& base = TimeBaseAt(tbTDiv->value());
    timePerDivision_ = base.seconds;
    lbltDiv->setText(QString::fromUtf8(base.label) + QStringLiteral("/div"));
    lbltDiv->adjustSize();
    sizeRing();
    pbxScope->update();
}

void TfrmWaveForm::tbZoomChange()
{
    lblZoom->setText(QString::number(zoomFactor()) + QStringLiteral("x Zoom"));
    lblZoom->adjustSize();
    lblZoom->move(kRightEdge - lblZoom->width(), lblZoom->y());
    pbxScope->update();
}

void TfrmWaveForm::sizeRing()
{
    // Two screens: one to show, one to look back in for the trigger.
    ring_.reserve(2 * scale().framesOnScreen() + 2);
}

void TfrmWaveForm::samplingRateChanged()
{
    ring_.clear();
    sizeRing();
    pbxScope->update();
}

void TfrmWaveForm::pbxScopePaint(QPainter& painter)
{
    if (frame_.size() != imgPhantomScopeGrid.size()) frame_ = QImage(imgPhantomScopeGrid.size(), QImage::Format_RGB32);
    std::memcpy(frame_.bits(), imgPhantomScopeGrid.constBits(), static_cast<size_t>(frame_.sizeInBytes()));
    const ScopeScale s = scale();
    if (!running_ || ring_.held() == 0) {
        trace_[0] = ZeroLine(s);
        trace_[1].clear();
    } else {
        const TriggerResult trigger = FindTrigger(ring_, Channel::Left, s);
        trace_[0] = TracePoints(ring_, Channel::Left, trigger.start, s);
        trace_[1] = ring_.stereo() ? TracePoints(ring_, Channel::Right, trigger.start, s) : QPolygonF();
    }
    // Left over right, so that two equal channels show in the left's colour.
    DrawTrace(frame_, trace_[1], kRightColour.rgb());
    DrawTrace(frame_, trace_[0], kLeftColour.rgb());
    painter.drawImage(0, 0, frame_);
    sincePaint_.start();
}

bool TfrmWaveForm::showing() const { return isVisible() && !isMinimized(); }

void TfrmWaveForm::bufferFilled(const FilledBuffer& buffer)
{
    if (!showing()) return;
    ring_.append(buffer.bytes, buffer.size, buffer.bitsPerSample, buffer.channels);
    requestRepaint();
}

void TfrmWaveForm::requestRepaint()
{
    if (!showing() || repaintTimer_.isActive()) return;
    const qreal rate = screen() ? screen()->refreshRate() : 60;
    const int interval = static_cast<int>(std::ceil(1000.0 / (rate > 1 ? rate : 60)));
    const qint64 since = sincePaint_.isValid() ? sincePaint_.elapsed() : interval;
    if (since >= interval)
        pbxScope->update();
    else
        repaintTimer_.start(static_cast<int>(interval - since));
}

void TfrmWaveForm::setGeneratorRunning(bool running)
{
    running_ = running;
    if (!running) ring_.clear();
    if (showing()) pbxScope->update();
}

void TfrmWaveForm::showEvent(QShowEvent* event)
{
    // Samples from before it was hidden are stale.
    ring_.clear();
    sizeRing();
    QWidget::showEvent(event);
}

void TfrmWaveForm::closeEvent(QCloseEvent* event)
{
    menuItem_->setChecked(false);
    QWidget::closeEvent(event);
}

} // namespace velmora::ui
