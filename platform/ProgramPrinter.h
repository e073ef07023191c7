#pragma once

// Qt
#include <QPrinter>

class QWidget;

namespace glimmora {

// The printer every window of the program prints on: one choice of printer, paper and
// orientation, which "Printer Setup" changes wherever it is opened. It is made when first asked
// for (the application must exist by then) and lives until the application ends.
QPrinter& programPrinter();

// "Printer Setup": the printer setup dialog (through the print dialog service) for the
// program's printer.
void setUpProgramPrinter(QWidget* parent);

// Puts a fresh printer in the program's place for the lifetime of the object (tests, so that
// one test's setup does not reach the next).
class ScopedProgramPrinter {
public:
    ScopedProgramPrinter();
    ~ScopedProgramPrinter();
    ScopedProgramPrinter(const ScopedProgramPrinter&) = delete;
    ScopedProgramPrinter& operator=(const ScopedProgramPrinter&) = delete;

    QPrinter printer{QPrinter::HighResolution};

private:
    QPrinter* previous_;
};

} // namespace glimmora
