// velmora: the generator window.
#include "ui/about_window.h"
#include "ui/generator_window.h"

#include "ui/picture_combo_box.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QTimer>

#include <memory>

namespace {

// VELMORA_SCREENSHOT=<file.png> saves a picture of a window once it is on screen and quits;
// VELMORA_SCREENSHOT_WINDOW picks the window ("main", the default, "about", or "waves": the
// left waveform list opened). Used by tools/screenshots.sh.
void scheduleScreenshot(QWidget* window, const QString& file)
{
    QTimer::singleShot(500, window, [window, file] {
        QApplication::exit(window->grab().save(file) ? 0 : 1);
    });
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));

    velmora::ui::TfrmGenerator window;
    window.show();

    std::unique_ptr<velmora::ui::AboutWindow> about;
    const QString shot = qEnvironmentVariable("VELMORA_SCREENSHOT");
    if (!shot.isEmpty()) {
        if (qEnvironmentVariable("VELMORA_SCREENSHOT_WINDOW") == QLatin1String("about")) {
            about = std::make_unique<velmora::ui::AboutWindow>(&window);
            about->show();
            scheduleScreenshot(about.get(), shot);
        } else if (qEnvironmentVariable("VELMORA_SCREENSHOT_WINDOW") == QLatin1String("waves")) {
            auto* list = window.widgets().left().WaveForm;
            QTimer::singleShot(200, list, [list] { list->showPopup(); });
            scheduleScreenshot(list->view()->window(), shot);
        } else {
            scheduleScreenshot(&window, shot);
        }
    }
    return app.exec();
}
