#include "ui/script_editor/script_editor_window.h"

#include "files/windows1252.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSplitter>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTimer>

namespace velmora::ui {

namespace {
const QString kFilter = QStringLiteral("ZRX Script (*.zrs);;All Files (*)");

// Colours the command word of each line: the six commands in bold blue, anything else in
// the first word red (the runner would stop there), the rest of a rem line grey.
class ScriptHighlighter final : public QSyntaxHighlighter {
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString& text) override
    {
        const qsizetype space = text.indexOf(QLatin1Char(' '));
        const qsizetype length = space < 0 ? text.size() : space;
        const ScriptCommand command = CommandOf(SplitScriptLine(text.toStdString()).command);
        QTextCharFormat format;
        if (command == ScriptCommand::Invalid) {
            if (text.isEmpty()) return;
            format.setForeground(QColor(192, 0, 0));
            format.setFontUnderline(true);
            format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            setFormat(0, static_cast<int>(std::max<qsizetype>(length, 1)), format);
            return;
        }
        format.setForeground(QColor(0, 0, 160));
        format.setFontWeight(QFont::Bold);
        setFormat(0, static_cast<int>(length), format);
        if (command == ScriptCommand::Rem && length < text.size()) {
            QTextCharFormat comment;
            comment.setForeground(QColor(110, 110, 110));
            setFormat(static_cast<int>(length), static_cast<int>(text.size() - length), comment);
        }
    }
};
} // namespace

ScriptEditorWindow::ScriptEditorWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("ScriptEditor"));
    resize(640, 480);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    Editor = new QPlainTextEdit(splitter);
    Editor->setObjectName(QStringLiteral("Editor"));
    Editor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    Problems = new QListWidget(splitter);
    Problems->setObjectName(QStringLiteral("Problems"));
    splitter->setStretchFactor(0, 4);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);
    highlighter_ = new ScriptHighlighter(Editor->document());

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    New1 = file->addAction(QStringLiteral("&New"), QKeySequence::New, this, [this] {
        if (maySwitch()) newFile();
    });
    Open1 = file->addAction(QStringLiteral("&Open..."), QKeySequence::Open, this, [this] {
        if (!maySwitch()) return;
        const QString f = chooseOpenFile ? chooseOpenFile() : QString();
        if (!f.isEmpty()) openFile(f);
    });
    Save1 = file->addAction(QStringLiteral("&Save"), QKeySequence::Save, this, [this] {
        if (file_.isEmpty()) {
            SaveAs1->trigger();
        } else {
            saveFile(file_);
        }
    });
    SaveAs1 = file->addAction(QStringLiteral("Save &As..."), QKeySequence::SaveAs, this, [this] {
        const QString f = chooseSaveFile ? chooseSaveFile() : QString();
        if (!f.isEmpty()) saveFile(f);
    });
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("E&xit"), QKeySequence::Quit, this, [this] { close(); });

    chooseOpenFile = [this] { return QFileDialog::getOpenFileName(this, QStringLiteral("Open script file"), {}, kFilter); };
    chooseSaveFile = [this] {
        QFileDialog dialog(this, QStringLiteral("Save script file"), file_, kFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("zrs"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    showError = [this](const QString& text) { QMessageBox::critical(this, QStringLiteral("ScriptEditor"), text); };
    confirmDiscard = [this] {
        const auto answer = QMessageBox::question(
            this, QStringLiteral("ScriptEditor"),
            QStringLiteral("Save the changes to %1?")
                .arg(file_.isEmpty() ? QStringLiteral("the new script") : QFileInfo(file_).fileName()),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        if (answer == QMessageBox::Save) {
            Save1->trigger();
            return !Editor->document()->isModified();
        }
        return answer == QMessageBox::Discard;
    };

    // Checking waits for a pause in the typing.
    recheckTimer_ = new QTimer(this);
    recheckTimer_->setSingleShot(true);
    recheckTimer_->setInterval(300);
    connect(recheckTimer_, &QTimer::timeout, this, [this] { recheck(); });
    connect(Editor, &QPlainTextEdit::textChanged, recheckTimer_, qOverload<>(&QTimer::start));
    connect(Editor->document(), &QTextDocument::modificationChanged, this, [this] { updateTitle(); });
    connect(Problems, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { jumpTo(item->data(Qt::UserRole).toInt()); });
    newFile();
}

void ScriptEditorWindow::newFile()
{
    file_.clear();
    form_ = {};
    Editor->setPlainText(QString());
    Editor->document()->setModified(false);
    recheck();
    updateTitle();
}

bool ScriptEditorWindow::openFile(const QString& name)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly)) {
        if (showError) showError(QStringLiteral("Cannot open file \"%1\". %2").arg(name, f.errorString()));
        return false;
    }
    if (f.size() > static_cast<qint64>(ScriptFile::kMaxBytes)) {
        if (showError) showError(QStringLiteral("The script file \"%1\" is too large.").arg(name));
        return false;
    }
    const QByteArray bytes = f.readAll();
    const DecodedTextFile decoded =
        DecodeTextFile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    file_ = name;
    form_ = decoded.form;
    Editor->setPlainText(QString::fromStdString(decoded.text));
    Editor->document()->setModified(false);
    recheck();
    updateTitle();
    return true;
}

