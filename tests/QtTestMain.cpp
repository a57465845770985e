// The main of every test executable that needs Qt: the pins of TestMain, Qt's offscreen platform
// (no display is needed) and one QApplication for all tests of the process.
#include <cstdlib>
#include <ctime>

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("TZ", "UTC", 1);
    setenv("LC_ALL", "en_US.UTF-8", 1);
    setenv("LANG", "en_US.UTF-8", 1);
    // The desktop's own settings are never read or written by a test.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    tzset();
    testing::InitGoogleTest(&argc, argv);
    const QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
