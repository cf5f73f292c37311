#include "ui/dialogs/output_settings_dialog.h"

#include "engine/fade.h"
#include "engine/numbers.h"
#include "settings/settings_store.h"
#include "ui/main_window/control_binding.h"
#include "ui/widgets/label_hover.h"
#include "ui/main_window/widget_factory.h"
#include "ui/widgets/window_fonts.h"
#include "ui/main_window/window_notices.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QUrl>

#include <exception>

namespace velmora::ui {

const char* const kCentWebPage = "https://en.wikipedia.org/wiki/Cent_(music)";

namespace {
const QStringList kRates = {"8000", "11025", "22050", "44100", "48000", "88200", "96000", "176400", "192000",
                            "384000"};
const QStringList kQuantisations = {"16", "24", "32 float"};
const QStringList kDithers = {"None", "TPDF"};
const QStringList kBufferSizes = {"2048", "4096", "8192", "16384", "32768", "65536"};
const QStringList kBufferCounts = {"2", "3", "4"};

QComboBox* makeList(QWidget* parent, const char* name, const QStringList& items, const QRect& place)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    list->addItems(items);
    list->setCurrentIndex(-1);
    list->setGeometry(place);
    return list;
}

int numberOf(const QComboBox* list, int fallback)
{
    bool ok = false;
    const int value = list->currentText().toInt(&ok);
    return ok ? value : fallback;
}
} // namespace

TfrmSettings::TfrmSettings(Generator& generator, ControlBinding& binding, WindowNotices& notices, Hooks hooks)
    : QWidget(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      generator_(generator),
      binding_(binding),
      notices_(notices),
      hooks_(std::move(hooks))
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Output Settings"));
    setFont(windowFont());
    setProperty("helpContext", 2);
    setAttribute(Qt::WA_QuitOnClose, false);
    build();
    FormCreate();
}

