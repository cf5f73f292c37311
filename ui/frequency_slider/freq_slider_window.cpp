#include "ui/frequency_slider/freq_slider_window.h"

#include "engine/numbers.h"
#include "ui/frequency_slider/slider_scale.h"
#include "ui/main_window/control_binding.h"
#include "ui/main_window/widget_factory.h"
#include "ui/widgets/window_fonts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSlider>

#include <algorithm>

namespace velmora::ui {

namespace {
constexpr int kInitialWidth = 560;
constexpr int kRightMargin = 15;
const QColor kHeldColour(255, 255, 0); // the frequency field while its slider is held

QSlider* makeSlider(QWidget* parent, const char* name, const QRect& place)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QLatin1String(name));
    slider->setGeometry(place);
    slider->setRange(100, 4000);
    slider->setValue(1000);
    slider->setFocusPolicy(Qt::StrongFocus);
    // Marks at the two ends only.
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(slider->maximum() - slider->minimum());
    return slider;
}

void markEnds(QSlider* slider) { slider->setTickInterval(std::max(1, slider->maximum() - slider->minimum())); }
} // namespace

TfrmFreqSlider::TfrmFreqSlider(Generator& generator, ControlBinding& binding, QAction* menuItem)
    : QWidget(nullptr, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      generator_(generator),
      binding_(binding),
      menuItem_(menuItem)
{
    setObjectName(QStringLiteral("frmFreqSlider"));
    setWindowTitle(QStringLiteral("Constant Tone Frequency"));
    setFont(windowFont());
    setAttribute(Qt::WA_QuitOnClose, false);
    build();
}

TfrmFreqSlider::~TfrmFreqSlider()
{
    // A field losing the focus as the window goes must not run its exit handler.
    for (QLineEdit* edit : {MinFreqEdit, MaxFreqEdit, txtRound}) edit->removeEventFilter(&binding_);
}

void TfrmFreqSlider::build()
{
    const int w = kInitialWidth;
    Label1 = makeLabel(this, QStringLiteral("Label1"), QStringLiteral("Left/mono channel"), 8, 6);
    FreqSliderLeft = makeSlider(this, "FreqSliderLeft", QRect(4, 22, w - kRightMargin, 28));
    Label2 = makeLabel(this, QStringLiteral("Label2"), QStringLiteral("Right channel"), 8, 56);
    FreqSliderRight = makeSlider(this, "FreqSliderRight", QRect(4, 72, w - kRightMargin, 28));

    Label5 = makeLabel(this, QStringLiteral("Label5"), QStringLiteral("Lower Frequency"), 8, 108);
    MinFreqEdit = makeEdit(this, QStringLiteral("MinFreqEdit"), QStringLiteral("2"), QRect(8, 124, 70, 21));
    lblUpper = makeLabel(this, QStringLiteral("lblUpper"), QStringLiteral("Upper Frequency"), 0, 108);
    MaxFreqEdit = makeEdit(this, QStringLiteral("MaxFreqEdit"), QString(), QRect(0, 124, 70, 21));

    Label3 = makeLabel(this, QStringLiteral("Label3"), QStringLiteral("Round to nearest multiple of"), 8, 158);
    txtRound = makeEdit(this, QStringLiteral("txtRound"), QStringLiteral("1"),
                        QRect(Label3->geometry().right() + 7, 154, 50, 21));
    Label4 = makeLabel(this, QStringLiteral("Label4"), QStringLiteral("Hertz"), txtRound->geometry().right() + 7, 158);

    // The window is as high as its controls, and never narrower than the rounding row.
    resize(w, Label3->geometry().bottom() + 1 + 10);
    setFixedHeight(height());
    setMinimumWidth(Label4->x() + Label3->width() + 10);
    FormResize();

    for (Channel c : kChannels) {
        QSlider* s = slider(c);
        connect(s, &QSlider::valueChanged, this, [this, c] { FreqSliderChange(c); });
        s->installEventFilter(this);
    }
    for (QLineEdit* end : {MinFreqEdit, MaxFreqEdit})
        connect(end, &QLineEdit::textChanged, this, [this, end] { adoptEnd(end); });
    binding_.onExit(MinFreqEdit, [this] { MinFreqEditExit(); });
    binding_.onExit(MaxFreqEdit, [this] { MaxFreqEditExit(); });
    binding_.onExit(txtRound, [this] { txtRoundExit(); });
    // Enter in any of the three fields goes to the left slider, which leaves the field.
    for (QLineEdit* edit : {MinFreqEdit, MaxFreqEdit, txtRound})
        connect(edit, &QLineEdit::returnPressed, this, [this] { FreqSliderLeft->setFocus(Qt::TabFocusReason); });
}

template <typename F>
void TfrmFreqSlider::moveFromCode(F&& change)
{
    ++codeMoves_;
    change();
    --codeMoves_;
}

double TfrmFreqSlider::halfRate() const { return generator_.settings.output.SamplingRate / 2.0; }

QLineEdit* TfrmFreqSlider::frequencyField(Channel c) const
{
    return qobject_cast<QLineEdit*>(binding_.widget({Field::fInit, c}));
}

std::optional<double> TfrmFreqSlider::frequency(Channel c) const
{
    double value = 0;
    if (!TryIntlStrToFloat(generator_.text({Field::fInit, c}), value)) return std::nullopt;
    return value;
}

void TfrmFreqSlider::setFrequency(Channel c, double hertz)
{
    binding_.run([&] { generator_.setText({Field::fInit, c}, NumberToText(hertz)); });
}

void TfrmFreqSlider::FreqSlider1Click()
{
    menuItem_->setChecked(!menuItem_->isChecked());
    applyMenuCheck(menuItem_->isChecked());
}

void TfrmFreqSlider::applyMenuCheck(bool checked)
{
    if (checked) {
        setMaximaFromRate();
        show();
        raise();
    } else {
        hide();
    }
    for (Channel c : kChannels) binding_.run([&] { generator_.setChecked({Field::chkConstant, c}, true); });
}

void TfrmFreqSlider::samplingRateChanged() { setMaximaFromRate(); }

void TfrmFreqSlider::setMaximaFromRate()
{
    const int32_t rate = generator_.settings.output.SamplingRate;
    moveFromCode([&] {
        for (Channel c : kChannels) {
            slider(c)->setMaximum(SliderMaximum(rate));
            markEnds(slider(c));
        }
    });
    MaxFreqEdit->setText(QString::number(rate / 2));
}

std::optional<double> TfrmFreqSlider::endValue(QLineEdit* edit) const
{
    const std::optional<double> value = ReadStrictNumber(edit->text().toStdString());
    if (!value || !(*value > 0) || *value > halfRate()) return std::nullopt;
    return value;
}

void TfrmFreqSlider::adoptEnd(QLineEdit* edit)
{
    if (edit->isModified()) return; // typed: the exit handler decides
    const std::optional<double> value = endValue(edit);
    if (!value) return;
    const bool lower = edit == MinFreqEdit;
    const int32_t rate = generator_.settings.output.SamplingRate;
    // Half the rate itself keeps the maximum the rate gives the sliders.
    const int position = !lower && *value >= halfRate() ? SliderMaximum(rate) : SliderPosition(*value);
    moveFromCode([&] {
        for (Channel c : kChannels) {
            QSlider* s = slider(c);
            if (lower && position < s->maximum()) s->setMinimum(std::max(0, position));
            if (!lower && position > s->minimum()) s->setMaximum(position);
            markEnds(s);
        }
    });
}

void TfrmFreqSlider::setSliderPosition(Channel c, int position)
{
    moveFromCode([&] { slider(c)->setValue(position); });
}

void TfrmFreqSlider::FreqSliderChange(Channel c)
{
    // Only the user's own moves set a frequency: the left slider while it has the focus, the
    // right one while either has it. A slider that follows its field (a frequency set by a
    // message, an end of the range) sets nothing back, so the field shows what plays.
    const bool user = c == Channel::Left ? FreqSliderLeft->hasFocus()
                                         : FreqSliderRight->hasFocus() || FreqSliderLeft->hasFocus();
    if (!user || codeMoves_ > 0) return;
    const int position = slider(c)->value();
    binding_.run([&] {
        const double step = IntlStrToFloat(txtRound->text().toStdString());
        // The two ends are exactly what their fields show, not the nearest step of the scale.
        double f = SliderFrequency(position);
        const std::optional<double> lowEnd = endValue(MinFreqEdit), highEnd = endValue(MaxFreqEdit);
        if (position == slider(c)->minimum() && lowEnd && SliderPosition(*lowEnd) == position) f = *lowEnd;
        if (position == slider(c)->maximum() && highEnd &&
            (SliderPosition(*highEnd) == position || *highEnd >= halfRate()))
            f = *highEnd;
        f = RoundToStep(f, step, halfRate());
        generator_.setText({Field::fInit, c}, NumberToText(f));
    });
}

void TfrmFreqSlider::highlight(Channel c, bool on)
{
    QLineEdit* field = frequencyField(c);
    if (!field) return;
    const QPalette normal = QApplication::palette(field);
    QPalette palette = field->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, on ? kHeldColour : normal.color(group, QPalette::Base));
    field->setPalette(palette);
}

