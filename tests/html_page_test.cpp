// The HTML status page and its companions, written by the view into a temporary folder: the page
// byte for byte, the names derived from its path, escaping, and the page as a browser shows it.
#include "app/ChildView.h"
#include "platform/TickCount.h"
#include "publishing/HtmlNames.h"
#include "publishing/VersionText.h"
#include "support/FileBytes.h"
#include "support/SmallFileSystem.h"
#include "support/WithoutFileOverride.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The page as its pieces put it together; the refresh line and the include cell are optional.
QByteArray ExpectedPage(const QByteArray& refreshLine, const QByteArray& css, const QByteArray& mapSource,
                        const QByteArray& graphSource, const QByteArray& include, const QByteArray& status) {
    QByteArray page = "<!DOCTYPE HTML PUBLIC -//W3C//DTD HTML 4.0 Transitional//EN><html>\r\n"
                      "<head>\r\n"
                      "<!-- ********* " +
                      GetVersionText().toLatin1() + " ********** -->\r\n" + refreshLine +
                      "<meta HTTP-EQUIV=\"Pragma\" CONTENT=\"no-cache\">\r\n"
                      "<title>GPS Status</title>\r\n"
                      "<link rel=\"stylesheet\" type=\"text/css\" href=\"" +
                      css +
                      "\" />\r\n</head>\r\n<body>\r\n<table>\r\n<tr>\r\n"
                      " <td><img src= \"" +
                      mapSource + "\"/></td>\r\n <td><img src= \"" + graphSource + "\"/></td>\r\n";
    if (!include.isEmpty())
        page += " <td rowspan=2>\r\n" + include + " </td>\r\n";
    page += "</tr>\r\n<tr>\r\n <td colspan=2><pre>" + status +
            "</pre></td>\r\n</tr>\r\n</table>\r\n</body>\r\n</html>\r\n";
    return page;
}

class HtmlPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("Web")));
        m_view.m_strHtmlPath = Path("Web/Status.HTM");
        m_view.m_bHtmlStatus = true;
    }
    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    QByteArray Page() const { return ReadFileBytes(m_view.m_strHtmlPath); }

    QTemporaryDir m_dir;
    CChildView m_view;
};

} // namespace

// The names beside a page named as usual, and their type's case, are checked on the pages below.
TEST(HtmlNames, PagesWithoutAnExtensionOrWithADottedFolderOrAnOverlongNameAndNoImageType) {
    EXPECT_EQ(MapImageName(QStringLiteral("/srv/web/page"), QStringLiteral("png")),
              QStringLiteral("/srv/web/page2.png"));
    EXPECT_EQ(CssFileName(QStringLiteral("/srv/web/page")), QStringLiteral("/srv/web/page.css"));
    EXPECT_EQ(MapImageName(QStringLiteral("/srv/my.site/page"), QStringLiteral("png")),
              QStringLiteral("/srv/my.site/page2.png"));
    EXPECT_TRUE(MapImageName(QStringLiteral("/srv/web/page"), QString()).isEmpty()); // no type, no image
    // Overlong names are cut, not refused.
    EXPECT_EQ(
        FileNamePart(QStringLiteral("/x/") + QString(300, QLatin1Char('n')) + QStringLiteral(".htm")).size(),
        255 + 4);
}

TEST_F(HtmlPageTest, PageAndTextFileAsWritten) {
    m_view.m_nStatusInterval = 30000;
    m_view.UpdateHtml(QStringLiteral("Locked\r\nSats 9"));
    EXPECT_EQ(Page(), ExpectedPage("<META HTTP-EQUIV=\"refresh\" CONTENT=\"30\">\r\n", "Status.css",
                                   "Status2.png", "Status1.png", {}, "Locked\r\nSats 9"));
    EXPECT_EQ(ReadFileBytes(Path("Web/Status.txt")), QByteArray("Locked\r\nSats 9"));

    // No refresh line with the interval off; a short one never refreshes more than once a second.
    for (const auto& [interval, refresh] :
         {std::pair<int, QByteArray>{0, {}}, {500, "<META HTTP-EQUIV=\"refresh\" CONTENT=\"1\">\r\n"}}) {
        m_view.m_nStatusInterval = interval;
        m_view.UpdateHtml(QStringLiteral("x"));
        EXPECT_EQ(Page(), ExpectedPage(refresh, "Status.css", "Status2.png", "Status1.png", {}, "x"))
            << interval;
    }
}