bool ScriptEditorWindow::saveFile(const QString& name)
{
    QSaveFile f(name);
    const QByteArray utf8 = Editor->toPlainText().toUtf8();
    const std::string encoded = EncodeTextFile(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), form_);
    const QByteArray bytes(encoded.data(), static_cast<qsizetype>(encoded.size()));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        if (showError) showError(QStringLiteral("Cannot write file \"%1\". %2").arg(name, f.errorString()));
        return false;
    }
    file_ = name;
    Editor->document()->setModified(false);
    updateTitle();
    recheck(); // relative preset paths are now looked up beside this file
    return true;
}

void ScriptEditorWindow::recheck()
{
    recheckTimer_->stop();
    const QByteArray utf8 = Editor->toPlainText().toUtf8();
    const std::filesystem::path folder =
        file_.isEmpty() ? std::filesystem::path() : std::filesystem::path(file_.toStdString()).parent_path();
    std::function<ScriptPreset(const std::string&)> preset;
    if (checkPreset) preset = [this, folder](const std::string& path) { return checkPreset(path, folder); };
    issues_ = CheckScript(ScriptFile::FromBytes(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size()))),
                          preset);
    Problems->clear();
    for (const ScriptIssue& issue : issues_) {
        auto* item = new QListWidgetItem(QStringLiteral("Line %1: %2%3")
                                             .arg(issue.line)
                                             .arg(issue.stops ? QString() : QStringLiteral("warning: "))
                                             .arg(QString::fromStdString(issue.text)),
                                         Problems);
        item->setData(Qt::UserRole, issue.line);
        item->setForeground(issue.stops ? QColor(192, 0, 0) : QColor(160, 96, 0));
    }
    if (issues_.empty()) Problems->addItem(QStringLiteral("No problems: every line runs."));
}

void ScriptEditorWindow::jumpTo(int line)
{
    const QTextBlock block = Editor->document()->findBlockByNumber(line - 1);
    QTextCursor cursor(block.isValid() ? block : Editor->document()->lastBlock());
    if (!block.isValid()) cursor.movePosition(QTextCursor::End);
    Editor->setTextCursor(cursor);
    Editor->setFocus();
}

void ScriptEditorWindow::updateTitle()
{
    const QString name = file_.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(file_).fileName();
    setWindowTitle(name + (Editor->document()->isModified() ? QStringLiteral("*") : QString()) +
                   QStringLiteral(" - ScriptEditor"));
}

bool ScriptEditorWindow::maySwitch()
{
    if (!Editor->document()->isModified()) return true;
    return confirmDiscard && confirmDiscard();
}

void ScriptEditorWindow::closeEvent(QCloseEvent* event)
{
    if (maySwitch())
        event->accept();
    else
        event->ignore();
}

} // namespace velmora::ui
