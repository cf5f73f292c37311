#pragma once
// ScriptEditor: a small editor for script files (.zrs). The six commands are highlighted,
// and every line is checked with the script runner's own parser as it is typed: the
// Problems list names each line the runner would refuse, with its line number and reason,
// each play line whose preset file is missing or is no preset file, and the lines that
// never run. Window thread.

#include "files/script.h"
#include "files/text_file_form.h"

#include <QMainWindow>
#include <QString>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QListWidget;
class QPlainTextEdit;
class QSyntaxHighlighter;
class QTimer;

namespace velmora::ui {

class ScriptEditorWindow final : public QMainWindow {
public:
    explicit ScriptEditorWindow(QWidget* parent = nullptr);

    QPlainTextEdit* Editor = nullptr;
    QListWidget* Problems = nullptr;
    QAction* New1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* SaveAs1 = nullptr;
    QAction* Exit1 = nullptr;

    // Loads a script (UTF-8, or Windows-1252 as older scripts were written). Reports a
    // file that cannot be read in a message box and answers false.
    bool openFile(const QString& file);
    // Saves in the form the file was opened in (encoding, line ends, byte order mark; a new
    // script as UTF-8 with LF), replacing the file only once the new contents are written
    // whole.
    bool saveFile(const QString& file);
    const TextFileForm& fileForm() const { return form_; }
    QString fileName() const { return file_; }
    // The problems of the text as it stands (also shown in the Problems list).
    const std::vector<ScriptIssue>& issues() const { return issues_; }
    void recheck();

    // Replaceable for tests: dialogs and questions.
    std::function<QString()> chooseOpenFile;
    std::function<QString()> chooseSaveFile;
    std::function<void(const QString&)> showError;
    // Asked before unsaved changes would be lost: true to go on (after saving or discarding).
    std::function<bool()> confirmDiscard;
    // What a play line's path leads to, looked up as the runner does (as written, then
    // beside the script); the runner's own check by default.
    std::function<ScriptPreset(const std::string& path, const std::filesystem::path& scriptFolder)> checkPreset =
        CheckScriptPreset;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool maySwitch();
    void newFile();
    void updateTitle();
    void jumpTo(int line);

    QString file_;
    TextFileForm form_;
    std::vector<ScriptIssue> issues_;
    QSyntaxHighlighter* highlighter_ = nullptr;
    QTimer* recheckTimer_ = nullptr;
};

} // namespace velmora::ui
