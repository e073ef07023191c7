// Decodes one picture with the picture control and says how much memory that took: the growth
// of its peak resident size in KiB on the first line, the control's error (if any) on the
// second. A process of its own, so that the peak belongs to this one decode alone.
//
//     picturecontrol_decode_probe FILE THUMBNAIL_SIZE

#include "picturecontrol/GvboxCtrl.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/resource.h>

namespace {

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const long before = peakKiB();
    std::string error;
    try {
        glimmora::TGvboxCtrl control;
        control.setThumbnail(qint16(std::atoi(argv[2])));
        control.setFileName(QString::fromLocal8Bit(argv[1]));
    } catch (const glimmora::EGvboxError& failure) {
        error = failure.what();
    }
    std::printf("%ld\n%s\n", peakKiB() - before, error.c_str());
    return 0;
}
