#include "simulator/Misbehaviour.h"

#include <algorithm>

namespace sim {

namespace {

QByteArray GarbageBytes(std::mt19937& random) {
    std::uniform_int_distribution<int> length(16, 160);
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray bytes(length(random), '\0');
    // Every family's prompt ends in a blank, '>', LF or ETX; leaving those out means that no part
    // of the garbage, however the line splits it, can pass for a complete reply.
    for (char& c : bytes) {
        do
            c = static_cast<char>(byte(random));
        while (c == ' ' || c == '>' || c == '\n' || c == '\x03');
    }
    return bytes;
}

QByteArray WithNulBytes(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 3 + 1);
    out += '\0';
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out += bytes.at(i);
        if (i % 3 == 2)
            out += '\0';
    }
    return out;
}

QByteArray OverlongBody(const QByteArray& body) {
    QByteArray out = body;
    int line = 0;
    while (out.size() < kOverlongReplyBytes)
        out += "OVERLONG " + QByteArray::number(++line).rightJustified(6, '0') + " " + QByteArray(60, '.') +
               "\r\n";
    return out;
}

} // namespace

ShapedReply ShapeReply(const Reply& reply, Misbehaviour misbehaviour, const SlowPace& pace,
                       std::mt19937& random) {
    ShapedReply shaped;
    const QByteArray whole = reply.whole();
    switch (misbehaviour) {
    case Misbehaviour::None:
        shaped.chunks.push_back({whole, {}});
        break;
    case Misbehaviour::Silence:
        shaped.countsAsReply = false;
        break;
    case Misbehaviour::Garbage:
        shaped.chunks.push_back({GarbageBytes(random), {}});
        break;
    case Misbehaviour::Partial:
        shaped.chunks.push_back({reply.echo + reply.body, {}});
        break;
    case Misbehaviour::Slow: {
        const int size = std::max(1, pace.chunkBytes);
        for (qsizetype at = 0; at < whole.size(); at += size)
            shaped.chunks.push_back({whole.mid(at, size), at == 0 ? std::chrono::milliseconds(0) : pace.gap});
        break;
    }
    case Misbehaviour::NulBytes:
        shaped.chunks.push_back({WithNulBytes(whole), {}});
        break;
    case Misbehaviour::Overlong:
        shaped.chunks.push_back({reply.echo + OverlongBody(reply.body) + reply.prompt, {}});
        break;
    case Misbehaviour::Endless:
        shaped.chunks.push_back({reply.echo + reply.body, {}});
        shaped.countsAsReply = false;
        shaped.endless = true;
        shaped.streamLine = reply.body.isEmpty() ? QByteArray("STREAMING\r\n") : reply.body;
        if (!shaped.streamLine.endsWith("\r\n"))
            shaped.streamLine += "\r\n";
        break;
    case Misbehaviour::Vanish:
        // The line goes a moment after the last byte, so that a reader can have seen that byte:
        // a hang-up discards what the other side has not read yet.
        shaped.chunks.push_back({whole.left(std::max<qsizetype>(1, whole.size() / 2)), {}});
        shaped.chunks.push_back({QByteArray(), kVanishDelay});
        shaped.countsAsReply = false;
        shaped.closeLine = true;
        break;
    }
    return shaped;
}

} // namespace sim
