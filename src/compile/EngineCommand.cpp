#include "compile/EngineCommand.h"

#include "platform/UserDefaults.h"

EngineCommand EngineCommand::fromDefaults(bool withBibliography)
{
    const UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const QString folder = defaults.stringForKey(QSTexEngineDirectoryPath);
    const QString engine = defaults.stringForKey(QSSelectedEngineExec);
    EngineCommand command;
    command.throughLatexmk = withBibliography || defaults.boolForKey(QSRunLatexmk);
    if (!command.throughLatexmk) {
        command.program = folder + engine;
        command.arguments = {QStringLiteral("-halt-on-error"), QStringLiteral("-file-line-error")};
        return command;
    }
    command.program = folder + QStringLiteral("latexmk");
    command.arguments = {latexmkEngineOption(engine), QStringLiteral("-halt-on-error"),
                         QStringLiteral("-file-line-error"),
                         QStringLiteral("-interaction=nonstopmode")};
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

QString EngineCommand::notFoundMessage() const
{
    return throughLatexmk
               ? QStringLiteral("latexmk not found - set the correct path in the preference window")
               : QStringLiteral("tex-engine not found - set the correct path in the preference window");
}