void TfrmFreqSlider::FreqSliderMouseDown(Channel c)
{
    binding_.run([&] { generator_.setChecked({Field::chkConstant, c}, true); });
    highlight(c, true);
}

void TfrmFreqSlider::FreqSliderMouseUp(Channel c) { highlight(c, false); }

void TfrmFreqSlider::MinFreqEditExit()
{
    const std::string text = MinFreqEdit->text().toStdString();
    if (text.empty()) return;
    const std::optional<double> m = ReadStrictNumber(text);
    // Below the upper end; with no upper end, below half the rate.
    double upper = halfRate();
    const std::string upperText = MaxFreqEdit->text().toStdString();
    double typed = 0;
    if (!upperText.empty() && TryIntlStrToFloat(upperText, typed)) upper = typed;
    if (!m || !(*m > 0) || !(*m < upper)) {
        MinFreqEdit->setText(QString::number(RoundToInt64(SliderFrequency(FreqSliderLeft->minimum()))));
        return;
    }
    moveFromCode([&] {
        for (Channel c : kChannels) {
            slider(c)->setMinimum(SliderPosition(*m));
            markEnds(slider(c));
        }
    });
    for (Channel c : kChannels) {
        const std::optional<double> f = frequency(c);
        if (f && *f < *m) setFrequency(c, *m);
    }
}

