#include "ui/measurement/measurement_window.h"

#include "engine/numbers.h"
#include "engine/settings.h"
#include "measure/deconvolution.h"
#include "measure/measure_error.h"
#include "measure/sweep_pcm.h"
#include "ui/widgets/window_fonts.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velmora::ui {

namespace {

const QString kWaveFilter = QStringLiteral("Wave files (*.wav);;All files (*)");

// The curves' colours: the response, then one per harmonic.
const QColor kCurveColours[] = {QColor(0, 70, 200),   QColor(200, 30, 30),  QColor(20, 150, 40),
                                QColor(200, 120, 0),  QColor(140, 40, 170), QColor(0, 150, 150),
                                QColor(120, 120, 120), QColor(90, 60, 20)};

std::optional<double> Number(const QString& text)
{
    double x = 0;
    if (!TryIntlStrToFloat(text.trimmed().toStdString(), x) || !std::isfinite(x)) return std::nullopt;
    return x;
}

QLineEdit* field(QWidget* parent, const char* name, const QString& text, int width = 70)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaximumWidth(width);
    return edit;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QString Problem(const std::exception& e) { return QString::fromStdString(e.what()); }

} // namespace

std::optional<double> ReadOctaves(const QString& text)
{
    const QString t = text.trimmed();
    const qsizetype slash = t.indexOf(QLatin1Char('/'));
    if (slash < 0) return Number(t);
    const std::optional<double> a = Number(t.left(slash)), b = Number(t.mid(slash + 1));
    if (!a || !b || *b == 0) return std::nullopt;
    return *a / *b;
}

TfrmMeasurement::TfrmMeasurement(Hooks hooks, QAction* menuItem)
    : QWidget(nullptr, Qt::Window), hooks_(std::move(hooks)), menuItem_(menuItem)
{
    setObjectName(QStringLiteral("frmMeasurement"));
    setWindowTitle(QStringLiteral("Measurement Sweep"));
    setFont(windowFont());
    setAttribute(Qt::WA_QuitOnClose, false);
    build();
    refreshInfo();
}

TfrmMeasurement::~TfrmMeasurement()
{
    job_.cancel();
    if (player_) player_->stop();
}

