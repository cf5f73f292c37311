#include <chrono>
#include <climits>
#include <sys/stat.h>
#include <vector>
#include <filesystem>
#include <functional>
#include <string>
#include <variant>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "settings/atomic_file.h"
#include "settings/settings_store.h"
#include "temp_config.h"

using velmora::SettingsError;
using velmora::SettingsStore;

namespace {

class SettingsStoreTest : public TempConfigTest {};

// Runs `action`, expecting a SettingsError with this message that names this value.
void expectError(const std::function<void()>& action, const std::string& message, const std::string& name)
{
    try {
        action();
        ADD_FAILURE() << "no error; expected: " << message;
    } catch (const SettingsError& e) {
        EXPECT_EQ(e.what(), message);
        EXPECT_EQ(e.valueName(), name);
    }
}

TEST_F(SettingsStoreTest, LivesInTheConfigFolderOfTheUser)
{
    EXPECT_EQ(SettingsStore::defaultLocation(), root() / "Karvell/Velmora.conf");

    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    ::setenv("HOME", "/home/someone", 1);
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/path"}) {
        if (xdg)
            ::setenv("XDG_CONFIG_HOME", xdg, 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(SettingsStore::defaultLocation(), "/home/someone/.config/Karvell/Velmora.conf")
            << "XDG_CONFIG_HOME=" << (xdg ? xdg : "(unset)");
    }
    if (home)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
}

TEST_F(SettingsStoreTest, EveryKindOfValueComesBackAsWritten)
{
    using Value = std::variant<std::string, std::int32_t, bool>;
    const std::vector<std::pair<std::string, Value>> values = {
        {"Empty", std::string()},
        {"Number", std::string("1234,5")},
        {"Blanks", std::string("  leading and trailing  ")},
        {"Quotes", std::string("say \"hi\" \\ back\\slash \\n not a line break")},
        {"Controls", std::string("line\nbreak\r\ntab\tbell\x07 del\x7f")},
        {"Unicode", std::string("Frequenz \xc3\xbc\xe2\x82\xac \xe2\x99\xaa")},
        {"Syntax", std::string("= text \"x\" # not a comment")},
        {"Zero", std::int32_t(0)},
        {"Negative", std::int32_t(-4)},
        {"Smallest", std::int32_t(INT_MIN)},
        {"Largest", std::int32_t(INT_MAX)},
        {"True", true},
        {"False", false},
    };
    {
        SettingsStore store = SettingsStore::openForWriting();
        ASSERT_TRUE(store.isOpen());
        for (const auto& [name, value] : values) {
            if (const auto* text = std::get_if<std::string>(&value)) store.writeText(name, *text);
            if (const auto* number = std::get_if<std::int32_t>(&value)) store.writeInteger(name, *number);
            if (const auto* flag = std::get_if<bool>(&value)) store.writeBoolean(name, *flag);
        }
        store.close();
    }
    const SettingsStore store = SettingsStore::openForReading();
    ASSERT_TRUE(store.isOpen());
    for (const auto& [name, value] : values) {
        EXPECT_TRUE(store.valueExists(name)) << name;
        if (const auto* text = std::get_if<std::string>(&value)) {
            EXPECT_EQ(store.readText(name), *text) << name;
        } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
            EXPECT_EQ(store.readInteger(name), *number) << name;
        } else {
            EXPECT_EQ(store.readBoolean(name), std::get<bool>(value)) << name;
        }
    }
}

TEST_F(SettingsStoreTest, TheFileIsPlainTextAPersonCanRead)
{
    SettingsStore store = SettingsStore::openForWriting();
    store.writeText("Duration", "10");
    store.writeInteger("FormX", -4);
    store.writeBoolean("Loop", true);
    store.writeText("txtPort", "say \"1193\"");
    store.close();

    EXPECT_EQ(contentsOf(storeFile()),
              "# Velmora settings, one value a line:  Name = text \"...\" | integer 123 | boolean true\n"
              "# Names match without regard to case. Lines starting with # are comments.\n"
              "Duration = text \"10\"\n"
              "FormX = integer -4\n"
              "Loop = boolean true\n"
              "txtPort = text \"say \\\"1193\\\"\"\n");
}

