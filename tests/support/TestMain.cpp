// Every test process runs with an offscreen QApplication, the C number locale, and the settings
// store and Documents folder in a temporary folder of its own, so no test touches the user's files.
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir home;
    setenv("XDG_CONFIG_HOME", qPrintable(home.filePath(QStringLiteral("config"))), 1);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    platform::SetSettingsFolder(home.filePath(QStringLiteral("config")));
    platform::SetDocumentsFolderOverride(home.filePath(QStringLiteral("Documents")));
    platform::SetMessageBoxHandler(
        [](const platform::MessageBoxRequest&) { return platform::MessageResult::Ok; });
    platform::SetBeepHandler([] {});
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
