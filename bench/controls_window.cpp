// controls_window: the generator's main window with its controls only - no engine, device,
// kept window state or link to other programs - shown as soon as it is made. The part of
// the generator's start-up that the controls alone take (bench/startup_time.sh).
#include "ui/main_window/generator_window.h"
#include "ui/widgets/stable_palette_style.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(new velmora::ui::StablePaletteStyle(QApplication::style()->name()));
    velmora::ui::TfrmGenerator window;
    window.show();
    return app.exec();
}
