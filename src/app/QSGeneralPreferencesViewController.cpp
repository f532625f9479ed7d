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
    for (const TextEncoding::Choice &choice : TextEncoding::choices())
        _ui->o_fileEncodingComboBox->addItem(choice.label);
    _ui->o_fileEncodingComboBox->setCurrentText(
        TextEncoding::label(UserDefaults::standardUserDefaults().integerForKey(QSFileEncoding)));
    SoftwareUpdater &updater = SoftwareUpdater::sharedUpdater();
    _ui->o_enableSoftwareUpdatesOnStartupButton->setChecked(
        updater.automaticallyChecksForUpdates());
    _ui->o_enableSendingOfSystemProfileWhenUpdating->setChecked(updater.sendsSystemProfile());
    // Off, or one of the installed dictionaries; the item's data is the value stored.
    _ui->o_spellingLanguageComboBox->addItem(tr("Off"), QStringLiteral("none"));
    for (const QString &language : SpellChecker::installedLanguages())
        _ui->o_spellingLanguageComboBox->addItem(language, language);
    const QString chosen = SpellChecker::chosenLanguage();
    _ui->o_spellingLanguageComboBox->setCurrentIndex(qMax(
        0, _ui->o_spellingLanguageComboBox->findData(chosen.isEmpty() ? QStringLiteral("none") : chosen)));
    // The colours change at once, so that the user sees what was chosen.
    _ui->o_themeComboBox->addItem(tr("Follow the system"), QStringLiteral("System"));
    _ui->o_themeComboBox->addItem(tr("Light"), QStringLiteral("Light"));
    _ui->o_themeComboBox->addItem(tr("Dark"), QStringLiteral("Dark"));
    _ui->o_themeComboBox->setCurrentIndex(qMax(0, _ui->o_themeComboBox->findData(
        UserDefaults::standardUserDefaults().stringForKey(QSColorTheme))));
    connect(_ui->o_themeComboBox, &QComboBox::currentIndexChanged, this, [this] {
        UserDefaults::standardUserDefaults().setObject(_ui->o_themeComboBox->currentData(),
                                                       QSColorTheme);
        if (AppController *app = AppController::sharedAppController())
            app->themeController()->apply();
    });
    connect(_ui->checkNowButton, &QPushButton::clicked, this,
            &QSGeneralPreferencesViewController::checkForUpdates);
}

QSGeneralPreferencesViewController::~QSGeneralPreferencesViewController() = default;

void QSGeneralPreferencesViewController::savePreferences()
{
    for (const TextEncoding::Choice &choice : TextEncoding::choices()) {
        if (choice.label == _ui->o_fileEncodingComboBox->currentText())
            UserDefaults::standardUserDefaults().setObject(choice.number, QSFileEncoding);
    }
    UserDefaults::standardUserDefaults().setObject(
        _ui->o_spellingLanguageComboBox->currentData().toString(), QSSpellCheckLanguage);
    SoftwareUpdater &updater = SoftwareUpdater::sharedUpdater();
    updater.setAutomaticallyChecksForUpdates(
        _ui->o_enableSoftwareUpdatesOnStartupButton->isChecked());
    updater.setSendsSystemProfile(_ui->o_enableSendingOfSystemProfileWhenUpdating->isChecked());
}

void QSGeneralPreferencesViewController::checkForUpdates()
{
    SoftwareUpdater::sharedUpdater().checkForUpdates(this);
}
