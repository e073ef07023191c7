#include "Scratch.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    glimmora::test::prepareSandbox();
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    glimmora::test::removeSandbox();
    return result;
}
