#include "timeservice/SntpPacket.h"

#include "timeservice/NtpTime.h"

#include <algorithm>

namespace {
constexpr std::uint8_t kNoWarningV3Server = 0x1C;
constexpr std::uint8_t kAlarmV3Server = 0xDC;
constexpr std::uint8_t kStratum = 2;
// The precision of this server's timestamps as a power of two: 2^-20 s, about a microsecond, the
// order of one clock reading. A client's own value (some send 32, "unknown") would tell clients
// that these answers are only good to years, and they would drop the server.
constexpr std::int8_t kPrecision = -20;

constexpr std::uint8_t kModeSymmetricActive = 1;
constexpr std::uint8_t kModeClient = 3;
constexpr std::uint8_t kOldestVersion = 1;
constexpr std::uint8_t kNewestVersion = 4;

void WriteWord(std::uint8_t* at, std::uint32_t word) {
    at[0] = static_cast<std::uint8_t>(word >> 24);
    at[1] = static_cast<std::uint8_t>(word >> 16);
    at[2] = static_cast<std::uint8_t>(word >> 8);
    at[3] = static_cast<std::uint8_t>(word);
}

std::uint32_t ReadWord(const std::uint8_t* at) {
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) | at[3];
}
} // namespace

bool IsAnswerableSntpRequest(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < kSntpPacketSize || datagram.size() > kSntpRequestMax)
        return false;
    const std::uint8_t mode = datagram[0] & 0x07;
    const std::uint8_t version = (datagram[0] >> 3) & 0x07;
    return (mode == kModeClient || mode == kModeSymmetricActive) && version >= kOldestVersion &&
           version <= kNewestVersion;
}

void WriteNtpTimestamp(std::uint8_t* at, NtpTimestamp value) {
    WriteWord(at, NtpSeconds(value));
    WriteWord(at + 4, NtpFraction(value));
}

bool IsStaleReference(NtpTimestamp reference, NtpTimestamp now, std::int64_t unreliableAfterSeconds) {
    if (reference == 0)
        return true; // the clock was never set from the receiver
    // The age as a signed 32-bit difference, so that it stays right across the rollover of the
    // seconds field in 2036 (a plain sum would wrap there and say "fresh" for years).
    const auto age = static_cast<std::int32_t>(NtpSeconds(now) - NtpSeconds(reference));
    return age > unreliableAfterSeconds;
}

NtpTimestamp ReadNtpTimestamp(const std::uint8_t* at) {
    return MakeNtp(ReadWord(at), ReadWord(at + 4));
}

SntpPacket BuildSntpReply(std::span<const std::uint8_t> request, NtpTimestamp receive, NtpTimestamp reference,
                          std::int64_t unreliableAfterSeconds) {
    // Poll, root delay, root dispersion and the last byte of the reference identifier go back
    // as the request had them (zeros where it was shorter); the request's transmit
    // timestamp becomes the originate timestamp.
    SntpPacket reply{};
    std::copy_n(request.begin(), std::min(request.size(), reply.size()), reply.begin());
    std::copy_n(reply.begin() + 40, 8, reply.begin() + 24);
    reply[0] =
        IsStaleReference(reference, receive, unreliableAfterSeconds) ? kAlarmV3Server : kNoWarningV3Server;
    reply[1] = kStratum;
    reply[3] = static_cast<std::uint8_t>(kPrecision);
    reply[12] = 'G';
    reply[13] = 'P';
    reply[14] = 'S';
    WriteNtpTimestamp(reply.data() + 16, reference);
    WriteNtpTimestamp(reply.data() + 32, receive);
    WriteNtpTimestamp(reply.data() + 40, receive);
    return reply;
}

void StampSntpTransmit(SntpPacket& reply, NtpTimestamp transmit) {
    WriteNtpTimestamp(reply.data() + 40, transmit);
}
