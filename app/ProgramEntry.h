#pragma once

namespace glimmora {

// The life of the process once the QApplication exists: refuse a second instance, clear stale
// store work files, create the main window, run the message loop. Returns the exit status.
int programEntry();

} // namespace glimmora
