#include <functional>
#include <optional>
#include <string>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "settings/settings_store.h"
#include "settings/suppressible_notice.h"
#include "temp_config.h"

using velmora::NoticeButtons;
using velmora::SettingsError;
using velmora::SettingsStore;
using velmora::ShowSuppressibleNotice;
namespace NoticeResult = velmora::NoticeResult;

namespace {

const QString kWelcomeText = "Welcome to Velmora! Would you like to see the introduction to this program?";

// What a test saw of the box it answered.
struct SeenBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title, text, checkBoxText;
    bool checkBoxTicked = true;
    QMessageBox::StandardButtons buttons;
};

// How the user answers the next box: tick the check box or not, then a button, or Escape
// when `button` is NoButton.
struct Answer {
    bool tick = false;
    QMessageBox::StandardButton button = QMessageBox::NoButton;
};

class NoticeTest : public TempConfigTest {
protected:
    // Shows a notice and answers it as the user would, from inside its event loop.
    int show(NoticeButtons buttons, const QString& name, Answer answer)
    {
        seen_.reset();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            seen_ = SeenBox{box->icon(), box->windowTitle(), box->text(),
                            box->checkBox() ? box->checkBox()->text() : QString(),
                            box->checkBox() && box->checkBox()->isChecked(), box->standardButtons()};
            if (answer.tick && box->checkBox())
                box->checkBox()->setChecked(true);
            if (answer.button == QMessageBox::NoButton)
                box->reject(); // Escape, or the window's close button
            else
                box->button(answer.button)->click();
        });
        poll.start(5);
        const QString text = buttons == NoticeButtons::YesNo ? kWelcomeText : QStringLiteral("There is an issue with performance. See help for details");
        return ShowSuppressibleNotice(text, buttons == NoticeButtons::YesNo ? "Welcome" : "Information", buttons, name);
    }

    bool stored(const std::string& name) const { return SettingsStore::openForReading().valueExists(name); }

    std::optional<SeenBox> seen_;
};

TEST_F(NoticeTest, TheBoxIsAWarningWithAnUntickedCheckBox)
{
    EXPECT_EQ(show(NoticeButtons::YesNo, "Welcome", {false, QMessageBox::No}), NoticeResult::No);
    ASSERT_TRUE(seen_);
    EXPECT_EQ(seen_->icon, QMessageBox::Warning);
    EXPECT_EQ(seen_->title, "Welcome");
    EXPECT_EQ(seen_->text, kWelcomeText);
    EXPECT_EQ(seen_->checkBoxText, "Don't show this message again.");
    EXPECT_FALSE(seen_->checkBoxTicked);
    EXPECT_EQ(seen_->buttons, QMessageBox::Yes | QMessageBox::No);

    show(NoticeButtons::Ok, "MBPerformance", {false, QMessageBox::Ok});
    ASSERT_TRUE(seen_);
    EXPECT_EQ(seen_->title, "Information");
    EXPECT_EQ(seen_->buttons, QMessageBox::Ok);
}

