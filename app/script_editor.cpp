// ScriptEditor: edits script files (.zrs) for the generator, checking every line as the
// script runner would.
//   ScriptEditor [FILE.zrs]
#include "control/dbus/session_bus.h"
#include "ui/script_editor/script_editor_window.h"

#include <QApplication>

int main(int argc, char** argv)
{
    velmora::SettleSessionBus(); // no session bus is started for the editor
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ScriptEditor"));
    velmora::ui::ScriptEditorWindow window;
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) window.openFile(args.at(1));
    window.show();
    return app.exec();
}
