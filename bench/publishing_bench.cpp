// Costs of publishing: writing the status page with its ".txt" companion on the user-interface
// thread, a GIF export of a picture of many colours, and one whole FTP upload run of the page's files to a
// server on 127.0.0.1, from its start until its last line is shown.
#include "app/ChildView.h"
#include "publishing/ExportedImage.h"
#include "support/FtpServerProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
// A status screen of the usual size.
QString StatusScreen() {
    QString text;
    for (int line = 0; line < 24; ++line)
        text += QStringLiteral("Line %1: EFC 1.234567 V  TI 12.5 ns  <OK> & locked\r\n").arg(line);
    return text;
}
} // namespace

static void BM_UpdateHtml(benchmark::State& state) {
    QTemporaryDir dir;
    CChildView view;
    view.m_strHtmlPath = dir.filePath(QStringLiteral("gpsstat.htm"));
    const QString status = StatusScreen();
    for (auto _ : state)
        view.UpdateHtml(status);
    state.counters["page bytes"] = static_cast<double>(QFile(view.m_strHtmlPath).size());
}
BENCHMARK(BM_UpdateHtml)->Unit(benchmark::kMicrosecond);

// A 1024 x 1024 gradient as a GIF: argument 0, a smooth one of about 100,000 colours; 1, one
// where every pixel has a colour of its own.
static void BM_GifExportOfAGradient(benchmark::State& state) {
    const bool everyPixelItsOwn = state.range(0) == 1;
    QImage gradient = NewExportImage(1024, 1024);
    for (int y = 0; y < gradient.height(); ++y)
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixel(x, y,
                              everyPixelItsOwn
                                  ? qRgb(x / 4, y / 4, 64 * (x % 4) + 16 * (y % 4) + (x + y) / 128)
                                  : qRgb(x / 4, y / 4, (x + y) / 8));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gradient.gif"));
    for (auto _ : state)
        if (!WriteExportedImage(gradient, path).ok)
            state.SkipWithError("not written");
}
BENCHMARK(BM_GifExportOfAGradient)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

static void BM_FtpUploadRun(benchmark::State& state) {
    QTemporaryDir local;
    QTemporaryDir remote;
    FtpServerProcess server(remote.path(), QStringLiteral("bench"), QStringLiteral("bench"));
    if (server.port() == 0) {
        state.SkipWithError("no FTP server");
        return;
    }
    CChildView view;
    view.m_strHtmlPath = local.filePath(QStringLiteral("gpsstat.htm"));
    view.UpdateHtml(StatusScreen());
    // Images of about the size the page's pictures have.
    for (const QString& name : {view.GetMapImageName(), view.GetGraphImageName(), view.GetCssFileName()}) {
        QFile file(name);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(40000, 'x'));
    }
    view.m_strFtpServer = QStringLiteral("127.0.0.1:%1").arg(server.port());
    view.m_strFtpAccount = QStringLiteral("bench");
    view.m_strFtpPassword = QStringLiteral("bench");
    view.m_strFtpDirectory.clear();
    view.m_nFtpInterval = 60000;
    view.m_bFtpPassive = state.range(0) != 0;
    for (auto _ : state) {
        view.FtpUpload();
        while (view.IsFtpUploadRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
BENCHMARK(BM_FtpUploadRun)
    ->Arg(1)
    ->Arg(0)
    ->ArgNames({"passive"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