TEST_F(SettingsStoreTest, NamesMatchWithoutRegardToCase)
{
    SettingsStore store = SettingsStore::openForWriting();
    store.writeBoolean("mono", true);
    store.close();
    EXPECT_TRUE(SettingsStore::openForReading().readBoolean("Mono"));
    EXPECT_TRUE(SettingsStore::openForReading().valueExists("MONO"));

    store = SettingsStore::openForWriting();
    store.writeBoolean("Mono", false);
    store.close();
    EXPECT_FALSE(SettingsStore::openForReading().readBoolean("mono"));
    const std::string file = contentsOf(storeFile());
    EXPECT_EQ(file.find("mono ="), std::string::npos) << "the value was replaced, not written twice:\n" << file;
}

TEST_F(SettingsStoreTest, MissingValuesReadAsEmptyTextOrFail)
{
    SettingsStore written = SettingsStore::openForWriting();
    written.writeText("Other", "x");
    written.close();

    for (const bool fileExists : {true, false}) {
        SCOPED_TRACE(fileExists ? "store without the value" : "no store at all");
        if (!fileExists)
            std::filesystem::remove(storeFile());
        const SettingsStore store = SettingsStore::openForReading();
        EXPECT_EQ(store.isOpen(), fileExists);
        EXPECT_FALSE(store.valueExists("FormX"));
        EXPECT_EQ(store.readText("Duration"), "");
        expectError([&] { store.readInteger("FormX"); }, "Failed to get data for 'FormX'", "FormX");
        expectError([&] { store.readBoolean("Loop"); }, "Failed to get data for 'Loop'", "Loop");
    }
}

TEST_F(SettingsStoreTest, AValueIsReadOnlyAsItsOwnKind)
{
    SettingsStore store = SettingsStore::openForWriting();
    store.writeText("Text", "1");
    store.writeInteger("Integer", 5);
    store.writeInteger("IntegerZero", 0);
    store.writeBoolean("Boolean", true);
    store.close();
    store = SettingsStore::openForReading();

    expectError([&] { store.readInteger("Text"); }, "Invalid data type for 'Text'", "Text");
    expectError([&] { store.readBoolean("Text"); }, "Invalid data type for 'Text'", "Text");
    expectError([&] { store.readText("Integer"); }, "Invalid data type for 'Integer'", "Integer");
    expectError([&] { store.readText("Boolean"); }, "Invalid data type for 'Boolean'", "Boolean");
    // A boolean is an integer 1 or 0, and any non-zero integer reads as true.
    EXPECT_EQ(store.readInteger("Boolean"), 1);
    EXPECT_TRUE(store.readBoolean("Integer"));
    EXPECT_FALSE(store.readBoolean("IntegerZero"));
}

TEST_F(SettingsStoreTest, AStoreOpenedForReadingIsNeverWritten)
{
    SettingsStore missing = SettingsStore::openForReading();
    EXPECT_FALSE(missing.isOpen());
    expectError([&] { missing.writeBoolean("Welcome", true); }, "Failed to set data for 'Welcome'", "Welcome");
    missing.close();
    EXPECT_FALSE(std::filesystem::exists(storeFile().parent_path())) << "opening for reading created the store";

    SettingsStore written = SettingsStore::openForWriting();
    written.writeInteger("Fs", 3);
    written.close();
    SettingsStore existing = SettingsStore::openForReading();
    expectError([&] { existing.writeInteger("Fs", 4); }, "Failed to set data for 'Fs'", "Fs");
    existing.close();
    EXPECT_EQ(SettingsStore::openForReading().readInteger("Fs"), 3);
}

TEST_F(SettingsStoreTest, OpeningForWritingCreatesTheStoreAndWritesReachTheDiskAtClose)
{
    SettingsStore store = SettingsStore::openForWriting();
    ASSERT_TRUE(std::filesystem::exists(storeFile())) << "the store exists as soon as it is opened for writing";
    const std::string empty = contentsOf(storeFile());

    store.writeInteger("Fs", 3);
    store.writeText("txtCorrectionFactor", "0,5");
    EXPECT_EQ(store.readInteger("Fs"), 3) << "the store reads its own writes";
    EXPECT_EQ(contentsOf(storeFile()), empty) << "written before close";

    store.close();
    EXPECT_FALSE(store.isOpen());
    const SettingsStore reread = SettingsStore::openForReading();
    EXPECT_EQ(reread.readInteger("Fs"), 3);
    EXPECT_EQ(reread.readText("txtCorrectionFactor"), "0,5");
    EXPECT_EQ(strayFiles(), 0);
}

TEST_F(SettingsStoreTest, AStoreLeftOpenIsSavedWhenItGoes)
{
    {
        SettingsStore store = SettingsStore::openForWriting();
        store.writeInteger("FormX", 12);
    }
    EXPECT_EQ(SettingsStore::openForReading().readInteger("FormX"), 12);
}

