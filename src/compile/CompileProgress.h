#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class EngineCommand;

// What a document window says of its compile while it runs and once it has ended:
// "Compiling… 3.4 s" with the pass latexmk is on when its output names one, then
// "Done in 4.1 s with XeLaTeX: 0 errors, 2 warnings", "Failed in 1.2 s with
// pdfLaTeX: 1 error, 0 warnings, no PDF written", "Failed: <the line that says
// why>" or "Stopped after 2.0 s". UI thread.
class CompileProgress : public QObject
{
    Q_OBJECT

public:
    explicit CompileProgress(QObject *parent = nullptr);

    QString text() const { return _text; }
    bool isRunning() const { return _timer.isActive(); }
    // When the last compile started; invalid before the first.
    QDateTime startedAt() const { return _startedAt; }

    // The name a compile's engine is shown by: "pdfLaTeX", "XeLaTeX", "LuaLaTeX",
    // with " via latexmk" when latexmk drives it.
    static QString engineName(const EngineCommand &command);

    // A compile with the engine of that name has started.
    void started(const QString &engineName);
    // A piece of the compile's output, in order: latexmk names its passes there.
    void outputArrived(QStringView output);
    // The compile has ended with these counts; noPdf when the engine said it
    // wrote none (its fatal end, no pages).
    void finished(bool succeeded, int errors, int warnings, bool noPdf = false);
    void stopped();
    // The compile could not run, or failed for the reason given (a line of the
    // log or of the engine's output).
    void failed(const QString &why);

signals:
    void textChanged(const QString &text);

private:
    void tick();
    void setText(const QString &text);
    QString seconds() const;

    QElapsedTimer _clock;
    QDateTime _startedAt;
    QTimer _timer;
    QString _engine; // of the compile that runs or ran last
    QString _pass;   // "pdflatex, run 2", "bibtex thesis"; empty until latexmk names one
    QString _text;
};
