// The generator window driven from outside: gdbus calls on the session bus reach the real
// window (on a fake device), wrong argument types and random messages are answered without
// harm, and without a session bus the window runs alone. CommandRun under dbus-run-session.
#include "window_harness.h"
#include "ui/dialogs/output_settings_dialog.h"
#include "user_input.h"

#include "control/dbus/generator_bus.h"
#include "engine/numbers.h"
#include "ui/dialogs/period_wait_window.h"
#include "ui/main_window/generator_link.h"
#include "ui/main_window/preset_controller.h"
#include "ui/main_window/wave_export_command.h"
#include "ui/widgets/picture_combo_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QFileDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace velmora::ui::test {
namespace {

struct CommandRun {
    int exitCode = -1;
    QString out, err;
};

// Runs a command while this process keeps serving its event loop (the command's call is
// answered by this very process).
CommandRun runServing(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    QElapsedTimer clock;
    clock.start();
    while (!process.waitForFinished(5) && clock.elapsed() < 30000) QCoreApplication::processEvents();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(process.readAllStandardError()).trimmed()};
}

class RemoteControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        window = std::make_unique<TfrmGenerator>();
        auto fake = std::make_unique<FakeDevice>(std::vector<std::string>{"Fake Output", "Second Output"});
        device = fake.get();
        deferred = std::make_unique<DeferredNotices>(recorded);
        controller = std::make_unique<GeneratorController>(*window, std::move(fake), deferred.get());
        link = std::make_unique<GeneratorLink>(*window, *controller, *deferred);
    }
    void TearDown() override
    {
        link.reset();
        controller.reset();
        window.reset();
    }
    void pump()
    {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    QString service() const { return link->bus().serviceName(); }
    CommandRun gdbusMessage(const QString& message, const QString& wParam, const QString& lParam)
    {
        return runServing(QStringLiteral("gdbus"),
                          {"call", "--session", "--dest", service(), "--object-path", "/Generator", "--method",
                           "org.velmora.Generator.Message", message, wParam, "--", lParam});
    }
    Generator& generator() { return controller->generator(); }
    GeneratorWidgets& w() { return window->widgets(); }

    QTemporaryDir config;
    RecordingNotices recorded;
    std::unique_ptr<DeferredNotices> deferred;
    std::unique_ptr<TfrmGenerator> window;
    FakeDevice* device = nullptr;
    std::unique_ptr<GeneratorController> controller;
    std::unique_ptr<GeneratorLink> link;
};

bool haveTool(const char* name) { return !QStandardPaths::findExecutable(QLatin1String(name)).isEmpty(); }

// Pumps events until `done` or `ms` pass.
bool pumpUntil(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Another generator on the bus, in this process on a connection of its own: one that
// answers (with a title, recording the messages it is sent) or one that has hung and
// never answers anything.
class PeerGenerator final : public QDBusVirtualObject {
public:
    enum class Kind { Answering, Hung };
    PeerGenerator(const QString& id, Kind kind, QString title = QStringLiteral("Velmora"))
        : kind_(kind), title_(std::move(title)), connection_(QStringLiteral("peer-") + id),
          bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connection_))
    {
        service = QLatin1String(kGeneratorServicePrefix) + id;
        registered = bus_.registerVirtualObject(QStringLiteral("/Generator"), this) && bus_.registerService(service);
    }
    ~PeerGenerator() override
    {
        bus_.unregisterService(service);
        bus_.unregisterObject(QStringLiteral("/Generator"));
        QDBusConnection::disconnectFromBus(connection_);
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& connection) override
    {
        ++calls;
        if (kind_ == Kind::Hung) return true; // taken, never answered
        if (call.member() == QLatin1String("Get"))
            connection.send(call.createReply(QVariant::fromValue(QDBusVariant(title_))));
        else if (call.member() == QLatin1String("Message")) {
            messages.push_back(call.arguments().value(0).toUInt());
            connection.send(call.createReply(0));
        } else
            connection.send(call.createErrorReply(QDBusError::UnknownMethod, call.member()));
        return true;
    }

    QString service;
    bool registered = false;
    int calls = 0;
    std::vector<uint> messages;

