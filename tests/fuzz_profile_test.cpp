// Hostile receiver profiles: random bytes among profile keys with absurd values. Reading one
// never crashes, never reads past the channels and leaves every value within its range.
#include "app/ChildView.h"
#include "settings/IniFile.h"
#include "settings/ProfileIni.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

const char* const kKeys[] = {"PlotC",        "LabelC",  "PrecisionC",    "FilterEnableC",
                             "MaxC",         "MinC",    "OffsetC",       "MagnificationC",
                             "FilterCoeffC", "Enabled", "RequestString", "PeakSS",
                             "TroughSS",     "ButTxt",  "ButCmd",        "Commands"};
const char* const kValues[] = {"99999999999999999999999",
                               "-2147483649",
                               "-1",
                               "9",
                               "nan",
                               "inf",
                               "-inf",
                               "1e999",
                               "-1e-999",
                               "0x10",
                               "",
                               "\"",
                               "=",
                               " 3 ",
                               "1e308",
                               "\xff\xfe"};
const char* const kSections[] = {"[Graph]", "[aux]", "[LOG]", "[3]", "[", "[]", "[Graph"};

QByteArray HostileProfile(QRandomGenerator& random) {
    QByteArray bytes;
    for (int line = 0; line < 200; ++line) {
        switch (random.bounded(4)) {
        case 0:
            bytes += kSections[random.bounded(static_cast<int>(std::size(kSections)))];
            break;
        case 1:
            for (int i = random.bounded(40); i > 0; --i)
                bytes += static_cast<char>(random.bounded(256));
            break;
        default:
            bytes += kKeys[random.bounded(static_cast<int>(std::size(kKeys)))];
            bytes += QByteArray::number(random.bounded(-2, 10));
            bytes += random.bounded(2) ? "=" : " = ";
            bytes += kValues[random.bounded(static_cast<int>(std::size(kValues)))];
        }
        bytes += random.bounded(3) ? "\r\n" : "\n";
    }
    return bytes;
}

void ExpectWithinRanges(const CChildView& view) {
    for (std::size_t c = 0; c < kGraphChannels; ++c) {
        EXPECT_GE(view.m_nAuxTrace[c], 0);
        EXPECT_LE(view.m_nAuxTrace[c], kGraphChannels);
        EXPECT_GE(view.m_nFilterMode[c], 0);
        EXPECT_LE(view.m_nFilterMode[c], 2);
        EXPECT_GE(view.m_nPrecision[c], 0);
        EXPECT_LE(view.m_nPrecision[c], 6);
        EXPECT_LT(view.m_strLabel[c].size(), kProfileTextRoom);
        for (double value : {view.m_dMax[c], view.m_dMin[c], view.m_dOffset[c]})
            EXPECT_TRUE(std::isfinite(value) && std::abs(value) <= 1e15) << value;
        EXPECT_TRUE(view.m_dMagnification[c] >= 1e-15 && view.m_dMagnification[c] <= 1e15);
        EXPECT_TRUE(view.m_dFilterCoeff[c] >= 1e-15 && view.m_dFilterCoeff[c] <= 0.9999);
    }
    for (int channel : {view.m_nPeakSSTrace, view.m_nTroughSSTrace}) {
        EXPECT_GE(channel, 0);
        EXPECT_LE(channel, kGraphChannels);
    }
}

TEST(FuzzProfile, HostileProfilesLeaveEveryValueInRange) {
    QRandomGenerator random(4711);
    for (int round = 0; round < 300; ++round) {
        CChildView view;
        const IniFile file(HostileProfile(random));
        ReadProfileButtons(file, 3, view.m_strCommandList, view.m_strButton);
        ReadProfileGraph(file, view);
        ExpectWithinRanges(view);
        EXPECT_LT(view.m_strCommandList.size(), kProfileCommandListRoom);
        // Writing into the hostile file and reading back gives what was written.
        IniFile copy(file.Bytes());
        WriteProfile(copy, 3, view.m_strCommandList, view.m_strButton, view);
        CChildView reread;
        ReadProfileGraph(IniFile(copy.Bytes()), reread);
        EXPECT_EQ(reread.m_strAuxRequest, view.m_strAuxRequest) << round;
        EXPECT_EQ(reread.m_dMin, view.m_dMin) << round;
    }
}

TEST(FuzzProfile, ATenMegabyteProfileIsReadWhole) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("huge.ini"));
    QByteArray bytes("[Graph]\r\nPrecisionC0=5\r\n");
    QRandomGenerator random(99);
    while (bytes.size() < 10 * 1024 * 1024)
        bytes += HostileProfile(random);
    bytes += "[Log]\r\nTroughSS=4\r\n";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    const std::optional<IniFile> read = ReadIniFile(path);
    ASSERT_TRUE(read);
    CChildView view;
    ReadProfileGraph(*read, view);
    EXPECT_EQ(view.m_nPrecision[0], 5);
    ExpectWithinRanges(view);
}

} // namespace
