#include "app/ProgramEntry.h"

// Qt
#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glimmora"));
    QApplication::setApplicationVersion(QStringLiteral(GLIMMORA_VERSION));
    return glimmora::programEntry();
}
