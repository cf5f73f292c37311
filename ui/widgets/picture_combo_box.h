#pragma once
// A drop-down list whose items are drawn with their pictures, in the drop-down and in the
// closed box alike. Window thread.

#include "ui/widgets/picture_item_delegate.h"

#include <QComboBox>

namespace velmora::ui {

class PictureComboBox final : public QComboBox {
    Q_OBJECT
public:
    PictureComboBox(const ItemLayout& layout, QWidget* parent);

    // Appends an item with its picture (kept in the item's decoration role).
    void addPictureItem(const QString& text, const QPixmap& picture);
    // The picture of item `index`, null when it has none.
    QPixmap itemPicture(int index) const;
    const ItemLayout& itemLayout() const { return layout_; }

    // Opens the drop-down at the box's own width, however long the item texts are.
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ItemLayout layout_;
};

} // namespace velmora::ui
