#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

// What a document window says of its compile while it runs and once it has ended:
// "Compiling… 3.4 s" with the pass latexmk is on when its output names one, then
// "Done in 4.1 s: 0 errors, 2 warnings", "Failed in 1.2 s: 1 error, 0 warnings" or
// "Stopped after 2.0 s". UI thread.
class CompileProgress : public QObject
{
    Q_OBJECT

public:
    explicit CompileProgress(QObject *parent = nullptr);

    QString text() const { return _text; }
    bool isRunning() const { return _timer.isActive(); }

    void started();
    // A piece of the compile's output, in order: latexmk names its passes there.
    void outputArrived(QStringView output);
    void finished(bool succeeded, int errors, int warnings);
    void stopped();
    // The compile could not run at all.
    void failed(const QString &why);

signals:
    void textChanged(const QString &text);

private:
    void tick();
    void setText(const QString &text);
    QString seconds() const;

    QElapsedTimer _clock;
    QTimer _timer;
    QString _pass; // "pdflatex, run 2", "bibtex thesis"; empty until latexmk names one
    QString _text;
};
