#pragma once
// A device that hands out its text a few bytes at a time, as a slow file system or a pipe may, to
// show that a reader does not rely on getting a whole file, or whole lines, from one read.
#include <QByteArray>
#include <QIODevice>

#include <algorithm>
#include <functional>
#include <utility>

class PieceByPieceDevice final : public QIODevice {
public:
    // `pieceBytes` gives the most that each read hands out (at least 1); a negative count makes that
    // read fail, as a disk's read error does.
    PieceByPieceDevice(QByteArray text, std::function<qint64()> pieceBytes)
        : m_text(std::move(text)), m_pieceBytes(std::move(pieceBytes)) {
        open(ReadOnly | Unbuffered);
    }
    bool isSequential() const override { return true; }
    int reads = 0;

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        ++reads;
        const qint64 piece = m_pieceBytes();
        if (piece < 0) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        const qint64 count = std::min({maxSize, piece, m_text.size() - m_pos});
        std::copy_n(m_text.constData() + m_pos, count, data);
        m_pos += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_text;
    std::function<qint64()> m_pieceBytes;
    qint64 m_pos = 0;
};
