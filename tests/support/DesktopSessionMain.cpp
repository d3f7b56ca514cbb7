#include <gtest/gtest.h>

#include <cstdio>

#include <QCoreApplication>

#include "tests/support/DesktopSession.h"

namespace {

DesktopSession* session = nullptr;

}

DesktopSession& testDesktop()
{
    return *session;
}

// main of x11 tests: one desktop for the whole binary, kept lean for CI.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    DesktopSession desktop;
    if (!desktop.isReady()) {
        std::fprintf(stderr, "desktop session: %s\n", qPrintable(desktop.failure()));
        return 1;
    }
    session = &desktop;
    int status;
    {
        QCoreApplication app(argc, argv);
        status = RUN_ALL_TESTS();
    }
    session = nullptr;
    return status;
}
