#pragma once

#include "app/QSPreferencesMainViewController.h"

#include <memory>

namespace Ui {
class QSTemplatePreferencesView;
}

// The text of new untitled documents, stored as the user types it.
class QSTemplatePreferencesViewController : public QSPreferencesMainViewController
{
    Q_OBJECT

public:
    explicit QSTemplatePreferencesViewController(QWidget *parent = nullptr);
    ~QSTemplatePreferencesViewController() override;
    void savePreferences() override;

private:
    std::unique_ptr<Ui::QSTemplatePreferencesView> _ui;
};
