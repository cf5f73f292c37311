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

    repaintTimer_.setInterval(1000 / kPicturesPerSecond);
    connect(&repaintTimer_, &QTimer::timeout, pbxScope, [this] {
        if (!showing()) {
            updateTimer(); // minimised
            return;
        }
        // A picture that would come out the same (a steady tone) is not drawn again.
        const std::array<QPolygonF, 2> before = trace_;
        makeTraces();
        tracesMade_ = trace_ != before;
        if (tracesMade_) pbxScope->update();
    });
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
    updateTimer();
    lbltDiv->setText(QString::fromUtf8(base.label) + QStringLiteral("/div"));
    lbltDiv->adjustSize();
    sizeRing();
    holdingPulse_ = false;
    pbxScope->update();
}

void TfrmWaveForm::tbZoomChange()
{
    lblZoom->setText(QString::number(zoomFactor()) + QStringLiteral("x Zoom"));
    lblZoom->adjustSize();
    lblZoom->move(kRightEdge - lblZoom->width(), lblZoom->y());
    holdingPulse_ = false;
    pbxScope->update();
}

void TfrmWaveForm::sizeRing()
{
    // Two screens (one to show, one to look back in for the trigger) behind what the ring
    // of buffers and the device hold ahead of what is heard: the device keeps about one
    // buffer, and at least 50 ms.
    const OutputSettings& o = settings_.output;
    const int frameBytes = (o.floatSamples() ? 4 : o.Quantisation / 8) * (settings_.stereo() ? 2 : 1);
    const int64_t bufferFrames = o.BufferSize / std::max(frameBytes, 1);
    const int64_t ahead = (o.Buffers + 1) * bufferFrames + o.SamplingRate / 20;
    ring_.reserve(2 * scale().framesOnScreen() + 2 + ahead);
}

void TfrmWaveForm::samplingRateChanged()
{
    ring_.clear();
    sizeRing();
    pbxScope->update();
}

void TfrmWaveForm::makeTraces()
{
    const ScopeScale s = scale();
    if (!running_ || ring_.held() == 0) {
        trace_[0] = ZeroLine(s);
        trace_[1].clear();
        holdingPulse_ = false;
    } else {
        traceSignal(s);
    }
}

void TfrmWaveForm::pbxScopePaint(QPainter& painter)
{
    if (frame_.size() != imgPhantomScopeGrid.size()) frame_ = QImage(imgPhantomScopeGrid.size(), QImage::Format_RGB32);
    std::memcpy(frame_.bits(), imgPhantomScopeGrid.constBits(), static_cast<size_t>(frame_.sizeInBytes()));
    // The timer made the traces just before asking for this picture; any other picture
    // (shown, exposed, a control moved) makes them now.
    if (!tracesMade_) makeTraces();
    tracesMade_ = false;
    // Left over right, so that two equal channels show in the left's colour.
    DrawTrace(frame_, trace_[1], kRightColour.rgb());
    DrawTrace(frame_, trace_[0], kLeftColour.rgb());
    painter.drawImage(0, 0, frame_);
}

void TfrmWaveForm::traceSignal(const ScopeScale& s)
{
    const int64_t screen = s.framesOnScreen();
    const int64_t ahead = framesAhead ? std::max<int64_t>(framesAhead(), 0) : 0;
    // A device that holds more than the ring was sized for (a sound server's own buffering).
    const auto wanted = static_cast<uint64_t>(2 * screen + 2 + ahead + ahead / 4);
    if (ring_.capacity() < wanted) ring_.reserve(static_cast<int64_t>(wanted));

    // The newest frame heard; until the ring reaches back that far (just opened, or just
    // started), the oldest screen it holds, which is heard next.
    const uint64_t written = ring_.written();
    const uint64_t oldest = ring_.oldest();
    uint64_t end = written - std::min<uint64_t>(static_cast<uint64_t>(ahead), written);
    end = std::max(end, std::min(written, oldest + static_cast<uint64_t>(screen)));

    const uint64_t from = end > oldest + 2 * static_cast<uint64_t>(screen) ? end - 2 * static_cast<uint64_t>(screen)
                                                                        : oldest;
    Channel channel = Channel::Left;
    SignalShape shape = ShapeOf(ring_, Channel::Left, from, end);
    if (shape.silent() && ring_.stereo()) {
        const SignalShape right = ShapeOf(ring_, Channel::Right, from, end);
        if (!right.silent()) channel = Channel::Right, shape = right;
    }
    const TriggerResult trigger = FindTrigger(ring_, channel, s, end, shape);
    // Between pulses further apart than the ring reaches, the last one stays on screen.
    if (!trigger.triggered && trigger.resting && holdingPulse_) return;
    holdingPulse_ = trigger.pulse;
    trace_[0] = TracePoints(ring_, Channel::Left, trigger.start, s, end);
    trace_[1] = ring_.stereo() ? TracePoints(ring_, Channel::Right, trigger.start, s, end) : QPolygonF();
}

bool TfrmWaveForm::showing() const { return isVisible() && !isMinimized(); }

void TfrmWaveForm::bufferFilled(const FilledBuffer& buffer)
{
    if (!showing()) return;
    ring_.append(buffer.bytes, buffer.size, buffer.bitsPerSample, buffer.channels);
}

void TfrmWaveForm::updateTimer()
{
    // What is heard moves on between two fills (a buffer may last seconds): the picture
    // follows at a steady rate while the generator runs - no faster than the screen, and
    // no more often than every tenth of the screen's span (a time division), which a
    // picture of a second's signal does not need.
    if (running_ && showing()) {
        const qreal rate = screen() ? screen()->refreshRate() : 60;
        const int division = static_cast<int>(std::lround(1000 * timePerDivision_));
        repaintTimer_.setInterval(std::max({1000 / kPicturesPerSecond, division,
                                            static_cast<int>(std::ceil(1000.0 / (rate > 1 ? rate : 60)))}));
        if (!repaintTimer_.isActive()) repaintTimer_.start();
    } else {
        repaintTimer_.stop();
    }
}

void TfrmWaveForm::setGeneratorRunning(bool running)
{
    running_ = running;
    if (!running) ring_.clear();
    updateTimer();
    if (showing()) pbxScope->update();
}

void TfrmWaveForm::showEvent(QShowEvent* event)
{
    // Samples from before it was hidden are stale.
    ring_.clear();
    sizeRing();
    QWidget::showEvent(event);
    updateTimer();
}

void TfrmWaveForm::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updateTimer();
}

void TfrmWaveForm::closeEvent(QCloseEvent* event)
{
    menuItem_->setChecked(false);
    QWidget::closeEvent(event);
}

} // namespace velmora::ui
