#pragma once
// The SNTP answer: 48 bytes built from the request, version 3, stratum 2, reference "GPS".
#include "app/ViewSettings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

constexpr std::size_t kSntpPacketSize = 48;
// The longest request that is answered; longer ones carry extensions this service does not know.
constexpr std::size_t kSntpRequestMax = 68;

using SntpPacket = std::array<std::uint8_t, kSntpPacketSize>;

// A 64-bit timestamp as two big-endian 32-bit words, seconds first.
void WriteNtpTimestamp(std::uint8_t* at, NtpTimestamp value);
NtpTimestamp ReadNtpTimestamp(const std::uint8_t* at);

// Whether a datagram gets an answer: a whole packet (shorter would make the service an amplifier
// of forged traffic; longer ones were cut by the receive buffer) that asks for the time, from a
// client (mode 3) or a symmetric-active peer (mode 1) of versions 1 to 4. Server replies,
// broadcasts, control and private datagrams are never answered: a service that answered replies
// would answer its own reply for ever when one datagram forged its own address as the sender, and
// two such services would bounce one datagram between them for ever.
bool IsAnswerableSntpRequest(std::span<const std::uint8_t> datagram);

// Whether the reference (the last setting of the clock, 0 when it was never set) is more than
// `unreliableAfterSeconds` older than `now`.
bool IsStaleReference(NtpTimestamp reference, NtpTimestamp now, std::int64_t unreliableAfterSeconds);

// The answer to a request taken at `receive`. Its transmit timestamp is the receive time until
// StampSntpTransmit overwrites it just before sending. The leap indicator warns "not synchronised"
// when the reference (the last setting of the clock) is older than `unreliableAfterSeconds`.
SntpPacket BuildSntpReply(std::span<const std::uint8_t> request, NtpTimestamp receive, NtpTimestamp reference,
                          std::int64_t unreliableAfterSeconds);
void StampSntpTransmit(SntpPacket& reply, NtpTimestamp transmit);