private:
    Kind kind_;
    QString title_;
    QString connection_;
    QDBusConnection bus_;
};

std::string Slurp(const QString& path)
{
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(RemoteControlTest, GdbusCallsSetTheWindowsControls)
{
    if (!haveTool("gdbus")) GTEST_SKIP() << "gdbus missing";
    ASSERT_TRUE(link->bus().registered()) << "no session bus: run under dbus-run-session";

    struct Case {
        const char* message;
        const char* wParam;
        const char* lParam;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"1031", "100050", "0",
         [&] {
             EXPECT_EQ(w().left().fInit->text(), QStringLiteral("1000.5"));
             EXPECT_DOUBLE_EQ(generator()[Channel::Left].StartNorm, 1000.5 / generator().samplingRate());
         }},
        {"1038", "1", "0",
         [&] {
             EXPECT_EQ(w().cboChannels->currentIndex(), 1);
             EXPECT_TRUE(w().left().Tick->isChecked());
             EXPECT_FALSE(w().right().Tick->isChecked());
         }},
        {"1038", "0", "0",
         [&] {
             EXPECT_EQ(w().cboChannels->currentIndex(), 0);
             EXPECT_TRUE(w().left().Tick->isChecked());
             EXPECT_TRUE(w().right().Tick->isChecked());
         }},
        {"1040", "4294967290", "0", [&] { EXPECT_EQ(w().left().Amplitude->text(), QStringLiteral("-6")); }},
        // Far above half the sampling rate: the text is set, the recompute refuses it and
        // the channel keeps its last frequency.
        {"1031", "4294967290", "0",
         [&] {
             EXPECT_EQ(w().left().fInit->text(), QStringLiteral("42949672.9"));
             EXPECT_DOUBLE_EQ(generator()[Channel::Left].StartNorm, 1000.5 / generator().samplingRate());
         }},
        {"1027", "1", "0", [&] { EXPECT_TRUE(w().chkSync->isChecked()); }},
        {"1047", "1", "0",
         [&] {
             EXPECT_EQ(w().WaveDevice->currentIndex(), 2);
             EXPECT_EQ(controller->AudioOut1().WaveDevice(), 1u);
         }},
        {"1047", "4294967295", "0",
         [&] {
             EXPECT_EQ(w().WaveDevice->currentIndex(), 0);
             EXPECT_EQ(controller->AudioOut1().WaveDevice(), 0xFFFFFFFFu);
         }},
    };
    for (const Case& c : cases) {
        const CommandRun run = gdbusMessage(c.message, c.wParam, c.lParam);
        EXPECT_EQ(run.exitCode, 0) << c.message << ": " << run.err.toStdString();
        EXPECT_EQ(run.out, QStringLiteral("(0,)"));
        pump();
        c.check();
    }
    EXPECT_TRUE(recorded.errors.empty());
    EXPECT_TRUE(recorded.messages.empty());
}

TEST_F(RemoteControlTest, PresetMemoriesAreStoredAndRecalled)
{
    if (!haveTool("gdbus")) GTEST_SKIP() << "gdbus missing";
    ASSERT_TRUE(link->bus().registered());
    EXPECT_EQ(gdbusMessage("1031", "123400", "0").exitCode, 0);
    EXPECT_EQ(gdbusMessage("1048", "1", "2").exitCode, 0);
    EXPECT_EQ(controller->presets().bank().memory(2).text(slot::fInitLeft), "1234");
    EXPECT_EQ(gdbusMessage("1031", "50000", "0").exitCode, 0);
    EXPECT_EQ(w().left().fInit->text(), QStringLiteral("500"));
    EXPECT_EQ(gdbusMessage("1048", "0", "2").exitCode, 0);
    EXPECT_EQ(w().left().fInit->text(), QStringLiteral("1234"));
    EXPECT_TRUE(recorded.errors.empty());
}

