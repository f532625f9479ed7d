#pragma once

#include "app/QSPreferencesMainViewController.h"

#include <memory>

namespace Ui {
class QSSmartDropPreferencesView;
}

// The SmartDrop definitions: a file type and its snippet per row, to add, edit and
// remove. Edits take effect, and are stored, at once; closing the preferences window
// stores what was added elsewhere meanwhile.
class QSSmartDropPreferencesViewController : public QSPreferencesMainViewController
{
    Q_OBJECT

public:
    static constexpr int paneIndex = 3;

    explicit QSSmartDropPreferencesViewController(QWidget *parent = nullptr);
    ~QSSmartDropPreferencesViewController() override;
    void savePreferences() override;

    // Shows the definition of the type with its snippet open for editing.
    void editSmartDropForFileType(const QString &fileType);
    void addSmartDrop();
    void removeSelectedSmartDrop();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void reloadDefinitions();
    void definitionsDidChange();

    std::unique_ptr<Ui::QSSmartDropPreferencesView> _ui;
    bool _reloading = false;
};
