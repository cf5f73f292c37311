#pragma once
// Owner-drawn list items: a small picture, then the item's text in full. Used by the waveform,
// modulation and channel-layout lists, for their drop-down items and (through
// drawPictureItem) for the closed box. Window thread.

#include <QPixmap>
#include <QStyledItemDelegate>

class QPainter;

namespace velmora::ui {

// Where a list places its picture and text inside an item rectangle.
struct ItemLayout {
    int height = 18;      // item height in pixels
    int pictureTop = 1;   // picture's top, below the item's top
    int textTop = 2;      // text's top, below the item's top
};

// Draws one item: fills `rect` with `ground`, puts `picture` (if any) at its own size two pixels
// in from the left, and the text from picture width + 8 (24 without a picture), unclipped by
// the text's length so that padded texts run off the item's right edge.
void drawPictureItem(QPainter& painter, const QRect& rect, const QPixmap& picture, const QString& text,
                     const QFont& font, const QBrush& ground, const QColor& textColour, const ItemLayout& layout);

class PictureItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    PictureItemDelegate(const ItemLayout& layout, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    ItemLayout layout_;
};

} // namespace velmora::ui
