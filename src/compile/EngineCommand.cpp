#include "compile/EngineCommand.h"

#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QFileInfo>

EngineCommand EngineCommand::forEngine(const QString &engine, bool chainAsked)
{
    const UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const QString folder = defaults.stringForKey(QSTexEngineDirectoryPath);
    EngineCommand command;
    command.engine = engine;
    const QString latexmk = folder + QStringLiteral("latexmk");
    const bool chainWanted = chainAsked || !defaults.boolForKey(QSRunEngineOnce);
    // Asked for by name, a missing latexmk is said as a missing engine is; chosen
    // by default, its absence leaves the single run that needs nothing more.
    command.throughLatexmk = chainAsked || (chainWanted && QFileInfo(latexmk).isExecutable());
    if (!command.throughLatexmk) {
        if (chainWanted)
            command.note =
                QCoreApplication::translate(
                    "EngineCommand", "latexmk is not installed in %1: the engine runs once, so "
                                     "the bibliography, the index and the reruns are left out.")
                    .arg(folder);
        command.program = folder + engine;
        command.arguments = {QStringLiteral("-halt-on-error"), QStringLiteral("-file-line-error")};
        return command;
    }
    // Without -halt-on-error, the log holds every error of the run; with SyncTeX,
    // Ctrl-click works whatever the source says.
    command.program = latexmk;
    command.arguments = {latexmkEngineOption(engine), QStringLiteral("-interaction=nonstopmode"),
                         QStringLiteral("-file-line-error"), QStringLiteral("-synctex=1")};
    return command;
}

QString EngineCommand::latexmkEngineOption(const QString &engine)
{
    if (engine == QStringLiteral("xelatex"))
        return QStringLiteral("-pdfxe");
    if (engine == QStringLiteral("lualatex"))
        return QStringLiteral("-pdflua");
    return QStringLiteral("-pdf");
}

QString EngineCommand::displayName(const QString &engine)
{
    if (engine == QStringLiteral("xelatex"))
        return QStringLiteral("XeLaTeX");
    if (engine == QStringLiteral("lualatex"))
        return QStringLiteral("LuaLaTeX");
    if (engine == QStringLiteral("pdflatex"))
        return QStringLiteral("pdfLaTeX");
    return engine;
}

QString EngineCommand::notFoundMessage() const
{
    return throughLatexmk
               ? QStringLiteral("latexmk not found - set the correct path in the preference window")
               : QStringLiteral(
                   "tex-engine not found - set the correct path in the preference window");
}
