#pragma once

// Qt
#include <QString>

namespace glimmora {

// Per-user settings (INI files under $XDG_CONFIG_HOME). Flags are stored as the strings "1" and
// "0"; on reading, a text that reads as an integer is true when it is not zero, and a missing
// value or any other text is `unset`.
bool readSettingsFlag(const QString& group, const QString& key, bool unset = false);
void writeSettingsFlag(const QString& group, const QString& key, bool value);

// The first-run flag: group "PROCESS", key "FIRSTTIME" of the application "Glimmora".
bool readFirstTimeFlag();
void writeFirstTimeFlag(bool value);

// Whether an import may make a camera JPEG's thumbnail from the small picture the camera stored
// in it: group "IMPORT", key "EMBEDDEDTHUMBNAILS" of the application "Glimmora"; yes unless it
// is "0", which users whose photo editors leave stale stored thumbnails set.
bool readEmbeddedThumbnailsSetting();

// Where the companion slideshow program is installed: application "Slidara", group "Install",
// key "WHERE"; empty when missing or unreadable.
QString slideshowLocation();

} // namespace glimmora
