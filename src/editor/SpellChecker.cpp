#include "editor/SpellChecker.h"

#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <hunspell/hunspell.hxx>

namespace {

QStringList dictionaryFolders()
{
    QStringList folders =
        QString::fromLocal8Bit(qgetenv("DICPATH")).split(u':', Qt::SkipEmptyParts);
    folders << QStringLiteral("/usr/share/hunspell") << QStringLiteral("/usr/share/myspell/dicts")
            << QStringLiteral("/usr/share/myspell");
    return folders;
}

// The installed dictionary a document means: "de-de" and "DE_de" are de_DE, and
// a language without its country ("de") is the country of the same name (de_DE)
// or else the first of that language installed. Empty when none is installed.
QString installedDictionaryFor(const QString &requested)
{
    QStringList parts = requested.trimmed().split(QRegularExpression(QStringLiteral("[-_]")));
    if (parts.value(0).isEmpty())
        return {};
    parts[0] = parts[0].toLower();
    const QString name = parts.join(u'_');
    const QStringList installed = SpellChecker::installedLanguages();
    for (const QString &language : installed) {
        if (language.compare(name, Qt::CaseInsensitive) == 0)
            return language;
    }
    if (parts.size() > 1)
        return {};
    const QString sameCountry = name + u'_' + name.toUpper();
    if (installed.contains(sameCountry))
        return sameCountry;
    for (const QString &language : installed) {
        if (language.startsWith(name + u'_'))
            return language;
    }
    return {};
}

} // namespace

std::unique_ptr<SpellChecker> SpellChecker::forLanguage(const QString &language,
                                                        const QString &personalWordList)
{
    for (const QString &folder : dictionaryFolders()) {
        const QString base = folder + u'/' + language;
        if (!QFile::exists(base + QStringLiteral(".aff"))
            || !QFile::exists(base + QStringLiteral(".dic")))
            continue;
        auto dictionary = std::make_unique<Hunspell>(
            QFile::encodeName(base + QStringLiteral(".aff")).constData(),
            QFile::encodeName(base + QStringLiteral(".dic")).constData());
        return std::unique_ptr<SpellChecker>(
            new SpellChecker(language, personalWordList, std::move(dictionary)));
    }
    return nullptr;
}

std::shared_ptr<SpellChecker> SpellChecker::sharedForLanguage(const QString &language,
                                                              const QString &personalWordList)
{
    // Held weakly: a dictionary takes megabytes, and is let go with its last window.
    static QHash<QPair<QString, QString>, std::weak_ptr<SpellChecker>> checkers;
    std::weak_ptr<SpellChecker> &held = checkers[{language, personalWordList}];
    std::shared_ptr<SpellChecker> checker = held.lock();
    if (!checker) {
        checker = forLanguage(language, personalWordList);
        held = checker;
    }
    return checker;
}

SpellChecker::DocumentLanguage SpellChecker::languageForDocument(const QString &requested)
{
    const QString chosen = chosenLanguage();
    const bool checkingIsOff =
        UserDefaults::standardUserDefaults().stringForKey(QSSpellCheckLanguage)
        == QStringLiteral("none");
    if (requested.trimmed().isEmpty() || checkingIsOff)
        return {chosen, {}};
    const QString found = installedDictionaryFor(requested);
    if (!found.isEmpty())
        return {found, {}};
    if (installedLanguages().contains(chosen)) {
        return {chosen, QObject::tr("No %1 dictionary is installed; spelling is checked in %2.")
                            .arg(requested.trimmed(), chosen)};
    }
    return {chosen, QObject::tr("No %1 dictionary is installed; spelling is not checked.")
                        .arg(requested.trimmed())};
}

QStringList SpellChecker::installedLanguages()
{
    QStringList languages;
    for (const QString &folder : dictionaryFolders()) {
        for (const QString &dic : QDir(folder).entryList({QStringLiteral("*.dic")}, QDir::Files)) {
            const QString language = dic.chopped(4);
            if (!languages.contains(language)
                && QFile::exists(folder + u'/' + language + QStringLiteral(".aff")))
                languages << language;
        }
    }
    languages.sort();
    return languages;
}

QString SpellChecker::defaultLanguage()
{
    const QStringList installed = installedLanguages();
    for (const QString &wanted : {QLocale::system().name(), QStringLiteral("en_US")}) {
        if (installed.contains(wanted))
            return wanted;
    }
    return installed.value(0);
}

QString SpellChecker::chosenLanguage()
{
    const QString chosen = UserDefaults::standardUserDefaults().stringForKey(QSSpellCheckLanguage);
    if (chosen == QStringLiteral("none"))
        return QString();
    return chosen.isEmpty() ? defaultLanguage() : chosen;
}

SpellChecker::SpellChecker(const QString &language, const QString &personalWordList,
                           std::unique_ptr<Hunspell> dictionary)
    : _language(language)
    , _personalWordList(personalWordList)
    , _dictionary(std::move(dictionary))
{
    QFile list(personalWordList);
    if (!personalWordList.isEmpty() && list.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : list.readAll().split('\n')) {
            if (!line.trimmed().isEmpty())
                learn(QString::fromUtf8(line.trimmed()));
        }
    }
}

SpellChecker::~SpellChecker() = default;

// The dictionaries Debian installs are in UTF-8; an older one in a single-byte
// encoding is given Latin-1.
static std::string inDictionaryEncoding(Hunspell &dictionary, const QString &word)
{
    const QByteArray bytes =
        dictionary.get_dict_encoding() == "UTF-8" ? word.toUtf8() : word.toLatin1();
    return bytes.toStdString();
}

// Hunspell takes a word it is given as it takes its own: one in lower case is also
// right with a capital at the start of a sentence, or in capitals.
void SpellChecker::learn(const QString &word)
{
    _ownWords.insert(word);
    _dictionary->add(inDictionaryEncoding(*_dictionary, word));
}

bool SpellChecker::isCorrect(const QString &word) const
{
    std::lock_guard lock(_lock);
    return _ownWords.contains(word) || _dictionary->spell(inDictionaryEncoding(*_dictionary, word));
}

QStringList SpellChecker::suggestions(const QString &word) const
{
    std::lock_guard lock(_lock);
    QStringList found;
    const bool utf8 = _dictionary->get_dict_encoding() == "UTF-8";
    for (const std::string &suggestion :
         _dictionary->suggest(inDictionaryEncoding(*_dictionary, word)))
        found << (utf8 ? QString::fromStdString(suggestion) : QString::fromLatin1(suggestion));
    return found;
}

bool SpellChecker::addToPersonalDictionary(const QString &word)
{
    std::lock_guard lock(_lock);
    QFile current(_personalWordList);
    QByteArray words = current.open(QIODevice::ReadOnly) ? current.readAll() : QByteArray();
    current.close();
    learn(word);
    // Another run of the program may have added it since this checker read the list.
    if (words.split('\n').contains(word.toUtf8()))
        return true;
    if (!words.isEmpty() && !words.endsWith('\n'))
        words += '\n';
    words += word.toUtf8() + '\n';
    QDir().mkpath(QFileInfo(_personalWordList).absolutePath());
    QSaveFile list(_personalWordList);
    return list.open(QIODevice::WriteOnly) && list.write(words) == words.size() && list.commit();
}

void SpellChecker::ignore(const QString &word)
{
    std::lock_guard lock(_lock);
    learn(word);
}
