#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

// The real widgets, without a display: Qt's offscreen platform unless a test run picks another.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
