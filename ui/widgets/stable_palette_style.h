#pragma once
// The application's style, with the palettes it is given made stable. A widget greyed and
// ungreyed (the window's rules set the text colours of whole groups) gets a new palette
// each time, and styles that keep drawn frames in the pixmap cache name them by the
// palette's serial: every change then left new names behind, and a window driven by
// messages that toggle channels or modulation grew by some hundred bytes a message. Here
// equal palettes are handed to the style as one and the same palette, so the cache keeps
// one set of frames per look. Drawing is unchanged. Window thread.

#include <QPalette>
#include <QProxyStyle>

#include <vector>

namespace velmora::ui {

class StablePaletteStyle final : public QProxyStyle {
public:
    // Wraps the style the application would use (by its name, as QStyleFactory knows it).
    explicit StablePaletteStyle(const QString& baseStyle);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;

    // Palettes kept: one per distinct look drawn so far.
    size_t palettesKept() const { return kept_.size(); }

private:
    // The kept palette equal to `palette`, kept now if it is new.
    const QPalette& stable(const QPalette& palette) const;
    // Draws with `option` as it is, or with a copy holding the kept palette equal to its own.
    template <typename Draw>
    void drawStable(const QStyleOption* option, const Draw& draw) const;

    mutable std::vector<QPalette> kept_;
};

} // namespace velmora::ui
