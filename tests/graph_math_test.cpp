// The graph's pure pieces: the number format, the band layout and scales, the filter and the
// statistics against published reference values.
#include "displays/FormatEngineering.h"
#include "displays/GraphLayout.h"
#include "displays/GraphStatistics.h"

#include <cmath>
#include <gtest/gtest.h>
#include <tuple>
#include <vector>

namespace {

TEST(FormatEngineering, PrefixesCutDecimalsAndExtremes) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {{0, 2, "0"},
                 {-0.0015, 2, "-1.5m"},
                 {1000, 2, "1000"},
                 {1, 2, "1000m"},
                 {0.99999, 2, "999.99m"},
                 {1.9, 0, "1"},
                 {2500, 1, "2.5k"},
                 {5e-13, 2, "5e-13"},
                 {0.000432, 2, "432u"},
                 {1e-7, 2, "100n"},
                 {1.5e12, 1, "1.5T"},
                 {1e300, 6, "1e+288T"},
                 {-INFINITY, 2, "-inf"},
                 {NAN, 2, "nan"},
                 {123456789, 3, "123.456M"}};
    for (const auto& c : cases)
        EXPECT_EQ(FormatEngineering(c.value, c.decimals), QString::fromLatin1(c.text)) << c.value;
}

TEST(GraphLayout, BandsShareTheHeightInProportion) {
    std::array<bool, kGraphChannels> plot{};
    plot.fill(true);
    BandLines lines = LayoutBands(plot, {29, 29, 29, 13});
    EXPECT_EQ(lines.top, (std::array<int, 8>{940, 360, -220, -800, 940, 360, -220, -800}));
    EXPECT_EQ(lines.bottom, (std::array<int, 8>{480, -100, -680, -940, 480, -100, -680, -940}));
    plot.fill(false);
    plot[4] = true; // only channel 5: band 1 takes the whole height
    lines = LayoutBands(plot, {29, 29, 29, 13});
    EXPECT_EQ(lines.top[0], 940);
    EXPECT_EQ(lines.bottom[4], -940);
    EXPECT_EQ(lines.top[1], 0);
    plot[1] = true; // proportions that sum to 0 share equally
    lines = LayoutBands(plot, {0, 0, 0, 0});
    EXPECT_EQ(lines.bottom[0], 60);
    EXPECT_EQ(lines.top[1], -60);
}

TEST(GraphLayout, EqualLimitsAskForASymmetricScale) {
    ChannelScale scale = InitialScale(false, false, 0, 0);
    for (double v : {3.0, -5.0, 1.0})
        UpdateScale(scale, v, v, false, false, false, 0, 0);
    EXPECT_EQ(scale.max, 5.0);
    EXPECT_EQ(scale.min, -5.0);
    // Only the minimum held: the scale starts at plus and minus Max; above the top widens it
    // both ways, below the bottom does not.
    scale = InitialScale(true, false, 2, 2);
    EXPECT_EQ(scale.min, -2.0);
    UpdateScale(scale, -7, -7, false, true, false, 2, 2);
    EXPECT_EQ(scale.min, -2.0);
    UpdateScale(scale, 4, 4, false, true, false, 2, 2);
    EXPECT_EQ(scale.max, 4.0);
    EXPECT_EQ(scale.min, -4.0);
    int y = 0;
    EXPECT_FALSE(ValueToY(0.0, {0.000432, 1e-7}, 940, -940, true, y)); // no logarithm: a gap
    EXPECT_TRUE(ValueToY(1e300, {1, 0}, 940, -940, false, y));
    EXPECT_EQ(y, 1000000); // clamped, never an overflowing conversion
    EXPECT_EQ(TimeSpanText(60), QStringLiteral("60.00 secs"));
    EXPECT_EQ(TimeSpanText(61), QStringLiteral("1.02 mins"));
    EXPECT_EQ(TimeSpanText(3601), QStringLiteral("1.00 hrs"));
    EXPECT_EQ(LightColour(RGB(200, 100, 20)), RGB(255, 175, 35));
}

