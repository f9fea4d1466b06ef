#pragma once
// Builds NavSymm Proteus frames for tests: fields are put at their offsets, and the last word is
// set so that the words from byte 4 on add up to 0.
#include <QByteArray>
#include <cstdint>

class ProteusFrameBuilder {
public:
    explicit ProteusFrameBuilder(qsizetype size) : m_bytes(size, '\0') {}

    ProteusFrameBuilder& u8(qsizetype at, std::uint8_t v) {
        m_bytes[at] = static_cast<char>(v);
        return *this;
    }
    ProteusFrameBuilder& u16(qsizetype at, std::uint16_t v) { return u8(at, v & 0xFF).u8(at + 1, v >> 8); }
    // Two little-endian words, the high word first.
    ProteusFrameBuilder& i32(qsizetype at, std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        return u16(at, static_cast<std::uint16_t>(u >> 16)).u16(at + 2, static_cast<std::uint16_t>(u));
    }

    QByteArray frame() const {
        QByteArray out = m_bytes;
        const qsizetype last = out.size() - 2;
        std::uint32_t sum = 0;
        for (qsizetype i = 4; i + 1 < last; i += 2)
            sum += static_cast<std::uint8_t>(out[i]) | static_cast<std::uint8_t>(out[i + 1]) << 8;
        const auto check = static_cast<std::uint16_t>(0x10000 - (sum & 0xFFFF));
        out[last] = static_cast<char>(check & 0xFF);
        out[last + 1] = static_cast<char>(check >> 8);
        return out;
    }

private:
    QByteArray m_bytes;
};
