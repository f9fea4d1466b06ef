#pragma once
// The NavSymm Proteus family: binary requests (4-byte polls, 10-byte command packets) answered by
// binary frames, the 180-byte status frame and the 72-byte EFC frame. Requests and frames are
// made of 16-bit little-endian words that add up to 0 (frames counted from byte 4).
#include "simulator/Dialect.h"

#include <cstdint>

namespace sim {

class ProteusDialect : public Dialect {
public:
    // Takes one poll or command packet whose words add up to 0; bytes that cannot begin one are
    // dropped one at a time until the input is in step again.
    std::optional<QByteArray> takeRequest(QByteArray& pending) override;
    // Poll 0xDA: the status frame; poll 0xA2: the EFC frame; a known command packet: carried out
    // and answered with the status frame; anything else: silence. The frame's last word (its
    // check word) is the reply's "prompt", so a reply cut before its prompt is a short frame.
    Reply answer(const QByteArray& request, ReceiverModel& model) override;

    static QByteArray statusFrame(const ReceiverModel& model);
    static QByteArray efcFrame(const ReceiverModel& model);

    // The receiver number the frames carry.
    static constexpr int kReceiverNumber = 42;
    // The last command packet carried out (its x and y bytes), 0 before any.
    int lastCommand() const { return m_lastCommand; }

private:
    int m_lastCommand = 0;
};

} // namespace sim
