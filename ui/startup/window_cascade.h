#pragma once
// A generator window opened from another one ("&Open New Generator Window") opens beside
// it, title bar below title bar, instead of exactly on top of it where the kept window state
// would put it. The opening window hands the place to the new copy of the program in its
// environment; the new copy takes it once, after its window state is restored. Window thread.

#include "settings/screen_edges.h"

#include <optional>

class QString;
class QWidget;

namespace velmora::ui {

// Starts the program `program` with "/nosplash", its main window to open a step right of and
// below `from` (back at the screen's top left when it would not fit). false: it could not be
// started.
bool StartGeneratorBeside(const QString& program, const QWidget& from);

// The place handed to this copy of the program by the window it was opened from, if any;
// taken once (the variable is removed, so programs this one starts do not inherit it).
std::optional<WindowPlace> TakeOpeningPlace();

// Moves `window` to `place`, kept on the screen it lands on (or the primary one).
void OpenAt(QWidget& window, WindowPlace place);

} // namespace velmora::ui
