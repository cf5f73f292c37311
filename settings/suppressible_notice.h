#pragma once

#include <QString>

class QWidget;

namespace velmora {

enum class NoticeButtons { Ok, YesNo };

// What ShowSuppressibleNotice returns: the button that closed the box, or Silenced.
namespace NoticeResult {
inline constexpr int Silenced = 0;
inline constexpr int Ok = 1;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
} // namespace NoticeResult

// Shows a modal warning box with the text, title and buttons, and a "Don't show this message
// again." check box. Ticking it - whatever button then closes the box - stores true under
// `valueName` in the settings store (creating the store on a first run); from then on any
// value of that name, of any kind, silences the notice and nothing is shown. Returns the
// button (NoticeResult). A store that cannot be read leaves the notice unsilenced; a store
// that cannot be written throws SettingsError naming the value, after the box has closed.
// Window thread only; allocates; runs a nested event loop while the box is open.
int ShowSuppressibleNotice(const QString& text, const QString& title, NoticeButtons buttons,
                           const QString& valueName, QWidget* parent = nullptr);

} // namespace velmora
