// One application object for every window test, on Qt's offscreen platform.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "ui/MessageHub.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    MessageHub::Install();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
