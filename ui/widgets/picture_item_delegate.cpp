#include "ui/widgets/picture_item_delegate.h"

#include <QFontMetrics>
#include <QPainter>

namespace velmora::ui {

void drawPictureItem(QPainter& painter, const QRect& rect, const QPixmap& picture, const QString& text,
                     const QFont& font, const QBrush& ground, const QColor& textColour, const ItemLayout& layout)
{
    painter.save();
    painter.setClipRect(rect);
    painter.fillRect(rect, ground);
    int textLeft = rect.left() + 24;
    if (!picture.isNull()) {
        painter.drawPixmap(rect.left() + 2, rect.top() + layout.pictureTop, picture);
        textLeft = rect.left() + picture.width() + 8;
    }
    painter.setFont(font);
    painter.setPen(textColour);
    const QFontMetrics metrics(font);
    painter.drawText(QPoint(textLeft, rect.top() + layout.textTop + metrics.ascent()), text);
    painter.restore();
}

PictureItemDelegate::PictureItemDelegate(const ItemLayout& layout, QObject* parent)
    : QStyledItemDelegate(parent), layout_(layout)
{
}

void PictureItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    const QBrush ground = option.palette.brush(group, selected ? QPalette::Highlight : QPalette::Base);
    const QColor textColour =
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    drawPictureItem(*painter, option.rect, index.data(Qt::DecorationRole).value<QPixmap>(),
                    index.data(Qt::DisplayRole).toString(), option.font, ground, textColour, layout_);
}

QSize PictureItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    // The width stays the list's own: padded items must not widen the drop-down.
    return {option.rect.width(), layout_.height};
}

} // namespace velmora::ui
