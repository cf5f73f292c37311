// The list pictures and the item drawing: every waveform has a picture of its own, drawn in
// its colour, and items place picture and text where the lists expect them.
#include "ui/widgets/picture_item_delegate.h"
#include "ui/widgets/pictures.h"

#include <QImage>
#include <QPainter>
#include <QSet>

#include <gtest/gtest.h>

using namespace velmora::ui;

namespace {

QImage imageOf(const QPixmap& pixmap) { return pixmap.toImage().convertToFormat(QImage::Format_ARGB32); }

bool hasPixel(const QImage& image, const std::function<bool(QColor)>& test)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (test(image.pixelColor(x, y)))
                return true;
    return false;
}

bool isTraceGreen(QColor c) { return c.alpha() == 255 && c.green() > 200 && c.red() < 80 && c.blue() < 80; }
bool isWhite(QColor c) { return c.alpha() == 255 && c.red() > 230 && c.green() > 230 && c.blue() > 230; }
bool isPink(QColor c) { return c.alpha() == 255 && c.red() > 230 && c.green() > 80 && c.green() < 200 && c.blue() > 150; }

TEST(PicturesTest, WaveformPicturesAreDistinctAndInTheirColours)
{
    QList<QImage> images;
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        const QPixmap picture = waveFormPicture(i);
        ASSERT_EQ(picture.size(), QSize(16, 16));
        images << imageOf(picture);
    }
    for (int i = 0; i < 9; ++i)
        for (int j = i + 1; j < 9; ++j)
            EXPECT_NE(images[i], images[j]) << "waveforms " << i << " and " << j;
    EXPECT_EQ(images[9], images[4]) << "MLS shares the white-noise picture";

    for (int i : {0, 1, 2, 3, 6, 7, 8}) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(hasPixel(images[i], isTraceGreen));
        EXPECT_FALSE(hasPixel(images[i], isWhite));
    }
    EXPECT_TRUE(hasPixel(images[4], isWhite));
    EXPECT_FALSE(hasPixel(images[4], isTraceGreen));
    EXPECT_TRUE(hasPixel(images[5], isPink));
    EXPECT_FALSE(hasPixel(images[5], isTraceGreen));
    // Black screen in the corners.
    EXPECT_EQ(images[0].pixelColor(15, 0), QColor(0, 0, 0));

    // The periodic noises: a trace that repeats, in the noise's colour.
    for (int i = 10; i < 13; ++i) {
        SCOPED_TRACE(i);
        const QImage periodic = imageOf(waveFormPicture(i));
        for (int j = 0; j < 9; ++j) EXPECT_NE(periodic, images[j]) << j;
        EXPECT_FALSE(hasPixel(periodic, isTraceGreen));
    }
    EXPECT_TRUE(hasPixel(imageOf(waveFormPicture(10)), isWhite));
    EXPECT_TRUE(hasPixel(imageOf(waveFormPicture(11)), isPink));

    EXPECT_TRUE(waveFormPicture(-1).isNull());
    // The multitone, the twin tones and the tone burst: green traces of their own.
    for (int i = 13; i < 18; ++i) {
        SCOPED_TRACE(i);
        const QImage tones = imageOf(waveFormPicture(i));
        for (int j = 0; j < i; ++j) EXPECT_NE(tones, imageOf(waveFormPicture(j))) << j;
        EXPECT_TRUE(hasPixel(tones, isTraceGreen));
    }
    EXPECT_TRUE(waveFormPicture(18).isNull());
}

TEST(PicturesTest, WaveformTracesHaveTheirShape)
{
    // Silence: one flat line on the centre row; the Dirac pulse adds a single upward spike.
    const QImage silence = imageOf(waveFormPicture(8));
    const QImage dirac = imageOf(waveFormPicture(7));
    for (int y = 0; y < 16; ++y) {
        if (y != 8) {
            EXPECT_FALSE(isTraceGreen(silence.pixelColor(5, y))) << y;
        }
    }
    EXPECT_TRUE(isTraceGreen(silence.pixelColor(5, 8)));
    EXPECT_TRUE(isTraceGreen(dirac.pixelColor(7, 3)));
    EXPECT_FALSE(isTraceGreen(dirac.pixelColor(12, 3)));
    // The sine rises first: above the centre at a quarter period, below at three quarters.
    const QImage sine = imageOf(waveFormPicture(0));
    EXPECT_TRUE(isTraceGreen(sine.pixelColor(4, 2)));
    EXPECT_TRUE(isTraceGreen(sine.pixelColor(11, 14)));
}

