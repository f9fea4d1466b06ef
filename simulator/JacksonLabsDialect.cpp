#include "simulator/JacksonLabsDialect.h"

#include "simulator/StatusScreen.h"

#include <QList>
#include <cmath>

namespace sim {

namespace {

QByteArray timeOfDay(const UtcFields& t) {
    return format("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

int trackedCount(const ReceiverModel& model) {
    int tracked = 0;
    for (const SimSatellite& s : model.satellites())
        tracked += s.tracked ? 1 : 0;
    return tracked;
}

QByteArray measurements(const ReceiverModel& model) {
    return format("Power Supply Voltage: %.2f V\r\nCurrent: %.3f A\r\nTemperature: %.1f C",
                  model.supplyVolts(), model.supplyAmps(), model.temperature());
}

} // namespace

std::optional<QByteArray> JacksonLabsDialect::takeRequest(QByteArray& pending) {
    return takeRequestLine(pending);
}

QByteArray JacksonLabsDialect::statusScreen(const ReceiverModel& model) {
    const LockState state = model.lockState();
    const bool unlocked = state == LockState::Unlocked;
    const UtcFields t = model.utc();
    std::vector<QByteArray> lines;
    lines.push_back("------------------------------- GPSDO Status --------------------------------");
    lines.push_back(padded("SYNCHRONIZATION ", 56) +
                    (unlocked ? "[ Outputs Invalid ]" : "[ Outputs Valid ]"));
    lines.push_back("Reference Source ____________________   Outputs ____________________________");
    lines.push_back(padded(state == LockState::Locked ? ">> Locked to GPS" : "   Locked to GPS", 41) +
                    format("TFOM %d   FFOM %d", unlocked ? 9 : 1, state == LockState::Locked ? 0 : 2));
    lines.push_back(padded(state == LockState::Holdover
                               ? format(">> Holdover, %.0f s", model.secondsInState())
                               : QByteArray("   Holdover"),
                           41) +
                    (unlocked ? QByteArray("1PPS TI --- not available")
                              : format("1PPS TI %+.1f ns rel. to GPS", model.timeInterval() * 1e9)));
    lines.push_back(padded(unlocked ? ">> Acquiring satellites" : "   Acquiring satellites", 41) +
                    format("EFC %.4f V", model.efcVolts()));
    lines.push_back(unlocked ? QByteArray("UTC  ??:??:??  ?? ??? ????   Time not valid")
                             : format("UTC  %s  %2d %s %04d   GPS time valid", timeOfDay(t).constData(),
                                      t.day, monthName(t.month), t.year));
    lines.push_back("");
    lines.push_back(padded("ACQUISITION ", 56) + (unlocked ? "[ GPS 1PPS Invalid ]" : "[ GPS 1PPS Valid ]"));
    for (const QByteArray& line : satelliteTable(model.satellites(), 8))
        lines.push_back(line);
    lines.push_back("LAT " + sexagesimal(model.latitude(), 'N', 'S', 2));
    lines.push_back("LON " + sexagesimal(model.longitude(), 'E', 'W', 2));
    lines.push_back(format("HGT %+.2f m (MSL)", model.height()));
    lines.push_back("ELEV MASK 5 deg");
    return joinLines(lines);
}

std::optional<QByteArray> JacksonLabsDialect::execute(const ScpiCommand& command, ReceiverModel& model) {
    const QByteArray& h = command.header;
    const auto is = [&h](const char* pattern) { return headerMatches(h, pattern); };
    const UtcFields t = model.utc();
    const LockState state = model.lockState();

    if (is("*IDN?"))
        return QByteArray("Jackson Labs, GPSDO, SN 10042, FW 1.2.0");
    if (is("HELP?"))
        return QByteArray(
            "*IDN?, HELP?, CSAC?, DIAG?, GPS?, MEAS?, PTIMe?, SERVo?, SYNChronization?, SYSTem?");
    if (is("SYSTem:STATus?"))
        return statusScreen(model);
    if (is("DIAGnostic:LIFetime:COUNt?"))
        return QByteArray::number(static_cast<qlonglong>(model.lifeHours()));
    if (is("DIAGnostic:ROSCillator:EFControl:ABSolute?"))
        return format("%.4f", model.efcVolts());
    if (is("DIAGnostic:ROSCillator:EFControl:RELative?"))
        return format("%.2f", model.efcPercent());
    if (is("DIAGnostic?"))
        return format("LIFetime:COUNt %ld\r\nROSCillator:EFControl:ABSolute %.4f", model.lifeHours(),
                      model.efcVolts());
    if (is("GPS:JAMming?"))
        return QByteArray::number(
            state == LockState::Unlocked ? 0 : 2 + static_cast<int>(model.unixSeconds()) % 3);
    if (is("GPS:TYPE?"))
        return QByteArray("GENERIC L1 C/A");
    if (is("GPS:SATellite:TRAcking:COUNt?"))
        return QByteArray::number(trackedCount(model));
    if (is("GPS:SATellite:VISible:COUNt?"))
        return QByteArray::number(static_cast<int>(model.satellites().size()));
    if (is("GPS:POSition?"))
        return sexagesimal(model.latitude(), 'N', 'S', 2) + "," +
               sexagesimal(model.longitude(), 'E', 'W', 2) + format(",%.2f", model.height());
    if (is("GPS?"))
        return format("TYPE GENERIC L1 C/A\r\nSATellite:TRAcking:COUNt %d", trackedCount(model));
    if (is("GPS:SURVey") || is("GPS:RESET"))
        return command.argument.toUpper() == "ONCE" ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    if (is("SYNChronization:FEEstimate?"))
        return format("%.2E", model.frequencyError());
    if (is("SYNChronization:HEALth?"))
        return QByteArray(state == LockState::Locked ? "0x0" : state == LockState::Holdover ? "0x10" : "0x2");
    if (is("SYNChronization:LOCK?"))
        return QByteArray(state == LockState::Locked ? "ON" : "OFF");
    if (is("SYNChronization:HOLDover:DURation?")) {
        const bool holding = state == LockState::Holdover;
        return format("%d,%d", holding ? static_cast<int>(model.secondsInState()) : 0, holding ? 1 : 0);
    }
    if (is("SYNChronization:HOLDover:INITiate")) {
        model.setLockState(LockState::Holdover);
        return QByteArray();
    }
    if (is("SYNChronization:HOLDover:RECovery:INITiate") || is("SYNChronization:IMMEdiate")) {
        model.setLockState(LockState::Locked);
        return QByteArray();
    }
    if (is("SYNChronization:TINTerval?") || is("PTIMe:TINTerval?"))
        return format("%+.3E", model.timeInterval());
    if (is("SYNChronization?"))
        return format("LOCK %s\r\nFEEstimate %.2E", state == LockState::Locked ? "ON" : "OFF",
                      model.frequencyError());
    if (is("MEASure?"))
        return measurements(model);
    if (is("MEASure:VOLTage?"))
        return format("%.2f", model.supplyVolts());
    if (is("MEASure:CURRent?"))
        return format("%.3f", model.supplyAmps());
    if (is("MEASure:TEMPerature?"))
        return format("%.1f", model.temperature());
    if (is("MEASure:POWer?"))
        return format("%.2f", model.supplyVolts() * model.supplyAmps());
    if (is("CSAC:TEMPerature?"))
        return format("%.2f", model.temperature());
    if (is("CSAC?"))
        return format("TEMPerature %.2f\r\nSTATus 0", model.temperature());
    if (is("PTIMe:TIME:STRing?"))
        return timeOfDay(t);
    if (is("PTIMe:TIME?"))
        return timeOfDay(t);
    if (is("PTIMe:DATE?"))
        return format("%04d,%02d,%02d", t.year, t.month, t.day);
    if (is("PTIMe?"))
        return format("DATE:%04d,%02d,%02d\r\nTIME:%02d:%02d:%02d\r\nLEAP:%d", t.year, t.month, t.day, t.hour,
                      t.minute, t.second, model.leapSeconds());
    if (is("PTIMe:LEAP?") || is("PTIMe:LEAP:ACCumulated?"))
        return QByteArray::number(model.leapSeconds());
    if (is("PTIMe:LEAP:PENDing?"))
        return QByteArray("0");
    if (is("SERVo?"))
        return QByteArray("EFC SCALE 0.70\r\nEFC DAMPING 10.0\r\nTEMPCO 0.0\r\nAGING 0.00\r\nPHASE COR 0.0");
    if (is("SYSTem:COMMunicate:SERial:ECHO")) {
        const QByteArray on = command.argument.toUpper();
        if (on != "ON" && on != "OFF")
            return std::nullopt;
        m_echo = on == "ON";
        return QByteArray();
    }
    return std::nullopt;
}

Reply JacksonLabsDialect::answer(const QByteArray& request, ReceiverModel& model) {
    Reply reply;
    if (m_echo)
        reply.echo = echoOf(request);
    QList<QByteArray> answers;
    for (const ScpiCommand& command : splitCommands(request)) {
        const std::optional<QByteArray> result = execute(command, model);
        if (!result) {
            // The whole line is refused; the receiver sends no prompt after the complaint.
            reply.body.clear();
            reply.prompt = "Command Error\r\n";
            return reply;
        }
        if (command.isQuery())
            answers.push_back(*result);
    }
    if (!answers.isEmpty())
        reply.body = answers.join(';') + "\r\n";
    reply.prompt = "scpi > ";
    return reply;
}

} // namespace sim
