#include <QApplication>
#include <gtest/gtest.h>

// main for widget tests; they run on the offscreen platform unless the environment asks for
// another, or the build names the one a test looks at (QUILLO_TEST_QPA: the X server of DESKTOP tests).
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
#ifdef QUILLO_TEST_QPA
    qputenv("QT_QPA_PLATFORM", QUILLO_TEST_QPA);
#else
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
