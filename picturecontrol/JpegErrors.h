#pragma once

#include <csetjmp>

// libjpeg
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>

namespace glimmora {

// libjpeg reports fatal errors by calling error_exit, which must not return: it jumps back to
// the setjmp of the decode or encode with the formatted message. A function that sets the jump
// point must hold no object with a destructor.
struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] inline void jumpOnJpegError(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings (corrupt or truncated data) still give a picture: libjpeg fills what is missing.
inline void ignoreJpegWarning(j_common_ptr, int) {}

} // namespace glimmora
