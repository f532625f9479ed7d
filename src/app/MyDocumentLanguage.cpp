// What a document's files say of their language and encoding: the spell checker of
// the language a header asks for, and the encoding each file is read and saved in,
// shown in the status bar with what could not be followed.
#include "app/MyDocument.h"

#include "editor/QSTextView.h"
#include "editor/SpellChecker.h"
#include "model/MagicComments.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/TextStorageDelegate.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"
#include "ui_MyDocument.h"

#include <QLabel>
#include <QStandardPaths>

// The checker for a document: the language its header asks for when that dictionary
// is installed, else the preferences' language; one checker a language for all
// windows, with the personal word list in the application's data folder.
static std::shared_ptr<SpellChecker> chosenSpellChecker(const QString &requested, QString *notice)
{
    const SpellChecker::DocumentLanguage choice = SpellChecker::languageForDocument(requested);
    *notice = choice.notice;
    if (choice.language.isEmpty())
        return nullptr;
    const QString words = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                          + QStringLiteral("/personal-dictionary.txt");
    return SpellChecker::sharedForLanguage(choice.language, words);
}

// The encoding of the file shown: its own when its header names one that holds.
void MyDocument::showEncoding()
{
    if (!_encoding)
        return;
    std::shared_ptr<QSFile> shown =
        _textStorageDelegate ? _textStorageDelegate->selectedFile() : nullptr;
    if (!shown)
        shown = _fileOpened;
    _encoding->setText(TextEncoding::label(
        shown ? shown->encoding()
              : UserDefaults::standardUserDefaults().integerForKey(QSFileEncoding)));
}

void MyDocument::showEncodingNotices()
{
    if (!_fileOpened)
        return;
    QStringList notices;
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(_fileOpened.get())) {
        if (!file->encodingNotice().isEmpty())
            notices << file->encodingNotice();
    }
    if (!notices.isEmpty())
        showStatusMessage(notices.join(u' '));
}

void MyDocument::useChosenSpellChecker()
{
    // The file's own header first, then its root's.
    QString requested =
        _fileOpened ? MagicComments::read(_fileOpened->content()).spellcheck : QString();
    if (requested.isEmpty()) {
        if (const std::shared_ptr<QSFile> root = _root.namedRoot())
            requested = MagicComments::read(root->content()).spellcheck;
    }
    QString notice;
    _ui->textView->setSpellChecker(chosenSpellChecker(requested, &notice));
    if (!notice.isEmpty() && notice != _spellingNotice)
        showStatusMessage(notice);
    _spellingNotice = notice;
}
