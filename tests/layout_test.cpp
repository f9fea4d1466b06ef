#include "app/ChildView.h"
#include "app/Globals.h"
#include "app/Layout.h"
#include "app/MainFrame.h"
#include "app/TextWnd.h"
#include "simulator/ReceiverSimulator.h"
#include "support/WaitBounds.h"

#include <QAction>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

// The 23-line limit and a text without CR are checked on the rendered screen below.
TEST(StatusScreen, LinesSplitAtCrLfKeepingTheLastUnended) {
    EXPECT_EQ(StatusScreenLines(QStringLiteral("a\r\nb\r\nc")), (QStringList{"a", "b", "c"}));
}

namespace {

// Renders a widget as the screen shows it, saving a copy under the build folder.
QImage Render(QWidget& widget, const QString& name) {
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QDir().mkpath(QStringLiteral(ORVANE_BINARY_DIR "/test-output"));
    image.save(QStringLiteral(ORVANE_BINARY_DIR "/test-output/%1.png").arg(name));
    return image;
}

// The rows of an image that hold ink (pixels much darker than the background).
std::vector<bool> InkRows(const QImage& image) {
    std::vector<bool> rows(image.height(), false);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width() && !rows[y]; ++x)
            rows[y] = qGray(image.pixel(x, y)) < 100;
    return rows;
}

// A view of 801 by 601 pixels, shown offscreen.
class ViewLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_view.resize(801, 601);
        m_view.show();
    }

    // The rectangle of a child when it is shown, else nothing.
    static std::optional<QRect> Shown(const QWidget& child) {
        return child.isHidden() ? std::nullopt : std::optional<QRect>(child.geometry());
    }

    QImage RenderText(const QString& name) { return Render(m_view.m_wndText, name); }

    CChildView m_view;
};

// The leftmost and rightmost columns with ink between two rows.
std::pair<int, int> InkColumns(const QImage& image, int top, int bottom) {
    int left = image.width(), right = 0;
    for (int x = 0; x < image.width(); ++x)
        for (int y = top; y < bottom; ++y)
            if (qGray(image.pixel(x, y)) < 100) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return {left, right};
}

int InkBands(const std::vector<bool>& rows) {
    int bands = 0;
    for (std::size_t y = 0; y < rows.size(); ++y)
        if (rows[y] && (y == 0 || !rows[y - 1]))
            ++bands;
    return bands;
}

} // namespace

TEST_F(ViewLayoutTest, EachViewModePlacesTheChildrenInTheRealWidget) {
    m_view.OnViewAll();
    EXPECT_EQ(Shown(m_view.m_wndGraph), QRect(0, 0, 400, 300));
    EXPECT_EQ(Shown(m_view.m_wndMap), QRect(400, 0, 401, 300));
    EXPECT_EQ(Shown(m_view.m_wndText), QRect(0, 300, 801, 301));
    EXPECT_EQ(m_view.m_fontStatus.family(), QFont(m_view.m_strSmallStatusFace).family());

    m_view.OnViewTime(); // the All layout
    EXPECT_EQ(Shown(m_view.m_wndGraph), QRect(0, 0, 400, 300));
    EXPECT_EQ(Shown(m_view.m_wndText), QRect(0, 300, 801, 301));

    m_view.OnViewMap();
    EXPECT_EQ(Shown(m_view.m_wndMap), QRect(0, 0, 801, 601));
    EXPECT_FALSE(Shown(m_view.m_wndGraph) || Shown(m_view.m_wndText));
    m_view.OnViewGraph();
    EXPECT_EQ(Shown(m_view.m_wndGraph), QRect(0, 0, 801, 601));
    EXPECT_FALSE(Shown(m_view.m_wndMap) || Shown(m_view.m_wndText));
    m_view.OnViewStatus();
    EXPECT_EQ(Shown(m_view.m_wndText), QRect(0, 0, 801, 601));
    EXPECT_FALSE(Shown(m_view.m_wndMap) || Shown(m_view.m_wndGraph));
    const int statusCell = QFontMetrics(m_view.m_fontStatus).height();

    // An unknown mode from the store leaves the children where they are, fonts rebuilt.
    m_view.m_nViewMode = 9;
    m_view.resize(400, 300);
    EXPECT_EQ(Shown(m_view.m_wndText), QRect(0, 0, 801, 601));
    EXPECT_EQ(m_view.m_cxClient, 400);

    // Status to All halves the status font; the cell height follows the window's height.
    m_view.resize(801, 601);
    m_view.OnViewStatus();
    m_view.OnViewAll();
    EXPECT_NEAR(QFontMetrics(m_view.m_fontStatus).height() * 2, statusCell, 2);
    EXPECT_NEAR(statusCell, 601 / 21, 2);
}

