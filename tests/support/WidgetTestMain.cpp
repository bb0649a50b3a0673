#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Before QApplication exists: tests never need a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Runs write their journals under XDG_STATE_HOME: never the machine's own.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
