// Saved files named as what is not a regular file while the main frame polls the simulated receiver
// on a pseudo-terminal: the HTML page a FIFO, its map picture a link to a device (the null device's
// numbers, made in the test folder), the exported graph a link to a FIFO and the exported map a
// device. None of them is replaced, by the run nor by the exit, and the page's failures are said
// once.
#include "app/MainFrame.h"
#include "controls/DlgBar.h"
#include "support/FileBytes.h"
#include "support/NullDevice.h"
#include "support/SimulatedPolling.h"
#include "support/WaitBounds.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// The file type of what `path` names, links followed.
mode_t TypeAt(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

} // namespace

TEST(SavesOntoNodes, APageThatIsAFifoAndPicturesThatAreDevicesStaySoAndAreSaidOnce) {
    if (const std::string why = DeviceNodesRefused(); !why.empty())
        GTEST_SKIP() << why;
    QTemporaryDir dir;
    const auto native = [&](const char* name) {
        return QFile::encodeName(dir.filePath(QLatin1String(name)));
    };
    ASSERT_EQ(::mkfifo(native("status.htm"), 0600), 0);
    ASSERT_EQ(::mkfifo(native("graph.fifo"), 0600), 0);
    for (const char* device : {"null", "map.png"})
        ASSERT_TRUE(MakeNullDevice(dir.filePath(QLatin1String(device)))) << std::strerror(errno);
    ASSERT_EQ(::symlink("null", native("status2.png")), 0);     // the page's map picture
    ASSERT_EQ(::symlink("graph.fifo", native("graph.png")), 0); // the exported graph
    const QString page = dir.filePath(QStringLiteral("status.htm"));
    const QString mapPicture = dir.filePath(QStringLiteral("status2.png"));

    sim::ReceiverSimulator receiver{sim::Family::HewlettPackard};
    {
        CMainFrame frame;
        CChildView& view = frame.m_wndView;
        ASSERT_TRUE(QTest::qWaitFor([&] { return view.m_bInitialised; }, kBusyMachineWaitMs));
        ASSERT_TRUE(receiver.start());
        PollSimulatedHewlettPackard(view, receiver);
        view.m_strLogPath.clear();
        view.m_strHtmlPath = page;
        view.m_strImageFileType = QStringLiteral("png");
        view.m_bHtmlStatus = true;
        view.m_nStatusInterval = 1;
        view.m_strGraphExportPath = dir.filePath(QStringLiteral("graph.png"));
        view.m_strMapExportPath = dir.filePath(QStringLiteral("map.png"));
        view.m_nExportInterval = 1;
        view.OnStart();
        ASSERT_TRUE(view.IsRunning());
        // Until the page and the exports have been tried a few times over.
        for (int times = 0; times < 3; ++times) {
            const DWORD html = view.m_dwLastHtml;
            const DWORD exported = view.m_dwLastExport;
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return view.m_dwLastHtml != html && view.m_dwLastExport != exported; },
                                kBusyMachineWaitMs));
        }
        // The page's other companions were written.
        EXPECT_TRUE(ReadFileBytes(dir.filePath(QStringLiteral("status1.png"))).startsWith("\x89PNG"));
        EXPECT_FALSE(ReadFileBytes(dir.filePath(QStringLiteral("status.txt"))).isEmpty());
        const QString shown = frame.m_wndDlgBar.UserWindow()->toPlainText();
        EXPECT_EQ(shown.count(QStringLiteral("Unable to open HTML file: %1: not a regular file").arg(page)),
                  1)
            << qPrintable(shown);
        EXPECT_EQ(shown.count(QStringLiteral("Unable to write the page's map picture: cannot write %1: "
                                             "not a regular file")
                                  .arg(mapPicture)),
                  1)
            << qPrintable(shown);
        EXPECT_TRUE(view.IsRunning());
        frame.close(); // an ordinary exit: polling ends, the settings are saved
    }
    EXPECT_EQ(TypeAt(page), S_IFIFO);
    EXPECT_EQ(TypeAt(dir.filePath(QStringLiteral("graph.png"))), S_IFIFO);
    for (const char* device : {"status2.png", "map.png"}) {
        struct stat info {};
        ASSERT_EQ(::stat(native(device), &info), 0) << device;
        EXPECT_TRUE(S_ISCHR(info.st_mode)) << device;
        EXPECT_EQ(info.st_rdev, makedev(kNullDeviceMajor, kNullDeviceMinor)) << device;
    }
}
