#pragma once
// The progress shown on the program's task-bar entry during a wave export, sent as the
// desktop's launcher-entry signal (com.canonical.Unity.LauncherEntry, "Update", with
// "progress" and "progress-visible") on the session bus. Docks and task managers that
// follow the signal draw it; without a session bus nothing is sent. Window thread.

#include <QString>

namespace velmora::ui {

class TaskbarProgress final {
public:
    // The desktop entry the launcher knows the program by.
    static constexpr const char* kApplicationUri = "application://velmora.desktop";
    static constexpr const char* kObjectPath = "/org/velmora/LauncherEntry";

    // Percent 0-100; the entry shows the bar. A value equal to the last one sends nothing.
    void setProgress(int percent);
    // Progress 0 and the bar hidden.
    void clear();

private:
    void send(int percent, bool visible);
    int last_ = -1;
    bool visible_ = false;
};

} // namespace velmora::ui