void TfrmSettings::build()
{
    QGroupBox* signal = makeGroupBox(this, QStringLiteral("GroupBox1"), QStringLiteral(" Signal Data "),
                                     QRect(8, 8, 250, 166));
    makeLabel(signal, QStringLiteral("Label1"), QStringLiteral("Sampling Rate [Hz]"), 10, 24);
    cboFsList = makeList(signal, "cboFsList", kRates, QRect(130, 20, 80, 22));
    makeLabel(signal, QStringLiteral("Label2"), QStringLiteral("Quantisation"), 10, 54);
    cboQuant = makeList(signal, "cboQuant", kQuantisations, QRect(130, 50, 80, 22));
    makeLabel(signal, QStringLiteral("Label3"), QStringLiteral("bits"), 216, 54);
    makeLabel(signal, QStringLiteral("lblDither"), QStringLiteral("Dither"), 10, 84);
    cboDither = makeList(signal, "cboDither", kDithers, QRect(130, 80, 80, 22));
    cboDither->setCurrentIndex(0);
    cboDither->setToolTip(QStringLiteral("Triangular dither of +/-1 LSB before 16- and 24-bit samples are rounded"));
    chkAliasFree = makeCheckBox(signal, QStringLiteral("chkAliasFree"), QStringLiteral("Alias-free waveforms"),
                                QRect(10, 110, 200, 20));
    chkAliasFree->setToolTip(QStringLiteral("Square, triangle and sawtooth with only the harmonics below half the "
                                            "sampling rate, peaking at the set level"));
    chkFade = makeCheckBox(signal, QStringLiteral("chkFade"), QStringLiteral("Fade in and out"),
                           QRect(10, 138, 120, 20),
                           QStringLiteral("The output rises from silence at ON and falls to silence before the "
                                          "end and at OFF (a second OFF stops at once)"));
    txtFadeMs = makeEdit(signal, QStringLiteral("txtFadeMs"), QString::number(kFadeMsDefault), QRect(130, 136, 80, 21),
                         QStringLiteral("Length of a fade in ms, 1 to 10000"));
    makeLabel(signal, QStringLiteral("lblFadeMs"), QStringLiteral("ms"), 216, 140);

    // Everything below the signal group sits this much lower than the group's first size.
    constexpr int kBelow = 82;
    QGroupBox* buffers = makeGroupBox(this, QStringLiteral("GroupBox2"), QStringLiteral("Buffer Settings "),
                                      QRect(8, 100 + kBelow, 250, 84));
    makeLabel(buffers, QStringLiteral("Label4"), QStringLiteral("Buffer Size:"), 10, 24);
    cboBufferSize = makeList(buffers, "cboBufferSize", kBufferSizes, QRect(130, 20, 66, 22));
    // A size in bytes is a different time at each rate and sample size: its length beside it.
    lblBufferMs = makeLabel(buffers, QStringLiteral("lblBufferMs"), QString(), 200, 24);
    lblBufferMs->setToolTip(QStringLiteral("How long one buffer plays at the chosen rate, sample size and channels"));
    makeLabel(buffers, QStringLiteral("Label5"), QStringLiteral("Buffers:"), 10, 54);
    cboBuffers = makeList(buffers, "cboBuffers", kBufferCounts, QRect(130, 50, 80, 22));

    QGroupBox* calibration = makeGroupBox(this, QStringLiteral("GroupBox3"), QStringLiteral("Hardware Calibration "),
                                          QRect(8, 192 + kBelow, 250, 104));
    makeLabel(calibration, QStringLiteral("Label6"), QStringLiteral("Frequency Correction Factor"), 10, 22);
    txtCorrectionFactor = makeEdit(calibration, QStringLiteral("txtCorrectionFactor"), QStringLiteral("0"),
                                   QRect(10, 42, 90, 21),
                                   QStringLiteral("Enter a correction factor as percentage of the frequency"));
    cboCorrectionUnits = makeList(calibration, "cboCorrectionUnits", {QStringLiteral("%"), QStringLiteral("cent")},
                                  QRect(108, 42, 60, 22));
    cboCorrectionUnits->setCurrentIndex(0);
    Label7 = makeLabel(calibration, QStringLiteral("Label7"), QStringLiteral("Click here for more information on cent"),
                       10, 72);
    Label7->setWordWrap(true);
    Label7->setCursor(Qt::PointingHandCursor);
    LabelHover::install(Label7);
    Label7->installEventFilter(this);

    grpNetwork = makeGroupBox(this, QStringLiteral("GroupBox4"), QStringLiteral("Network Settings "),
                              QRect(8, 300 + kBelow, 250, 50));
    makeLabel(grpNetwork, QStringLiteral("Label8"), QStringLiteral("Port"), 10, 22);
    txtPort = makeEdit(grpNetwork, QStringLiteral("txtPort"), QStringLiteral("1193"), QRect(60, 20, 60, 21));
    grpNetwork->setVisible(false);

    // Kept, but with no height: the option is on and cannot be seen.
    chkDisableSS = makeCheckBox(this, QStringLiteral("chkDisableSS"), QStringLiteral("Disable Screensaver when active"),
                                QRect(8, 300 + kBelow, 200, 0));
    chkDisableSS->setChecked(true);
    // Nothing the user cannot see takes the focus: Tab passes it by, Space cannot toggle it.
    chkDisableSS->setFocusPolicy(Qt::NoFocus);

    HelpButton = makeButton(this, QStringLiteral("HelpButton"), QStringLiteral("Help"),
                            QRect(8, 306 + kBelow, 75, 25));
    Button1 = makeButton(this, QStringLiteral("Button1"), QStringLiteral("Close"), QRect(183, 306 + kBelow, 75, 25));
    setFixedSize(266, 339 + kBelow);

    binding_.bind({Field::txtCorrectionFactor}, txtCorrectionFactor);
    binding_.bind({Field::cboCorrectionUnits}, cboCorrectionUnits);
    binding_.onExit(txtCorrectionFactor, [this] { txtCorrectionFactorExit(); });

    connect(cboFsList, &QComboBox::activated, this, [this] { cboFsListChange(); });
    connect(cboQuant, &QComboBox::activated, this, [this] { cboBuffersChange(); });
    connect(cboBuffers, &QComboBox::activated, this, [this] { cboBuffersChange(); });
    // Dither changes the next buffer's samples; the generator keeps playing.
    connect(cboDither, &QComboBox::activated, this, [this] { takeListValues(); });
    // So does the alias-free option: the next buffer's waves change, from a fresh prediction.
    connect(chkAliasFree, &QCheckBox::toggled, this, [this] {
        takeListValues();
        generator_.prepareBandLimit();
    });
    // Fades: a change applies from the next start; OFF fades whenever the box is checked.
    connect(chkFade, &QCheckBox::toggled, this, [this] { takeListValues(); });
    binding_.onExit(txtFadeMs, [this] { txtFadeMsExit(); });
    connect(txtFadeMs, &QLineEdit::returnPressed, this, [this] { txtFadeMsExit(); });
    connect(cboBufferSize, &QComboBox::activated, this, [this] { cboBufferSizeChange(); });
    connect(HelpButton, &QPushButton::clicked, this, [this] {
        if (hooks_.help) hooks_.help(2);
    });
    connect(Button1, &QPushButton::clicked, this, &QWidget::close);
}

