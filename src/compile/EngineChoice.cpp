#include "compile/EngineChoice.h"

#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QVariantMap>

namespace {

// The defaults remember the engine of this many documents, the latest chosen.
constexpr int rememberedDocuments = 200;

QString absolute(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

QString tr(const char *text)
{
    return QCoreApplication::translate("EngineChoice", text);
}

} // namespace

const QStringList &EngineChoice::engines()
{
    static const QStringList all{QStringLiteral("pdflatex"), QStringLiteral("xelatex"),
                                 QStringLiteral("lualatex")};
    return all;
}

QString EngineChoice::engineNamed(const QString &name)
{
    QString plain = name.trimmed().toLower();
    // TeXShop's engine files for the same engines through latexmk.
    if (plain.endsWith(QStringLiteral("mk")))
        plain.chop(2);
    if (plain == QStringLiteral("pdftex"))
        plain = QStringLiteral("pdflatex");
    else if (plain == QStringLiteral("xetex"))
        plain = QStringLiteral("xelatex");
    else if (plain == QStringLiteral("luatex"))
        plain = QStringLiteral("lualatex");
    return engines().contains(plain) ? plain : QString();
}

EngineChoice EngineChoice::choose(const QString &magicProgram, const QString &documentPath)
{
    EngineChoice choice;
    if (!magicProgram.isEmpty()) {
        choice.engine = engineNamed(magicProgram);
        choice.source = Source::MagicComment;
        if (!choice.engine.isEmpty())
            return choice;
        choice.problem = tr("The magic comment \"program = %1\" names no engine Quillset knows "
                            "(pdflatex, xelatex, lualatex)")
                             .arg(magicProgram);
    }
    const QString chosen = documentEngine(documentPath);
    if (!chosen.isEmpty()) {
        choice.engine = chosen;
        choice.source = Source::Document;
        return choice;
    }
    const QString preferred =
        UserDefaults::standardUserDefaults().stringForKey(QSSelectedEngineExec);
    choice.engine = engineNamed(preferred);
    choice.source = Source::Preferences;
    // The preferences' engine runs whatever its name: the engine folder may hold
    // another program of the user's.
    if (choice.engine.isEmpty())
        choice.engine = preferred;
    return choice;
}

QString EngineChoice::documentEngine(const QString &documentPath)
{
    const QString path = absolute(documentPath);
    const QVariantList remembered =
        UserDefaults::standardUserDefaults().objectForKey(QSDocumentEngines).toList();
    for (const QVariant &entry : remembered) {
        const QVariantMap document = entry.toMap();
        if (document.value(QStringLiteral("path")).toString() == path)
            return engineNamed(document.value(QStringLiteral("engine")).toString());
    }
    return QString();
}

void EngineChoice::setDocumentEngine(const QString &documentPath, const QString &engine)
{
    const QString path = absolute(documentPath);
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QVariantList remembered = defaults.objectForKey(QSDocumentEngines).toList();
    remembered.removeIf([&path](const QVariant &entry) {
        return entry.toMap().value(QStringLiteral("path")).toString() == path;
    });
    if (!engine.isEmpty())
        remembered.prepend(
            QVariantMap{{QStringLiteral("path"), path}, {QStringLiteral("engine"), engine}});
    defaults.setObject(remembered.mid(0, rememberedDocuments), QSDocumentEngines);
}
