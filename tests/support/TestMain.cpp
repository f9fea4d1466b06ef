// Every test process runs with an offscreen QApplication, the C number locale, and the settings
// store and Documents folder in a temporary folder of its own, so no test touches the user's files.
// A process run with QT_QPA_PLATFORM=xcb gets an X server and a window manager of its own instead.
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"
#include "support/DesktopSession.h"

#include <QApplication>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir home;
    setenv("XDG_CONFIG_HOME", qPrintable(home.filePath(QStringLiteral("config"))), 1);
    std::unique_ptr<DesktopSession> desktop;
    if (qgetenv("QT_QPA_PLATFORM") == "xcb") {
        desktop = std::make_unique<DesktopSession>();
        SetTestDesktop(desktop.get());
        // Without an X server the tests that need one skip, saying why.
        if (!desktop->ServerFailure().isEmpty())
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
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
