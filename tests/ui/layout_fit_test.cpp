// The window under this machine's fonts and style, in the states a user puts it in: no
// control overlaps a sibling, leaves its frame's contents, or is too small for its text.
#include "window_harness.h"
#include "user_input.h"

#include "ui/widgets/picture_combo_box.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QImage>

#include <functional>
#include <sstream>

namespace velmora::ui::test {
namespace {

std::string describe(const QWidget* w)
{
    const QRect r = w->geometry();
    std::ostringstream s;
    s << w->objectName().toStdString() << " (" << r.x() << "," << r.y() << " " << r.width() << "x" << r.height()
      << ")";
    return s.str();
}

// Controls that sit on their frame's caption line on purpose, beside the caption.
bool onCaptionLine(const QWidget* w)
{
    static const QStringList names = {"Lefttick", "RightTick", "ModulationOnLeft", "ModulationOnRight"};
    return names.contains(w->objectName());
}

// The width the text of a line edit has.
int textRoom(QLineEdit* edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins margins = edit->textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * 2; // the edit's own side margins
}

class LayoutFitTest : public WindowHarness {
protected:
    QList<QWidget*> shownChildren(QWidget* parent)
    {
        QList<QWidget*> shown;
        for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!child->objectName().isEmpty() && !child->isWindow() && child->isVisibleTo(window.get()))
                shown.push_back(child);
        return shown;
    }

    void checkFits(const char* state)
    {
        SCOPED_TRACE(state);
        QList<QWidget*> containers = {w().client};
        for (QGroupBox* box : window->findChildren<QGroupBox*>())
            if (box->isVisibleTo(window.get())) containers.push_back(box);

        for (QWidget* container : containers) {
            const QList<QWidget*> children = shownChildren(container);
            const auto* box = qobject_cast<QGroupBox*>(container);
            const QRect inside = box ? box->contentsRect() : container->rect();
            if (box) {
                EXPECT_LE(box->minimumSizeHint().width(), box->width()) << describe(box) << ": caption clipped";
            }
            for (QWidget* child : children) {
                const QRect frame = onCaptionLine(child) ? container->rect() : inside;
                EXPECT_TRUE(frame.contains(child->geometry()))
                    << describe(child) << " leaves the contents of " << describe(container) << ", which are "
                    << inside.x() << "," << inside.y() << " " << inside.width() << "x" << inside.height();
            }
            for (int i = 0; i < children.size(); ++i)
                for (int j = i + 1; j < children.size(); ++j) {
                    const QWidget* a = children[i];
                    const QWidget* b = children[j];
                    // The lamp's highlight lies on the lamp.
                    if (a->objectName() == "LED" || b->objectName() == "LED") continue;
                    // "Same as Left" lies on the right box's caption line: checked below.
                    if (a == w().chkAsLeft || b == w().chkAsLeft) continue;
                    // A rename box shows over its memory button's caption while renaming.
                    if (a->objectName().startsWith("Mem") && b->objectName().startsWith("Mem")) continue;
                    EXPECT_FALSE(a->geometry().intersects(b->geometry())) << describe(a) << " overlaps " << describe(b);
                }
        }

        // Controls on a caption line paint their own ground: outside the caption they must
        // not hide the frame's line.
        struct OnLine {
            QWidget* control;
            QGroupBox* box;
        };
        std::vector<OnLine> onLine = {{w().chkAsLeft, qobject_cast<QGroupBox*>(w().right().boxAll)}};
        for (ChannelWidgets& c : w().channel) {
            onLine.push_back({c.Tick, c.boxAll});
            onLine.push_back({c.ModulationOn, c.boxAmpMod});
        }
        const QImage shown = window->grab().toImage();
        for (const OnLine& o : onLine) {
            if (!o.control->isVisibleTo(window.get())) continue;
            // The frame alone, without children or ground: its top line is the first painted
            // row near the right edge, where no caption is.
            QImage bare(o.box->size(), QImage::Format_ARGB32);
            bare.fill(Qt::transparent);
            o.box->render(&bare, QPoint(), QRegion(), QWidget::RenderFlags());
            const int probe = o.box->width() - 6;
            int line = -1;
            for (int y = 0; y < bare.height() && line < 0; ++y)
                if (qAlpha(bare.pixel(probe, y)) > 0) line = y;
            ASSERT_GE(line, 0) << describe(o.box) << " draws no frame";
            const QPoint origin = o.box->mapTo(window.get(), QPoint(0, 0));
            const QRgb lineColour = shown.pixel(origin.x() + probe, origin.y() + line);
            const QPoint at = o.control->mapTo(window.get(), QPoint(0, 0));
            if (at.y() > origin.y() + line || at.y() + o.control->height() <= origin.y() + line) continue;
            int hidden = 0;
            for (int x = at.x(); x < at.x() + o.control->width(); ++x)
                if (shown.pixel(x, origin.y() + line) != lineColour) ++hidden;
            EXPECT_EQ(hidden, 0) << describe(o.control) << " hides " << hidden << " pixels of the top line of "
                                 << describe(o.box) << " (row " << line << ")";
        }

        // "Same as Left" keeps clear of everything in the right box but the box's own frame.
        const QRect asLeft = w().chkAsLeft->geometry().adjusted(-2, -2, 2, 2);
        for (QWidget* inRight : w().right().boxAll->findChildren<QWidget*>()) {
            if (inRight->objectName().isEmpty() || !inRight->isVisibleTo(window.get()) ||
                inRight->parentWidget() != w().right().boxAll)
                continue;
            const QRect placed(inRight->mapTo(w().client, QPoint(0, 0)), inRight->size());
            EXPECT_FALSE(asLeft.intersects(placed)) << "Same as Left is within 2 pixels of " << describe(inRight);
        }

        // Captions fit their controls. A push button's size hint has a minimum width of the
        // style's; its caption needs only the button's contents.
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->objectName().isEmpty() || button->text().isEmpty() || !button->isVisibleTo(window.get()))
                continue;
            int needed = button->sizeHint().width();
            int room = button->width();
            if (auto* push = qobject_cast<QPushButton*>(button)) {
                QStyleOptionButton option;
                option.initFrom(push);
                option.rect = push->rect();
                room = push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push).width();
                needed = push->fontMetrics().horizontalAdvance(push->text());
            }
            EXPECT_LE(needed, room) << describe(button) << ": \"" << button->text().toStdString() << "\" clipped";
        }
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (label->objectName().isEmpty() || label->text().isEmpty() || !label->isVisibleTo(window.get()))
                continue;
            EXPECT_LE(label->sizeHint().width(), label->width()) << describe(label) << " clipped";
            EXPECT_LE(label->sizeHint().height(), label->height()) << describe(label) << " clipped";
        }
    }
};

