// The generator window driven from outside: gdbus calls on the session bus reach the real
// window (on a fake device), wrong argument types and random messages are answered without
// harm, and without a session bus the window runs alone. CommandRun under dbus-run-session.
#include "window_harness.h"
#include "user_input.h"

#include "control/dbus/generator_bus.h"
#include "engine/numbers.h"
#include "ui/main_window/generator_link.h"
#include "ui/main_window/preset_controller.h"
#include "ui/widgets/picture_combo_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

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
    EXPECT_TRUE(link->bus().broadcast(1024).isEmpty());
}

} // namespace
} // namespace velmora::ui::test