void TfrmSettings::FormCreate()
{
    const SettingsStore store = SettingsStore::openForReading();
    const auto setIndex = [](QComboBox* list, int index) {
        if (index < 0 || index >= list->count()) throw std::out_of_range("stored index outside its list");
        list->setCurrentIndex(index);
    };
    try {
        if (!store.valueExists("Fs")) throw std::runtime_error("nothing stored");
        setIndex(cboFsList, store.readInteger("Fs"));
        setIndex(cboBuffers, store.readInteger("Buffers"));
        setIndex(cboQuant, store.readInteger("Quant"));
        setIndex(cboBufferSize, store.readInteger("BufferSize"));
        chkDisableSS->setChecked(store.readBoolean("DisableSS"));
        generator_.setText({Field::txtCorrectionFactor}, store.readText("txtCorrectionFactor"));
        setIndex(cboCorrectionUnits, store.readInteger("cboCorrectionUnits"));
        generator_.setIndex({Field::cboCorrectionUnits}, cboCorrectionUnits->currentIndex());
        txtPort->setText(QString::fromStdString(store.readText("txtPort")));
    } catch (const std::exception&) {
        // What was read stays; the rest takes the defaults.
        cboFsList->setCurrentIndex(1);
        cboBuffers->setCurrentIndex(2);
        cboBufferSize->setCurrentIndex(2);
        generator_.setText({Field::txtCorrectionFactor}, "0");
        txtPort->setText(QStringLiteral("1193"));
    }
    // A start needs a quantisation; with none stored it is the engine's own 16 bits.
    if (cboQuant->currentIndex() < 0) cboQuant->setCurrentIndex(0);
    // Dither came later than the rest: a store without it (or with a value outside the list)
    // means none, and leaves the other values alone.
    cboDither->setCurrentIndex(0);
    try {
        if (store.valueExists("Dither")) setIndex(cboDither, store.readInteger("Dither"));
    } catch (const std::exception&) {
        cboDither->setCurrentIndex(0);
    }
    // So did the alias-free option: off unless stored on.
    {
        const QSignalBlocker quiet(chkAliasFree);
        chkAliasFree->setChecked(false);
        try {
            if (store.valueExists("AliasFree")) chkAliasFree->setChecked(store.readBoolean("AliasFree"));
        } catch (const std::exception&) {
            chkAliasFree->setChecked(false);
        }
    }
    // So did the fades: off unless stored on, 10 ms unless a stored time is in range.
    {
        const QSignalBlocker quiet(chkFade);
        chkFade->setChecked(false);
        int ms = kFadeMsDefault;
        try {
            if (store.valueExists("FadeOn")) chkFade->setChecked(store.readBoolean("FadeOn"));
            if (store.valueExists("FadeMs")) {
                const int64_t stored = store.readInteger("FadeMs");
                if (stored >= kFadeMsMin && stored <= kFadeMsMax) ms = static_cast<int>(stored);
            }
        } catch (const std::exception&) {
            chkFade->setChecked(false);
        }
        generator_.settings.output.FadeMs = ms;
        txtFadeMs->setText(QString::number(ms));
    }
    binding_.mirror({Field::txtCorrectionFactor});
    binding_.mirror({Field::cboCorrectionUnits});
    binding_.run([this] { generator_.txtCorrectionFactorChange(); });
    takeListValues();
    generator_.fConstChange(Channel::Left);
    generator_.fConstChange(Channel::Right);
}

void TfrmSettings::takeListValues()
{
    OutputSettings& o = generator_.settings.output;
    o.SamplingRate = numberOf(cboFsList, o.SamplingRate);
    o.Quantisation = cboQuant->currentIndex() == 2 ? kFloatQuantisation : numberOf(cboQuant, 16);
    o.Dither = cboDither->currentIndex() == 1 ? kDitherTpdf : kDitherNone;
    o.AliasFree = chkAliasFree->isChecked();
    o.FadeOn = chkFade->isChecked();
    o.Buffers = numberOf(cboBuffers, o.Buffers);
    o.BufferSize = numberOf(cboBufferSize, o.BufferSize);
    refreshBufferLength();
}

void TfrmSettings::refreshBufferLength()
{
    const OutputSettings& o = generator_.settings.output;
    const double ms = BufferMilliseconds(o.BufferSize, o.SamplingRate, o.Quantisation, generator_.settings.stereo());
    lblBufferMs->setText(ms < 10 ? QStringLiteral("%1 ms").arg(ms, 0, 'f', 1) : QStringLiteral("%1 ms").arg(qRound(ms)));
    lblBufferMs->adjustSize();
}

