// main() of every test executable: a headless widget application first, then
// GoogleTest, with the user's real folders out of reach.

#include "test_environment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    // No test may fall back on the real machine or user folders.
    TestWorkstation::useFolders(runtime.path() + u"/appdata", runtime.path() + u"/machine",
                                runtime.path() + u"/system");
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale::c());

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
