#include "platform/ProgramPrinter.h"

#include "platform/PrintDialogs.h"

// Qt
#include <QCoreApplication>

namespace glimmora {

namespace {

QPrinter*& installed()
{
    static QPrinter* printer = nullptr;
    return printer;
}

// Freed while the application ends, before the printing system it uses goes.
void freeProgramPrinter()
{
    delete installed();
    installed() = nullptr;
}

} // namespace

QPrinter& programPrinter()
{
    if (!installed()) {
        installed() = new QPrinter(QPrinter::HighResolution);
        qAddPostRoutine(freeProgramPrinter);
    }
    return *installed();
}

void setUpProgramPrinter(QWidget* parent) { PrintDialogService::current().printerSetup(programPrinter(), parent); }

ScopedProgramPrinter::ScopedProgramPrinter() : previous_(installed()) { installed() = &printer; }

ScopedProgramPrinter::~ScopedProgramPrinter() { installed() = previous_; }

} // namespace glimmora
