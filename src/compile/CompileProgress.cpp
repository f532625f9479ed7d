#include "compile/CompileProgress.h"

#include "compile/EngineCommand.h"

#include <QFileInfo>
#include <QRegularExpression>

CompileProgress::CompileProgress(QObject *parent)
    : QObject(parent)
{
    _timer.setInterval(100);
    connect(&_timer, &QTimer::timeout, this, &CompileProgress::tick);
}

QString CompileProgress::engineName(const EngineCommand &command)
{
    const QString engine =
        command.engine.isEmpty() ? QFileInfo(command.program).fileName() : command.engine;
    const QString name = EngineCommand::displayName(engine);
    return command.throughLatexmk ? tr("%1 via latexmk").arg(name) : name;
}

void CompileProgress::started(const QString &engineName)
{
    _engine = engineName;
    _startedAt = QDateTime::currentDateTime();
    _clock.start();
    _pass.clear();
    _timer.start();
    tick();
}

void CompileProgress::outputArrived(QStringView output)
{
    if (!isRunning())
        return;
    // "Run number 2 of rule 'pdflatex'", "Run number 1 of rule 'bibtex thesis'".
    static const QRegularExpression run(QStringLiteral("Run number (\\d+) of rule '([^']+)'"));
    QRegularExpressionMatchIterator runs = run.globalMatch(output.toString());
    while (runs.hasNext()) {
        const QRegularExpressionMatch match = runs.next();
        _pass = match.captured(1) == u"1"
                    ? match.captured(2)
                    : tr("%1, run %2").arg(match.captured(2), match.captured(1));
    }
}

void CompileProgress::tick()
{
    setText(_pass.isEmpty() ? tr("Compiling… %1 s").arg(seconds())
                            : tr("Compiling… %1 s (%2)").arg(seconds(), _pass));
}

void CompileProgress::finished(bool succeeded, int errors, int warnings, bool noPdf)
{
    _timer.stop();
    QString counts = (errors == 1 ? tr("1 error") : tr("%1 errors").arg(errors))
                     + QStringLiteral(", ")
                     + (warnings == 1 ? tr("1 warning") : tr("%1 warnings").arg(warnings));
    if (noPdf)
        counts += tr(", no PDF written");
    const QString time =
        _engine.isEmpty() ? tr("%1 s").arg(seconds()) : tr("%1 s with %2").arg(seconds(), _engine);
    setText(succeeded && !noPdf ? tr("Done in %1: %2").arg(time, counts)
                                : tr("Failed in %1: %2").arg(time, counts));
}

void CompileProgress::stopped()
{
    _timer.stop();
    setText(tr("Stopped after %1 s").arg(seconds()));
}

void CompileProgress::failed(const QString &why)
{
    _timer.stop();
    setText(tr("Failed: %1").arg(why));
}

void CompileProgress::setText(const QString &text)
{
    if (text == _text)
        return;
    _text = text;
    emit textChanged(text);
}

QString CompileProgress::seconds() const
{
    return QString::number(double(_clock.elapsed()) / 1000.0, 'f', 1);
}