TEST_F(RemoteControlTest, StartPauseAndStopFromOutside)
{
    if (!haveTool("gdbus")) GTEST_SKIP() << "gdbus missing";
    ASSERT_TRUE(link->bus().registered());
    EXPECT_EQ(gdbusMessage("1026", "0", "0").exitCode, 0); // pause while off: the next start is paused
    EXPECT_TRUE(w().btnPause->font().bold());
    EXPECT_EQ(gdbusMessage("1024", "0", "0").exitCode, 0);
    pump();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ON - Velmora"));
    EXPECT_TRUE(controller->AudioOut1().Paused());
    EXPECT_EQ(gdbusMessage("1026", "0", "0").exitCode, 0);
    EXPECT_FALSE(controller->AudioOut1().Paused());
    EXPECT_FALSE(w().btnPause->font().bold());
    EXPECT_EQ(gdbusMessage("1024", "0", "0").exitCode, 0); // ignored while running
    EXPECT_EQ(device->opens(), 1);
    EXPECT_EQ(gdbusMessage("1025", "0", "0").exitCode, 0);
    pump();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora"));
}

// The sender of a start waits for its answer: a period still being made is waited for
// without the wait window and its event loop, and the start follows.
TEST_F(RemoteControlTest, AStartFromOutsideWaitsForAPeriodWithoutAWindow)
{
    controller->binding().run([&] {
        generator().selectIndex({Field::WaveForm, Channel::Left}, kMultitone);
        generator().setText({Field::txtMLSLength, Channel::Left}, "18");
        generator().setChecked({Field::Loop}, true);
    });
    ASSERT_FALSE(generator().periodsBeingMade().empty()); // a second or so of work
    controller->periodWait().showAfterMs = 0;
    bool shown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { shown |= controller->periodWait().isVisible(); });
    poll.start(1);
    EXPECT_TRUE(link->message(1024, 0, 0));
    pump();
    EXPECT_FALSE(shown);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ON - Velmora"));
    EXPECT_TRUE(link->message(1025, 0, 0));
    pump();
}

// A stop from outside with "Fade in and out" set fades out as OFF does; a second stop
// during the fade stops at once.
TEST_F(RemoteControlTest, AStopFromOutsideFadesOutAndASecondStopsAtOnce)
{
    controller->settingsDialog().chkFade->setChecked(true);
    controller->binding().run([&] { generator().setChecked({Field::Loop}, true); });
    EXPECT_TRUE(link->message(1024, 0, 0));
    pump();
    ASSERT_EQ(window->windowTitle(), QStringLiteral("ON - Velmora"));
    const int resets = device->resets();
    EXPECT_TRUE(link->message(1025, 0, 0));
    pump();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ON - Velmora"));
    EXPECT_TRUE(generator().fadingOut());
    EXPECT_TRUE(link->message(1025, 0, 0));
    pump();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora"));
    EXPECT_EQ(device->resets(), resets + 1);
}

