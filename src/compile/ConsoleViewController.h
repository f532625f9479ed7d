#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <mutex>
#include <optional>

class CompileProgress;
class EngineCommand;
class ErrorOutlineDataSource;
class ErrorWarningNode;
class LatexCompiler;
class LatexLogParser;
class QLabel;
class QPlainTextEdit;
class QSFile;
class QTreeView;
class QUrl;
class QVariantAnimation;

namespace Ui {
class ConsoleView;
}

// The console under a document window's text: opens when a compile starts, shows
// the engine's output live, and afterwards the tree of errors and warnings, or
// closes again when the compile went well. Owns the window's compiler and log parser.
class ConsoleViewController : public QObject
{
    Q_OBJECT

public:
    static constexpr int openHeight = 100;

    explicit ConsoleViewController(QObject *parent = nullptr);
    ~ConsoleViewController() override;

    // The console's content ("ConsoleView"): the error tree and the output logger.
    QWidget *view() const { return _view; }
    QString title() const { return QStringLiteral("ErrorWarningsView"); }
    QTreeView *errorWarningOutline() const;
    QWidget *textLoggerView() const;
    QPlainTextEdit *textLogger() const;
    // The line above the tree that says what the next compile should be, when the
    // last one's log says another run would mend something; hidden otherwise.
    QLabel *hintLabel() const;
    LatexCompiler *latexCompiler() const { return _latexCompiler.get(); }
    LatexLogParser *logParser() const { return _latexLogFileParser; }
    ErrorOutlineDataSource *errorOutlineDataSource() const { return _errorOutlineDataSource; }
    CompileProgress *compileProgress() const { return _compileProgress; }

    // Ends a running compile; for a window that closes, before its views go.
    void stopCompilingAndWait();
    // UI thread: compiles the file with the command unless a compile is running; the
    // notices (a latexmk that is missing, a magic comment passed over) head the
    // console's output.
    void compileFile(const std::shared_ptr<QSFile> &file, const EngineCommand &command,
                     const QStringList &notices = {});
    // Compile worker: the engine has ended; latexmk's output when it ran the engine.
    void parseLog(const QUrl &log, bool engineSucceeded,
                  const std::optional<QString> &latexmkOutput = std::nullopt);
    // Compile worker: the compile ended without a log to read (stopped, or the
    // engine could not be started).
    void compileEndedWithoutLog(bool stopped, const QString &why = {});
    // Any thread; every piece reaches the logger, in the order given.
    void addStringToOutputLogger(const QString &text);
    void clearOutputLogger();
    // UI thread, after each parse: the error tree, or a closed console and the PDF.
    void updateErrorWarningOutline(bool engineSucceeded);
    // Opens the console on the output logger with a message at its end.
    void showMessage(const QString &message);
    // The problems the reference checks found while the document was typed, listed
    // under "References" in the error tree (which keeps the compile's rows). While no
    // compile runs, the tree shows whenever it lists anything: alone before the first
    // compile, else above the compile's output. The console does not open for them.
    void setReferenceProblems(const QList<std::shared_ptr<ErrorWarningNode>> &problems);
    void animatedExpansionToHeight(int height);
    void hideWithoutAnimation();
    // Whether the console is open (the height it is going to is more than 1).
    bool isShown() const { return _height > 1; }

signals:
    // The engine ended without failing, warnings or not: its PDF is new. Comes just
    // before errorWarningOutlineUpdated.
    void compileSucceeded();
    // The error tree or the closed console of the last compile is in place.
    void errorWarningOutlineUpdated();
    // An error or warning was chosen in the tree: its file and 1-based line (0 when
    // the engine gave none).
    void diagnosticChosen(std::shared_ptr<QSFile> file, int lineNumber);
    // The same, clicked or given Return: the user goes there to type.
    void diagnosticOpened(std::shared_ptr<QSFile> file, int lineNumber);
    // The console opens or closes (the height it is going to).
    void shownChanged(bool shown);

private:
    void outlineViewSelectionDidChange();
    void setConsoleHeight(int height);
    // Shows the tree for the reference problems where the compile's outcome left the
    // output logger alone in view.
    void showReferences();
    void queueOutputFlush();
    void flushOutput();

    std::unique_ptr<Ui::ConsoleView> _ui;
    QPointer<QWidget> _view; // owned until the window takes it
    LatexLogParser *_latexLogFileParser;
    std::unique_ptr<LatexCompiler> _latexCompiler;
    ErrorOutlineDataSource *_errorOutlineDataSource;
    // Keeps pieces of output from several threads in one order on their way to the UI thread.
    std::mutex _textLoggerLock;
    QString _pendingOutput;
    qsizetype _pendingLineLength = 0; // characters since the last line break
    bool _clearPending = false;
    bool _flushQueued = false;
    QVariantAnimation *_animation;
    CompileProgress *_compileProgress; // a child
    int _height = 1;
    bool _lastCompileThroughLatexmk = false;
};
