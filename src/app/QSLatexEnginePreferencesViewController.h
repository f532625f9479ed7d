#pragma once

#include "app/QSPreferencesMainViewController.h"

#include <memory>

namespace Ui {
class QSLatexEnginePreferencesView;
}

// The folder that holds the TeX programs and the engine to run, with a warning
// when that program is not there.
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
