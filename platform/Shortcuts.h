#pragma once

// Qt
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace glimmora {

// Shortcuts on this platform: a symbolic link, and a desktop link file (a ".desktop" file of
// type Link whose URL is a local file, as file managers make when a file is linked to the
// desktop).

// The file a path stands for: the path itself when it is no shortcut, else the file its
// shortcut leads to (links of links are followed); none when it is a shortcut that leads
// nowhere (a dangling or circular link, a desktop link to no local file).
std::optional<QString> resolveShortcut(const QString& path);

// The local file a desktop link file names, from the file's contents; none when the contents
// are no desktop link to a local file.
std::optional<QString> desktopLinkTarget(QByteArrayView contents);

// Desktop link files larger than this are no links.
inline constexpr qint64 kMaxDesktopLinkBytes = 64 * 1024;

} // namespace glimmora
