#include "simulator/HewlettPackardDialect.h"

#include "simulator/StatusScreen.h"
#include "simulator/TextRequests.h"

#include <QList>
#include <cmath>

namespace sim {

namespace {

constexpr int kUndefinedHeader = -113;
constexpr int kIllegalParameter = -224;
constexpr std::size_t kErrorQueueLength = 30;

QByteArray TimeOfDay(const UtcFields& t) {
    return Format("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

} // namespace

std::optional<QByteArray> HewlettPackardDialect::takeRequest(QByteArray& pending) {
    return TakeRequestLine(pending);
}

QByteArray HewlettPackardDialect::timeCode(const ReceiverModel& model) const {
    // The code goes out ahead of the pulse it describes: it names the second about to begin.
    const std::int64_t ms = model.timeCodeUnixMs(true);
    if (m_formF1) {
        // GPS-epoch seconds on the UTC scale: the receiver has already taken the leap seconds off.
        const long long seconds = ms / 1000 - kGpsEpochUnix;
        return Format("T1#H%08llX%c", seconds & 0xFFFFFFFFll,
                      model.lockState() == LockState::Unlocked ? '9' : '0');
    }
    const UtcFields t = SplitUnixMilliseconds(ms);
    return Format("T2%04d%02d%02d%02d%02d%02d%c%c", t.year, t.month, t.day, t.hour, t.minute, t.second,
                  model.lockState() == LockState::Unlocked ? '9' : '0', '0');
}

QByteArray HewlettPackardDialect::statusScreen(const ReceiverModel& model) {
    const LockState state = model.lockState();
    const UtcFields t = model.utc();
    const bool locked = state == LockState::Locked;
    const bool unlocked = state == LockState::Unlocked;
    const double tiNs = model.timeInterval() * 1e9;
    const double holdMinutes = model.secondsInState() / 60.0;

    std::vector<QByteArray> lines;
    lines.push_back("---------------------------- Receiver Status ---------------------------------");
    lines.push_back(Padded("SYNCHRONIZATION ", 61) +
                    (unlocked ? "[ Outputs Invalid ]" : "[ Outputs Valid ]"));
    lines.push_back("Reference Mode _______________________________   Reference Outputs ____________");
    lines.push_back(Padded(locked ? ">> Locked to GPS" : "   Locked to GPS", 50) +
                    Format("TFOM     %d        FFOM     %d", locked ? 3 : 9,
                           locked     ? 0
                           : unlocked ? 3
                                      : 2));
    lines.push_back(Padded("   Recovery", 50) + (unlocked
                                                     ? QByteArray("1PPS TI --- not available")
                                                     : Format("1PPS TI %+.1f ns relative to GPS", tiNs)));
    lines.push_back(Padded(state == LockState::Holdover ? Format(">> Holdover, %.0f min", holdMinutes)
                                                        : QByteArray("   Holdover"),
                           50) +
                    "HOLD THR 1.000 us");
    lines.push_back(Padded(unlocked ? ">> Power up: GPS acquisition" : "   Power up", 50) +
                    "Holdover Uncertainty ________");
    lines.push_back(Padded("", 50) +
                    Format("Predict %5.1f us/initial 24 hrs", model.predictedUncertainty() * 1e6));
    lines.push_back("");
    lines.push_back(Padded("ACQUISITION ", 56) + (unlocked ? "[ GPS 1PPS Invalid ]" : "[ GPS 1PPS Valid ]"));

    const QByteArray utcLine = unlocked ? QByteArray("UTC  ??:??:??     ?? ??? ????")
                                        : Format("UTC  %s     %2d %s %04d", TimeOfDay(t).constData(), t.day,
                                                 MonthName(t.month), t.year);
    const std::vector<QByteArray> margins = {
        "Time ______________________________",
        utcLine,
        unlocked ? "GPS 1PPS not synchronized" : "GPS 1PPS Synchronized to UTC",
        "ANT DLY 0 ns",
        "",
        "Position ___________________________",
        "MODE Hold",
        "",
        "LAT  " + Sexagesimal(model.latitude(), 'N', 'S', 3),
        "LON  " + Sexagesimal(model.longitude(), 'E', 'W', 3),
        Format("HGT       %+8.2f m  (MSL)", model.height()),
        "",
        "ELEV MASK 5 deg",
        "no satellites ignored",
    };
    for (const QByteArray& line : SkyTableLines(model.satellites(), 12, margins))
        lines.push_back(line);
    lines.push_back("HEALTH MONITOR ............................................................ [ OK ]");
    lines.push_back("Self Test: OK   Int Pwr: OK   Oven Pwr: OK   OCXO: OK   EFC: OK   GPS Rcv: OK");
    return JoinLines(lines);
}

std::optional<QByteArray> HewlettPackardDialect::execute(const ScpiCommand& command, ReceiverModel& model) {
    const QByteArray& h = command.header;
    const auto is = [&h](const char* pattern) { return HeaderMatches(h, pattern); };
    const UtcFields t = model.utc();

    if (is("*IDN?"))
        return QByteArray("HEWLETT-PACKARD,Z3816A,3542A01234,3524");
    if (is("*TST?") || is("DIAGnostic:TEST?"))
        return QByteArray("+0");
    if (is("*CLS")) {
        m_errors.clear();
        return QByteArray();
    }
    if (is("*RST") || is("SYSTem:PRESet")) {
        m_formF1 = false;
        m_continuousTimeCode = false;
        return QByteArray();
    }
    if (is("SYSTem:ERRor?")) {
        if (m_errors.empty())
            return QByteArray("+0,\"No error\"");
        const ScpiError error = m_errors.front();
        m_errors.pop_front();
        return Format("%+d,\"%s\"", error.code, error.text);
    }
    if (is("SYSTem:STATus?"))
        return statusScreen(model);
    if (is("SYSTem:STATus:LENGth?"))
        return QByteArray::number(static_cast<int>(statusScreen(model).count('\n')));
    if (is("DIAGnostic:LIFetime:COUNt?"))
        return QByteArray::number(static_cast<qlonglong>(model.lifeHours()));
    if (is("DIAGnostic:ROSCillator:EFControl:ABSolute?"))
        return Format("%+.5E", model.efcVolts());
    if (is("DIAGnostic:ROSCillator:EFControl:RELative?"))
        return Format("%+.3f", model.efcPercent());
    if (is("DIAGnostic:TEMPerature?"))
        return Format("%+.2f", model.temperature());
    if (is("DIAGnostic:IDENtification:GPS?"))
        return QByteArray("12 channel L1 C/A GPS engine, rev 2.04");
    if (is("PTIMe:TINTerval?") || is("SYNChronization:TINTerval?"))
        return Format("%+.3E", model.timeInterval());
    if (is("SYNChronization:HOLDover:TUNCertainty:PREDicted?") ||
        is("ROSCillator:HOLDover:TUNCertainty:PREDicted?"))
        return Format("%+.1E,%+.5E", model.predictedUncertainty(), 86400.0);
    if (is("SYNChronization:HOLDover:DURation?")) {
        const bool holding = model.lockState() == LockState::Holdover;
        return Format("%+d,%+d", holding ? static_cast<int>(model.secondsInState()) : 0, holding ? 1 : 0);
    }
    if (is("SYNChronization:HOLDover:INITiate")) {
        model.setLockState(LockState::Holdover);
        return QByteArray();
    }
    if (is("SYNChronization:HOLDover:RECovery:INITiate") || is("SYNChronization:IMMediate")) {
        model.setLockState(LockState::Locked);
        return QByteArray();
    }
    if (is("SYNChronization:TFOMerit?"))
        return QByteArray(model.lockState() == LockState::Locked ? "+3" : "+9");
    if (is("SYNChronization:FFOMerit?"))
        return QByteArray(model.lockState() == LockState::Locked ? "+0" : "+2");
    if (is("PTIMe:TIME:STRing?"))
        return "\"" + TimeOfDay(t) + "\"";
    if (is("PTIMe:TIME?"))
        return Format("%+d,%+d,%+d", t.hour, t.minute, t.second);
    if (is("PTIMe:DATE?"))
        return Format("%+d,%+d,%+d", t.year, t.month, t.day);
    if (is("PTIMe:TZONe?"))
        return QByteArray("+0,+0");
    if (is("PTIMe:TCODe?"))
        return timeCode(model);
    if (is("PTIMe:TCODe:FORMat?"))
        return QByteArray(m_formF1 ? "F1" : "F2");
    if (is("PTIMe:TCODe:FORMat")) {
        const QByteArray form = command.argument.toUpper();
        if (form != "F1" && form != "F2")
            return std::nullopt;
        m_formF1 = form == "F1";
        return QByteArray();
    }
    if (is("PTIMe:TCODe:CONTinuous?"))
        return QByteArray(m_continuousTimeCode ? "1" : "0");
    if (is("PTIMe:TCODe:CONTinuous")) {
        const QByteArray on = command.argument.toUpper();
        if (on != "0" && on != "1" && on != "ON" && on != "OFF")
            return std::nullopt;
        m_continuousTimeCode = on == "1" || on == "ON";
        // The first code comes at the next second, not in the middle of this reply.
        m_lastContinuousSecond = static_cast<long long>(std::floor(model.unixSeconds()));
        return QByteArray();
    }
    if (is("PTIMe:LEAPsecond:ACCumulated?"))
        return Format("%+d", model.leapSeconds());
    if (is("PTIMe:LEAPsecond:STATe?"))
        return QByteArray("NONE");
    if (is("SYSTem:COMMunicate:SERial1|SERial:FDUPlex?"))
        return QByteArray::number(m_fullDuplex);
    if (is("SYSTem:COMMunicate:SERial1|SERial:FDUPlex")) {
        m_fullDuplex = command.argument.trimmed() == "0" ? 0 : 1;
        return QByteArray();
    }
    if (is("SYSTem:COMMunicate:SERial1|SERial:BAUD?"))
        return QByteArray("19200");
    if (is("LED:ACTive") || is("LED:ENABled") || is("LED:ALARm:USER"))
        return QByteArray();
    if (is("GPS:POSition?") || is("GPS:POSition:ACTual?")) {
        const auto part = [](double value, char positive, char negative) {
            const double magnitude = std::fabs(value);
            const int degrees = static_cast<int>(magnitude);
            const double minutesAll = (magnitude - degrees) * 60.0;
            const int minutes = static_cast<int>(minutesAll);
            return Format("%c,%+d,%+d,%+.3f", value >= 0 ? positive : negative, degrees, minutes,
                          (minutesAll - minutes) * 60.0);
        };
        return part(model.latitude(), 'N', 'S') + "," + part(model.longitude(), 'E', 'W') +
               Format(",%+.2f", model.height());
    }
    if (is("GPS:POSition:SURVey"))
        return command.argument.toUpper().startsWith("ONCE") ? std::optional<QByteArray>(QByteArray())
                                                             : std::nullopt;
    if (is("GPS:SATellite:TRACking:COUNt?")) {
        int tracked = 0;
        for (const SimSatellite& s : model.satellites())
            tracked += s.tracked ? 1 : 0;
        return QByteArray::number(tracked);
    }
    m_errors.push_back({kUndefinedHeader, "Undefined header"});
    return std::nullopt;
}

Reply HewlettPackardDialect::answer(const QByteArray& request, ReceiverModel& model) {
    Reply reply;
    reply.echo = EchoOf(request);
    QList<QByteArray> answers;
    for (const ScpiCommand& command : SplitCommands(request)) {
        const std::size_t errorsBefore = m_errors.size();
        const std::optional<QByteArray> result = execute(command, model);
        if (!result) {
            if (m_errors.size() == errorsBefore)
                m_errors.push_back({kIllegalParameter, "Illegal parameter value"});
            continue;
        }
        if (command.isQuery())
            answers.push_back(*result);
    }
    while (m_errors.size() > kErrorQueueLength)
        m_errors.pop_front();
    if (!answers.isEmpty()) {
        reply.body = answers.join(';');
        if (!reply.body.endsWith("\r\n"))
            reply.body += "\r\n";
    }
    reply.prompt = m_errors.empty() ? QByteArray("scpi > ") : Format("E%04d> ", m_errors.back().code);
    return reply;
}

QByteArray HewlettPackardDialect::unsolicited(const ReceiverModel& model) {
    if (!m_continuousTimeCode)
        return {};
    const long long second = static_cast<long long>(std::floor(model.unixSeconds()));
    if (second == m_lastContinuousSecond)
        return {};
    m_lastContinuousSecond = second;
    return timeCode(model) + "\r\n";
}

} // namespace sim
