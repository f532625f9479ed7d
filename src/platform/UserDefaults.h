#pragma once

#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>

class QSettings;

// Keys of the user defaults that code refers to.
inline const QString QSFontInfo = QStringLiteral("FontInfo");
inline const QString QSWindowInfo = QStringLiteral("WindowInfo");
inline const QString QSConsoleInfo = QStringLiteral("ConsoleInfo");
inline const QString QSPDFViewInfo = QStringLiteral("PDFViewInfo");
inline const QString QSOutlineViewInfo = QStringLiteral("OutlineViewInfo");
inline const QString QSUntitledFileTemplate = QStringLiteral("UntitledFileTemplate");
inline const QString QSFileEncoding = QStringLiteral("FileEncoding");
inline const QString QSTexEngineDirectoryPath = QStringLiteral("QSTexEngineDirectoryPath");
inline const QString QSSelectedEngineExec = QStringLiteral("QSSelectedEngineExec");
// Whether F5 runs the engine once instead of latexmk's chain of bibliography,
// index and reruns.
inline const QString QSRunEngineOnce = QStringLiteral("QSRunEngineOnce");
// The engine each document was given in the Typeset menu: a list of {path, engine},
// the latest first.
inline const QString QSDocumentEngines = QStringLiteral("QSDocumentEngines");
// The documents whose live preview is on: a list of root paths, the latest first.
inline const QString QSLivePreviewDocuments = QStringLiteral("QSLivePreviewDocuments");
// How long typing must pause, in milliseconds, before a live preview starts.
inline const QString QSLivePreviewPause = QStringLiteral("QSLivePreviewPause");
// Whether a live preview typesets only the \include'd chapter of the file shown.
inline const QString QSLivePreviewOnlyChapter = QStringLiteral("QSLivePreviewOnlyChapter");
// The language text is spell checked in ("en_US"); empty for the system's, "none" for no checking.
inline const QString QSSpellCheckLanguage = QStringLiteral("QSSpellCheckLanguage");
inline const QString QSOpenUntitledFileOnLaunch = QStringLiteral("OpenUntitledFileWhenLaunching");
// Whether the documents open at quit come back at the next start, and what they were.
inline const QString QSReopenDocuments = QStringLiteral("QSReopenDocuments");
inline const QString QSSession = QStringLiteral("QSSession");
// The documents opened or saved last, newest first.
inline const QString QSRecentDocuments = QStringLiteral("RecentDocuments");
// The folder the Open dialog was last left in.
inline const QString QSLastOpenFolder = QStringLiteral("LastOpenFolder");
// Whether the document windows show their toolbar.
inline const QString QSShowToolbar = QStringLiteral("ShowToolbar");
// Whether the outline lists the labels, the figures and tables, and the
// bibliographies of the text under their sections.
inline const QString QSOutlineShowsLabels = QStringLiteral("OutlineShowsLabels");
inline const QString QSOutlineShowsFloats = QStringLiteral("OutlineShowsFloats");
inline const QString QSOutlineShowsBibliography = QStringLiteral("OutlineShowsBibliography");
// "System", "Light" or "Dark": the colours of the text and the panes.
inline const QString QSColorTheme = QStringLiteral("ColorTheme");
inline const QString QSSmartDropDefinitions = QStringLiteral("SmartDropDefinitions");
// The zoom each PDF was last shown with: a list of {path, zoom, mode}, the latest first.
inline const QString QSPDFZoomByDocument = QStringLiteral("PDFZoomByDocument");
// The find strip's options, as flags: 1 match case, 2 whole words, 4 regular expression.
inline const QString QSFindOptions = QStringLiteral("QSFindOptions");
// The preferences window as the user left it: "pane" (index), and "width" and "height"
// once the window has been closed; without them it fits its pane.
inline const QString QSPreferencesWindowInfo = QStringLiteral("PreferencesWindowInfo");
// The completion entries the user accepted, newest first (a short list).
inline const QString QSCompletionAccepted = QStringLiteral("CompletionAccepted");

// The user's settings over a registration domain: a key the user never set reads
// as its registered value, and registering writes nothing to the user's settings.
// Safe to use from any thread.
class UserDefaults : public QObject
{
    Q_OBJECT

public:
    static UserDefaults &standardUserDefaults();

    // The program's whole table of registered values.
    static QVariantMap registeredDefaultsTable();

    // Stores what the user sets in the given settings file from now on; tests use a
    // temporary file so that they never touch the user's own settings.
    void useSettingsFile(const QString &path);

    // Adds to the registration domain (keys given again take the new value).
    void registerDefaults(const QVariantMap &defaults);

    QVariant objectForKey(const QString &key) const;
    int integerForKey(const QString &key) const;
    bool boolForKey(const QString &key) const;
    QString stringForKey(const QString &key) const;
    QVariantMap dictionaryForKey(const QString &key) const;

    void setObject(const QVariant &value, const QString &key);
    void removeObjectForKey(const QString &key);
    // Writes pending changes to disk.
    void synchronize();

signals:
    // A key now reads otherwise than before, set or removed on the thread that emits.
    // What reads a setting when it acts needs nothing; what applied one up front
    // applies it again.
    void valueChanged(const QString &key);

private:
    UserDefaults();
    ~UserDefaults() override;

    mutable QMutex _mutex;
    std::unique_ptr<QSettings> _settings; // guarded by _mutex
    QVariantMap _registered;              // guarded by _mutex
};
