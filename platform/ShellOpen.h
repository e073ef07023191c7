#pragma once

// Qt
#include <QString>

namespace glimmora {

// Opens a file in the application the desktop associates with it. The result follows the
// convention the image commands expect: above 32 on success, kShellFileNotFound when the file
// does not exist, kShellNoAssociation when no application is associated with its type, and 0
// for any other failure.
inline constexpr int kShellOpened = 33;
inline constexpr int kShellFileNotFound = 2;
inline constexpr int kShellNoAssociation = 31;

int shellOpen(const QString& path);

} // namespace glimmora
