#pragma once
// The mouse wheel changes a list, a slider or a spin box only while that control has the
// keyboard focus: a wheel turned to scroll past a control, or over it by chance, must not
// turn a sine into full-scale noise while the generator plays. Window thread.

class QWidget;

namespace velmora::ui {

// Applies the rule to every list, slider and spin box inside `root` (root included). The
// controls still take the focus by click and by Tab, no longer by the wheel.
void wheelOnlyWhenFocused(QWidget* root);

} // namespace velmora::ui
