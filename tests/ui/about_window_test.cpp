// The About window: its texts, its buttons, and that it holds the generator window disabled
// while it is up.
#include "ui/dialogs/about_window.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

using velmora::ui::AboutWindow;

namespace {

TEST(AboutWindowTest, ShowsNameVersionAndWebPage)
{
    AboutWindow about(nullptr);
    EXPECT_EQ(about.nameLabel()->text(), "Velmora");
    EXPECT_EQ(about.versionLabel()->text(), "Version 4.6");
    EXPECT_TRUE(about.linkLabel()->text().contains(QLatin1String(velmora::ui::kMakerWebPage)));
    EXPECT_TRUE(about.linkLabel()->openExternalLinks());
    EXPECT_EQ(about.okButton()->text(), "OK");
    EXPECT_EQ(about.helpButton()->text(), "Help");
    EXPECT_TRUE(about.isWindow());
}

TEST(AboutWindowTest, HelpAsksForTopicThreeAndOkCloses)
{
    AboutWindow about(nullptr);
    about.show();
    QSignalSpy help(&about, &AboutWindow::helpRequested);
    about.helpButton()->click();
    ASSERT_EQ(help.count(), 1);
    EXPECT_EQ(help.at(0).at(0).toInt(), 3);
    EXPECT_TRUE(about.isVisible());
    about.okButton()->click();
    EXPECT_FALSE(about.isVisible());
}

TEST(AboutWindowTest, OwnerIsDisabledWhileActiveAndEnabledAfterClosing)
{
    QWidget owner;
    owner.show();
    AboutWindow about(&owner);
    about.show();
    EXPECT_TRUE(owner.isEnabled()) << "showing alone does not block";
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&about, &activate);
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_TRUE(about.isEnabled()) << "the About window is not the owner's child";
    about.close();
    EXPECT_TRUE(owner.isEnabled());
}

} // namespace
