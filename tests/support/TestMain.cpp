#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The libraries under test need no widgets; a plain core application proves it.
int main(int argc, char** argv)
{
    // Runs write their journals under XDG_STATE_HOME: never the machine's own.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
