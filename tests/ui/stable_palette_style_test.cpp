// The style that hands equal palettes on as one kept palette: the controls look exactly as
// with the desktop's style itself, and greying and ungreying them again and again keeps no
// more palettes (the style's picture caches would grow with every new one).
#include "ui/widgets/stable_palette_style.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyleFactory>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

namespace velmora::ui::test {
namespace {

// One control of each kind the style copies options for, in a group box.
struct Panel {
    QWidget window;
    QGroupBox* group = new QGroupBox(QStringLiteral(" Level "), &window);

    Panel()
    {
        auto* layout = new QVBoxLayout(group);
        auto* combo = new QComboBox;
        combo->addItems({QStringLiteral("Sine"), QStringLiteral("Square")});
        layout->addWidget(combo);
        layout->addWidget(new QPushButton(QStringLiteral("ON")));
        layout->addWidget(new QCheckBox(QStringLiteral("Repeat")));
        layout->addWidget(new QLineEdit(QStringLiteral("1000")));
        layout->addWidget(new QSpinBox);
        layout->addWidget(new QSlider(Qt::Horizontal));
        group->setGeometry(0, 0, 200, 260);
        window.resize(200, 260);
    }

    void setStyle(QStyle* style)
    {
        window.setStyle(style);
        for (QWidget* child : window.findChildren<QWidget*>()) child->setStyle(style);
    }

    QImage picture() { return window.grab().toImage(); }
};

TEST(StablePaletteStyle, DrawsAsTheDesktopStyleAndKeepsOnePalettePerLook)
{
    const QString base = QApplication::style()->name();
    std::unique_ptr<QStyle> plain(QStyleFactory::create(base));
    StablePaletteStyle stable(base);

    Panel expected;
    expected.setStyle(plain.get());
    Panel drawn;
    drawn.setStyle(&stable);

    // As the window's rules do: a group greyed with a text colour of its own, then back.
    const auto look = [](Panel& panel, bool enabled) {
        QPalette palette = panel.group->palette();
        palette.setColor(QPalette::WindowText, enabled ? QColor(Qt::black) : QColor(128, 128, 128));
        panel.group->setPalette(palette);
        panel.group->setEnabled(enabled);
    };
    for (bool enabled : {true, false, true}) {
        SCOPED_TRACE(enabled ? "enabled" : "greyed");
        look(expected, enabled);
        look(drawn, enabled);
        EXPECT_EQ(drawn.picture(), expected.picture());
    }

    const size_t kept = stable.palettesKept();
    EXPECT_GT(kept, 0u);
    for (int i = 0; i < 200; ++i) {
        look(drawn, i % 2 == 0);
        drawn.picture();
    }
    EXPECT_EQ(stable.palettesKept(), kept);
}

} // namespace
} // namespace velmora::ui::test
