// Test entry for window tests: a QApplication on the offscreen platform with a 1280 x 1024 screen.
#include "support/offscreen.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const QString screen = kestrane::test::useOffscreenScreen();
    QApplication app(argc, argv);
    QFile::remove(screen);
    return RUN_ALL_TESTS();
}