TEST(PicturesTest, ModulationAndLayoutPictures)
{
    QList<QImage> shapes;
    for (int i = 0; i < 4; ++i) {
        const QPixmap picture = modFunctionPicture(i);
        ASSERT_EQ(picture.size(), QSize(16, 16));
        shapes << imageOf(picture);
    }
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
            EXPECT_NE(shapes[i], shapes[j]) << i << " and " << j;
    // Light ground.
    EXPECT_GT(shapes[0].pixelColor(0, 0).lightness(), 200);

    const QPixmap mono = channelLayoutPicture(0);
    const QPixmap stereo = channelLayoutPicture(1);
    EXPECT_EQ(mono.size(), QSize(14, 14));
    EXPECT_EQ(stereo.size(), QSize(15, 14));
    // The red key colour comes out transparent around the rings.
    EXPECT_EQ(imageOf(mono).pixelColor(0, 0).alpha(), 0);
    EXPECT_FALSE(hasPixel(imageOf(stereo), [](QColor c) { return c.alpha() > 0 && c == QColor(255, 0, 0); }));
    EXPECT_NE(imageOf(mono).pixelColor(7, 2).alpha(), 0) << "the ring itself is drawn";
}

TEST(PicturesTest, FifteenNamedPictures)
{
    QSet<QString> names;
    for (int i = 0; i < kPictureCount; ++i) {
        const auto picture = static_cast<Picture>(i);
        names.insert(pictureName(picture));
        EXPECT_FALSE(drawPicture(picture).isNull()) << i;
    }
    EXPECT_EQ(names.size(), kPictureCount);
    EXPECT_TRUE(names.contains("SINPULSEP"));
    EXPECT_TRUE(names.contains("MODTRIANGLE"));
}

// An item drawn at 160 x 18 on a uniform ground.
QImage drawnItem(const QPixmap& picture, const QString& text, const ItemLayout& layout, int width = 160)
{
    QImage image(width, layout.height, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    drawPictureItem(painter, QRect(0, 0, width, layout.height), picture, text, QFont(), QColor(255, 255, 255),
                    QColor(0, 0, 0), layout);
    return image;
}

bool columnIsGround(const QImage& image, int x)
{
    for (int y = 0; y < image.height(); ++y)
        if (image.pixelColor(x, y) != QColor(255, 255, 255))
            return false;
    return true;
}

TEST(ItemDrawingTest, PictureAtItsOffsetTextAfterIt)
{
    struct Case {
        const char* what;
        QPixmap picture;
        ItemLayout layout;
    };
    const Case cases[] = {
        {"waveform", waveFormPicture(2), ItemLayout{18, 1, 2}},
        {"modulation", modFunctionPicture(3), ItemLayout{18, 2, 2}},
        {"stereo", channelLayoutPicture(1), ItemLayout{17, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QImage item = drawnItem(c.picture, "Triangular", c.layout);
        const QImage picture = imageOf(c.picture);
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                if (picture.pixelColor(x, y).alpha() == 255) {
                    ASSERT_EQ(item.pixelColor(x + 2, y + c.layout.pictureTop), picture.pixelColor(x, y))
                        << x << "," << y;
                }
            }
        }
        // Ground between picture and text; the text starts eight pixels past the picture.
        const int textLeft = c.picture.width() + 8;
        // (The column just before the text may catch antialiasing of the first glyph.)
        for (int x = c.picture.width() + 2; x < textLeft - 1; ++x)
            EXPECT_TRUE(columnIsGround(item, x)) << x;
        bool inked = false;
        for (int x = textLeft; x < textLeft + 8; ++x)
            inked = inked || !columnIsGround(item, x);
        EXPECT_TRUE(inked);
    }

    const QImage bare = drawnItem(QPixmap(), "Sine", ItemLayout{});
    for (int x = 0; x < 24; ++x)
        EXPECT_TRUE(columnIsGround(bare, x)) << x;
}

TEST(ItemDrawingTest, DelegateFillsSelectedItemsWithTheSelectionColour)
{
    PictureItemDelegate delegate(ItemLayout{18, 1, 2}, nullptr);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 152, 18);
    option.state = QStyle::State_Enabled | QStyle::State_Selected;
    option.palette.setColor(QPalette::Highlight, QColor(10, 20, 30));
    EXPECT_EQ(delegate.sizeHint(option, {}).height(), 18);
    EXPECT_EQ(PictureItemDelegate(ItemLayout{17, 1, 1}, nullptr).sizeHint(option, {}).height(), 17);
}

} // namespace
