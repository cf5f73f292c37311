#include "ui/widgets/stable_palette_style.h"

#include <QStyleFactory>
#include <QStyleOption>

namespace velmora::ui {

namespace {
// Looks beyond this are not kept (a window has a handful); the style then sees them as
// they come, as without this class.
constexpr size_t kMostPalettes = 64;

// Draws a copy of `option`, of its own kind, with `palette`. The copy lives on the stack as
// its real type: the options have no virtual destructor, so none is ever deleted through a
// pointer to its base.
template <typename Option, typename Draw>
void drawCopy(const QStyleOption* option, const QPalette& palette, const Draw& draw)
{
    Option copy(*static_cast<const Option*>(option));
    copy.palette = palette;
    draw(&copy);
}

// The options are copied whole, by their real kind (its type says which), and only their
// palette is replaced; a kind not listed keeps its own palette.
template <typename Draw>
void drawWithPalette(const QStyleOption* option, const QPalette& palette, const Draw& draw)
{
    switch (option->type) {
    case QStyleOption::SO_Frame: return drawCopy<QStyleOptionFrame>(option, palette, draw);
    case QStyleOption::SO_Button: return drawCopy<QStyleOptionButton>(option, palette, draw);
    case QStyleOption::SO_GroupBox: return drawCopy<QStyleOptionGroupBox>(option, palette, draw);
    case QStyleOption::SO_ComboBox: return drawCopy<QStyleOptionComboBox>(option, palette, draw);
    case QStyleOption::SO_Slider: return drawCopy<QStyleOptionSlider>(option, palette, draw);
    case QStyleOption::SO_SpinBox: return drawCopy<QStyleOptionSpinBox>(option, palette, draw);
    case QStyleOption::SO_FocusRect: return drawCopy<QStyleOptionFocusRect>(option, palette, draw);
    case QStyleOption::SO_Default: return drawCopy<QStyleOption>(option, palette, draw);
    default: return draw(option);
    }
}
} // namespace

StablePaletteStyle::StablePaletteStyle(const QString& baseStyle) : QProxyStyle(QStyleFactory::create(baseStyle))
{
    kept_.reserve(kMostPalettes); // what stable() hands out stays where it is
}

const QPalette& StablePaletteStyle::stable(const QPalette& palette) const
{
    for (const QPalette& p : kept_)
        if (p.cacheKey() == palette.cacheKey() || (p == palette && p.resolveMask() == palette.resolveMask()))
            return p;
    if (kept_.size() >= kMostPalettes) return palette;
    kept_.push_back(palette);
    return kept_.back();
}

template <typename Draw>
void StablePaletteStyle::drawStable(const QStyleOption* option, const Draw& draw) const
{
    if (!option) return draw(option);
    const QPalette& same = stable(option->palette);
    if (same.cacheKey() == option->palette.cacheKey()) return draw(option);
    drawWithPalette(option, same, draw);
}

void StablePaletteStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                       const QWidget* widget) const
{
    const auto draw = [&](const QStyleOption* o) { QProxyStyle::drawPrimitive(element, o, painter, widget); };
    drawStable(option, draw);
}

void StablePaletteStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                     const QWidget* widget) const
{
    const auto draw = [&](const QStyleOption* o) { QProxyStyle::drawControl(element, o, painter, widget); };
    drawStable(option, draw);
}

void StablePaletteStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                            QPainter* painter, const QWidget* widget) const
{
    const auto draw = [&](const QStyleOption* o) {
        QProxyStyle::drawComplexControl(control, static_cast<const QStyleOptionComplex*>(o), painter, widget);
    };
    drawStable(option, draw);
}

} // namespace velmora::ui
