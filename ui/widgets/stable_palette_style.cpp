#include "ui/widgets/stable_palette_style.h"

#include <QStyleFactory>
#include <QStyleOption>

#include <memory>

namespace velmora::ui {

namespace {
// Looks beyond this are not kept (a window has a handful); the style then sees them as
// they come, as without this class.
constexpr size_t kMostPalettes = 64;

// A copy of `option` (of its own kind) with `palette`.
template <typename Option>
std::unique_ptr<QStyleOption> withPalette(const QStyleOption* option, const QPalette& palette)
{
    auto copy = std::make_unique<Option>(*static_cast<const Option*>(option));
    copy->palette = palette;
    return copy;
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

// The options are copied whole, by their real kind (its version and type say which), and
// only their palette is replaced; a kind not listed keeps its own palette.
#define VELMORA_STABLE_DRAW(call, opt)                                                                   \
    do {                                                                                                 \
        const QPalette& same = stable((opt)->palette);                                                  \
        if (same.cacheKey() == (opt)->palette.cacheKey()) {                                              \
            call(opt);                                                                                   \
            break;                                                                                       \
        }                                                                                                \
        std::unique_ptr<QStyleOption> copy;                                                              \
        switch ((opt)->type) {                                                                           \
        case QStyleOption::SO_Frame: copy = withPalette<QStyleOptionFrame>(opt, same); break;            \
        case QStyleOption::SO_Button: copy = withPalette<QStyleOptionButton>(opt, same); break;          \
        case QStyleOption::SO_GroupBox: copy = withPalette<QStyleOptionGroupBox>(opt, same); break;      \
        case QStyleOption::SO_ComboBox: copy = withPalette<QStyleOptionComboBox>(opt, same); break;      \
        case QStyleOption::SO_Slider: copy = withPalette<QStyleOptionSlider>(opt, same); break;          \
        case QStyleOption::SO_SpinBox: copy = withPalette<QStyleOptionSpinBox>(opt, same); break;        \
        case QStyleOption::SO_FocusRect: copy = withPalette<QStyleOptionFocusRect>(opt, same); break;    \
        case QStyleOption::SO_Default: copy = withPalette<QStyleOption>(opt, same); break;               \
        default: break;                                                                                  \
        }                                                                                                \
        if (copy)                                                                                        \
            call(copy.get());                                                                            \
        else                                                                                             \
            call(opt);                                                                                   \
    } while (false)

void StablePaletteStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                       const QWidget* widget) const
{
    const auto draw = [&](const QStyleOption* o) { QProxyStyle::drawPrimitive(element, o, painter, widget); };
    if (!option) return draw(option);
    VELMORA_STABLE_DRAW(draw, option);
}

void StablePaletteStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                     const QWidget* widget) const
{
    const auto draw = [&](const QStyleOption* o) { QProxyStyle::drawControl(element, o, painter, widget); };
    if (!option) return draw(option);
    VELMORA_STABLE_DRAW(draw, option);
}

void StablePaletteStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                            QPainter* painter, const QWidget* widget) const
{
    const auto draw = [&](const QStyleOption* o) {
        QProxyStyle::drawComplexControl(control, static_cast<const QStyleOptionComplex*>(o), painter, widget);
    };
    if (!option) return draw(option);
    VELMORA_STABLE_DRAW(draw, option);
}

#undef VELMORA_STABLE_DRAW

} // namespace velmora::ui
