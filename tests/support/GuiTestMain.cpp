#include "Scratch.h"

// Qt
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// One QApplication per test binary, on the offscreen platform unless the caller chose another.
int main(int argc, char** argv)
{
    glimmora::test::prepareSandbox();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    glimmora::test::removeSandbox();
    return result;
}
