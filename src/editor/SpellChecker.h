#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

class Hunspell;

// A Hunspell dictionary of one language, with the user's own words: those added
// to the personal word list (a file, one word a line, kept across sessions) and
// those ignored for the session. Safe to use from any thread.
class SpellChecker
{
public:
    // The dictionary of a language ("en_US") as installed in the system's hunspell
    // folders, or none when it is not installed.
    static std::unique_ptr<SpellChecker> forLanguage(const QString &language,
                                                     const QString &personalWordList);
    // One checker a language for all the windows that use it, with that personal word
    // list: made when none is held any more (so that a dictionary installed meanwhile
    // is found), none when the dictionary is not installed. For the UI thread.
    static std::shared_ptr<SpellChecker> sharedForLanguage(const QString &language,
                                                           const QString &personalWordList);

    // The language a document is checked in and, when that is not the one it asks
    // for, one line that tells the user why.
    struct DocumentLanguage
    {
        QString language; // empty: spelling is not checked
        QString notice;   // empty when the document gets what it asks for
    };
    // For a document whose header asks for a language ("de_DE", "de-DE", "de"): that
    // one when its dictionary is installed, else the chosenLanguage() with a notice.
    // Asking for none, or a preference that turns checking off, gives the
    // chosenLanguage() and no notice: the header names the language, not whether
    // to check.
    static DocumentLanguage languageForDocument(const QString &requested);

    // The languages with an installed dictionary, sorted. Dictionaries are looked
    // for in the folders of DICPATH (parted by ":", as Hunspell's own tools take it)
    // before the system's.
    static QStringList installedLanguages();
    // The system locale's language when its dictionary is installed, else US
    // English, else the first installed; empty when there is none.
    static QString defaultLanguage();
    // The language the defaults choose: theirs, the default one when they name none,
    // or an empty string when they turn checking off.
    static QString chosenLanguage();

    ~SpellChecker();

    QString language() const { return _language; }
    bool isCorrect(const QString &word) const;
    QStringList suggestions(const QString &word) const;
    // Adds the word to the personal word list, written at once; false when the
    // list could not be written (the word is still taken for this session).
    bool addToPersonalDictionary(const QString &word);
    // Takes the word for right until the checker is made again (for the session).
    void ignore(const QString &word);

private:
    SpellChecker(const QString &language, const QString &personalWordList,
                 std::unique_ptr<Hunspell> dictionary);
    // Takes the word for right; the caller holds the lock (or is the constructor).
    void learn(const QString &word);

    QString _language;
    QString _personalWordList; // its path
    mutable std::mutex _lock;  // guards everything below: Hunspell is not reentrant
    std::unique_ptr<Hunspell> _dictionary;
    QSet<QString> _ownWords; // the personal list's and the ignored ones
};
