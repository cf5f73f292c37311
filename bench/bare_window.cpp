// bare_window: the smallest Qt Widgets program that shows a window, the yardstick the
// generator's start-up is measured against (bench/startup_time.sh).
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.resize(480, 360);
    window.show();
    return app.exec();
}
