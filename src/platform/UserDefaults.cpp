#include "platform/UserDefaults.h"

#include <QSettings>

UserDefaults &UserDefaults::standardUserDefaults()
{
    static UserDefaults defaults;
    return defaults;
}

UserDefaults::UserDefaults()
    : _settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QStringLiteral("Quillset"), QStringLiteral("Quillset")))
    , _registered(registeredDefaultsTable())
{}

UserDefaults::~UserDefaults() = default;

QVariantMap UserDefaults::registeredDefaultsTable()
{
    const QVariantMap sectionFonts{
        {QStringLiteral("subsubsection"), 12}, {QStringLiteral("subsection"), 14},
        {QStringLiteral("section"), 16},       {QStringLiteral("chapter"), 18},
        {QStringLiteral("part"), 20},
    };
    const QVariantMap font{
        {QStringLiteral("fonttype"), QStringLiteral("Courier")},
        {QStringLiteral("fontsize"), 12},
    };
    // The new document declares UTF-8 because that is what it is written in by default.
    const QString untitledTemplate = QStringLiteral("\\documentclass{article}\n"
                                                    "\\usepackage[utf8]{inputenc}\n"
                                                    "\\usepackage{lmodern}\n"
                                                    "\\begin{document}\n"
                                                    "\n"
                                                    "\\end{document}");
    // A dropped figure or chapter is written as TeX finds it: from the root file's folder.
    const QString figure = QStringLiteral("\\includegraphics[width=\\linewidth]{:relativepath:}");
    const QVariantMap smartDrops{
        {QStringLiteral("pdf"), figure},
        {QStringLiteral("png"), figure},
        {QStringLiteral("jpg"), figure},
        {QStringLiteral("jpeg"), figure},
        {QStringLiteral("eps"), figure},
        {QStringLiteral("tex"), QStringLiteral("\\input{:relativepathnoext:}")},
    };
    return {
        {QSSmartDropDefinitions, smartDrops},
        {QSFontInfo, QVariantMap{{QStringLiteral("font"), font},
                                 {QStringLiteral("sectionfonts"), sectionFonts}}},
        {QSWindowInfo, QVariantMap{{QStringLiteral("shouldCenter"), true},
                                   {QStringLiteral("width"), 700},
                                   {QStringLiteral("height"), 500},
                                   {QStringLiteral("locationX"), 100},
                                   {QStringLiteral("locationY"), 100}}},
        {QSConsoleInfo,
         QVariantMap{{QStringLiteral("height"), 200}, {QStringLiteral("whenToShow"), 0}}},
        {QSPDFViewInfo,
         QVariantMap{{QStringLiteral("width"), 400}, {QStringLiteral("whenToShow"), 0}}},
        {QSOutlineViewInfo, QVariantMap{{QStringLiteral("width"), 200}}},
        {QSUntitledFileTemplate, untitledTemplate},
        {QSFileEncoding, 4},
        {QSTexEngineDirectoryPath, QStringLiteral("/usr/bin/")},
        {QSSelectedEngineExec, QStringLiteral("pdflatex")},
        {QSRunEngineOnce, false},
        {QSDocumentEngines, QVariantList()},
        {QSLivePreviewDocuments, QVariantList()},
        {QSLivePreviewPause, 800},
        {QSLivePreviewOnlyChapter, false},
        {QSSpellCheckLanguage, QString()},
        {QSOpenUntitledFileOnLaunch, true},
        {QSReopenDocuments, true},
        {QSSession, QVariantList()},
        {QSShowToolbar, true},
        {QSOutlineShowsLabels, true},
        {QSOutlineShowsFloats, true},
        {QSOutlineShowsBibliography, true},
        {QSColorTheme, QStringLiteral("System")},
        {QSPDFZoomByDocument, QVariantList()},
        {QSFindOptions, 0},
        {QSPreferencesWindowInfo, QVariantMap{{QStringLiteral("pane"), 0}}},
    };
}

void UserDefaults::useSettingsFile(const QString &path)
{
    QMutexLocker locker(&_mutex);
    _settings->sync();
    _settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
}

void UserDefaults::registerDefaults(const QVariantMap &defaults)
{
    QMutexLocker locker(&_mutex);
    _registered.insert(defaults);
}

QVariant UserDefaults::objectForKey(const QString &key) const
{
    QMutexLocker locker(&_mutex);
    const QVariant value = _settings->value(key);
    return value.isValid() ? value : _registered.value(key);
}

int UserDefaults::integerForKey(const QString &key) const
{
    return objectForKey(key).toInt();
}

bool UserDefaults::boolForKey(const QString &key) const
{
    return objectForKey(key).toBool();
}

QString UserDefaults::stringForKey(const QString &key) const
{
    return objectForKey(key).toString();
}

QVariantMap UserDefaults::dictionaryForKey(const QString &key) const
{
    return objectForKey(key).toMap();
}

void UserDefaults::setObject(const QVariant &value, const QString &key)
{
    QMutexLocker locker(&_mutex);
    const QVariant stored = _settings->value(key);
    const bool changed = (stored.isValid() ? stored : _registered.value(key)) != value;
    _settings->setValue(key, value);
    locker.unlock();
    if (changed)
        emit valueChanged(key);
}

void UserDefaults::removeObjectForKey(const QString &key)
{
    QMutexLocker locker(&_mutex);
    const QVariant stored = _settings->value(key);
    const bool changed = stored.isValid() && stored != _registered.value(key);
    _settings->remove(key);
    locker.unlock();
    if (changed)
        emit valueChanged(key);
}

void UserDefaults::synchronize()
{
    QMutexLocker locker(&_mutex);
    _settings->sync();
}