TEST(GraphLayout, ValuesComeBackFromTheirYOnBothScales) {
    // Forward to a band 1880 units high and back.
    const int top = 940;
    const int bottom = -940;
    const ChannelScale linear{25.0, -5.0};
    const ChannelScale logarithmic{0.000432, 1e-7};
    for (const auto& [scale, log, values] :
         {std::tuple{linear, false, std::vector<double>{-5.0, -1.25, 0.0, 7.5, 24.99, 25.0}},
          std::tuple{logarithmic, true,
                     std::vector<double>{1e-7, 3.3e-7, 6.57e-6, 1e-5, 0.0004, 0.000432}}}) {
        for (const double v : values) {
            int y = 0;
            ASSERT_TRUE(ValueToY(v, scale, top, bottom, log, y)) << v;
            // y is cut toward zero, so the value lies within a unit on either side of it.
            EXPECT_LT(YToValue(y - 1, scale, top, bottom, log), v) << v;
            EXPECT_GT(YToValue(y + 1, scale, top, bottom, log), v) << v;
        }
    }
    // The logarithmic scale's ends and middle: the band's own labels.
    EXPECT_NEAR(YToValue(top, logarithmic, top, bottom, true), 0.000432, 1e-15);
    EXPECT_NEAR(YToValue(bottom, logarithmic, top, bottom, true), 1e-7, 1e-18);
    EXPECT_NEAR(YToValue(0, logarithmic, top, bottom, true), 6.5727e-6, 1e-10);
}

TEST(GraphStatistics, TheFilterSmoothsAndBridgesGaps) {
    GraphFilter filter;
    EXPECT_EQ(filter.Step(10, 0.5), 10);
    EXPECT_EQ(filter.Step(20, 0.5), 12.5);
    EXPECT_EQ(filter.Step(20, 0.5), 16.25);
    EXPECT_FALSE(FilterRuns(0, 0.5));
    EXPECT_FALSE(FilterRuns(1, 0));
    EXPECT_TRUE(FilterRuns(2, 1e-15));
}

TEST(GraphStatistics, AllanDeviationAndMeanOfTheNbs14Set) {
    // The NBS14 1000-point frequency data; the Allan deviation at the basic interval and the mean
    // are 0.2922319 and 0.4897745.
    GraphStatistics statistics(true, true);
    std::uint64_t n = 1234567890;
    for (int i = 0; i < 1000; ++i, n = n * 16807 % 2147483647)
        statistics.Add(static_cast<double>(n) / 2147483647.0 + 1e7, i); // a large offset changes nothing
    const GraphStatisticsResult result = statistics.Result();
    ASSERT_TRUE(result.hasAllan && result.hasMean && result.hasFit);
    EXPECT_NEAR(result.allan, 0.2922319, 5e-8);
    EXPECT_NEAR(result.mean - 1e7, 0.4897745, 5e-8);
}

TEST(GraphStatistics, SmallCountsGapsConstantsAndOneSecond) {
    GraphStatistics counting(true, true);
    for (double y : {1.0, 2.0, 3.0, 4.0})
        counting.Add(y, y);
    GraphStatisticsResult result = counting.Result();
    EXPECT_NEAR(result.allan, std::sqrt(0.5), 1e-12);
    EXPECT_DOUBLE_EQ(result.slope, 1.0);
    EXPECT_DOUBLE_EQ(result.intercept, 0.0);

    GraphStatistics gapped(true, false);
    for (double y : {1.0, 2.0, 3.0}) {
        gapped.Add(y, 0);
        gapped.Gap(); // no difference across an empty field
    }
    result = gapped.Result();
    EXPECT_FALSE(result.hasAllan);
    EXPECT_TRUE(result.hasMean);

    GraphStatistics two(true, true);
    two.Add(1, 0);
    two.Add(2, 1);
    EXPECT_FALSE(two.Result().hasMean || two.Result().hasFit);

    // All samples in one second: a flat line at the mean; equal values: sd 0, never a NaN.
    GraphStatistics sameSecond(false, true);
    for (double y : {0.1, 0.1, 0.1, 0.1})
        sameSecond.Add(y, 0);
    result = sameSecond.Result();
    EXPECT_EQ(result.slope, 0.0);
    EXPECT_DOUBLE_EQ(result.intercept, 0.1);
    EXPECT_EQ(result.sd, 0.0);
    EXPECT_EQ(StatisticsText(result, true, true, true, 2), QStringLiteral("av=100m sd=0"));
}

} // namespace