TEST_F(NoticeTest, TheAnswerIsReturnedAndATickSilencesWhateverTheAnswer)
{
    struct Case {
        NoticeButtons buttons;
        Answer answer;
        int result;
    };
    const Case cases[] = {
        {NoticeButtons::YesNo, {false, QMessageBox::Yes}, NoticeResult::Yes},
        {NoticeButtons::YesNo, {false, QMessageBox::No}, NoticeResult::No},
        {NoticeButtons::YesNo, {false, QMessageBox::NoButton}, NoticeResult::No},
        {NoticeButtons::Ok, {false, QMessageBox::Ok}, NoticeResult::Ok},
        {NoticeButtons::Ok, {false, QMessageBox::NoButton}, NoticeResult::Ok},
        {NoticeButtons::YesNo, {true, QMessageBox::Yes}, NoticeResult::Yes},
        {NoticeButtons::YesNo, {true, QMessageBox::No}, NoticeResult::No},
        {NoticeButtons::YesNo, {true, QMessageBox::NoButton}, NoticeResult::No},
        {NoticeButtons::Ok, {true, QMessageBox::Ok}, NoticeResult::Ok},
    };
    SettingsStore::openForWriting().close(); // an existing store: the first-run case is below
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "Notice" + std::to_string(n++);
        SCOPED_TRACE(name);
        EXPECT_EQ(show(c.buttons, QString::fromStdString(name), c.answer), c.result);
        EXPECT_TRUE(seen_) << "the box was not shown";
        if (!c.answer.tick) {
            EXPECT_FALSE(stored(name)) << "an unticked box wrote a value";
            EXPECT_EQ(show(c.buttons, QString::fromStdString(name), c.answer), c.result);
            EXPECT_TRUE(seen_) << "an unticked notice was not shown again";
            continue;
        }
        EXPECT_TRUE(SettingsStore::openForReading().readBoolean(name));
        EXPECT_EQ(show(c.buttons, QString::fromStdString(name), c.answer), NoticeResult::Silenced);
        EXPECT_FALSE(seen_) << "a silenced notice was shown";
    }
}

TEST_F(NoticeTest, AnyValueOfTheNameSilencesTheNotice)
{
    writeFile(storeFile(),
              "cdformat = boolean false\n"
              "Welcome = integer 0\n"
              "AboveNyquistLimit = text \"\"\n"
              "MBPerformance = something unreadable\n");
    EXPECT_EQ(show(NoticeButtons::YesNo, "CDformat", {false, QMessageBox::Yes}), NoticeResult::Silenced);
    EXPECT_EQ(show(NoticeButtons::YesNo, "Welcome", {false, QMessageBox::Yes}), NoticeResult::Silenced);
    EXPECT_EQ(show(NoticeButtons::YesNo, "AboveNyquistLimit", {false, QMessageBox::Yes}), NoticeResult::Silenced);
    EXPECT_EQ(show(NoticeButtons::Ok, "MBPerformance", {false, QMessageBox::Ok}), NoticeResult::Silenced);
    EXPECT_FALSE(seen_);
}

TEST_F(NoticeTest, TickingTheBoxOnAFirstRunCreatesTheStore)
{
    ASSERT_FALSE(std::filesystem::exists(storeFile()));
    EXPECT_EQ(show(NoticeButtons::YesNo, "Welcome", {true, QMessageBox::Yes}), NoticeResult::Yes);
    EXPECT_TRUE(SettingsStore::openForReading().readBoolean("Welcome"));
}

TEST_F(NoticeTest, AFirstRunWithoutATickCreatesNothing)
{
    EXPECT_EQ(show(NoticeButtons::YesNo, "Welcome", {false, QMessageBox::Yes}), NoticeResult::Yes);
    EXPECT_FALSE(std::filesystem::exists(storeFile().parent_path()));
}

TEST_F(NoticeTest, AStoreThatCannotBeReadLeavesTheNoticeUnsilenced)
{
    std::filesystem::create_directories(storeFile()); // a folder where the file should be
    EXPECT_EQ(show(NoticeButtons::YesNo, "Welcome", {false, QMessageBox::No}), NoticeResult::No);
    EXPECT_TRUE(seen_);
}

TEST_F(NoticeTest, AStoreThatCannotBeWrittenReportsTheValueAfterTheBoxCloses)
{
    writeFile(root() / "Karvell", "a file where the folder should be");
    try {
        show(NoticeButtons::YesNo, "AboveNyquistLimit", {true, QMessageBox::Yes});
        ADD_FAILURE() << "no error";
    } catch (const SettingsError& e) {
        EXPECT_EQ(e.valueName(), "AboveNyquistLimit");
        EXPECT_STREQ(e.what(), "Failed to set data for 'AboveNyquistLimit'");
    }
    EXPECT_TRUE(seen_);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