TEST_F(SettingsStoreTest, ASaveKeepsWhatAnotherWindowSavedMeanwhile)
{
    SettingsStore mainWindow = SettingsStore::openForWriting();
    mainWindow.writeText("fInitLeft", "1000");
    mainWindow.writeInteger("Shared", 1);

    SettingsStore otherWindow = SettingsStore::openForWriting();
    otherWindow.writeBoolean("Welcome", true);
    otherWindow.writeInteger("Shared", 2);
    otherWindow.close();

    mainWindow.close();
    const SettingsStore store = SettingsStore::openForReading();
    EXPECT_EQ(store.readText("fInitLeft"), "1000");
    EXPECT_TRUE(store.readBoolean("Welcome"));
    EXPECT_EQ(store.readInteger("Shared"), 1) << "the later save wins for a value both wrote";
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeCreatedFailsAtTheFirstWrite)
{
    writeFile(root() / "Karvell", "a file where the folder should be");
    SettingsStore store = SettingsStore::openForWriting();
    EXPECT_FALSE(store.isOpen());
    expectError([&] { store.writeBoolean("Welcome", true); }, "Failed to set data for 'Welcome'", "Welcome");
}

TEST_F(SettingsStoreTest, AFileThatCannotBeReadIsNeverOverwritten)
{
    std::filesystem::create_directories(storeFile()); // a folder where the file should be
    EXPECT_FALSE(SettingsStore::openForReading().isOpen());
    SettingsStore store = SettingsStore::openForWriting();
    EXPECT_FALSE(store.isOpen());
    expectError([&] { store.writeInteger("Fs", 1); }, "Failed to set data for 'Fs'", "Fs");
    EXPECT_TRUE(std::filesystem::is_directory(storeFile()));
}

TEST_F(SettingsStoreTest, AFailedSaveNamesTheValueAndLeavesNoTemporaryFile)
{
    SettingsStore store = SettingsStore::openForWriting();
    store.writeInteger("Fs", 1);
    store.writeInteger("Quant", 0);
    std::filesystem::remove(storeFile());
    std::filesystem::create_directories(storeFile() / "in the way");

    try {
        store.close();
        ADD_FAILURE() << "the save did not fail";
    } catch (const SettingsError& e) {
        EXPECT_EQ(e.valueName(), "Fs");
        EXPECT_EQ(std::string(e.what()).rfind("Failed to set data for 'Fs' and 1 more: ", 0), 0u) << e.what();
    }
    EXPECT_FALSE(store.isOpen());
    EXPECT_EQ(strayFiles(), 0);
}

TEST_F(SettingsStoreTest, NamesThatCannotBeStoredAreRefused)
{
    SettingsStore store = SettingsStore::openForWriting();
    for (const std::string name : {"", " Padded", "Key=Value", "Two\nLines", "#Comment", ";Comment"}) {
        expectError([&] { store.writeInteger(name, 1); }, "Invalid value name '" + name + "'", name);
        EXPECT_FALSE(store.valueExists(name));
    }
}

} // namespace

