// Every Qt test program shares one QApplication that lives exactly as
// long as the tests (a static one would outlive Qt's own objects at exit).
// Test discovery runs the program without the test environment, hence the
// offscreen default.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