void TfrmSettings::cboFsListChange()
{
    if (hooks_.switchOff) hooks_.switchOff();
    takeListValues();
    if (hooks_.rateChanged) hooks_.rateChanged();
    // Frequencies above the new half rate come down to it, without a message.
    const int32_t limit = generator_.settings.output.SamplingRate / 2;
    for (Channel c : kChannels) {
        for (Field field : {Field::fInit, Field::fFinal}) {
            const Control control{field, c};
            double value = 0;
            if (TryIntlStrToFloat(generator_.text(control), value) && value > limit)
                binding_.run([&] { generator_.setText(control, NumberToText(limit)); });
        }
    }
    // A twin tone cannot come down: its upper tone is fixed. The sampling-rate notice says so.
    for (Channel c : kChannels) {
        const bool used = c == Channel::Left || generator_.settings.stereo();
        if (used && !generator_.tonesFit(c) && generator_.hooks.aboveNyquist) {
            generator_.hooks.aboveNyquist(c);
            break;
        }
    }
    if (hooks_.refreshLabels) hooks_.refreshLabels();
}

void TfrmSettings::cboBuffersChange()
{
    if (hooks_.switchOff) hooks_.switchOff();
    takeListValues();
}

void TfrmSettings::cboBufferSizeChange()
{
    if (hooks_.switchOff) hooks_.switchOff();
    takeListValues();
}

bool TfrmSettings::txtFadeMsExit()
{
    const QString text = txtFadeMs->text().trimmed();
    bool ok = false;
    const int ms = text.toInt(&ok);
    int& fadeMs = generator_.settings.output.FadeMs;
    if (ok && ms >= kFadeMsMin && ms <= kFadeMsMax) {
        fadeMs = ms;
        txtFadeMs->setText(QString::number(ms));
        return true;
    }
    txtFadeMs->setText(QString::number(fadeMs));
    notices_.errorBox(QStringLiteral("Fade time: '%1' is not a whole number of milliseconds from %2 to %3")
                          .arg(text)
                          .arg(kFadeMsMin)
                          .arg(kFadeMsMax));
    return false;
}

void TfrmSettings::txtCorrectionFactorExit()
{
    if (hooks_.refreshLabels) hooks_.refreshLabels();
}

double BufferMilliseconds(int32_t bytes, int32_t rate, int quantisation, bool stereo)
{
    const int frameBytes = quantisation / 8 * (stereo ? 2 : 1);
    if (frameBytes <= 0 || rate <= 0) return 0;
    return 1000.0 * (bytes / frameBytes) / rate;
}

void TfrmSettings::open()
{
    refreshBufferLength(); // the channels may have changed since
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void TfrmSettings::save()
{
    SettingsStore store = SettingsStore::openForWriting();
    store.writeInteger("Fs", cboFsList->currentIndex());
    store.writeInteger("Buffers", cboBuffers->currentIndex());
    store.writeInteger("Quant", cboQuant->currentIndex());
    store.writeInteger("BufferSize", cboBufferSize->currentIndex());
    store.writeInteger("Dither", cboDither->currentIndex());
    store.writeBoolean("AliasFree", chkAliasFree->isChecked());
    store.writeBoolean("FadeOn", chkFade->isChecked());
    store.writeInteger("FadeMs", generator_.settings.output.FadeMs);
    store.writeBoolean("DisableSS", chkDisableSS->isChecked());
    store.writeText("txtCorrectionFactor", txtCorrectionFactor->text().toStdString());
    store.writeInteger("cboCorrectionUnits", cboCorrectionUnits->currentIndex());
    store.writeText("txtPort", txtPort->text().toStdString());
    store.close();
}

void TfrmSettings::saveValues()
{
    binding_.run([this] { save(); });
}

void TfrmSettings::closeEvent(QCloseEvent* event)
{
    saveValues();
    if (hooks_.enableMain) hooks_.enableMain();
    binding_.run([this] { generator_.fConstChange(Channel::Left); });
    QWidget::closeEvent(event);
}

void TfrmSettings::keyPressEvent(QKeyEvent* event)
{
    // Escape closes the dialog as its Close button does (which saves), wherever the focus is
    // inside it; an open list takes its own Escape first.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TfrmSettings::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label7 && event->type() == QEvent::MouseButtonRelease)
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kCentWebPage)));
    return QWidget::eventFilter(watched, event);
}

} // namespace velmora::ui
