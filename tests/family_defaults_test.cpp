#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/SettingsStore.h"
#include "receiver/CommandTables.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class FamilyDefaults : public ::testing::Test {
protected:
    void TearDown() override { g_nReceiverType = -1; }

    // Moves the family-dependent settings away from every family's values, then selects the family.
    void Select(int family) {
        view.m_byStopBits = 2;
        view.m_nBaud = 1200;
        view.m_byParity = 2;
        view.m_byDataBits = 5;
        view.m_strOKPrompt = u"mine>"_s;
        view.m_strProfilePath = u"/tmp/profile.ini"_s;
        view.m_bAutoRun = view.m_bOldRegVersion = true;
        view.m_bCommandEnabled.fill(false);
        for (int i = 0; i < kGraphChannels; ++i) {
            view.m_crTrace[i] = RGB(1, 2, 3);
            view.m_bPlot[i] = view.m_bHoldMin[i] = view.m_bMean[i] = true;
            view.m_dMax[i] = 9.0;
            view.m_dFilterCoeff[i] = 0.5;
            view.m_nPrecision[i] = 6;
            view.m_strAuxRequest[i] = view.m_strChannelValue[i] = u"1.5"_s;
        }
        g_nReceiverType = family;
        view.SetReceiverDefaults();
    }

    CChildView view;
};

} // namespace

TEST_F(FamilyDefaults, EachFamilyGetsItsTablesAndAFreshSetUp) {
    view.m_strComPort = u"/dev/ttyUSB3"_s; // not family settings: they stay
    view.m_nBaud2 = 4800;
    view.m_nGraphDuration = 60;
    for (int family = 0; family < kReceiverFamilies; ++family) {
        SCOPED_TRACE(family);
        Select(family);
        EXPECT_EQ(view.m_strPrompts, g_ReplyPrompts[family]);
        EXPECT_EQ(view.m_strOKPrompt, g_ReplyPrompts[family]); // the operator's list gives way
        EXPECT_EQ(view.m_strPollCommand[17], g_PollCommands[family][17]);
        EXPECT_EQ(view.m_strButton[8].label, g_CommandButtons[family][8][0]);
        EXPECT_EQ(view.m_strButton[8].command, g_CommandButtons[family][8][1]);
        EXPECT_EQ(view.m_strCommandList, g_CommandLists[family]);
        EXPECT_EQ(view.m_byStopBits, 0);
        EXPECT_TRUE(view.m_strProfilePath.isEmpty());
        EXPECT_FALSE(view.m_bAutoRun || view.m_bOldRegVersion);
        EXPECT_EQ(view.m_bCommandEnabled, (Filled<bool, kPollSlots>(true)));
        EXPECT_EQ(view.m_crTrace, kTraceColourTable);
        for (int i = 0; i < kGraphChannels; ++i) {
            EXPECT_EQ(view.m_nPrecision[i], 2) << i;
            EXPECT_TRUE(view.m_strAuxRequest[i].isEmpty() && view.m_strChannelValue[i].isEmpty()) << i;
            if (i >= 4) {
                EXPECT_FALSE(view.m_bPlot[i] || view.m_bHoldMin[i] || view.m_bMean[i]) << i;
                EXPECT_EQ(view.m_dMax[i], 1023.0) << i;
                EXPECT_EQ(view.m_dFilterCoeff[i], 0.025) << i;
            }
        }
        EXPECT_EQ(view.m_strComPort, u"/dev/ttyUSB3"_s);
        EXPECT_EQ(view.m_nBaud2, 4800);
        EXPECT_EQ(view.m_nGraphDuration, 60);
    }
}