void TfrmMeasurement::build()
{
    auto* top = new QVBoxLayout(this);

    // The sweep.
    auto* sweepBox = new QGroupBox(QStringLiteral(" Sweep "), this);
    sweepBox->setObjectName(QStringLiteral("grpSweep"));
    auto* g = new QGridLayout(sweepBox);
    txtSweepStart = field(sweepBox, "txtSweepStart", QStringLiteral("20"));
    txtSweepEnd = field(sweepBox, "txtSweepEnd", QStringLiteral("20000"));
    txtSweepDuration = field(sweepBox, "txtSweepDuration", QStringLiteral("10"));
    txtSweepLevel = field(sweepBox, "txtSweepLevel", QStringLiteral("-6"));
    txtSweepPre = field(sweepBox, "txtSweepPre", QStringLiteral("0.5"));
    txtSweepPost = field(sweepBox, "txtSweepPost", QStringLiteral("1"));
    txtFadeIn = field(sweepBox, "txtFadeIn", QStringLiteral("1/12"));
    txtFadeOut = field(sweepBox, "txtFadeOut", QStringLiteral("1/24"));
    cboSweepChannels = new QComboBox(sweepBox);
    cboSweepChannels->setObjectName(QStringLiteral("cboSweepChannels"));
    cboSweepChannels->addItems({QStringLiteral("Mono"), QStringLiteral("Both channels"), QStringLiteral("Left only"),
                                QStringLiteral("Right only")});
    cboSweepRate = new QComboBox(sweepBox);
    cboSweepRate->setObjectName(QStringLiteral("cboSweepRate"));
    for (int32_t rate : kSamplingRates) cboSweepRate->addItem(QString::number(rate), rate);
    cboSweepRate->setCurrentIndex(cboSweepRate->findData(48000));
    cboSweepBits = new QComboBox(sweepBox);
    cboSweepBits->setObjectName(QStringLiteral("cboSweepBits"));
    cboSweepBits->addItem(QStringLiteral("16"), 16);
    cboSweepBits->addItem(QStringLiteral("24"), 24);
    cboSweepBits->addItem(QStringLiteral("32 float"), 32);
    cboSweepBits->setCurrentIndex(1);
    chkMarker = new QCheckBox(QStringLiteral("Timing &marker"), sweepBox);
    chkMarker->setObjectName(QStringLiteral("chkMarker"));
    chkMarker->setToolTip(QStringLiteral("A 20 ms chirp half a second before the sweep, so that a recording started at any "
                                         "moment is aligned to the sample"));
    const auto row = [&](int r, int c, const QString& label, QWidget* w) {
        auto* l = new QLabel(label, sweepBox);
        l->setBuddy(w);
        g->addWidget(l, r, c);
        g->addWidget(w, r, c + 1);
    };
    row(0, 0, QStringLiteral("&Start (Hz)"), txtSweepStart);
    row(0, 2, QStringLiteral("&End (Hz)"), txtSweepEnd);
    row(0, 4, QStringLiteral("&Duration (s)"), txtSweepDuration);
    row(1, 0, QStringLiteral("&Level (dBFS peak)"), txtSweepLevel);
    row(1, 2, QStringLiteral("Silence &before (s)"), txtSweepPre);
    row(1, 4, QStringLiteral("Silence &after (s)"), txtSweepPost);
    row(2, 0, QStringLiteral("&Fade in (octaves)"), txtFadeIn);
    row(2, 2, QStringLiteral("Fade &out (octaves)"), txtFadeOut);
    row(2, 4, QStringLiteral("&Channels"), cboSweepChannels);
    row(3, 0, QStringLiteral("Sampling &rate (Hz)"), cboSweepRate);
    row(3, 2, QStringLiteral("&Quantisation (bits)"), cboSweepBits);
    g->addWidget(chkMarker, 3, 4, 1, 2);
    lblSweepInfo = new QLabel(sweepBox);
    lblSweepInfo->setObjectName(QStringLiteral("lblSweepInfo"));
    lblSweepInfo->setWordWrap(true);
    g->addWidget(lblSweepInfo, 4, 0, 1, 6);
    auto* sweepButtons = new QHBoxLayout;
    btnPlaySweep = button(sweepBox, "btnPlaySweep", QStringLiteral("&Play"));
    btnStopSweep = button(sweepBox, "btnStopSweep", QStringLiteral("S&top"));
    btnStopSweep->setEnabled(false);
    btnExportSweep = button(sweepBox, "btnExportSweep", QStringLiteral("E&xport sweep..."));
    sweepButtons->addWidget(btnPlaySweep);
    sweepButtons->addWidget(btnStopSweep);
    sweepButtons->addStretch();
    sweepButtons->addWidget(btnExportSweep);
    g->addLayout(sweepButtons, 5, 0, 1, 6);
    top->addWidget(sweepBox);

    // The responses.
    auto* irBox = new QGroupBox(QStringLiteral(" Impulse Response "), this);
    irBox->setObjectName(QStringLiteral("grpImpulseResponse"));
    auto* h = new QGridLayout(irBox);
    txtRecording = new QLineEdit(irBox);
    txtRecording->setObjectName(QStringLiteral("txtRecording"));
    txtRecording->setPlaceholderText(QStringLiteral("the recording of the sweep (WAV or RF64)"));
    btnRecording = button(irBox, "btnRecording", QStringLiteral("..."));
    txtSweepFile = new QLineEdit(irBox);
    txtSweepFile->setObjectName(QStringLiteral("txtSweepFile"));
    txtSweepFile->setPlaceholderText(QStringLiteral("the sweep file that was played"));
    btnSweepFile = button(irBox, "btnSweepFile", QStringLiteral("..."));
    spnHarmonics = new QSpinBox(irBox);
    spnHarmonics->setObjectName(QStringLiteral("spnHarmonics"));
    spnHarmonics->setRange(1, kMaxHarmonics);
    spnHarmonics->setValue(5);
    btnImpulseResponse = button(irBox, "btnImpulseResponse", QStringLiteral("&Impulse response..."));
    cboResponseChannel = new QComboBox(irBox);
    cboResponseChannel->setObjectName(QStringLiteral("cboResponseChannel"));
    cboResponseChannel->setEnabled(false);
    auto* recordingLabel = new QLabel(QStringLiteral("Recordin&g"), irBox);
    recordingLabel->setBuddy(txtRecording);
    auto* sweepLabel = new QLabel(QStringLiteral("S&weep file"), irBox);
    sweepLabel->setBuddy(txtSweepFile);
    auto* harmonicsLabel = new QLabel(QStringLiteral("&Harmonics up to"), irBox);
    harmonicsLabel->setBuddy(spnHarmonics);
    h->addWidget(recordingLabel, 0, 0);
    h->addWidget(txtRecording, 0, 1, 1, 4);
    h->addWidget(btnRecording, 0, 5);
    h->addWidget(sweepLabel, 1, 0);
    h->addWidget(txtSweepFile, 1, 1, 1, 4);
    h->addWidget(btnSweepFile, 1, 5);
    h->addWidget(harmonicsLabel, 2, 0);
    h->addWidget(spnHarmonics, 2, 1);
    h->addWidget(new QLabel(QStringLiteral("Channel"), irBox), 2, 2);
    h->addWidget(cboResponseChannel, 2, 3);
    h->addWidget(btnImpulseResponse, 2, 4, 1, 2);
    plot = new ResponsePlot(irBox);
    h->addWidget(plot, 3, 0, 1, 6);
    lblResult = new QLabel(irBox);
    lblResult->setObjectName(QStringLiteral("lblResult"));
    lblResult->setWordWrap(true);
    lblResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    h->addWidget(lblResult, 4, 0, 1, 6);
    txtDistortion = new QPlainTextEdit(irBox);
    txtDistortion->setObjectName(QStringLiteral("txtDistortion"));
    txtDistortion->setReadOnly(true);
    txtDistortion->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtDistortion->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtDistortion->setMaximumHeight(140);
    h->addWidget(txtDistortion, 5, 0, 1, 6);
    h->setRowStretch(3, 1);
    top->addWidget(irBox, 1);

    for (QLineEdit* e : {txtSweepStart, txtSweepEnd, txtSweepDuration, txtSweepLevel, txtSweepPre, txtSweepPost,
                         txtFadeIn, txtFadeOut})
        connect(e, &QLineEdit::textChanged, this, [this] { refreshInfo(); });
    for (QComboBox* c : {cboSweepChannels, cboSweepRate, cboSweepBits})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { refreshInfo(); });
    connect(chkMarker, &QCheckBox::toggled, this, [this] { refreshInfo(); });
    connect(btnPlaySweep, &QPushButton::clicked, this, [this] { btnPlaySweepClick(); });
    connect(btnStopSweep, &QPushButton::clicked, this, [this] { btnStopSweepClick(); });
    connect(btnExportSweep, &QPushButton::clicked, this, [this] { btnExportSweepClick(); });
    connect(btnImpulseResponse, &QPushButton::clicked, this, [this] { btnImpulseResponseClick(); });
    connect(btnRecording, &QPushButton::clicked, this, [this] {
        const QString path = hooks_.openPath(QStringLiteral("Recording of the Sweep"), kWaveFilter);
        if (!path.isEmpty()) txtRecording->setText(path);
    });
    connect(btnSweepFile, &QPushButton::clicked, this, [this] {
        const QString path = hooks_.openPath(QStringLiteral("Sweep File"), kWaveFilter);
        if (!path.isEmpty()) txtSweepFile->setText(path);
    });
    connect(cboResponseChannel, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0) showChannel(i);
    });
    resize(660, 740);
}

