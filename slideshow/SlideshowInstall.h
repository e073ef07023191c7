#pragma once

// Qt
#include <QString>

namespace glimmora {

// Where the companion slideshow program is installed (its own settings); empty when unknown.
QString SlideshowLocation();

// The companion is installed: its location is known and names an existing file.
bool SlideshowInstalled();

// The introduction show beside the program: <program dir>/demo/demo.bld.
struct DemoShow {
    QString path;
    bool exists = false;
};
DemoShow DemoShowPath();

} // namespace glimmora
