#include "simulator/UccmDialect.h"

#include "simulator/StatusScreen.h"

#include <QList>
#include <cmath>

namespace sim {

namespace {

constexpr int kTimeOfDayBytes = 50;
constexpr int kLeapSecondsByte = 48;

const char* LockText(LockState state) {
    switch (state) {
    case LockState::Locked:
        return "Synchronized to UTC";
    case LockState::Holdover:
        return "Holdover";
    case LockState::Unlocked:
        return "Acquiring satellites";
    }
    return "";
}

} // namespace

std::optional<QByteArray> UccmDialect::takeRequest(QByteArray& pending) {
    return TakeRequestLine(pending);
}

QByteArray UccmDialect::statusScreen(const ReceiverModel& model) {
    const LockState state = model.lockState();
    std::vector<QByteArray> lines;
    lines.push_back("UCCM-P Status Report");
    lines.push_back("Unit: UCCM-P   SN 0012345678   Firmware 1.0.4");
    lines.push_back("=============================================================");
    lines.push_back(QByteArray("ACQ............................. State: ") + LockText(state));
    lines.push_back(Format("Holdover duration: %d s     Pull-in range: 255",
                           state == LockState::Holdover ? static_cast<int>(model.secondsInState()) : 0));
    lines.push_back(Format("TFOM %d   FFOM %d   1PPS TI %+.1f ns", state == LockState::Locked ? 1 : 9,
                           state == LockState::Locked ? 0 : 2, model.timeInterval() * 1e9));
    for (const QByteArray& line : SkyTableLines(model.satellites(), 8))
        lines.push_back(line);
    lines.push_back("LAT " + Sexagesimal(model.latitude(), 'N', 'S', 2));
    lines.push_back("LON " + Sexagesimal(model.longitude(), 'E', 'W', 2));
    lines.push_back(Format("HGT %+.2f m", model.height()));
    // A blank line and a rule end the report proper; the program shows what stands above them.
    lines.push_back("");
    lines.push_back("-------------------------------------------------------------");
    lines.push_back("Antenna: OK   Oscillator: OK   Power: OK");
    return JoinLines(lines);
}

QByteArray UccmDialect::timeOfDayMessage(const ReceiverModel& model) {
    QByteArray bytes(kTimeOfDayBytes, '\0');
    bytes[0] = static_cast<char>(0xC5);
    const auto gps = static_cast<quint32>(model.gpsSeconds());
    for (int i = 0; i < 4; ++i)
        bytes[1 + i] = static_cast<char>(gps >> (24 - 8 * i));
    bytes[5] = static_cast<char>(model.lockState() == LockState::Locked ? 1 : 0);
    bytes[kLeapSecondsByte] = static_cast<char>(model.leapSeconds());
    bytes[kTimeOfDayBytes - 1] = static_cast<char>(0xCA);
    return bytes.toHex().toUpper() + "\r\n";
}

std::optional<QByteArray> UccmDialect::execute(const ScpiCommand& command, ReceiverModel& model) {
    const QByteArray& h = command.header;
    const auto is = [&h](const char* pattern) { return HeaderMatches(h, pattern); };
    const LockState state = model.lockState();

    if (is("*IDN?"))
        return QByteArray("UCCM-P, 0012345678, Version 1.0.4");
    if (h == "?")
        return QByteArray(
            "*IDN?, SYSTem:STATus?, TIME:STRing?, TOD EN|DI, DIAGnostic:LOOP?, "
            "DIAGnostic:ROSCillator:EFControl:RELative?, SYNChronization:TINTerval?, POSSTATus, STATus");
    if (is("SYSTem:STATus?"))
        return statusScreen(model);
    if (is("DIAGnostic:ROSCillator:EFControl:RELative?"))
        return Format("%.4f", model.efcPercent());
    if (is("DIAGnostic:ROSCillator:EFControl:ABSolute?") || is("DIAGnostic:ROSCillator:EFControl:DATA?"))
        return Format("%.4f", model.efcVolts());
    if (is("SYNChronization:TINTerval?"))
        return Format("%+.3E", model.timeInterval());
    if (is("DIAGnostic:LOOP?"))
        return Format("loop state = %s\r\nfreq cor  = %+.3E\r\ntemp cor  = %+.3E",
                      state == LockState::Locked ? "locked" : "open", model.frequencyError(),
                      (model.temperature() - 38.0) * 2e-9);
    if (is("TIME:STRing?")) {
        // GPS time, naming the second about to begin.
        const UtcFields g = SplitUnixMilliseconds(model.timeCodeUnixMs(true) + model.leapSeconds() * 1000);
        return Format("%04d-%02d-%02d %02d:%02d:%02d", g.year, g.month, g.day, g.hour, g.minute, g.second);
    }
    if (is("TOD")) {
        const QByteArray on = command.argument.toUpper();
        if (on != "EN" && on != "DI")
            return std::nullopt;
        m_timeOfDay = on == "EN";
        m_lastMessageSecond = static_cast<long long>(std::floor(model.unixSeconds()));
        return QByteArray();
    }
    if (is("SYNChronization:HOLDover:DURation?")) {
        const bool holding = state == LockState::Holdover;
        return Format("%d,%d", holding ? static_cast<int>(model.secondsInState()) : 0, holding ? 1 : 0);
    }
    if (is("SYNChronization:TFOMerit?"))
        return QByteArray(state == LockState::Locked ? "1" : "9");
    if (is("SYNChronization:FFOMerit?"))
        return QByteArray(state == LockState::Locked ? "0" : "2");
    if (is("LED:GPSLock?"))
        return QByteArray(state == LockState::Locked ? "1" : "0");
    if (is("GPS:POSition?"))
        return Sexagesimal(model.latitude(), 'N', 'S', 2) + "," +
               Sexagesimal(model.longitude(), 'E', 'W', 2) + Format(",%.2f", model.height());
    if (is("GPS:SATellite:TRACking:COUNt?")) {
        int tracked = 0;
        for (const SimSatellite& s : model.satellites())
            tracked += s.tracked ? 1 : 0;
        return QByteArray::number(tracked);
    }
    if (is("POSSTATus"))
        return "LAT " + Sexagesimal(model.latitude(), 'N', 'S', 2) + "\r\nLON " +
               Sexagesimal(model.longitude(), 'E', 'W', 2) + Format("\r\nHGT %+.2f m", model.height());
    if (is("STATus"))
        return Format("Reference: GPS  State: %s", LockText(state));
    if (is("SYSTem:PRESet") || is("SYSTem:PON"))
        return QByteArray();
    if (is("DIAGnostic:LOG:READ:ALL?"))
        return QByteArray("0001 power on\r\n0002 GPS lock acquired");
    if (is("REFerence:TYPE?"))
        return QByteArray("GPS");
    if (is("PULLINRANGE?"))
        return QByteArray("255");
    return std::nullopt;
}

Reply UccmDialect::answer(const QByteArray& request, ReceiverModel& model) {
    Reply reply;
    reply.echo = EchoOf(request);
    const std::vector<ScpiCommand> commands = SplitCommands(request);
    QList<QByteArray> answers;
    for (const ScpiCommand& command : commands) {
        const std::optional<QByteArray> result = execute(command, model);
        if (!result) {
            reply.body = "\"" + command.header + "\" : invalid command\r\n";
            reply.prompt = "UCCM-P > ";
            return reply;
        }
        if (!result->isEmpty())
            answers.push_back(*result);
    }
    if (!answers.isEmpty())
        reply.body = answers.join("\r\n") + "\r\n";
    // An empty line (the wake-up) is answered with the prompt alone.
    reply.prompt = commands.empty() ? QByteArray("UCCM-P > ") : QByteArray("Command Complete\r\nUCCM-P > ");
    return reply;
}

QByteArray UccmDialect::unsolicited(const ReceiverModel& model) {
    if (!m_timeOfDay)
        return {};
    const long long second = static_cast<long long>(std::floor(model.unixSeconds()));
    if (second == m_lastMessageSecond)
        return {};
    m_lastMessageSecond = second;
    return timeOfDayMessage(model);
}

} // namespace sim
