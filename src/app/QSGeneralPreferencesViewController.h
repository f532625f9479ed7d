#pragma once

#include "app/QSPreferencesMainViewController.h"

#include <memory>

namespace Ui {
class QSGeneralPreferencesView;
}

// The text encoding of files, and the software-update options.
class QSGeneralPreferencesViewController : public QSPreferencesMainViewController
{
    Q_OBJECT

public:
    explicit QSGeneralPreferencesViewController(QWidget *parent = nullptr);
    ~QSGeneralPreferencesViewController() override;
    // A text that names none of the encodings leaves the stored encoding as it is.
    void savePreferences() override;
    void checkForUpdates();

private:
    std::unique_ptr<Ui::QSGeneralPreferencesView> _ui;
};
