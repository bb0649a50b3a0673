#include <QCoreApplication>

#include <gtest/gtest.h>

// The libraries under test need no widgets; a plain core application proves it.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