TEST_F(HtmlPageTest, IncludeAndImageTypeVariants) {
    m_view.m_nStatusInterval = 0;
    // The operator's include goes in byte for byte; an empty one is as none.
    const QByteArray include = "<b>Site \xE9</b>\r\n";
    ASSERT_TRUE(WriteFileBytes(Path("Web/Status.inc"), include));
    m_view.UpdateHtml(QStringLiteral("s"));
    EXPECT_EQ(Page(), ExpectedPage({}, "Status.css", "Status2.png", "Status1.png", include, "s"));
    ASSERT_TRUE(WriteFileBytes(Path("Web/Status.inc"), {}));
    m_view.UpdateHtml(QStringLiteral("s"));
    EXPECT_EQ(Page(), ExpectedPage({}, "Status.css", "Status2.png", "Status1.png", {}, "s"));

    m_view.m_strImageFileType = QStringLiteral("PNG");
    m_view.UpdateHtml(QStringLiteral("s"));
    EXPECT_EQ(Page(), ExpectedPage({}, "Status.css", "Status2.PNG", "Status1.PNG", {}, "s"));
    m_view.m_strImageFileType.clear();
    m_view.UpdateHtml(QStringLiteral("s"));
    EXPECT_EQ(Page(), ExpectedPage({}, "Status.css", ".", ".", {}, "s"));
}

TEST_F(HtmlPageTest, ReceiverTextAndNamesAreEscapedInThePageOnly) {
    m_view.m_nStatusInterval = 0;
    m_view.m_strHtmlPath = Path("Web/A&\"B.htm");
    const QString status = QStringLiteral("EFC <5> & TI > 3");
    m_view.UpdateHtml(status);
    EXPECT_EQ(Page(), ExpectedPage({}, "A&amp;&quot;B.css", "A&amp;&quot;B2.png", "A&amp;&quot;B1.png", {},
                                   "EFC &lt;5&gt; &amp; TI &gt; 3"));
    EXPECT_EQ(ReadFileBytes(Path("Web/A&\"B.txt")), status.toLatin1());
}

TEST_F(HtmlPageTest, OffOrUnwritableWritesNothingAndSaysSo) {
    platform::SetTickSource(std::make_shared<platform::ManualTickSource>(4242));
    m_view.m_strDebugPath = Path("debug.txt");
    m_view.m_bDebugEnable = true;
    m_view.m_strUserPath = Path("user.txt");
    m_view.m_bUserToFile = true;
    m_view.m_bFtpDebug = true;
    m_view.m_bHtmlStatus = false;
    m_view.UpdateHtml(QStringLiteral("s"));
    EXPECT_EQ(m_view.m_dwLastHtml, 4242u) << "the stamp is set also while the page is off";
    EXPECT_FALSE(QFile::exists(m_view.m_strHtmlPath));
    EXPECT_FALSE(QFile::exists(Path("debug.txt")));

    // A page that cannot be written is reported, never as written.
    m_view.m_bHtmlStatus = true;
    const QString page = m_view.m_strHtmlPath;
    m_view.m_strHtmlPath = Path("Missing/Status.htm");
    m_view.UpdateHtml(QStringLiteral("s"));
    EXPECT_TRUE(ReadFileBytes(Path("debug.txt"))
                    .endsWith("Unable to open HTML file: " + Path("Missing/Status.htm").toUtf8() + "\r\n"));
    EXPECT_FALSE(ReadFileBytes(Path("user.txt")).contains("Local HTML update OK"));
    m_view.m_strHtmlPath = page;
    m_view.UpdateHtml(QStringLiteral("s"));
    EXPECT_TRUE(ReadFileBytes(Path("user.txt")).endsWith("Local HTML update OK \r\n"));
    platform::SetTickSource(nullptr);
}

