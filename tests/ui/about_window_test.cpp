// The About window: its texts, its buttons, and that it holds the generator window disabled
// while it is up.
#include "ui/dialogs/about_window.h"
#include "ui/dialogs/help_window.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QtTest/QTest>

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

// The keys of a dialog: Return and Enter press the default button (OK, or Help while it has
// the focus), Escape closes.
TEST(AboutWindowTest, ReturnPressesTheDefaultButtonAndEscapeCloses)
{
    struct Case {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool helpFocused;
        bool closes;
        int helpAsked;
    };
    const Case cases[] = {
        {"Escape", Qt::Key_Escape, Qt::NoModifier, false, true, 0},
        {"Return", Qt::Key_Return, Qt::NoModifier, false, true, 0},
        {"Enter", Qt::Key_Enter, Qt::KeypadModifier, false, true, 0},
        {"Return on Help", Qt::Key_Return, Qt::NoModifier, true, false, 1},
        {"Escape on Help", Qt::Key_Escape, Qt::NoModifier, true, true, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        QWidget owner;
        owner.show();
        AboutWindow about(&owner);
        QSignalSpy help(&about, &AboutWindow::helpRequested);
        about.show();
        QApplication::setActiveWindow(&about);
        QWidget* focused = k.helpFocused ? static_cast<QWidget*>(about.helpButton()) : about.okButton();
        focused->setFocus();
        QTest::keyClick(focused, k.key, k.modifiers);
        EXPECT_EQ(about.isVisible(), !k.closes);
        EXPECT_EQ(help.count(), k.helpAsked);
        if (k.closes) EXPECT_TRUE(owner.isEnabled());
    }
}

TEST(HelpWindowTest, EscapeCloses)
{
    velmora::ui::HelpWindow help;
    help.showTopic(1);
    QApplication::setActiveWindow(&help);
    help.browser()->setFocus();
    QTest::keyClick(help.browser(), Qt::Key_Escape);
    EXPECT_FALSE(help.isVisible());
}

} // namespace
