#include "app/QSLatexEnginePreferencesViewController.h"

#include "platform/UserDefaults.h"
#include "ui_QSLatexEnginePreferencesView.h"

#include <QCheckBox>
#include <QFile>
#include <QRadioButton>
#include <QSpinBox>

// The buttons of the row, left to right.
static QList<QRadioButton *> engineButtons(QWidget *row)
{
    QList<QRadioButton *> buttons;
    for (int i = 0; i < row->layout()->count(); ++i) {
        if (auto *button = qobject_cast<QRadioButton *>(row->layout()->itemAt(i)->widget()))
            buttons.append(button);
    }
    return buttons;
}

QSLatexEnginePreferencesViewController::QSLatexEnginePreferencesViewController(QWidget *parent)
    : QSPreferencesMainViewController(parent)
    , _ui(std::make_unique<Ui::QSLatexEnginePreferencesView>())
{
    _ui->setupUi(this);
    setWindowTitle(tr("Latex engine preferences"));
    setPaneLabel(tr("TeX Engine"));
    const UserDefaults &defaults = UserDefaults::standardUserDefaults();
    _ui->o_engineDirectoryPathTextField->setText(defaults.stringForKey(QSTexEngineDirectoryPath));
    selectEngineWithName(defaults.stringForKey(QSSelectedEngineExec));
    _ui->o_runEngineOnceCheckBox->setChecked(defaults.boolForKey(QSRunEngineOnce));
    _ui->o_previewPauseField->setValue(defaults.integerForKey(QSLivePreviewPause));
    showEngineNotFoundWarningIfNecessary();
    // Each change is stored at once: the next compile runs what the pane shows.
    UserDefaults *stored = &UserDefaults::standardUserDefaults();
    connect(_ui->o_engineDirectoryPathTextField, &QLineEdit::textEdited, this,
            [this, stored](const QString &folder) {
                stored->setObject(folder, QSTexEngineDirectoryPath);
                showEngineNotFoundWarningIfNecessary();
            });
    for (QRadioButton *button : engineButtons(_ui->o_engineRadioButtons)) {
        connect(button, &QRadioButton::toggled, this, [this, stored](bool on) {
            // The button turned off is followed by the one turned on.
            if (on)
                stored->setObject(whichEngineIsSelected(), QSSelectedEngineExec);
            showEngineNotFoundWarningIfNecessary();
        });
    }
    connect(_ui->o_runEngineOnceCheckBox, &QCheckBox::toggled, this,
            [stored](bool on) { stored->setObject(on, QSRunEngineOnce); });
    connect(_ui->o_previewPauseField, &QSpinBox::valueChanged, this,
            [stored](int pause) { stored->setObject(pause, QSLivePreviewPause); });
}

QSLatexEnginePreferencesViewController::~QSLatexEnginePreferencesViewController() = default;

void QSLatexEnginePreferencesViewController::selectEngineWithName(const QString &name)
{
    // A name that matches no button leaves none selected, which radio buttons that
    // exclude each other would not allow.
    for (QRadioButton *button : engineButtons(_ui->o_engineRadioButtons)) {
        button->setAutoExclusive(false);
        button->setChecked(button->text().toLower() == name);
        button->setAutoExclusive(true);
    }
}

QString QSLatexEnginePreferencesViewController::whichEngineIsSelected() const
{
    for (const QRadioButton *button : engineButtons(_ui->o_engineRadioButtons)) {
        if (button->isChecked())
            return button->text().toLower();
    }
    return QString();
}

void QSLatexEnginePreferencesViewController::showEngineNotFoundWarningIfNecessary()
{
    const QString path = _ui->o_engineDirectoryPathTextField->text() + whichEngineIsSelected();
    _ui->o_engineDirectoryPathNotFoundView->setHidden(QFile::exists(path));
}

bool QSLatexEnginePreferencesViewController::isEngineNotFoundWarningShown() const
{
    return !_ui->o_engineDirectoryPathNotFoundView->isHidden();
}

void QSLatexEnginePreferencesViewController::savePreferences()
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(_ui->o_engineDirectoryPathTextField->text(), QSTexEngineDirectoryPath);
    defaults.setObject(whichEngineIsSelected(), QSSelectedEngineExec);
    defaults.setObject(_ui->o_runEngineOnceCheckBox->isChecked(), QSRunEngineOnce);
    defaults.setObject(_ui->o_previewPauseField->value(), QSLivePreviewPause);
}
