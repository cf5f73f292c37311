#include "ui/widgets/picture_combo_box.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace velmora::ui {

PictureComboBox::PictureComboBox(const ItemLayout& layout, QWidget* parent)
    : QComboBox(parent), layout_(layout)
{
    setItemDelegate(new PictureItemDelegate(layout_, this));
}

void PictureComboBox::addPictureItem(const QString& text, const QPixmap& picture)
{
    addItem(text);
    setItemData(count() - 1, picture, Qt::DecorationRole);
}

QPixmap PictureComboBox::itemPicture(int index) const
{
    return itemData(index, Qt::DecorationRole).value<QPixmap>();
}

void PictureComboBox::showPopup()
{
    QComboBox::showPopup();
    // The drop-down would widen itself to the padded texts and show their hidden endings.
    QWidget* popup = view()->window();
    if (popup != window() && popup->width() > width()) {
        popup->resize(width(), popup->height());
        popup->move(mapToGlobal(QPoint(0, 0)).x(), popup->y());
    }
}

void PictureComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);

    // The closed box shows the current item the way the drop-down draws it.
    QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    if (currentIndex() < 0)
        return;
    field.setHeight(std::min(field.height(), layout_.height));
    field.moveTop(option.rect.top() + (option.rect.height() - field.height()) / 2);
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Normal : QPalette::Disabled;
    const bool focused = hasFocus();
    const QBrush ground = palette().brush(group, focused ? QPalette::Highlight : QPalette::Base);
    const QColor text = palette().color(group, focused ? QPalette::HighlightedText : QPalette::Text);
    drawPictureItem(painter, field, itemPicture(currentIndex()), currentText(), font(), ground, text, layout_);
}

} // namespace velmora::ui
