#include <QApplication>

#include <gtest/gtest.h>

// Window tests need one QApplication for the whole run. They are headless unless told
// otherwise, so that listing them (at build time) needs no display either.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
