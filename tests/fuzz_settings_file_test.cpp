// Hostile settings files: quotes, escapes, line continuations, comments and typed values in random
// order, with random bytes between. The file is read a piece at a time; wherever the pieces fall,
// it must read exactly as its whole text does, and never crash.
#include "platform/SettingsFileFormat.h"
#include "support/PieceByPieceDevice.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

const char* const kTokens[] = {"[",
                               "]",
                               "[Graph]",
                               "[%41]",
                               "=",
                               "\"",
                               "\\",
                               "\\\n",
                               "\n",
                               "\r",
                               ";",
                               ",",
                               "Key",
                               "LabelC1",
                               "@Variant(",
                               "@Invalid()",
                               " ",
                               "\t",
                               "\\x41",
                               "\\0",
                               "%",
                               "=\"a\\\n;b\"",
                               "\xEF\xBB\xBF",
                               "\xEF",
                               "\\\r",
                               "@Rect(1 2 3 4)"};

QByteArray HostileSettings(QRandomGenerator& random) {
    QByteArray text;
    for (int i = random.bounded(400); i > 0; --i) {
        if (random.bounded(4) == 0)
            text += static_cast<char>(random.bounded(256));
        else
            text += kTokens[random.bounded(static_cast<int>(std::size(kTokens)))];
    }
    return text;
}

TEST(FuzzSettingsFile, HostileTextReadInRaggedPiecesReadsAsItsWholeText) {
    QRandomGenerator random(20261207);
    for (int round = 0; round < 3000; ++round) {
        const QByteArray text = HostileSettings(random);
        QRandomGenerator pieces(random.generate());
        PieceByPieceDevice device(text, [&pieces] { return qint64{pieces.bounded(1, 14)}; });
        const platform::SettingsText read = platform::ReadSettingsFile(device);
        ASSERT_EQ(read.values, platform::ReadSettingsText(text))
            << "round " << round << ": " << text.toHex().constData();
        EXPECT_TRUE(read.overlongKeys.isEmpty());
        QBuffer whole;
        whole.setData(text);
        whole.open(QIODevice::ReadOnly);
        ASSERT_EQ(read.valueBytes, platform::ReadSettingsFile(whole).valueBytes)
            << "round " << round << ": " << text.toHex().constData();
        // Written again, the values kept as they stood read as they did.
        const QByteArray written = platform::WriteSettingsText(read.values, read.valueBytes);
        const QSettings::SettingsMap again = platform::ReadSettingsText(written);
        for (auto it = read.valueBytes.cbegin(); it != read.valueBytes.cend(); ++it)
            ASSERT_EQ(again.value(it.key()), read.values.value(it.key()))
                << "round " << round << ": " << text.toHex().constData()
                << "\nwritten: " << written.toHex().constData();
    }
}

// What the writer makes of any values reads back as those values.
TEST(FuzzSettingsFile, WrittenValuesReadBackWhole) {
    QRandomGenerator random(20261208);
    for (int round = 0; round < 300; ++round) {
        QSettings::SettingsMap values;
        for (int i = random.bounded(1, 20); i > 0; --i) {
            QString text;
            for (int c = random.bounded(30); c > 0; --c)
                text += QChar(static_cast<char16_t>(random.bounded(1, 256)));
            values.insert(QStringLiteral("Section%1/Key%2").arg(random.bounded(3)).arg(i), text);
        }
        const QByteArray written = platform::WriteSettingsText(values);
        QBuffer file;
        file.setData(written);
        file.open(QIODevice::ReadOnly);
        const platform::SettingsText read = platform::ReadSettingsFile(file);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            EXPECT_EQ(read.values.value(it.key()).toString(), it.value().toString())
                << "round " << round << ": " << written.toHex().constData();
    }
}

} // namespace
