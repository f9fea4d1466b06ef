// Every benchmark runs with an offscreen QApplication and the program's settings and files in a
// folder of the run's own.
#include "platform/Paths.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QTemporaryDir home;
    platform::SetSettingsFolder(home.filePath(QStringLiteral("config")));
    platform::SetDocumentsFolderOverride(home.filePath(QStringLiteral("Documents")));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
