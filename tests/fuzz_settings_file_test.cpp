// Hostile settings files: quotes, escapes, line continuations, comments and typed values in random
// order, with random bytes between. The file is read a piece at a time; wherever the pieces fall,
// it must read exactly as its whole text does, and never crash.
#include "platform/SettingsFileFormat.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

const char* const kTokens[] = {
    "[", "]",   "[Graph]", "[%41]",     "=",          "\"", "\\", "\\\n",  "\n",  "\r", ";",
    ",", "Key", "LabelC1", "@Variant(", "@Invalid()", " ",  "\t", "\\x41", "\\0", "%",  "=\"a\\\n;b\""};

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

// Hands out its text in pieces of random size, as a slow file system may.
class RaggedDevice final : public QIODevice {
public:
    RaggedDevice(QByteArray text, quint32 seed) : m_text(std::move(text)), m_random(seed) {
        open(ReadOnly | Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 count = std::min({maxSize, qint64{m_random.bounded(1, 14)}, m_text.size() - m_pos});
        std::copy_n(m_text.constData() + m_pos, count, data);
        m_pos += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_text;
    QRandomGenerator m_random;
    qint64 m_pos = 0;
};

TEST(FuzzSettingsFile, HostileTextReadInRaggedPiecesReadsAsItsWholeText) {
    QRandomGenerator random(20261207);
    for (int round = 0; round < 3000; ++round) {
        const QByteArray text = HostileSettings(random);
        RaggedDevice device(text, random.generate());
        const platform::SettingsText read = platform::ReadSettingsFile(device);
        ASSERT_EQ(read.values, platform::ReadSettingsText(text))
            << "round " << round << ": " << text.toHex().constData();
        EXPECT_TRUE(read.overlongKeys.isEmpty());
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
