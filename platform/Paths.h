#pragma once

// Qt
#include <QString>

namespace glimmora {

// The directory of the running executable, without a trailing separator.
QString programDirectory();
// Makes programDirectory() answer another directory (tests that need files beside the
// program); an empty path restores the executable's directory.
void overrideProgramDirectory(const QString& directory);

// Where the program finds a helper program (the decoder of an import): beside itself in a build,
// under <prefix>/libexec/glimmora once installed.
QString helperProgram(const QString& name);

// The help pages: help/ beside the program in a build, <prefix>/share/glimmora/help once
// installed.
QString helpDirectoryOfProgram();

// True when the program runs from an installed prefix (its help is not beside it).
bool runsInstalled();

// The "Data" directory of the scrapbook: $GLIMMORA_DATA_DIR when set, else <program dir>/Data
// when it exists or (in a build, not an installed program) can be made and is writable, else
// $XDG_DATA_HOME/glimmora/Data. The directory is created when missing (a failure is left to the
// stores to report).
QString dataDirectory();

// The common base of the four data files: dataDirectory() + "/Default".
QString dataPath();

// Where the program's own generated files live ($XDG_DATA_HOME/glimmora), e.g. the wallpaper.
QString programDataDirectory();

// The directory for the store's work files (QDir::tempPath()).
QString temporaryDirectory();

// A file-name extension as the picture-type table knows it: lower case, without a leading dot,
// and the long forms common here named by their three letters ("jpeg" and "jfif" are "jpg",
// "tiff" is "tif").
QString canonicalExtension(const QString& extension);

// The platform's path folding: paths are case-sensitive here, so folding only trims blanks.
QString foldPath(const QString& path);

} // namespace glimmora