namespace {

TEST_F(SettingsStoreTest, OnlyARegularFileOfSaneSizeIsRead)
{
    // A FIFO would block the start for ever, a link to /dev/zero would grow without limit,
    // an oversized file is no store: each is an unreadable store, never written over.
    std::filesystem::create_directories(storeFile().parent_path());
    const std::string big(velmora::detail::kMaxReadBytes + 1, '#');
    const std::vector<std::function<void()>> makers = {
        [&] { ASSERT_EQ(::mkfifo(storeFile().c_str(), 0600), 0); },
        [&] { std::filesystem::create_symlink("/dev/zero", storeFile()); },
        [&] { writeFile(storeFile(), big); },
    };
    for (std::size_t i = 0; i < makers.size(); ++i) {
        SCOPED_TRACE(i);
        std::filesystem::remove(storeFile());
        makers[i]();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(SettingsStore::openForReading().isOpen());
        SettingsStore store = SettingsStore::openForWriting();
        EXPECT_FALSE(store.isOpen());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "blocked";
    }
    EXPECT_EQ(std::filesystem::file_size(storeFile()), big.size());
}

TEST_F(SettingsStoreTest, LineEndingsTheProgramDidNotWriteAreKeptByteForByte)
{
    const std::string kept = "# a\r\r\nLoop = boolean true\r\n\r\r\n# end\r";
    writeFile(storeFile(), kept);
    for (int save = 0; save < 3; ++save) {
        SettingsStore store = SettingsStore::openForWriting();
        store.writeInteger("Fs", 48000);
        store.close();
    }
    EXPECT_EQ(contentsOf(storeFile()), kept + "\nFs = integer 48000\n");
}

// A dotfile manager keeps the store elsewhere and links it in: a save replaces what the
// link leads to (through a chain of links, relative or absolute), and the link stays.
TEST_F(SettingsStoreTest, ALinkedStoreStaysALinkAndItsTargetGetsTheSave)
{
    const auto dotfiles = root() / "dotfiles";
    std::filesystem::create_directories(dotfiles);
    std::filesystem::create_directories(storeFile().parent_path());
    struct Case {
        const char* name;
        std::function<std::filesystem::path()> link; // makes the link(s), answers the target
    };
    const std::vector<Case> cases = {
        {"absolute", [&] {
             std::filesystem::create_symlink(dotfiles / "a.conf", storeFile());
             return dotfiles / "a.conf";
         }},
        {"relative", [&] {
             std::filesystem::create_symlink("../dotfiles/b.conf", storeFile());
             return dotfiles / "b.conf";
         }},
        {"chain", [&] {
             std::filesystem::create_symlink("c.conf", dotfiles / "step");
             std::filesystem::create_symlink(dotfiles / "step", storeFile());
             return dotfiles / "c.conf";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(storeFile());
        const auto target = c.link();
        for (const bool existing : {false, true}) {
            // First a link that leads nowhere yet (a fresh checkout), then one to the saved file.
            SettingsStore store = SettingsStore::openForWriting();
            ASSERT_TRUE(store.isOpen()) << store.openFailure();
            store.writeInteger("Fs", existing ? 9 : 3);
            store.close();
            EXPECT_TRUE(std::filesystem::is_symlink(storeFile()));
            EXPECT_EQ(SettingsStore::openForReading().readInteger("Fs"), existing ? 9 : 3);
            EXPECT_NE(contentsOf(target).find(existing ? "integer 9" : "integer 3"), std::string::npos);
        }
        std::filesystem::remove(storeFile());
        for (const auto& entry : std::filesystem::directory_iterator(dotfiles))
            EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
    }

    std::filesystem::remove(storeFile());
    std::filesystem::create_symlink("Velmora.conf", storeFile()); // a loop
    SettingsStore looped = SettingsStore::openForWriting();
    EXPECT_FALSE(looped.isOpen());
}

// A holder of the lock that never lets go (a window stopped with SIGSTOP in the middle of a
// save) delays another writer by a bounded time; the writer then fails and the store is as
// it was.
TEST_F(SettingsStoreTest, ALockHeldForEverFailsTheSaveAfterABoundedWait)
{
    {
        SettingsStore store = SettingsStore::openForWriting();
        store.writeInteger("Fs", 3);
        store.close();
    }
    const std::string before = contentsOf(storeFile());
    SettingsStore writer = SettingsStore::openForWriting();
    writer.writeInteger("Fs", 9);

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const velmora::detail::FolderLock lock(storeFile().parent_path());
        [[maybe_unused]] const auto n = ::write(ready[1], "x", 1);
        std::raise(SIGSTOP);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    const auto start = std::chrono::steady_clock::now();
    try {
        writer.close();
        ADD_FAILURE() << "saved past a held lock";
    } catch (const SettingsError& e) {
        EXPECT_NE(std::string(e.what()).find("another program has held it"), std::string::npos) << e.what();
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, velmora::detail::kLockWaitLimit - std::chrono::milliseconds(50));
    EXPECT_LT(waited, velmora::detail::kLockWaitLimit + std::chrono::seconds(3));
    EXPECT_EQ(contentsOf(storeFile()), before);
    EXPECT_EQ(strayFiles(), 0);
    // Opening for writing waits the same way.
    EXPECT_FALSE(SettingsStore::openForWriting().isOpen());

    ::kill(holder, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(holder, &status, 0), holder);
    ::close(ready[0]);
    ::close(ready[1]);
    SettingsStore again = SettingsStore::openForWriting();
    again.writeInteger("Fs", 9);
    again.close();
    EXPECT_EQ(SettingsStore::openForReading().readInteger("Fs"), 9);

    // Within the limit, a writer simply waits its turn.
    {
        const velmora::detail::FolderLock held(storeFile().parent_path());
        EXPECT_THROW(velmora::detail::FolderLock(storeFile().parent_path(), std::chrono::milliseconds(100)),
                     std::system_error);
    }
    EXPECT_NO_THROW(velmora::detail::FolderLock(storeFile().parent_path(), std::chrono::milliseconds(100)));
}

} // namespace