TEST_F(RemoteControlTest, RefusedAndIgnoredMessagesChangeNothing)
{
    if (!haveTool("gdbus")) GTEST_SKIP() << "gdbus missing";
    ASSERT_TRUE(link->bus().registered());
    const GeneratorSettings before = generator().settings;
    const PresetRecords memories = controller->presets().bank().records();
    auto same = [&] {
        EXPECT_TRUE(controller->presets().bank().records() == memories);
        const GeneratorSettings& now = generator().settings;
        for (Channel c : kChannels) {
            EXPECT_EQ(now[c].fInit, before[c].fInit);
            EXPECT_EQ(now[c].Amplitude, before[c].Amplitude);
            EXPECT_EQ(now[c].WaveForm, before[c].WaveForm);
        }
        EXPECT_EQ(now.Duration, before.Duration);
        EXPECT_EQ(now.cboChannels, before.cboChannels);
    };

    for (const auto& [wParam, lParam] : {std::pair{"0", "7"}, {"1", "7"}, {"0", "0"}, {"1", "-1"}, {"2", "1"},
                                         {"4294967295", "2"}})
        EXPECT_EQ(gdbusMessage("1048", wParam, lParam).exitCode, 0);
    same();

    generator().state.AliveFlag = false;
    const CommandRun internal = gdbusMessage("1100", "0", "0");
    EXPECT_NE(internal.exitCode, 0);
    EXPECT_TRUE(internal.err.contains(QStringLiteral("org.velmora.Generator.Error.Refused"))) << internal.err.toStdString();
    EXPECT_FALSE(generator().state.AliveFlag);

    // The title is read-only and names the program.
    const QStringList get{"call", "--session", "--dest", service(), "--object-path", "/Generator", "--method",
                          "org.freedesktop.DBus.Properties.Get", "org.velmora.Generator", "Title"};
    EXPECT_EQ(runServing("gdbus", get).out, QStringLiteral("(<'Velmora'>,)"));
    const CommandRun set = runServing("gdbus", {"call", "--session", "--dest", service(), "--object-path", "/Generator",
                                         "--method", "org.freedesktop.DBus.Properties.Set", "org.velmora.Generator",
                                         "Title", "<'Other'>"});
    EXPECT_NE(set.exitCode, 0);
    EXPECT_EQ(runServing("gdbus", get).out, QStringLiteral("(<'Velmora'>,)"));
    same();
}

// A box that a message raises waits until the message is answered: the sender is never
// held up by a modal loop.
TEST_F(RemoteControlTest, BoxesWaitUntilTheMessageIsAnswered)
{
    EXPECT_TRUE(link->message(1047, 99, 0)); // beyond the device list: no entry selected
    EXPECT_EQ(w().WaveDevice->currentIndex(), -1);
    EXPECT_EQ(controller->AudioOut1().WaveDevice(), 0xFFFFFFFEu);
    EXPECT_TRUE(link->message(1024, 0, 0));
    EXPECT_TRUE(recorded.messages.empty());
    EXPECT_EQ(deferred->pending(), 1u);
    pump();
    ASSERT_EQ(recorded.messages.size(), 1u);
    EXPECT_TRUE(recorded.messages[0].startsWith(QStringLiteral("Sound Device Error: \r")));
    EXPECT_EQ(deferred->pending(), 0u);
    // The user's own commands show their boxes at once.
    click(w().btnON);
    EXPECT_EQ(recorded.messages.size(), 2u);

    // A question waits too, and is asked once however often it was raised meanwhile: the
    // duration's exit handler finds the frequency above half the sampling rate.
    const auto asked = [&] { return std::count(recorded.notices.begin(), recorded.notices.end(), "AboveNyquistLimit"); };
    EXPECT_TRUE(link->message(1031, 4000000, 0)); // 40 kHz
    EXPECT_TRUE(link->message(1034, 10, 0));
    EXPECT_TRUE(link->message(1031, 4000000, 0));
    EXPECT_TRUE(link->message(1034, 20, 0));
    EXPECT_EQ(asked(), 0);
    pump();
    EXPECT_EQ(asked(), 1);
    // Asked by the user's own leaving of the field, it comes at once.
    type(w().left().fInit, QStringLiteral("40000"));
    w().left().fInit->setFocus();
    generator().FrequencyExit(Channel::Left, Field::fInit);
    EXPECT_EQ(asked(), 2);
}