// The line each family's receiver speaks and the flags of its start-up exchange: the simulator
// takes any line settings, so a wrong value here would only show on a real receiver.
TEST_F(FamilyDefaults, FamiliesDifferInLineSettingsAndThirdChannel) {
    struct Line {
        int family, baud, parity, dataBits, pacing;
        bool initZ3816A, deHex, deQueue, flashLed;
        int fineCorrectionMs;
        const char16_t* thirdLabel;
    };
    const Line lines[] = {{RECEIVER_HP, 19200, 1, 7, 0, true, true, true, true, 90, u"PU"},
                          {RECEIVER_DATUM, 9600, 0, 8, 2, false, false, true, false, 90, u"Sats"},
                          {RECEIVER_PROTEUS, 9600, 1, 8, 0, false, false, false, false, 90, u"20 MHz"},
                          {RECEIVER_JACKSON, 115200, 0, 8, 0, false, true, false, false, 90, u"\u00B0C"},
                          {RECEIVER_UCCM, 57600, 0, 8, 0, false, false, false, false, -150, u"Temp cor"}};
    for (const Line& l : lines) {
        SCOPED_TRACE(l.family);
        view.m_byPacing = 1;
        view.m_bInitZ3816A = !l.initZ3816A;
        view.m_bDeHex = !l.deHex;
        view.m_bDeQueue = !l.deQueue;
        view.m_bFlashLED = !l.flashLed;
        view.m_nFineCorrection = 12345;
        Select(l.family);
        EXPECT_EQ(view.m_nBaud, l.baud);
        EXPECT_EQ(view.m_byParity, l.parity);
        EXPECT_EQ(view.m_byDataBits, l.dataBits);
        EXPECT_EQ(view.m_byPacing, l.pacing);
        EXPECT_EQ(view.m_bInitZ3816A, l.initZ3816A);
        EXPECT_EQ(view.m_bDeHex, l.deHex);
        EXPECT_EQ(view.m_bDeQueue, l.deQueue);
        EXPECT_EQ(view.m_bFlashLED, l.flashLed);
        EXPECT_EQ(view.m_nFineCorrection, l.fineCorrectionMs);
        EXPECT_EQ(view.m_strLabel[2], QString::fromUtf16(l.thirdLabel));
    }
    // The Datum 2000 has no fourth channel: its satellites are the third.
    Select(RECEIVER_DATUM);
    EXPECT_FALSE(view.m_bPlot[3] || view.m_bHoldMin[3] || !view.m_strLabel[3].isEmpty());
    EXPECT_EQ(view.m_nTraceProportion, (std::array<int, kTraceBands>{29, 29, 13, 29}));
}

TEST_F(FamilyDefaults, StartUpWithAnUnknownFamilyTakesJacksonLabsDefaults) {
    g_nReceiverType = 7;
    view.m_strOKPrompt = u"mine>"_s;
    view.m_nBaud = 1200;
    view.Initialise();
    EXPECT_EQ(g_nReceiverType, RECEIVER_JACKSON);
    EXPECT_EQ(view.m_nBaud, 115200);
    EXPECT_EQ(view.m_strOKPrompt, g_ReplyPrompts[RECEIVER_JACKSON]);
    view.OnDestroy();
}

TEST_F(FamilyDefaults, StartUpWithCurrentSettingsLoadsOnlyTheTables) {
    {
        const auto store = platform::OpenSettingsStore();
        store->setValue(u"Version/RegVersion"_s, 2);
        store->setValue(u"Receiver/Type"_s, RECEIVER_PROTEUS);
        store->setValue(u"Port2/OKPrompt"_s, u"mine>"_s);
        store->setValue(u"Port/Baud"_s, 1200);
    }
    g_nReceiverType = RECEIVER_PROTEUS;
    view.m_strOKPrompt = u"mine>"_s;
    view.m_nBaud = 1200;
    view.Initialise();
    EXPECT_EQ(g_nReceiverType, RECEIVER_PROTEUS);
    EXPECT_EQ(view.m_nBaud, 1200);
    EXPECT_EQ(view.m_strOKPrompt, u"mine>"_s);
    EXPECT_EQ(view.m_strPrompts, g_ReplyPrompts[RECEIVER_PROTEUS]);
    view.OnDestroy();
}