void TfrmFreqSlider::MaxFreqEditExit()
{
    const std::string text = MaxFreqEdit->text().toStdString();
    if (text.empty()) return;
    const std::optional<double> top = ReadStrictNumber(text);
    double lower = 0;
    double typed = 0;
    if (TryIntlStrToFloat(MinFreqEdit->text().toStdString(), typed)) lower = std::max(lower, typed);
    if (!top || !(*top < halfRate()) || !(*top > lower)) {
        MaxFreqEdit->setText(QString::number(RoundToInt64(SliderFrequency(FreqSliderLeft->maximum()))));
        return;
    }
    moveFromCode([&] {
        for (Channel c : kChannels) {
            slider(c)->setMaximum(SliderPosition(*top));
            markEnds(slider(c));
        }
    });
    for (Channel c : kChannels) {
        const std::optional<double> f = frequency(c);
        if (f && *f > *top) setFrequency(c, *top);
    }
}

void TfrmFreqSlider::txtRoundExit()
{
    double step = 0;
    txtRound->setText(TryIntlStrToFloat(txtRound->text().toStdString(), step)
                          ? QString::fromStdString(NumberToText(step))
                          : QStringLiteral("1"));
}

void TfrmFreqSlider::FormResize()
{
    for (Channel c : kChannels) {
        QSlider* s = slider(c);
        s->setGeometry(s->x(), s->y(), std::max(1, width() - kRightMargin), s->height());
    }
    MaxFreqEdit->move(width() - kRightMargin - MaxFreqEdit->width(), MaxFreqEdit->y());
    lblUpper->move(width() - kRightMargin - lblUpper->width(), lblUpper->y());
}

void TfrmFreqSlider::place(int left, int top, int width)
{
    centred_ = true;
    move(left, top);
    resize(std::max(width, minimumWidth()), height());
}

void TfrmFreqSlider::closeEvent(QCloseEvent* event)
{
    menuItem_->setChecked(false);
    QWidget::closeEvent(event);
}

void TfrmFreqSlider::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TfrmFreqSlider::showEvent(QShowEvent* event)
{
    if (!centred_) {
        centred_ = true;
        if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    }
    FormResize();
    QWidget::showEvent(event);
}

bool TfrmFreqSlider::eventFilter(QObject* watched, QEvent* event)
{
    for (Channel c : kChannels) {
        if (watched != slider(c)) continue;
        if (event->type() == QEvent::MouseButtonPress) FreqSliderMouseDown(c);
        if (event->type() == QEvent::MouseButtonRelease) FreqSliderMouseUp(c);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace velmora::ui
