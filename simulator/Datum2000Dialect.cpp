#include "simulator/Datum2000Dialect.h"

#include "simulator/StatusScreen.h"
#include "simulator/TextRequests.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr int kChannels = 12;

// The oscillator's control word: the control voltage over its 0 to 5 V range in 16 bits.
int ControlWord(const ReceiverModel& model) {
    return static_cast<int>(std::lround(model.efcVolts() / 5.0 * 65535.0));
}

const char* LockText(LockState state) {
    switch (state) {
    case LockState::Locked:
        return "LOCKED TO GPS";
    case LockState::Holdover:
        return "HOLDOVER";
    case LockState::Unlocked:
        return "UNLOCKED - ACQUIRING";
    }
    return "";
}

// "N 047 22.6020"-style: hemisphere, whole degrees and decimal minutes, as the POS: records hold
// them (degrees at +6, minutes at +10, hemisphere at +16 of the record).
QByteArray PositionRecord(double degrees, char positive, char negative) {
    const double magnitude = std::fabs(degrees);
    const int whole = static_cast<int>(magnitude);
    const double minutes = (magnitude - whole) * 60.0;
    return Format("POS:  %03d %05.2f %c", whole, minutes, degrees >= 0.0 ? positive : negative);
}

} // namespace

std::optional<QByteArray> Datum2000Dialect::takeRequest(QByteArray& pending) {
    return TakeRequestLine(pending);
}

QByteArray Datum2000Dialect::statusScreen(const ReceiverModel& model) {
    const LockState state = model.lockState();
    int tracked = 0;
    for (const SimSatellite& s : model.satellites())
        tracked += s.tracked ? 1 : 0;
    const std::vector<QByteArray> lines = {
        "STS: Datum 2000 GPS time and frequency reference",
        "STS: Mode ............ GPS",
        QByteArray("STS: State ........... ") + LockText(state),
        Format("STS: Holdover ........ %d s",
               state == LockState::Holdover ? static_cast<int>(model.secondsInState()) : 0),
        Format("STS: Satellites ...... %d", tracked),
        "STS: Antenna ......... OK",
        Format("STS: Oscillator ...... %s", state == LockState::Unlocked ? "WARMING" : "STABLE"),
        "STS: Time source ..... GPS",
        "STS: Leap pending .... NO",
        "STS: Alarms .......... NONE",
        Format("STS: Control word .... %d", ControlWord(model)),
        "STS: Faults .......... NONE",
        Format("STS: Freq offset ..... %+.1E", model.frequencyError()),
        Format("STS: Phase ........... %+.1f ns", model.timeInterval() * 1e9),
        "STS: Position ........ SURVEYED",
        "STS: Survey .......... COMPLETE",
        Format("STS: Temperature ..... %.1f C", model.temperature()),
        "STS: End of status",
    };
    return JoinLines(lines);
}

QByteArray Datum2000Dialect::satelliteRecords(const ReceiverModel& model) {
    std::vector<QByteArray> lines;
    int channel = 0;
    for (const SimSatellite& s : model.satellites()) {
        if (!s.tracked || channel >= kChannels)
            continue;
        const int tenths = static_cast<int>(std::lround(s.cn * 10.0));
        // Satellite number at +8, elevation at +13, azimuth at +18, C/N at +24, tenths at +27.
        lines.push_back(Format("SAT: C%02d%2d   %2d   %3d   %2d.%1d", ++channel, s.prn,
                               std::min(s.elevation, 90), s.azimuth, tenths / 10, tenths % 10));
    }
    if (lines.empty())
        lines.push_back("SAT: NONE TRACKED");
    return JoinLines(lines);
}

Reply Datum2000Dialect::answer(const QByteArray& request, ReceiverModel& model) {
    Reply reply;
    const QByteArray line = WithoutTerminator(request).trimmed().toUpper();
    const qsizetype mark = line.indexOf('?');
    const QByteArray tag = mark < 0 ? line : line.left(mark);
    const QByteArray argument = mark < 0 ? QByteArray() : line.mid(mark + 1).trimmed();
    const UtcFields t = model.utc();
    const LockState state = model.lockState();

    static const char* const kTags[] = {"HLP", "COD", "RES", "GPS", "STS", "HIS", "BST", "VER", "CVT", "PWS",
                                        "UOF", "LAN", "SST", "ATM", "MJD", "DOY", "TLS", "DST", "LOF", "LTR",
                                        "LTM", "RPD", "AUX", "TCO", "STA", "POS", "PXS", "SPO", "SAT", "ERR",
                                        "PRI", "SEC", "TO1", "TO2", "SYN", "FRM", "UTC"};
    const bool known =
        mark >= 0 && (tag.isEmpty() || std::find(std::begin(kTags), std::end(kTags), tag) != std::end(kTags));
    if (!known) {
        reply.body = "INVALID COMMAND\r\n";
        reply.prompt = "\x03";
        return reply;
    }
    reply.prompt = "EOF\r\n";
    if (!argument.isEmpty()) {
        // "CVT?0" and the like set how the value is reported; the receiver confirms.
        reply.body = tag + ": MODE " + argument + "\r\n";
        return reply;
    }
    QByteArray& body = reply.body;
    if (tag.isEmpty() || tag == "HLP") {
        QByteArray list = "HLP: ";
        for (const char* known : kTags)
            list += QByteArray(known) + "? ";
        body = list.trimmed() + "\r\n";
    } else if (tag == "STS") {
        body = statusScreen(model);
    } else if (tag == "SAT") {
        body = satelliteRecords(model);
    } else if (tag == "POS") {
        body = JoinLines({PositionRecord(model.latitude(), 'N', 'S'),
                          PositionRecord(model.longitude(), 'E', 'W'), Format("POS:  %.1f", model.height())});
    } else if (tag == "CVT") {
        body = Format("CVT: %05d FINE %04d\r\n", ControlWord(model), ControlWord(model) & 0x0FFF);
    } else if (tag == "RPD") {
        body = Format("RPD: 1PPS OFFSET %+.3E PHASE %s\r\n", model.timeInterval(),
                      state == LockState::Locked ? "LOCKED" : "UNLOCKED");
    } else if (tag == "VER") {
        body = "VER: Datum 2000 GPS time server, software 3.21\r\n";
    } else if (tag == "ERR") {
        body = "ERR: 00 NO ERRORS\r\n";
    } else if (tag == "LTM") {
        body = Format("LTM: %02d:%02d:%02d.%03d\r\n", t.hour, t.minute, t.second, t.millisecond);
    } else if (tag == "UTC") {
        // The time code: the moment of the answer, to the millisecond.
        const UtcFields c = SplitUnixMilliseconds(model.timeCodeUnixMs(false));
        body = Format("UTC: %02d/%02d/%02d %02d:%02d:%02d.%03d\r\n", c.year % 100, c.month, c.day, c.hour,
                      c.minute, c.second, c.millisecond);
    } else if (tag == "MJD") {
        body = Format("MJD: %lld\r\n",
                      static_cast<long long>(std::floor(model.unixSeconds() / 86400.0)) + 40587);
    } else if (tag == "DOY") {
        body = Format("DOY: %03d\r\n", t.dayOfYear);
    } else if (tag == "TLS") {
        body = Format("TLS: %d\r\n", model.leapSeconds());
    } else if (tag == "SST") {
        body = Format("SST: %s\r\n", state == LockState::Unlocked ? "ACQUIRING" : "TRACKING");
    } else if (tag == "STA") {
        body = Format("STA: %s\r\n", LockText(state));
    } else {
        body = tag + ": 0\r\n";
    }
    return reply;
}

} // namespace sim