// On a full disk the page, its text file and its pictures stay as they were, never short files,
// and the page and pictures say that they could not be written.
TEST_F(HtmlPageTest, AFullDiskLeavesThePageAndItsCompanionsAsTheyWere) {
    SmallFileSystem disk(256 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    m_view.m_strHtmlPath = disk.FilePath(QStringLiteral("gpsstat.htm"));
    m_view.m_strDebugPath = Path("debug.txt");
    m_view.m_bDebugEnable = true;
    m_view.UpdateHtml(QStringLiteral("Locked"));
    const QStringList names = {QStringLiteral("gpsstat.htm"), QStringLiteral("gpsstat.txt"),
                               QStringLiteral("gpsstat1.png"), QStringLiteral("gpsstat2.png")};
    QList<QByteArray> before;
    for (const QString& name : names) {
        before.append(ReadFileBytes(disk.FilePath(name)));
        ASSERT_FALSE(before.back().isEmpty()) << qPrintable(name);
    }
    ASSERT_TRUE(disk.LeaveFree(0));
    m_view.UpdateHtml(QStringLiteral("Holdover"));
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_EQ(ReadFileBytes(disk.FilePath(names[i])), before[i]) << qPrintable(names[i]);
    const QByteArray debug = ReadFileBytes(Path("debug.txt"));
    EXPECT_TRUE(debug.contains("Unable to open HTML file: " + m_view.m_strHtmlPath.toUtf8() + "\r\n"));
    EXPECT_TRUE(
        debug.contains("cannot write " + disk.FilePath(names[2]).toUtf8() + ": No space left on device"))
        << debug.constData();
}

// A web server's folder that lets the program write its files but not make new ones (r-x, the
// files its own): the page, its text file and its pictures are written in place, whole.
TEST_F(HtmlPageTest, AFolderWithoutRightsToMakeFilesStillGetsThePage) {
    m_view.m_nStatusInterval = 0;
    const QStringList names = {QStringLiteral("Web/Status.HTM"), QStringLiteral("Web/Status.txt"),
                               QStringLiteral("Web/Status1.png"), QStringLiteral("Web/Status2.png")};
    for (const QString& name : names)
        ASSERT_TRUE(WriteFileBytes(m_dir.filePath(name), QByteArray(5000, 'o')));
    {
        WithoutFileOverride asAUser;
        QFile::setPermissions(Path("Web"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        m_view.UpdateHtml(QStringLiteral("Locked"));
        QFile::setPermissions(Path("Web"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    EXPECT_EQ(Page(), ExpectedPage({}, "Status.css", "Status2.png", "Status1.png", {}, "Locked"));
    EXPECT_EQ(ReadFileBytes(Path("Web/Status.txt")), QByteArray("Locked"));
    for (const char* picture : {"Web/Status1.png", "Web/Status2.png"}) {
        const QImage image(Path(picture));
        EXPECT_EQ(image.size(), QSize(m_view.m_nHtmlImageSize, m_view.m_nHtmlImageSize)) << picture;
    }
    EXPECT_EQ(QDir(Path("Web")).entryList(QDir::Files | QDir::Hidden).size(), names.size());
}

// Where a picture appears on a screenshot, to within a few levels of colour; (-1, -1) when nowhere.
QPoint FindPicture(const QImage& shot, const QImage& picture) {
    const auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) <= 8 && std::abs(qGreen(a) - qGreen(b)) <= 8 &&
               std::abs(qBlue(a) - qBlue(b)) <= 8;
    };
    const auto matchesAt = [&](int x0, int y0, int step) {
        for (int y = 0; y < picture.height(); y += step)
            for (int x = 0; x < picture.width(); x += step)
                if (!near(shot.pixel(x0 + x, y0 + y), picture.pixel(x, y)))
                    return false;
        return true;
    };
    for (int y = 0; y + picture.height() <= shot.height(); ++y)
        for (int x = 0; x + picture.width() <= shot.width(); ++x)
            if (matchesAt(x, y, 40) && matchesAt(x, y, 1))
                return {x, y};
    return {-1, -1};
}

// The page in a real browser: the two images, exported by the page writer, side by side, the
// include beside them, the status text below. The screenshot is kept in the build folder to be
// looked at.
TEST_F(HtmlPageTest, BrowserShowsImagesSideBySideAndTextBelow) {
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty())
        GTEST_SKIP() << "chromium is not installed";
    m_view.m_nHtmlImageSize = 200;
    m_view.m_nStatusInterval = 0;
    m_view.m_wndMap.resize(400, 400);
    m_view.m_wndGraph.resize(400, 400);
    // A stand-in for a graph that draws nothing yet: the export replaces it once it does.
    QImage standIn(200, 200, QImage::Format_RGB32);
    standIn.fill(Qt::blue);
    standIn.save(m_view.GetGraphImageName());
    ASSERT_TRUE(WriteFileBytes(Path("Web/Status.inc"),
                               "<div style=\"background:#00c000;width:80px;height:80px\"></div>\r\n"));
    ASSERT_TRUE(WriteFileBytes(Path("Web/Status.css"), "body { background: white; font-size: 20px; }\r\n"));
    m_view.UpdateHtml(QStringLiteral("GPS LOCKED\r\nSATS 9 <ok>"));
    const QImage mapPicture(m_view.GetMapImageName());
    const QImage graphPicture(m_view.GetGraphImageName());
    ASSERT_EQ(mapPicture.size(), QSize(200, 200)) << "the page writer exports the map at the image size";
    ASSERT_EQ(graphPicture.size(), QSize(200, 200));

    const QString shot = QStringLiteral(ORVANE_BINARY_DIR "/html_page.png");
    QFile::remove(shot);
    QProcess browser;
    browser.start(chromium, {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                             QStringLiteral("--disable-gpu"), QStringLiteral("--hide-scrollbars"),
                             QStringLiteral("--user-data-dir=") + Path("browser"),
                             QStringLiteral("--window-size=800,600"), QStringLiteral("--screenshot=") + shot,
                             QStringLiteral("file://") + m_view.m_strHtmlPath});
    ASSERT_TRUE(browser.waitForFinished(120000)) << "chromium did not finish";
    const QImage image = QImage(shot).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(image.isNull()) << browser.readAllStandardError().toStdString();

    const QPoint map = FindPicture(image, mapPicture.convertToFormat(QImage::Format_RGB32));
    const QPoint graph = FindPicture(image, graphPicture.convertToFormat(QImage::Format_RGB32));
    ASSERT_GE(map.x(), 0) << "the map is not on the page";
    ASSERT_GE(graph.x(), 0) << "the graph is not on the page";
    EXPECT_EQ(map.y(), graph.y());
    EXPECT_LT(map.x() + 200, graph.x());
    // The include's green block right of the images, dark text below them.
    const auto box = [&image](QRect area, auto match) {
        QRect found;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (match(QColor(image.pixel(x, y))))
                    found |= QRect(x, y, 1, 1);
        return found;
    };
    const QRect right(graph.x() + 200, 0, image.width() - graph.x() - 200, image.height());
    const QRect below(0, map.y() + 200, image.width(), image.height() - map.y() - 200);
    const QRect include =
        box(right, [](QColor c) { return c.green() > 150 && c.red() < 60 && c.blue() < 60; });
    const QRect text =
        box(below, [](QColor c) { return c.red() < 100 && c.green() < 100 && c.blue() < 100; });
    EXPECT_EQ(include.size(), QSize(80, 80));
    EXPECT_FALSE(text.isEmpty());
    EXPECT_LT(text.left(), graph.x()) << "the text starts under the images";
}