std::optional<SweepSpec> TfrmMeasurement::spec(QString* problem) const
{
    const auto fail = [&](const QString& why) -> std::optional<SweepSpec> {
        if (problem) *problem = why;
        return std::nullopt;
    };
    struct Read {
        QLineEdit* edit;
        const char* name;
        double* to;
        bool octaves;
    };
    SweepSpec s;
    const Read reads[] = {
        {txtSweepStart, "start frequency", &s.f1, false}, {txtSweepEnd, "end frequency", &s.f2, false},
        {txtSweepDuration, "duration", &s.duration, false}, {txtSweepLevel, "level", &s.levelDbfs, false},
        {txtSweepPre, "silence before", &s.pre, false},     {txtSweepPost, "silence after", &s.post, false},
        {txtFadeIn, "fade in", &s.fadeInOctaves, true},     {txtFadeOut, "fade out", &s.fadeOutOctaves, true},
    };
    for (const Read& r : reads) {
        const std::optional<double> x = r.octaves ? ReadOctaves(r.edit->text()) : Number(r.edit->text());
        if (!x)
            return fail(QStringLiteral("The %1 '%2' is not a number.").arg(QLatin1String(r.name), r.edit->text()));
        *r.to = *x;
    }
    s.channels = static_cast<SweepChannels>(std::max(0, cboSweepChannels->currentIndex()));
    s.marker = chkMarker->isChecked();
    s.samplingRate = cboSweepRate->currentData().toInt();
    s.quantisation = cboSweepBits->currentData().toInt();
    const std::string why = SweepSpecProblem(s);
    if (!why.empty()) {
        QString text = QString::fromStdString(why);
        if (!text.isEmpty()) text[0] = text[0].toUpper();
        return fail(text + QStringLiteral("."));
    }
    return s;
}