// Calls with the wrong argument types never reach the message table: the bus answers
// with an error, and the generator goes on answering.
TEST_F(RemoteControlTest, WrongArgumentTypesAreAnsweredWithAnError)
{
    if (!haveTool("dbus-send")) GTEST_SKIP() << "dbus-send missing";
    ASSERT_TRUE(link->bus().registered());
    const QStringList wrong[] = {
        {"int32:1024", "uint32:0", "int32:0"},
        {"string:1024", "uint32:0", "int32:0"},
        {"uint32:1024", "uint32:0"},
        {"uint32:1024", "uint32:0", "int32:0", "int32:0"},
        {"uint32:1024", "int32:0", "uint32:0"},
        {},
        {"double:1024", "double:0", "double:0"},
        {"array:uint32:1024,0,0"},
    };
    for (const QStringList& arguments : wrong) {
        QStringList command{"--session", "--print-reply", "--type=method_call", "--dest=" + service(), "/Generator",
                            "org.velmora.Generator.Message"};
        command += arguments;
        const CommandRun run = runServing("dbus-send", command);
        EXPECT_NE(run.exitCode, 0) << arguments.join(' ').toStdString();
        pump();
        EXPECT_FALSE(controller->AudioOut1().Active()) << arguments.join(' ').toStdString();
    }
    EXPECT_EQ(runServing("dbus-send", {"--session", "--print-reply", "--type=method_call", "--dest=" + service(),
                                       "/Generator", "org.velmora.Generator.Message", "uint32:1031", "uint32:50000",
                                       "int32:0"})
                  .exitCode,
              0);
    EXPECT_EQ(w().left().fInit->text(), QStringLiteral("500"));
}

// Every message number 0-2000 with seeded random parameters, over the bus from a second
// connection, while the generator plays: every call is answered, nothing crashes, and
// the generator still switches on and off afterwards.
TEST_F(RemoteControlTest, RandomMessagesOverTheBusAreAllAnswered)
{
    ASSERT_TRUE(link->bus().registered());
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("hostile"));
    ASSERT_TRUE(other.isConnected());
    controller->switching().startsignal();
    pump();

    std::mt19937 random(1210);
    std::uniform_int_distribution<uint32_t> any;
    std::uniform_int_distribution<int> small(0, 5);
    int answered = 0, refused = 0;
    for (uint32_t n = 0; n <= 2000; ++n) {
        const uint32_t wParam = small(random) == 0 ? any(random) : static_cast<uint32_t>(small(random));
        const int32_t lParam = static_cast<int32_t>(small(random) == 0 ? any(random) : small(random));
        QDBusMessage call = QDBusMessage::createMethodCall(service(), QStringLiteral("/Generator"),
                                                           QStringLiteral("org.velmora.Generator"),
                                                           QStringLiteral("Message"));
        call << n << wParam << lParam;
        QDBusPendingCall pending = other.asyncCall(call, 5000);
        QElapsedTimer clock;
        clock.start();
        while (!pending.isFinished() && clock.elapsed() < 6000) {
            QCoreApplication::processEvents();
            device->completeAll(); // the device keeps asking for buffers
        }
        ASSERT_TRUE(pending.isFinished()) << "message " << n << " was not answered";
        if (pending.reply().type() == QDBusMessage::ReplyMessage)
            ++answered;
        else
            ++refused;
    }
    EXPECT_EQ(refused, 1); // 1100 only
    EXPECT_EQ(answered, 2000);
    // Boxes raised on the way wait until the calls are answered and are not multiplied.
    EXPECT_LE(deferred->pending(), 8u);
    pump();

    controller->AudioOut1().StopAtOnce();
    pump();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora"));
    QDBusConnection::disconnectFromBus(QStringLiteral("hostile"));
}

