// The store file as a person edits it: friendly forms are understood, mistakes stay local to
// their line, and saving keeps everything the program did not write itself.
#include <string>

#include <gtest/gtest.h>

#include "settings/settings_store.h"
#include "temp_config.h"

using velmora::SettingsError;
using velmora::SettingsStore;

namespace {

class HandEditedStoreTest : public TempConfigTest {
protected:
    void SetUp() override
    {
        TempConfigTest::SetUp();
        writeFile(storeFile(), kEdited);
    }

    static constexpr const char* kEdited =
        "# tuned by hand\r\n"
        "Duration = text 10\n"
        "  FormX=integer   -4  \n"
        "Loop = BOOLEAN 1\n"
        "LeftTick = boolean False\n"
        "just some words\n"
        "\n"
        "FormY = integer abc\n"
        "WaveDevice = integer 99999999999\n"
        "AmplitudeLeft = text \"unterminated\n"
        "PhaseEdit = text \"a\\x41\\tb\"\n"
        "Colour = purple 3\n"
        "Fs = integer 1\n"
        "fs = integer 2\n";
};

TEST_F(HandEditedStoreTest, FriendlyFormsAreUnderstood)
{
    const SettingsStore store = SettingsStore::openForReading();
    EXPECT_EQ(store.readText("Duration"), "10") << "a text typed without quotes";
    EXPECT_EQ(store.readInteger("FormX"), -4) << "blanks around the parts";
    EXPECT_TRUE(store.readBoolean("Loop")) << "a boolean typed as a number, kind in capitals";
    EXPECT_FALSE(store.readBoolean("LeftTick"));
    EXPECT_EQ(store.readText("PhaseEdit"), "aA\tb");
    EXPECT_EQ(store.readInteger("Fs"), 2) << "of two lines with one name, the later counts";
}

TEST_F(HandEditedStoreTest, ABadLineSpoilsOnlyItsOwnValue)
{
    const SettingsStore store = SettingsStore::openForReading();
    for (const char* bad : {"FormY", "WaveDevice", "AmplitudeLeft", "Colour"}) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(store.valueExists(bad));
        EXPECT_THROW(store.readInteger(bad), SettingsError);
        EXPECT_THROW(store.readText(bad), SettingsError);
    }
    EXPECT_FALSE(store.valueExists("just some words"));
}

TEST_F(HandEditedStoreTest, SavingKeepsEveryLineTheProgramDidNotWrite)
{
    SettingsStore store = SettingsStore::openForWriting();
    store.writeInteger("FormY", 7);   // mends a bad line in place
    store.writeInteger("FS", 3);      // one line for both spellings afterwards
    store.writeText("txtRound", "1"); // new: appended
    store.close();

    EXPECT_EQ(contentsOf(storeFile()),
              "# tuned by hand\r\n"
              "Duration = text 10\n"
              "  FormX=integer   -4  \n"
              "Loop = BOOLEAN 1\n"
              "LeftTick = boolean False\n"
              "just some words\n"
              "\n"
              "FormY = integer 7\n"
              "WaveDevice = integer 99999999999\n"
              "AmplitudeLeft = text \"unterminated\n"
              "PhaseEdit = text \"a\\x41\\tb\"\n"
              "Colour = purple 3\n"
              "FS = integer 3\n"
              "txtRound = text \"1\"\n");
}

} // namespace