void TfrmMeasurement::refreshInfo()
{
    QString problem;
    const std::optional<SweepSpec> s = spec(&problem);
    if (!s) {
        lblSweepInfo->setText(problem);
        return;
    }
    const SweepTiming t = TimeSweep(*s);
    const double rate = s->samplingRate;
    lblSweepInfo->setText(QStringLiteral("Sweep rate L = %1 s; the sweep lasts %2 s (%3 samples); the file %4 s. "
                                         "The k-th harmonic leads the response by L ln k (2nd: %5 ms).")
                              .arg(t.rate, 0, 'f', 6)
                              .arg(t.sweepSeconds, 0, 'f', 3)
                              .arg(t.sweepFrames)
                              .arg(t.totalFrames / rate, 0, 'f', 3)
                              .arg(t.rate * std::log(2.0) * 1000, 0, 'f', 2));
}

SweepPlayer& TfrmMeasurement::player()
{
    if (!player_) {
        player_ = std::make_unique<SweepPlayer>(hooks_.makeDevice());
        connect(player_.get(), &SweepPlayer::finished, this, [this] { playerFinished(); });
    }
    return *player_;
}

void TfrmMeasurement::btnPlaySweepClick()
{
    if (player().playing()) return;
    if (hooks_.generatorRunning && hooks_.generatorRunning()) {
        hooks_.error(QStringLiteral("The generator is on: switch it off before playing the sweep."));
        return;
    }
    QString problem;
    const std::optional<SweepSpec> s = spec(&problem);
    if (!s) {
        hooks_.error(problem);
        return;
    }
    PcmFrames frames;
    try {
        const Sweep sweep = MakeSweep(*s);
        frames.bytes = SweepPcm(sweep);
    } catch (const std::exception& e) {
        hooks_.error(Problem(e));
        return;
    }
    frames.samplingRate = s->samplingRate;
    frames.quantisation = s->quantisation;
    frames.channels = s->channels == SweepChannels::Mono ? 1 : 2;
    const auto [buffers, bytes] = hooks_.ring ? hooks_.ring() : std::pair<int32_t, int32_t>{4, 8192};
    const std::string failure =
        player().play(std::move(frames), hooks_.deviceId ? hooks_.deviceId() : 0xFFFFFFFFu, buffers, bytes);
    if (!failure.empty()) {
        hooks_.error(QStringLiteral("Sound Device Error: \r") + QString::fromStdString(failure));
        return;
    }
    btnPlaySweep->setEnabled(false);
    btnStopSweep->setEnabled(true);
}

void TfrmMeasurement::btnStopSweepClick()
{
    if (player_) player_->stop();
}

void TfrmMeasurement::playerFinished()
{
    btnPlaySweep->setEnabled(true);
    btnStopSweep->setEnabled(false);
    if (!player_->failure().empty())
        hooks_.error(QStringLiteral("Sound Device Error: \r") + QString::fromStdString(player_->failure()));
}

void TfrmMeasurement::btnExportSweepClick()
{
    QString problem;
    if (!spec(&problem)) {
        hooks_.error(problem);
        return;
    }
    const QString sweepPath = hooks_.savePath(QStringLiteral("Save Measurement Sweep As"),
                                              QStringLiteral("sweep.wav"), kWaveFilter);
    if (sweepPath.isEmpty()) return;
    const QFileInfo info(sweepPath);
    const QString inverse = info.dir().filePath(info.completeBaseName() + QStringLiteral("-inverse.wav"));
    exportSweep(sweepPath, inverse);
}

