// The lists' items: texts (with the hidden endings of the padded waveform items), pictures and
// what the lists show of them.
#include "ui/main_window/generator_window.h"
#include "ui/widgets/list_items.h"
#include "ui/widgets/picture_combo_box.h"

#include <QComboBox>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace velmora::ui;

namespace {

TEST(ListItemsTest, WaveformTextsWithHiddenEndings)
{
    struct Case {
        Channel side;
        int width;
    };
    for (const Case c : {Case{Channel::Left, 52}, Case{Channel::Right, 51}}) {
        SCOPED_TRACE(c.width);
        const QStringList items = waveFormItems(c.side);
        ASSERT_EQ(items.size(), 18);
        EXPECT_EQ(items.mid(0, 7), QStringList({"Sine", "Square", "Triangular", "Sawtooth", "White Noise",
                                                "Pink Noise", "Sine Pulse"}));
        const char* const padded[] = {"Dirac Pulse", "Silence", "MLS"};
        for (int i = 7; i < 10; ++i) {
            const QString name = QLatin1String(padded[i - 7]);
            EXPECT_EQ(items[i].size(), c.width);
            EXPECT_EQ(items[i], name + QString(c.width - name.size() - 5, ' ') + "Noise");
        }
        // The periodic noises come after them, unpadded.
        EXPECT_EQ(items.mid(10), QStringList({"White Noise (periodic)", "Pink Noise (periodic)",
                                             "Brown Noise (periodic)", "Multitone", "IMD SMPTE", "IMD CCIF",
                                             "Tone Burst", "IMD DIN"}));
    }
    EXPECT_EQ(waveFormItemText(8, Channel::Left), "Silence" + QString(40, ' ') + "Noise");
    EXPECT_EQ(waveFormItemText(8, Channel::Right), "Silence" + QString(39, ' ') + "Noise");
    EXPECT_TRUE(waveFormItemText(18, Channel::Left).isEmpty());
}

TEST(ListItemsTest, OtherListTexts)
{
    EXPECT_EQ(modFunctionItems(), QStringList({"Sine ", "Cosine", "Square", "Triangular"}));
    EXPECT_EQ(crestFactorItems(), QStringList({"1.42:1", "2:1", "3:1", "4:1", "6:1", "8:1", "10:1"}));
    EXPECT_EQ(channelLayoutItems(), QStringList({"Mono", "Stereo"}));
}

QStringList itemsOf(const QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

TEST(ListItemsTest, WindowListsCarryTheirItemsAndPictures)
{
    TfrmGenerator window;
    auto& w = window.widgets();
    struct Case {
        PictureComboBox* list;
        QStringList items;
        QSize pictureSize;
        int itemHeight;
    };
    const Case cases[] = {
        {w.left().WaveForm, waveFormItems(Channel::Left), QSize(16, 16), 18},
        {w.right().WaveForm, waveFormItems(Channel::Right), QSize(16, 16), 18},
        {w.left().ModFunction, modFunctionItems(), QSize(16, 16), 18},
        {w.right().ModFunction, modFunctionItems(), QSize(16, 16), 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list->objectName().toStdString());
        EXPECT_EQ(itemsOf(c.list), c.items);
        for (int i = 0; i < c.list->count(); ++i)
            EXPECT_EQ(c.list->itemPicture(i).size(), c.pictureSize) << i;
        EXPECT_EQ(c.list->itemLayout().height, c.itemHeight);
    }
    EXPECT_EQ(w.left().ModFunction->itemLayout().pictureTop, 2);
    EXPECT_EQ(w.left().WaveForm->itemLayout().pictureTop, 1);
    EXPECT_EQ(itemsOf(w.cboChannels), channelLayoutItems());
    EXPECT_EQ(w.cboChannels->itemPicture(0).size(), QSize(14, 14));
    EXPECT_EQ(w.cboChannels->itemPicture(1).size(), QSize(15, 14));
    EXPECT_EQ(w.cboChannels->itemLayout().height, 17);
    EXPECT_EQ(w.cboChannels->itemLayout().textTop, 1);
    EXPECT_EQ(itemsOf(w.left().cboCrestFactor), crestFactorItems());
    EXPECT_EQ(itemsOf(w.right().cboCrestFactor), crestFactorItems());
}

// What a list shows of an item: the item drawn at the list's width in the list's font.
QImage shownItem(const PictureComboBox* list, int index, const QString& text)
{
    const ItemLayout& layout = list->itemLayout();
    QImage image(list->width(), layout.height, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    drawPictureItem(painter, image.rect(), list->itemPicture(index), text, list->font(), Qt::white, Qt::black,
                    layout);
    return image;
}

TEST(ListItemsTest, PaddedItemsShowOnlyTheirName)
{
    TfrmGenerator window;
    for (PictureComboBox* list : {window.widgets().left().WaveForm, window.widgets().right().WaveForm}) {
        SCOPED_TRACE(list->objectName().toStdString());
        const char* const names[] = {"Dirac Pulse", "Silence", "MLS"};
        for (int i = 7; i < 10; ++i) {
            SCOPED_TRACE(i);
            const QImage full = shownItem(list, i, list->itemText(i));
            EXPECT_EQ(full, shownItem(list, i, QLatin1String(names[i - 7])));
            EXPECT_NE(full, shownItem(list, i, QString())) << "the name itself shows";
        }
    }
}

} // namespace
