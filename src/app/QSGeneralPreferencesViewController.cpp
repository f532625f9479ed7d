#include "app/QSGeneralPreferencesViewController.h"

#include "app/AppController.h"
#include "app/ThemeController.h"

#include "editor/SpellChecker.h"
#include "platform/SoftwareUpdater.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"
#include "ui_QSGeneralPreferencesView.h"

QSGeneralPreferencesViewController::QSGeneralPreferencesViewController(QWidget *parent)
    : QSPreferencesMainViewController(parent)
    , _ui(std::make_unique<Ui::QSGeneralPreferencesView>())
{
    _ui->setupUi(this);
    setWindowTitle(tr("Quillset general preferences"));
    setPaneLabel(tr("General"));
    for (const TextEncoding::Choice &choice : TextEncoding::choices())
        _ui->o_fileEncodingComboBox->addItem(choice.label);
    _ui->o_fileEncodingComboBox->setCurrentText(
        TextEncoding::label(UserDefaults::standardUserDefaults().integerForKey(QSFileEncoding)));
    // Off, or one of the installed dictionaries; the item's data is the value stored.
    _ui->o_spellingLanguageComboBox->addItem(tr("Off"), QStringLiteral("none"));
    for (const QString &language : SpellChecker::installedLanguages())
        _ui->o_spellingLanguageComboBox->addItem(language, language);
    const QString chosen = SpellChecker::chosenLanguage();
    _ui->o_spellingLanguageComboBox->setCurrentIndex(
        qMax(0, _ui->o_spellingLanguageComboBox->findData(chosen.isEmpty() ? QStringLiteral("none")
                                                                           : chosen)));
    _ui->o_themeComboBox->addItem(tr("Follow the system"), QStringLiteral("System"));
    _ui->o_themeComboBox->addItem(tr("Light"), QStringLiteral("Light"));
    _ui->o_themeComboBox->addItem(tr("Dark"), QStringLiteral("Dark"));
    _ui->o_themeComboBox->setCurrentIndex(
        qMax(0, _ui->o_themeComboBox->findData(
                    UserDefaults::standardUserDefaults().stringForKey(QSColorTheme))));
    _ui->o_updatesExplanationLabel->setText(SoftwareUpdater::howUpdatesArrive());
    _ui->o_reopenDocumentsCheckBox->setChecked(
        UserDefaults::standardUserDefaults().boolForKey(QSReopenDocuments));

    // Each choice is stored when made, so that the next compile, save or new document
    // uses it with the window still open; the colours change at once.
    connect(_ui->o_fileEncodingComboBox, &QComboBox::currentTextChanged, this,
            &QSGeneralPreferencesViewController::saveEncoding);
    connect(_ui->o_spellingLanguageComboBox, &QComboBox::currentIndexChanged, this,
            &QSGeneralPreferencesViewController::saveSpellingLanguage);
    connect(_ui->o_themeComboBox, &QComboBox::currentIndexChanged, this, [this] {
        UserDefaults::standardUserDefaults().setObject(_ui->o_themeComboBox->currentData(),
                                                       QSColorTheme);
        if (AppController *app = AppController::sharedAppController())
            app->themeController()->apply();
    });
    connect(_ui->o_reopenDocumentsCheckBox, &QCheckBox::toggled, this,
            [](bool on) { UserDefaults::standardUserDefaults().setObject(on, QSReopenDocuments); });
    connect(_ui->checkNowButton, &QPushButton::clicked, this,
            &QSGeneralPreferencesViewController::checkForUpdates);
}

QSGeneralPreferencesViewController::~QSGeneralPreferencesViewController() = default;

void QSGeneralPreferencesViewController::saveEncoding()
{
    for (const TextEncoding::Choice &choice : TextEncoding::choices()) {
        if (choice.label == _ui->o_fileEncodingComboBox->currentText())
            UserDefaults::standardUserDefaults().setObject(choice.number, QSFileEncoding);
    }
}

void QSGeneralPreferencesViewController::saveSpellingLanguage()
{
    UserDefaults::standardUserDefaults().setObject(
        _ui->o_spellingLanguageComboBox->currentData().toString(), QSSpellCheckLanguage);
}

void QSGeneralPreferencesViewController::savePreferences()
{
    saveEncoding();
    saveSpellingLanguage();
}

void QSGeneralPreferencesViewController::checkForUpdates()
{
    SoftwareUpdater::sharedUpdater().checkForUpdates(this);
}