TEST_F(ViewLayoutTest, OnlyTheTimeViewKeepsALogLineOwed) {
    const std::array<void (CChildView::*)(), 5> commands = {&CChildView::OnViewAll, &CChildView::OnViewStatus,
                                                            &CChildView::OnViewTime, &CChildView::OnViewMap,
                                                            &CChildView::OnViewGraph};
    for (const auto command : commands) {
        m_view.m_bLogDue = true;
        (m_view.*command)();
        EXPECT_EQ(m_view.m_bLogDue, command == &CChildView::OnViewTime) << m_view.m_nViewMode;
    }
}

TEST_F(ViewLayoutTest, StatusScreenShowsItsFirst23Lines) {
    QString text;
    for (int i = 0; i < 30; ++i)
        text += QStringLiteral("LINE %1 STATUS OK, EFC 1234.5 TI 0.00012\r\n")
                    .arg(i + 1, 2, 10, QLatin1Char('0'));
    m_view.m_wndText.m_strText = text;
    m_view.OnViewStatus();
    const QImage image = RenderText(QStringLiteral("status-30-lines"));
    ASSERT_EQ(image.size(), QSize(801, 601));
    EXPECT_EQ(InkBands(InkRows(image)), 23);

    // In the All view the same text fills the lower half in a font half as high.
    m_view.OnViewAll();
    EXPECT_EQ(InkBands(InkRows(RenderText(QStringLiteral("all-30-lines")))), 23);

    // A text without a CR is no status screen.
    m_view.m_wndText.m_strText = QStringLiteral("LINE WITHOUT END");
    EXPECT_EQ(InkBands(InkRows(RenderText(QStringLiteral("status-no-cr")))), 0);
}

TEST_F(ViewLayoutTest, TimeViewDrawsTheTimeLineBig) {
    m_view.OnViewTime();
    m_view.m_wndText.m_strText = QStringLiteral("20:08:08"); // wide digits
    const QImage image = RenderText(QStringLiteral("time-view"));
    ASSERT_EQ(image.size(), QSize(801, 301));
    const std::vector<bool> rows = InkRows(image);
    const auto top = std::find(rows.begin(), rows.end(), true) - rows.begin();
    const auto bottom = rows.rend() - std::find(rows.rbegin(), rows.rend(), true);
    ASSERT_EQ(InkBands(rows), 1);
    // Digits fill most of a cell of 601 / 3.25 pixels whose top stands at 301 / 7.
    EXPECT_GT(bottom - top, 601 / 3.25 * 0.5);
    EXPECT_GE(top, 301 / 7);
    EXPECT_LT(top, 301 / 7 + 601 / 3.25 * 0.4);
    const auto [left, right] = InkColumns(image, static_cast<int>(top), static_cast<int>(bottom));
    EXPECT_LT(left, 40);
    EXPECT_GT(right - left, 400);               // eight characters about 801 / 9 wide each
    EXPECT_LT(right, image.width() - 801 / 50); // clear of the right edge

    // In a narrow window the line is narrowed to fit, clear of the right edge.
    m_view.resize(520, 601);
    const QImage narrow = RenderText(QStringLiteral("time-view-narrow"));
    EXPECT_LT(InkColumns(narrow, 0, narrow.height()).second, narrow.width() - 520 / 50);
}

// What the operator sees after Stop, a switch of view and a change of family.
TEST(TextWindowScreens, NoStatusScreenInTheTimeViewNorAfterItsFamily) {
    sim::ReceiverSimulator receiver(sim::Family::JacksonLabs);
    ASSERT_TRUE(receiver.start());
    CMainFrame frame;
    frame.resize(1100, 700);
    frame.show();
    CChildView& view = frame.m_wndView;
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.m_bInitialised; }, kBusyMachineWaitMs));
    g_nReceiverType = RECEIVER_JACKSON;
    view.SetReceiverDefaults();
    view.m_strComPort = receiver.portPath();
    frame.Action(ID_VIEW_ALL)->trigger();
    frame.Action(ID_START)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.m_wndText.m_strText.contains("GPSDO Status"); },
                                kBusyMachineWaitMs));
    frame.Action(ID_STOP)->trigger();
    frame.Action(ID_VIEW_TIME)->trigger();
    EXPECT_EQ(InkBands(InkRows(Render(view.m_wndText, QStringLiteral("time-after-stop")))), 0);
    frame.Action(ID_VIEW_ALL)->trigger();
    EXPECT_GT(InkBands(InkRows(Render(view.m_wndText, QStringLiteral("all-after-stop")))), 10);
    frame.Action(ID_RECEIVER_HP)->trigger();
    EXPECT_EQ(InkBands(InkRows(Render(view.m_wndText, QStringLiteral("all-after-family-change")))), 0);

    // The status bar claims no lock-key state it cannot know.
    for (const QLabel* label : frame.statusBar()->findChildren<QLabel*>())
        EXPECT_FALSE(label->text() == QStringLiteral("CAP") || label->text() == QStringLiteral("NUM"));
    g_nReceiverType = -1;
}
