#pragma once

namespace glimmora {

// Shows the hourglass for the lifetime of the object; nests.
class HourglassCursor {
public:
    HourglassCursor();
    ~HourglassCursor();
    HourglassCursor(const HourglassCursor&) = delete;
    HourglassCursor& operator=(const HourglassCursor&) = delete;
};

// Lets pending window messages run, so that a Stop or Cancel button works during long work.
void processPendingEvents();

} // namespace glimmora
