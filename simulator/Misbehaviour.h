#pragma once
// How a reply goes out on the line: whole and at once, or in one of the faulty ways a receiver or
// its cable can show.
#include "simulator/Dialect.h"

#include <QByteArray>
#include <chrono>
#include <random>
#include <vector>

namespace sim {

enum class Misbehaviour {
    None,
    Silence,  // no answer at all
    Garbage,  // random bytes instead of the answer, without a prompt
    Partial,  // the answer cut before its prompt
    Slow,     // the answer trickled out in small pieces with pauses
    NulBytes, // NUL bytes scattered through the answer
    Overlong, // an answer far longer than any real one, then the prompt
    Endless,  // the answer, then more lines forever, never a prompt
    Vanish,   // part of the answer, then the line disappears (the pty master closes)
};

// The pace of a slow reply: pieces of `chunkBytes` bytes, `gap` apart.
struct SlowPace {
    int chunkBytes = 4;
    std::chrono::milliseconds gap{20};
};

// The size an overlong reply reaches before its prompt.
inline constexpr int kOverlongReplyBytes = 70000;

// How long after the last byte of a vanishing reply the line goes.
inline constexpr std::chrono::milliseconds kVanishDelay{200};

struct OutputChunk {
    QByteArray bytes;
    std::chrono::milliseconds delay{0}; // after the previous chunk
};

struct ShapedReply {
    std::vector<OutputChunk> chunks;
    bool countsAsReply = true; // a reply went out in full (shaped or not)
    bool closeLine = false;    // close the line once the chunks are out
    bool endless = false;      // after the chunks, stream `streamLine` until told to stop
    QByteArray streamLine;
};

ShapedReply ShapeReply(const Reply& reply, Misbehaviour misbehaviour, const SlowPace& pace,
                       std::mt19937& random);

} // namespace sim
