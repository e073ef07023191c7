#pragma once

// Qt
#include <QString>

namespace glimmora {

// Per-user settings (INI files under $XDG_CONFIG_HOME). Flags are stored as the strings "1" and
// "0"; on reading, a missing value is false and any text that reads as a non-zero integer is true.
bool readSettingsFlag(const QString& group, const QString& key);
void writeSettingsFlag(const QString& group, const QString& key, bool value);

// The first-run flag: group "PROCESS", key "FIRSTTIME" of the application "Glimmora".
bool readFirstTimeFlag();
void writeFirstTimeFlag(bool value);

// Where the companion slideshow program is installed: application "Slidara", group "Install",
// key "WHERE"; empty when missing or unreadable.
QString slideshowLocation();

} // namespace glimmora
