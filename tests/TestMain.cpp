// The main of every test executable: pins the time zone and the locale, so that dates and relative
// times read the same on every machine, and keeps GSettings in memory, then runs the tests.
#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("TZ", "UTC", 1);
    setenv("LC_ALL", "en_US.UTF-8", 1);
    setenv("LANG", "en_US.UTF-8", 1);
    // The desktop's own settings are never read or written by a test.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    tzset();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