bool TfrmMeasurement::exportSweep(const QString& sweepPath, const QString& inversePath)
{
    QString problem;
    const std::optional<SweepSpec> s = spec(&problem);
    if (!s) {
        hooks_.error(problem);
        return false;
    }
    const std::string sweepFile = QFile::encodeName(sweepPath).toStdString();
    const std::string inverseFile = QFile::encodeName(inversePath).toStdString();
    const SweepSpec wanted = *s;
    return startJob(
        QStringLiteral("Writing the sweep and its inverse filter..."),
        [sweepFile, inverseFile, wanted](const std::function<void(double)>& progress, const std::atomic<bool>* cancel) {
            const Sweep sweep = MakeSweep(wanted);
            WriteSweepFile(sweep, sweepFile, [&](double f) { progress(0.1 + 0.3 * f); }, cancel);
            progress(0.4);
            try {
                const InverseFilter inverse = MakeInverseFilter(sweep);
                WriteInverseFile(inverse, inverseFile, [&](double f) { progress(0.5 + 0.5 * f); }, cancel);
            } catch (...) {
                // Both files or none.
                std::remove(sweepFile.c_str());
                throw;
            }
        },
        [this, sweepPath, inversePath] {
            txtSweepFile->setText(sweepPath);
            lblResult->setText(QStringLiteral("Written: %1 and its inverse filter %2.")
                                   .arg(QFileInfo(sweepPath).fileName(), QFileInfo(inversePath).fileName()));
        });
}

void TfrmMeasurement::btnImpulseResponseClick()
{
    if (txtRecording->text().isEmpty()) {
        const QString path = hooks_.openPath(QStringLiteral("Recording of the Sweep"), kWaveFilter);
        if (path.isEmpty()) return;
        txtRecording->setText(path);
    }
    if (txtSweepFile->text().isEmpty()) {
        const QString path = hooks_.openPath(QStringLiteral("Sweep File"), kWaveFilter);
        if (path.isEmpty()) return;
        txtSweepFile->setText(path);
    }
    const QFileInfo recording(txtRecording->text());
    const QString suggested = recording.dir().filePath(recording.completeBaseName() + QStringLiteral("-IR.wav"));
    const QString out = hooks_.savePath(QStringLiteral("Save Impulse Response As"), suggested, kWaveFilter);
    if (out.isEmpty()) return;
    computeResponses(txtRecording->text(), txtSweepFile->text(), out);
}

bool TfrmMeasurement::computeResponses(const QString& recordingPath, const QString& sweepPath,
                                       const QString& responsePath)
{
    const std::string recording = QFile::encodeName(recordingPath).toStdString();
    const std::string sweep = QFile::encodeName(sweepPath).toStdString();
    const std::string out = QFile::encodeName(responsePath).toStdString();
    ImpulseOptions options;
    options.harmonics = spnHarmonics->value();
    auto result = std::make_shared<std::optional<ImpulseResponses>>();
    return startJob(
        QStringLiteral("Computing the impulse responses..."),
        [recording, sweep, out, options, result](const std::function<void(double)>& progress,
                                                 const std::atomic<bool>* cancel) {
            ImpulseResponses r =
                ImpulseResponse(recording, sweep, options, [&](double f) { progress(0.85 * f); }, cancel);
            WriteImpulseResponses(r, out, [&](double f) { progress(0.85 + 0.15 * f); }, cancel);
            *result = std::move(r);
        },
        [this, result, responsePath] {
            responses_ = std::move(*result);
            const int channels = responses_->channels();
            cboResponseChannel->blockSignals(true);
            cboResponseChannel->clear();
            for (int c = 0; c < channels; ++c) cboResponseChannel->addItem(QString::number(c + 1));
            cboResponseChannel->setCurrentIndex(0);
            cboResponseChannel->setEnabled(channels > 1);
            cboResponseChannel->blockSignals(false);
            QString files = QFileInfo(responsePath).fileName();
            if (responses_->harmonics() > 1)
                files += QStringLiteral(" and %1 to %2")
                             .arg(QFileInfo(QString::fromStdString(HarmonicFileName(
                                                QFile::encodeName(responsePath).toStdString(), 2)))
                                      .fileName(),
                                  QFileInfo(QString::fromStdString(HarmonicFileName(
                                                QFile::encodeName(responsePath).toStdString(),
                                                responses_->harmonics())))
                                      .fileName());
            lblResult->setText(QStringLiteral("Written: %1.").arg(files));
            showChannel(0);
        });
}