TEST_F(LayoutFitTest, NothingOverlapsOrIsClippedInAnyState)
{
    checkFits("mono");
    choose(w().cboChannels, 1);
    checkFits("stereo");
    click(ch(Channel::Left).chkSweep);
    click(ch(Channel::Right).chkSweep);
    checkFits("stereo sweeps");
    choose(ch(Channel::Left).WaveForm, kPinkNoise);
    choose(ch(Channel::Right).WaveForm, kMLS);
    checkFits("noise and sequence");
    choose(ch(Channel::Left).WaveForm, kMLS);
    choose(ch(Channel::Right).WaveForm, kWhiteNoise);
    checkFits("sequence and noise");
    choose(ch(Channel::Left).WaveForm, kSinePulse);
    choose(ch(Channel::Right).WaveForm, kDiracPulse);
    checkFits("pulses");
    click(w().chkAsLeft);
    checkFits("same as left");
    for (QLineEdit* rename : w().MemEdit) {
        rename->setVisible(true);
        rename->setEnabled(true);
    }
    w().lblCorrectionAlert->setVisible(true);
    click(w().btnON);
    pump();
    checkFits("on, with the correction note");
}

TEST_F(LayoutFitTest, FieldsShowTheLongestTextTheyHold)
{
    struct Case {
        QLineEdit* field;
        const char* longest;
    };
    const Case cases[] = {
        {w().Duration, "9.07029E-5"},
        {ch(Channel::Left).txtMLSSeed, "4294967295"},
        {ch(Channel::Right).txtMLSSeed, "4294967295"},
        {ch(Channel::Left).txtMLSLength, "32"},
        {ch(Channel::Left).Amplitude, "-34.56"},
        {ch(Channel::Right).ModDepthEdit, "100"},
        {w().PhaseEdit, "359"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field->objectName().toStdString());
        EXPECT_LE(c.field->fontMetrics().horizontalAdvance(QString::fromLatin1(c.longest)), textRoom(c.field))
            << "\"" << c.longest << "\" does not fit " << describe(c.field);
    }
}

} // namespace
} // namespace velmora::ui::test
