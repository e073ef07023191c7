#include "platform/DesktopIcons.h"

// Qt
#include <QStringList>

// The theme's pictures live in this static library, whose resource initialiser the linker would
// drop; Q_INIT_RESOURCE must be used outside any namespace.
static void initFallbackIconResources() { Q_INIT_RESOURCE(fallback_icons); }

namespace glimmora {

void installIconFallbacks()
{
    initFallbackIconResources();
    QStringList searchPaths = QIcon::themeSearchPaths();
    const QString ours = QStringLiteral(":/glimmora-icons");
    if (!searchPaths.contains(ours))
        QIcon::setThemeSearchPaths(searchPaths << ours);
    QIcon::setFallbackThemeName(kFallbackIconTheme);
    // Without a desktop (no theme named) the fallback alone would never be asked.
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(kFallbackIconTheme);
}

} // namespace glimmora
