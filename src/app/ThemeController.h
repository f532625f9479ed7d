#pragma once

#include <QObject>
#include <QPalette>
#include <QString>

class Theme;

// Chooses the light or the dark colours: the user's choice in the settings
// ("Light", "Dark"), or with "System" the desktop's (its colour scheme where Qt
// reports one, else the lightness of its window colour). Gives the application a
// palette in the chosen colours when they differ from the desktop's, and tells the
// windows to paint again. One for the program; made by the AppController.
class ThemeController : public QObject
{
    Q_OBJECT

public:
    explicit ThemeController(QObject *parent = nullptr);

    // The colours the choice ("System", "Light" or "Dark") gives on such a desktop.
    static const Theme &themeFor(const QString &choice, bool desktopIsDark);
    // Reads the choice from the settings and makes its colours current.
    void apply();
    bool desktopIsDark() const;

signals:
    // The current theme changed: whatever paints with its colours paints again.
    void themeChanged();

private:
    QPalette _desktopPalette; // the application's palette as the desktop gave it
};
