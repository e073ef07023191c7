#include "slideshow/SlideshowInstall.h"

#include "platform/Paths.h"
#include "platform/Settings.h"

// Qt
#include <QFileInfo>

namespace glimmora {

QString SlideshowLocation() { return slideshowLocation(); }

bool SlideshowInstalled()
{
    const QString location = SlideshowLocation();
    return !location.isEmpty() && QFileInfo(location).isFile();
}

DemoShow DemoShowPath()
{
    const QString path = programDirectory() + QStringLiteral("/demo/demo.bld");
    return {path, QFileInfo(path).isFile()};
}

} // namespace glimmora
