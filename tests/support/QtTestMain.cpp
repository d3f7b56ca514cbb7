#include <QCoreApplication>
#include <gtest/gtest.h>

// main for tests whose code needs a Qt event loop (queued callbacks, thread hand-offs).
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
