#pragma once

#include "platform/Wallpaper.h"

// Qt
#include <QString>

#include <memory>

namespace glimmora {

// How one kind of desktop is told which picture its background shows.
class DesktopBackground {
public:
    virtual ~DesktopBackground() = default;

    // Why this desktop cannot be told on this machine (its settings are not installed, its tool
    // or its shell is missing); empty when it can.
    virtual QString unavailability() const = 0;

    // Shows the bitmap at `path` in the style; returns an empty text or the failure. A desktop
    // that refuses part of the change is left with its earlier settings.
    virtual QString show(const QString& path, WallpaperStyle style) = 0;
};

// The background of the desktop named by XDG_CURRENT_DESKTOP (a list separated by colons, as
// "ubuntu:GNOME"); none for a desktop Glimmora does not know.
std::unique_ptr<DesktopBackground> desktopBackgroundFor(const QString& currentDesktop);

// The desktops that keep their background in GSettings: the schema, the key of the picture
// (given as a URI, or as a plain path for MATE) and the key of its placement.
struct GSettingsBackgroundKeys {
    const char* schema;
    const char* pictureKey;
    bool pictureIsUri;
    const char* optionsKey;
};
std::unique_ptr<DesktopBackground> gsettingsBackground(const GSettingsBackgroundKeys& keys);

} // namespace glimmora
