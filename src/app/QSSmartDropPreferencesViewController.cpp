#include "app/QSSmartDropPreferencesViewController.h"

#include "editor/SmartDrop.h"
#include "ui_QSSmartDropPreferencesView.h"

QSSmartDropPreferencesViewController::QSSmartDropPreferencesViewController(QWidget *parent)
    : QSPreferencesMainViewController(parent)
    , _ui(std::make_unique<Ui::QSSmartDropPreferencesView>())
{
    _ui->setupUi(this);
    setWindowTitle(tr("SmartDrop"));
    setPaneLabel(tr("SmartDrop"));
    _ui->placeholdersLabel->setText(
        tr("%1 full path     %2 path from the main file's folder     %3 the same, no extension")
            .arg(SmartDrop::filePathPlaceholder, SmartDrop::relativePathPlaceholder,
                 SmartDrop::relativePathWithoutExtensionPlaceholder));
    connect(_ui->o_smartDropTable, &QTableWidget::itemChanged, this,
            &QSSmartDropPreferencesViewController::definitionsDidChange);
    connect(_ui->addButton, &QPushButton::clicked, this,
            &QSSmartDropPreferencesViewController::addSmartDrop);
    connect(_ui->removeButton, &QPushButton::clicked, this,
            &QSSmartDropPreferencesViewController::removeSelectedSmartDrop);
    reloadDefinitions();
}

QSSmartDropPreferencesViewController::~QSSmartDropPreferencesViewController() = default;

// Definitions added elsewhere (the no-SmartDrop sheet) show when the pane does.
void QSSmartDropPreferencesViewController::showEvent(QShowEvent *event)
{
    reloadDefinitions();
    QSPreferencesMainViewController::showEvent(event);
}

void QSSmartDropPreferencesViewController::reloadDefinitions()
{
    _reloading = true;
    QTableWidget *table = _ui->o_smartDropTable;
    const QMap<QString, QString> &definitions = SmartDrop::sharedSmartDrop()->smartDrops();
    table->setRowCount(int(definitions.size()));
    int row = 0;
    for (auto it = definitions.cbegin(); it != definitions.cend(); ++it, ++row) {
        table->setItem(row, 0, new QTableWidgetItem(it.key()));
        table->setItem(row, 1, new QTableWidgetItem(it.value()));
    }
    _reloading = false;
}

// The table is the registry: every edit writes all its rows back, and stores them.
// A row without a type defines nothing.
void QSSmartDropPreferencesViewController::definitionsDidChange()
{
    if (_reloading)
        return;
    QMap<QString, QString> definitions;
    const QTableWidget *table = _ui->o_smartDropTable;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *type = table->item(row, 0);
        const QTableWidgetItem *snippet = table->item(row, 1);
        if (type && !type->text().isEmpty())
            definitions.insert(type->text(), snippet ? snippet->text() : QString());
    }
    SmartDrop::sharedSmartDrop()->setSmartDrops(definitions);
    SmartDrop::sharedSmartDrop()->saveFileDropsToUserDefaults();
}

void QSSmartDropPreferencesViewController::addSmartDrop()
{
    QTableWidget *table = _ui->o_smartDropTable;
    const int row = table->rowCount();
    _reloading = true;
    table->insertRow(row);
    table->setItem(row, 0, new QTableWidgetItem);
    table->setItem(row, 1, new QTableWidgetItem);
    _reloading = false;
    table->setCurrentCell(row, 0);
    table->editItem(table->item(row, 0));
}

void QSSmartDropPreferencesViewController::removeSelectedSmartDrop()
{
    QTableWidget *table = _ui->o_smartDropTable;
    if (table->currentRow() < 0)
        return;
    table->removeRow(table->currentRow());
    definitionsDidChange();
}

void QSSmartDropPreferencesViewController::editSmartDropForFileType(const QString &fileType)
{
    reloadDefinitions();
    QTableWidget *table = _ui->o_smartDropTable;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, 0)->text() == fileType) {
            table->setCurrentCell(row, 1);
            table->editItem(table->item(row, 1));
            return;
        }
    }
}

// Every edit is in the registry already; the sheet may have added to it since.
void QSSmartDropPreferencesViewController::savePreferences()
{
    SmartDrop::sharedSmartDrop()->saveFileDropsToUserDefaults();
}
