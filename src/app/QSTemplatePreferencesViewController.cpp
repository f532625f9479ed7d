#include "app/QSTemplatePreferencesViewController.h"

#include "platform/UserDefaults.h"
#include "ui_QSTemplatePreferencesView.h"

QSTemplatePreferencesViewController::QSTemplatePreferencesViewController(QWidget *parent)
    : QSPreferencesMainViewController(parent)
    , _ui(std::make_unique<Ui::QSTemplatePreferencesView>())
{
    _ui->setupUi(this);
    setWindowTitle(tr("Template preferences"));
    _ui->o_templateTextView->setPlainText(
        UserDefaults::standardUserDefaults().stringForKey(QSUntitledFileTemplate));
}

QSTemplatePreferencesViewController::~QSTemplatePreferencesViewController() = default;

void QSTemplatePreferencesViewController::savePreferences()
{
    UserDefaults::standardUserDefaults().setObject(_ui->o_templateTextView->toPlainText(),
                                                   QSUntitledFileTemplate);
}
