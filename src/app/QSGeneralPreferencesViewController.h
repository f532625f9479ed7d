#pragma once

#include "app/QSPreferencesMainViewController.h"

#include <memory>

namespace Ui {
class QSGeneralPreferencesView;
}

// The text encoding of files, the spell-checking language and the colours, each
// stored as soon as it is chosen, and where updates come from.
class QSGeneralPreferencesViewController : public QSPreferencesMainViewController
{
    Q_OBJECT

public:
    explicit QSGeneralPreferencesViewController(QWidget *parent = nullptr);
    ~QSGeneralPreferencesViewController() override;
    // A text that names none of the encodings leaves the stored encoding as it is.
    void savePreferences() override;
    // Tells the user that updates come through the package manager.
    void checkForUpdates();

private:
    void saveEncoding();
    void saveSpellingLanguage();

    std::unique_ptr<Ui::QSGeneralPreferencesView> _ui;
};
