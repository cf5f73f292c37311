#include "ui/startup/window_cascade.h"

#include <QGuiApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>
#include <QStringList>
#include <QWidget>

namespace velmora::ui {

namespace {
// Between copies of the program only: "left,top" of the new main window's frame.
constexpr char kOpenAt[] = "VELMORA_OPEN_AT";

ScreenRect areaOf(const QScreen* screen)
{
    if (!screen) return {};
    const QRect a = screen->availableGeometry();
    return {a.left(), a.top(), a.width(), a.height()};
}

const QScreen* screenAt(const QPoint& point)
{
    if (const QScreen* screen = QGuiApplication::screenAt(point)) return screen;
    return QGuiApplication::primaryScreen();
}
} // namespace

bool StartGeneratorBeside(const QString& program, const QWidget& from)
{
    const QRect frame = from.frameGeometry();
    const WindowPlace place = CascadePlace({frame.left(), frame.top()}, frame.width(), frame.height(),
                                           areaOf(screenAt(frame.topLeft())));
    QProcess process;
    process.setProgram(program);
    process.setArguments({QStringLiteral("/nosplash")});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kOpenAt), QStringLiteral("%1,%2").arg(place.left).arg(place.top));
    process.setProcessEnvironment(environment);
    return process.startDetached();
}

std::optional<WindowPlace> TakeOpeningPlace()
{
    if (!qEnvironmentVariableIsSet(kOpenAt)) return std::nullopt;
    const QStringList parts = qEnvironmentVariable(kOpenAt).split(QLatin1Char(','));
    qunsetenv(kOpenAt);
    bool left = false;
    bool top = false;
    if (parts.size() != 2) return std::nullopt;
    const WindowPlace place{parts[0].trimmed().toInt(&left), parts[1].trimmed().toInt(&top)};
    if (!left || !top) return std::nullopt;
    return place;
}

void OpenAt(QWidget& window, WindowPlace place)
{
    const QRect frame = window.frameGeometry();
    const WindowPlace on =
        PlaceOnScreen(place, frame.width(), frame.height(), areaOf(screenAt(QPoint(place.left, place.top))));
    window.move(on.left, on.top);
}

} // namespace velmora::ui