// A synchronised command acts in the sending window before anything is sent, and reaches
// every answering generator while a hung one is still being waited for; generators of
// another title hear nothing. The round ends once the hung one's calls time out.
TEST_F(RemoteControlTest, ABroadcastActsHereAtOnceAndAHungGeneratorHoldsUpNobody)
{
    ASSERT_TRUE(link->bus().registered());
    PeerGenerator hung(QStringLiteral("p0hung"), PeerGenerator::Kind::Hung);
    PeerGenerator first(QStringLiteral("p1answering"), PeerGenerator::Kind::Answering);
    PeerGenerator second(QStringLiteral("p2answering"), PeerGenerator::Kind::Answering);
    PeerGenerator other(QStringLiteral("p3other"), PeerGenerator::Kind::Answering, QStringLiteral("Other"));
    for (const PeerGenerator* peer : {&hung, &first, &second, &other}) ASSERT_TRUE(peer->registered);

    QSignalSpy done(&link->bus(), &GeneratorBus::broadcastDone);
    int sent = 0;
    for (const uint32_t command : {1024u, 1026u, 1025u}) {
        SCOPED_TRACE(command);
        ++sent;
        const size_t before = first.messages.size();
        link->bus().broadcast(command, 1500);
        // Here, before any event has been processed.
        if (command == 1024u) {
            EXPECT_EQ(device->opens(), 1);
        }
        if (command == 1026u) {
            EXPECT_TRUE(controller->AudioOut1().Paused());
        }
        if (command == 1025u) {
            EXPECT_FALSE(controller->AudioOut1().Active());
        }
        ASSERT_TRUE(pumpUntil([&] { return first.messages.size() > before && second.messages.size() > before; }));
        // Every round so far still waits for the hung generator's answer.
        EXPECT_EQ(link->bus().broadcastsUnderway(), sent);
        EXPECT_EQ(first.messages.back(), command);
        EXPECT_EQ(second.messages.back(), command);
    }
    ASSERT_TRUE(pumpUntil([&] { return done.count() == 3; }));
    EXPECT_EQ(link->bus().broadcastsUnderway(), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(done.at(i).at(1).toStringList(), (QStringList{service(), first.service, second.service}));
    EXPECT_TRUE(other.messages.empty());
    EXPECT_EQ(hung.calls, 3); // asked its title three times, never sent a message
    EXPECT_TRUE(recorded.errors.empty());
}

// Messages that arrive while a wave file is written wait for the export to end and are then
// carried out in the order they came: the file is what the settings gave at its start. A
// caller has its answer at once all the same.
TEST_F(RemoteControlTest, MessagesDuringAWaveExportWaitForItsEndAndKeepTheirOrder)
{
    QTemporaryDir files;
    ASSERT_TRUE(files.isValid());
    WaveExportCommand& save = controller->waveExport();
    recorded.answer = NoticeResult::No; // no CD format
    ASSERT_TRUE(link->message(1040, static_cast<uint32_t>(-3), 0));
    ASSERT_TRUE(link->message(1031, 123400, 0));
    ASSERT_TRUE(link->message(1048, 1, 2)); // memory 2: 1234 Hz, -3 dBFS
    ASSERT_TRUE(link->message(1040, 0, 0));
    ASSERT_TRUE(link->message(1031, 100000, 0));
    ASSERT_TRUE(link->message(1034, 600, 0)); // 60 s
    const auto exportTo = [&](const QString& name) {
        save.runSaveDialog = [&files, name](QFileDialog&) { return files.filePath(name); };
        window->menu().SaveWaveFile1->trigger();
        return Slurp(files.filePath(name));
    };
    const std::string plain = exportTo(QStringLiteral("plain.wav"));
    ASSERT_GT(plain.size(), 44u + 60u * 8000u);

    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("exporting"));
    bool answeredMeanwhile = false;
    const auto viaBus = [&](uint32_t number, uint32_t wParam) {
        if (!other.isConnected() || !link->bus().registered()) return link->message(number, wParam, 0), void();
        QDBusMessage call = QDBusMessage::createMethodCall(service(), QStringLiteral("/Generator"),
                                                           QStringLiteral("org.velmora.Generator"),
                                                           QStringLiteral("Message"));
        call << number << wParam << 0;
        QDBusPendingCall pending = other.asyncCall(call, 5000);
        answeredMeanwhile = pumpUntil([&] { return pending.isFinished(); }, 6000) &&
                            pending.reply().type() == QDBusMessage::ReplyMessage;
    };
    // Progress comes every 10000 frames: each step runs at the first report at or past its
    // percentage.
    const std::vector<std::pair<int, std::function<void()>>> steps = {
        {10, [&] { link->message(1031, 200000, 0); }},
        {20,
         [&] {
             link->message(1040, static_cast<uint32_t>(-10), 0);
             link->message(1046, kPinkNoise, 0);
             link->message(1024, 0, 0); // refused: the output stays off
         }},
        {30, [&] { viaBus(1031, 250000); }},
        {40, [&] { link->message(1048, 0, 2); }}, // recall memory 2
        {50, [&] { link->message(1031, 300000, 0); }},
    };
    size_t next = 0;
    std::vector<QString> seen;
    size_t heldMost = 0;
    save.progressed = [&](int percent) {
        for (; next < steps.size() && percent >= steps[next].first; ++next) steps[next].second();
        seen.push_back(w().left().fInit->text());
        heldMost = std::max(heldMost, link->held());
    };
    const std::string held = exportTo(QStringLiteral("held.wav"));
    save.progressed = nullptr;
    QDBusConnection::disconnectFromBus(QStringLiteral("exporting"));

    EXPECT_TRUE(held == plain) << "the messages changed the file being written";
    EXPECT_EQ(next, steps.size());
    EXPECT_EQ(heldMost, 6u); // the start is not held
    for (const QString& text : seen) EXPECT_EQ(text, QStringLiteral("1000"));
    if (link->bus().registered()) {
        EXPECT_TRUE(answeredMeanwhile);
    }
    EXPECT_EQ(link->held(), 0u);
    // In order: 2000, -10, pink, (2500), memory 2 (1234 Hz, -3 dBFS, sine), 3000.
    EXPECT_EQ(w().left().fInit->text(), QStringLiteral("3000"));
    EXPECT_EQ(w().left().Amplitude->text(), QStringLiteral("-3"));
    EXPECT_EQ(generator().settings[Channel::Left].WaveForm, kSine);
    EXPECT_DOUBLE_EQ(generator()[Channel::Left].StartNorm, 3000.0 / generator().samplingRate());
    EXPECT_FALSE(controller->AudioOut1().Active());
    EXPECT_EQ(device->opens(), 0);
    EXPECT_TRUE(recorded.errors.empty());

    // Once the export is over, messages act at once again.
    EXPECT_TRUE(link->message(1031, 50000, 0));
    EXPECT_EQ(w().left().fInit->text(), QStringLiteral("500"));
}

