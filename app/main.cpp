#include "app/Globals.h"
#include "app/MainFrame.h"
#include "app/OrvaneApp.h"
#include "platform/TerminationSignals.h"

#include <QStringList>

int main(int argc, char** argv) {
    COrvaneApp app(argc, argv);
    // --port PATH names the receiver's serial port for this run (scripts/run.sh points the program
    // at the receiver simulator this way).
    const QStringList arguments = app.arguments();
    const qsizetype port = arguments.indexOf(QStringLiteral("--port"));
    if (port > 0 && port + 1 < arguments.size())
        g_strPortOverride = arguments.at(port + 1);
    if (!app.InitInstance())
        return 1;
    // A termination signal closes the main window, which stops polling and saves the settings.
    const platform::TerminationSignals termination([&app] { app.MainFrame()->close(); });
    return app.exec();
}
