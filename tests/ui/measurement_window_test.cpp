// The measurement window wired to the generator: the sweep it plays is the file it exports,
// frame for frame; a recording of the sweep becomes responses on disk and a plot; refusals and
// a cancel leave nothing behind; the window thread never waits for the work.
#include "window_harness.h"

#include "files/wav_reader.h"
#include "measure/sweep.h"
#include "ui/measurement/measurement_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace velmora::ui::test {
namespace {

// A mono 32-bit float wave file, written by hand so that the program's writer is not the judge.
void WriteFloatWave(const std::string& path, const std::vector<float>& samples, int rate)
{
    std::ofstream out(path, std::ios::binary);
    const auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const uint32_t data = static_cast<uint32_t>(samples.size() * 4);
    out.write("RIFF", 4);
    u32(36 + data);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(3);
    u16(1);
    u32(static_cast<uint32_t>(rate));
    u32(static_cast<uint32_t>(rate) * 4);
    u16(4);
    u16(32);
    out.write("data", 4);
    u32(data);
    out.write(reinterpret_cast<const char*>(samples.data()), data);
}

class MeasurementWindowTest : public WindowHarness {
protected:
    void SetUp() override
    {
        WindowHarness::SetUp();
        ASSERT_TRUE(dir.isValid());
        controller->makeMeasurementDevice = [this] {
            auto fake = std::make_unique<FakeDevice>(std::vector<std::string>{"Fake Output"});
            sweepDevice = fake.get();
            return fake;
        };
        window->menu().MeasurementSweep1->trigger();
    }
    TfrmMeasurement& m() { return controller->measurement(); }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    // A one-second 100 Hz - 10 kHz sweep at 48 kHz.
    void shortSweep(int bits = 16, int channels = 0)
    {
        m().txtSweepStart->setText(QStringLiteral("100"));
        m().txtSweepEnd->setText(QStringLiteral("10000"));
        m().txtSweepDuration->setText(QStringLiteral("1"));
        m().txtSweepPre->setText(QStringLiteral("0.1"));
        m().txtSweepPost->setText(QStringLiteral("0.3"));
        m().cboSweepRate->setCurrentIndex(m().cboSweepRate->findData(48000));
        m().cboSweepBits->setCurrentIndex(m().cboSweepBits->findData(bits));
        m().cboSweepChannels->setCurrentIndex(channels);
    }
    // Lets the window thread run until the window's step has ended.
    bool waitForJob(int ms = 60000)
    {
        QElapsedTimer t;
        t.start();
        while (m().job().running() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        pump();
        return !m().job().running();
    }
    static std::vector<uint8_t> DataChunk(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        std::vector<uint8_t> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (size_t at = 12; at + 8 <= raw.size();) {
            uint32_t size;
            std::memcpy(&size, &raw[at + 4], 4);
            if (std::memcmp(&raw[at], "data", 4) == 0)
                return {raw.begin() + static_cast<long>(at + 8), raw.begin() + static_cast<long>(at + 8 + size)};
            at += 8 + size + (size & 1);
        }
        return {};
    }

    QTemporaryDir dir;
    FakeDevice* sweepDevice = nullptr;
};

// What Play sends to the device is the exported file's data, frame for frame, for each
// format and channel choice; the generator's own device is not touched.
TEST_F(MeasurementWindowTest, PlayPlaysTheExportedFileFrameForFrame)
{
    EXPECT_TRUE(m().isVisible());
    EXPECT_TRUE(window->menu().MeasurementSweep1->isChecked());
    const std::pair<int, int> cases[] = {{16, 0}, {24, 1}, {32, 3}};
    for (const auto& [bits, channels] : cases) {
        SCOPED_TRACE(testing::Message() << bits << " bits, channel choice " << channels);
        shortSweep(bits, channels);
        ASSERT_TRUE(m().exportSweep(path("sweep.wav"), path("inverse.wav")));
        ASSERT_TRUE(waitForJob());
        ASSERT_TRUE(notices.errors.empty()) << notices.errors.front().toStdString();
        const std::vector<uint8_t> data = DataChunk(path("sweep.wav").toStdString());
        ASSERT_FALSE(data.empty());

        m().btnPlaySweep->click();
        ASSERT_TRUE(sweepDevice);
        sweepDevice->clearPlayed();
        for (int i = 0; i < 200 && m().player().playing(); ++i) {
            sweepDevice->completeAll();
            pump();
        }
        EXPECT_FALSE(m().player().playing());
        EXPECT_TRUE(m().btnPlaySweep->isEnabled());
        EXPECT_EQ(sweepDevice->openedFormat().samplesPerSec, 48000u);
        const std::vector<uint8_t>& played = sweepDevice->played();
        ASSERT_GE(played.size(), data.size());
        EXPECT_TRUE(std::equal(data.begin(), data.end(), played.begin()));
        EXPECT_TRUE(std::all_of(played.begin() + static_cast<long>(data.size()), played.end(),
                                [](uint8_t b) { return b == 0; }));
    }
    EXPECT_EQ(device->opens(), 0) << "the generator's device";
}

// A recording of the exported sweep through a path that halves it and delays it by 1000
// samples gives responses on disk whose peak sits at the delay, a plot of the response and
// its harmonics, and the distortion table; the progress window has gone.
TEST_F(MeasurementWindowTest, ARecordingBecomesResponsesAndAPlot)
{
    shortSweep(32);
    ASSERT_TRUE(m().exportSweep(path("sweep.wav"), path("inverse.wav")));
    ASSERT_TRUE(waitForJob());
    EXPECT_EQ(m().txtSweepFile->text(), path("sweep.wav"));
    EXPECT_TRUE(QFile::exists(path("inverse.wav")));

    WavReader sweep(path("sweep.wav").toStdString());
    std::vector<double> frames(static_cast<size_t>(sweep.frames()));
    sweep.read(0, sweep.frames(), frames.data());
    std::vector<float> recording(1000, 0.0f);
    for (double v : frames) recording.push_back(static_cast<float>(0.5 * v));
    recording.resize(recording.size() + 48000, 0.0f);
    WriteFloatWave(path("recording.wav").toStdString(), recording, 48000);

    m().spnHarmonics->setValue(3);
    ASSERT_TRUE(m().computeResponses(path("recording.wav"), path("sweep.wav"), path("ir.wav")));
    EXPECT_TRUE(m().progressWindow()->isVisible());
    ASSERT_TRUE(waitForJob());
    ASSERT_TRUE(notices.errors.empty()) << notices.errors.front().toStdString();
    EXPECT_FALSE(m().progressWindow()->isVisible());
    for (const char* name : {"ir.wav", "ir-h2.wav", "ir-h3.wav"}) EXPECT_TRUE(QFile::exists(path(name))) << name;
    ASSERT_TRUE(m().responses());
    WavReader ir(path("ir.wav").toStdString());
    std::vector<double> response(static_cast<size_t>(ir.frames()));
    ir.read(0, ir.frames(), response.data());
    size_t peak = 0;
    for (size_t i = 0; i < response.size(); ++i)
        if (std::fabs(response[i]) > std::fabs(response[peak])) peak = i;
    EXPECT_EQ(peak, 1000u);
    ASSERT_EQ(m().plot->curves().size(), 3u);
    // The response reads -6 dB across the band.
    const PlotCurve& linear = m().plot->curves()[0];
    for (size_t i = 0; i < linear.hz.size(); ++i)
        if (linear.hz[i] > 200 && linear.hz[i] < 5000) EXPECT_NEAR(linear.db[i], -6.02, 0.3) << linear.hz[i];
    EXPECT_TRUE(m().lblResult->text().contains(QStringLiteral("sample 1000")));
    EXPECT_FALSE(m().txtDistortion->toPlainText().isEmpty());
}

// Refusals come as one box naming both sides and leave no file; a cancel leaves none either;
// fields that are no sweep start nothing.
TEST_F(MeasurementWindowTest, RefusalsAndCancelLeaveNothing)
{
    shortSweep();
    ASSERT_TRUE(m().exportSweep(path("sweep.wav"), path("inverse.wav")));
    ASSERT_TRUE(waitForJob());

    WriteFloatWave(path("at44.wav").toStdString(), std::vector<float>(200000, 0.0f), 44100);
    ASSERT_TRUE(m().computeResponses(path("at44.wav"), path("sweep.wav"), path("ir.wav")));
    ASSERT_TRUE(waitForJob());
    ASSERT_EQ(notices.errors.size(), 1u);
    EXPECT_TRUE(notices.errors[0].contains(QStringLiteral("44100")) && notices.errors[0].contains(QStringLiteral("48000")))
        << notices.errors[0].toStdString();
    EXPECT_FALSE(QFile::exists(path("ir.wav")));

    // Not a sweep: the recording given as the sweep file.
    notices.errors.clear();
    ASSERT_TRUE(m().computeResponses(path("at44.wav"), path("at44.wav"), path("ir.wav")));
    ASSERT_TRUE(waitForJob());
    ASSERT_EQ(notices.errors.size(), 1u);
    EXPECT_TRUE(notices.errors[0].contains(QStringLiteral("not a Velmora measurement sweep")));

    // Cancelled at once: nothing written, and the window says so.
    m().txtSweepDuration->setText(QStringLiteral("30"));
    ASSERT_TRUE(m().exportSweep(path("long.wav"), path("long-inverse.wav")));
    QPushButton* cancel = m().progressWindow()->findChild<QPushButton*>();
    ASSERT_TRUE(cancel);
    cancel->click();
    ASSERT_TRUE(waitForJob());
    EXPECT_FALSE(QFile::exists(path("long.wav")));
    EXPECT_FALSE(QFile::exists(path("long-inverse.wav")));
    EXPECT_TRUE(m().lblResult->text().startsWith(QStringLiteral("Cancelled")));

    notices.errors.clear();
    m().txtSweepEnd->setText(QStringLiteral("30000")); // above half of 48 kHz
    EXPECT_FALSE(m().exportSweep(path("bad.wav"), path("bad-inverse.wav")));
    m().txtSweepEnd->setText(QStringLiteral("abc"));
    m().btnPlaySweep->click();
    ASSERT_EQ(notices.errors.size(), 2u);
    EXPECT_TRUE(notices.errors[0].contains(QStringLiteral("24000"))) << notices.errors[0].toStdString();
    EXPECT_TRUE(notices.errors[1].contains(QStringLiteral("'abc'"))) << notices.errors[1].toStdString();
    EXPECT_FALSE(m().job().running());
    EXPECT_FALSE(QFile::exists(path("bad.wav")));
}

TEST(MeasurementFieldsTest, FadeOctavesTakeFractions)
{
    const std::pair<const char*, double> good[] = {{"1/12", 1.0 / 12}, {"0.5", 0.5}, {"0,25", 0.25}, {" 1 / 24 ", 1.0 / 24}, {"0", 0}};
    for (const auto& [text, value] : good) {
        const std::optional<double> x = ReadOctaves(QLatin1String(text));
        ASSERT_TRUE(x) << text;
        EXPECT_DOUBLE_EQ(*x, value) << text;
    }
    for (const char* bad : {"", "1/0", "a/2", "x"}) EXPECT_FALSE(ReadOctaves(QLatin1String(bad))) << bad;
}

} // namespace
} // namespace velmora::ui::test