void TfrmMeasurement::showChannel(int channel)
{
    if (!responses_ || channel < 0 || channel >= responses_->channels()) return;
    const MagnitudeCurves curves = MagnitudeResponse(*responses_, channel);
    std::vector<PlotCurve> plotted;
    for (size_t k = 0; k < curves.db.size(); ++k) {
        PlotCurve c;
        c.name = k == 0   ? QStringLiteral("Response")
                 : k == 1 ? QStringLiteral("H2 (re fundamental)")
                          : QStringLiteral("H%1").arg(k + 1);
        c.colour = kCurveColours[k % std::size(kCurveColours)];
        c.hz = curves.frequencies;
        c.db = curves.db[k];
        plotted.push_back(std::move(c));
    }
    plot->setCurves(std::move(plotted), 120);
    // Where the linear response peaks: the path's delay.
    const std::vector<float>& linear = responses_->responses[static_cast<size_t>(channel)][0];
    size_t peak = 0;
    for (size_t i = 1; i < linear.size(); ++i)
        if (std::fabs(linear[i]) > std::fabs(linear[peak])) peak = i;
    const QString written = lblResult->text().section(QLatin1Char('\n'), 0, 0);
    lblResult->setText(written + QStringLiteral("\nChannel %1: the response peaks at sample %2 (%3 ms).")
                                     .arg(channel + 1)
                                     .arg(peak)
                                     .arg(1000.0 * static_cast<double>(peak) / responses_->samplingRate, 0, 'f', 3));
    txtDistortion->setPlainText(QString::fromStdString(
        FormatDistortionTable(DistortionTable(*responses_, channel), responses_->harmonics())));
}

bool TfrmMeasurement::startJob(const QString& title, MeasureJob::Work work, std::function<void()> succeeded)
{
    if (job_.running()) {
        hooks_.error(QStringLiteral("Another step is still running."));
        return false;
    }
    if (!progress_) {
        progress_ = new QProgressDialog(this);
        progress_->setObjectName(QStringLiteral("frmMeasureProgress"));
        progress_->setWindowTitle(QStringLiteral("Measurement"));
        progress_->setWindowModality(Qt::WindowModal);
        progress_->setRange(0, 100);
        progress_->setMinimumDuration(0);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        connect(progress_, &QProgressDialog::canceled, this, [this] { job_.cancel(); });
        connect(&job_, &MeasureJob::progressed, progress_, &QProgressDialog::setValue);
    }
    progress_->setLabelText(title);
    progress_->setValue(0);
    progress_->show();
    for (QPushButton* b : {btnExportSweep, btnImpulseResponse}) b->setEnabled(false);
    return job_.start(std::move(work), [this, succeeded = std::move(succeeded)](std::exception_ptr failure) {
        progress_->hide();
        for (QPushButton* b : {btnExportSweep, btnImpulseResponse}) b->setEnabled(true);
        if (!failure) {
            succeeded();
            return;
        }
        try {
            std::rethrow_exception(failure);
        } catch (const MeasureCancelled&) {
            lblResult->setText(QStringLiteral("Cancelled: nothing was written."));
        } catch (const std::exception& e) {
            hooks_.error(Problem(e));
        }
    });
}

void TfrmMeasurement::applyMenuCheck(bool checked)
{
    if (checked) {
        show();
        raise();
        activateWindow();
    } else {
        hide();
    }
}

void TfrmMeasurement::showEvent(QShowEvent* event)
{
    if (menuItem_) menuItem_->setChecked(true);
    QWidget::showEvent(event);
}

void TfrmMeasurement::closeEvent(QCloseEvent* event)
{
    if (menuItem_) menuItem_->setChecked(false);
    QWidget::closeEvent(event);
}

} // namespace velmora::ui
