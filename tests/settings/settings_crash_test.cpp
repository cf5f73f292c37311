// A writer killed between writing the temporary file and renaming it over the store - the
// worst moment of a save - leaves the old store whole, and the next save works.
#include <csignal>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "settings/atomic_file.h"
#include "settings/settings_store.h"
#include "temp_config.h"

using velmora::SettingsStore;

namespace {

class SettingsCrashTest : public TempConfigTest {};

TEST_F(SettingsCrashTest, AWriterKilledBeforeTheRenameLeavesTheOldStoreWhole)
{
    SettingsStore store = SettingsStore::openForWriting();
    for (int i = 0; i < 200; ++i)
        store.writeText("Old" + std::to_string(i), std::string(100, 'o'));
    store.close();
    const std::string before = contentsOf(storeFile());

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        velmora::detail::crashPointBeforeRename = [] { std::raise(SIGKILL); };
        SettingsStore writer = SettingsStore::openForWriting();
        for (int i = 0; i < 200; ++i)
            writer.writeText("Old" + std::to_string(i), "new");
        writer.writeBoolean("Welcome", true);
        writer.close();
        ::_exit(0); // not reached when the crash point works
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the writer was not killed at the crash point";

    EXPECT_EQ(contentsOf(storeFile()), before);
    {
        const SettingsStore reread = SettingsStore::openForReading();
        EXPECT_EQ(reread.readText("Old199"), std::string(100, 'o'));
        EXPECT_FALSE(reread.valueExists("Welcome"));
    }

    store = SettingsStore::openForWriting();
    store.writeBoolean("Welcome", true);
    store.close();
    EXPECT_TRUE(SettingsStore::openForReading().readBoolean("Welcome"));
    EXPECT_EQ(strayFiles(), 0) << "the killed writer's temporary file was not cleared";
}

} // namespace
