#include "app/ThemeController.h"

#include "platform/Theme.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QStyleHints>

ThemeController::ThemeController(QObject *parent)
    : QObject(parent)
    , _desktopPalette(QApplication::palette())
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    connect(QGuiApplication::styleHints(), &QStyleHints::colorSchemeChanged, this,
            [this] {
                _desktopPalette = QPalette();
                apply();
            });
#endif
}

const Theme &ThemeController::themeFor(const QString &choice, bool desktopIsDark)
{
    if (choice == QLatin1String("Dark"))
        return Theme::dark();
    if (choice == QLatin1String("Light"))
        return Theme::light();
    return desktopIsDark ? Theme::dark() : Theme::light();
}

bool ThemeController::desktopIsDark() const
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    if (QGuiApplication::styleHints()->colorScheme() != Qt::ColorScheme::Unknown)
        return QGuiApplication::styleHints()->colorScheme() == Qt::ColorScheme::Dark;
#endif
    return _desktopPalette.color(QPalette::Window).lightness() < 128;
}

void ThemeController::apply()
{
    const QString choice = UserDefaults::standardUserDefaults().stringForKey(QSColorTheme);
    const Theme &theme = themeFor(choice, desktopIsDark());
    const bool changed = &theme != &Theme::current();
    Theme::setCurrent(theme);
    // The desktop's own palette while it agrees with the theme, so that its accent
    // colours stay; ours when the user chose the other one.
    QApplication::setPalette(theme.isDark == desktopIsDark() ? _desktopPalette : theme.palette());
    if (changed)
        emit themeChanged();
}