// Message 1046 is a waveform chosen in the list: the window follows and a noise gets the
// crest factor that the same choice by hand gives.
TEST_F(RemoteControlTest, AWaveformChosenByMessageIsTheSameChoiceAsByHand)
{
    EXPECT_TRUE(link->message(1046, kPinkNoise, 0));
    EXPECT_EQ(w().left().WaveForm->currentIndex(), kPinkNoise);
    EXPECT_TRUE(w().left().cboCrestFactor->isVisibleTo(window.get()));
    const double remote = generator()[Channel::Left].NoiseExponent;
    EXPECT_NE(remote, 0.0);
    EXPECT_TRUE(link->message(1046, kSine, 0));
    choose(w().left().WaveForm, kPinkNoise);
    EXPECT_EQ(generator()[Channel::Left].NoiseExponent, remote);
    EXPECT_TRUE(link->message(1146, kSinePulse, 0));
    EXPECT_EQ(w().right().WaveForm->currentIndex(), kSinePulse);
    EXPECT_TRUE(w().right().chkConstant->isChecked());
}

// Without a session bus (run with DBUS_SESSION_BUS_ADDRESS pointing nowhere) the window
// runs alone: ON with "Sync all Generators" checked starts this generator, silently.
TEST_F(RemoteControlTest, WithoutABusTheWindowRunsAlone)
{
    if (link->bus().registered()) GTEST_SKIP() << "a session bus is reachable here";
    w().chkSync->setChecked(true);
    click(w().btnON);
    pump();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ON - Velmora"));
    click(w().btnOFF);
    pump();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora"));
    EXPECT_TRUE(recorded.errors.empty());
    EXPECT_TRUE(recorded.messages.empty());
    QSignalSpy done(&link->bus(), &GeneratorBus::broadcastDone);
    link->bus().broadcast(1026);
    EXPECT_TRUE(w().btnPause->font().bold());
    ASSERT_EQ(done.count(), 1);
    EXPECT_TRUE(done.at(0).at(1).toStringList().isEmpty());
}

} // namespace
} // namespace velmora::ui::test
