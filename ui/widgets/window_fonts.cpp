#include "ui/widgets/window_fonts.h"

#include <QFontDatabase>

namespace velmora::ui {

QFont windowFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(8);
    return font;
}

QFont smallWindowFont()
{
    QFont font = windowFont();
    font.setPointSize(7);
    return font;
}

} // namespace velmora::ui
