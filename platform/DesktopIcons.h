#pragma once

// Qt
#include <QIcon>
#include <QString>

namespace glimmora {

// Icons come from the desktop's icon theme, and from Glimmora's own small theme of freely
// licensed pictures wherever the desktop has none (no theme at all, or a theme without the
// name), so message boxes, the folder tree and the help window show their icons everywhere.
// Called once, after the application object exists and before any window is made.
void installIconFallbacks();

// The name of Glimmora's own icon theme.
inline const QString kFallbackIconTheme = QStringLiteral("glimmora");

} // namespace glimmora
