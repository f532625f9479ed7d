#include "app/QSTemplatePreferencesViewController.h"

#include "platform/UserDefaults.h"
#include "ui_QSTemplatePreferencesView.h"

QSTemplatePreferencesViewController::QSTemplatePreferencesViewController(QWidget *parent)
    : QSPreferencesMainViewController(parent)
    , _ui(std::make_unique<Ui::QSTemplatePreferencesView>())
{
    _ui->setupUi(this);
    setWindowTitle(tr("Template preferences"));
    setPaneLabel(tr("Template"));
    _ui->o_templateTextView->setPlainText(
        UserDefaults::standardUserDefaults().stringForKey(QSUntitledFileTemplate));
    // The next new document has the text as it stands, with the window still open.
    connect(_ui->o_templateTextView, &QPlainTextEdit::textChanged, this,
            &QSTemplatePreferencesViewController::savePreferences);
}

QSTemplatePreferencesViewController::~QSTemplatePreferencesViewController() = default;

void QSTemplatePreferencesViewController::savePreferences()
{
    UserDefaults::standardUserDefaults().setObject(_ui->o_templateTextView->toPlainText(),
                                                   QSUntitledFileTemplate);
}
