#pragma once

// Qt
#include <QImage>
#include <QString>

namespace glimmora {

// The desktop wallpaper: one bitmap, GlimmoraWall.bmp in the program's data directory, which
// every wallpaper command overwrites, shown centred or tiled by the desktop, which is told
// through its own interface (GSettings for GNOME, Budgie, Cinnamon and MATE, xfconf for XFCE,
// the shell's scripting call for KDE Plasma).

enum class WallpaperStyle { Centred, Tiled };

QString wallpaperBitmapPath();

// Makes the picture the wallpaper; returns an empty text, or what the user is told when it could
// not be done. Nothing is half set: a desktop that cannot be told is found out before anything
// is written, and when the desktop refuses the change the earlier bitmap is put back.
QString SetDesktopWallpaper(const QImage& picture, WallpaperStyle style);

} // namespace glimmora
