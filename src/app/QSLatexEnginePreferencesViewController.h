#pragma once

#include "app/QSPreferencesMainViewController.h"

#include <memory>

namespace Ui {
class QSLatexEnginePreferencesView;
}

// The folder that holds the TeX programs, the engine to run and whether latexmk runs
// it, each stored as the user changes it, with a warning when the program is not there.
class QSLatexEnginePreferencesViewController : public QSPreferencesMainViewController
{
    Q_OBJECT

public:
    explicit QSLatexEnginePreferencesViewController(QWidget *parent = nullptr);
    ~QSLatexEnginePreferencesViewController() override;
    void savePreferences() override;

    void selectEngineWithName(const QString &name);
    QString whichEngineIsSelected() const;
    void showEngineNotFoundWarningIfNecessary();
    bool isEngineNotFoundWarningShown() const;

private:
    std::unique_ptr<Ui::QSLatexEnginePreferencesView> _ui;
};
