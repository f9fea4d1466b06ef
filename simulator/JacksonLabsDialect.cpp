#include "simulator/JacksonLabsDialect.h"

#include "simulator/StatusScreen.h"

#include <QList>
#include <cmath>

namespace sim {

namespace {

QByteArray TimeOfDay(const UtcFields& t) {
    return Format("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

int TrackedCount(const ReceiverModel& model) {
    int tracked = 0;
    for (const SimSatellite& s : model.satellites())
        tracked += s.tracked ? 1 : 0;
    return tracked;
}

QByteArray Measurements(const ReceiverModel& model) {
    return Format("Power Supply Voltage: %.2f V\r\nCurrent: %.3f A\r\nTemperature: %.1f C",
                  model.supplyVolts(), model.supplyAmps(), model.temperature());
}

} // namespace

std::optional<QByteArray> JacksonLabsDialect::takeRequest(QByteArray& pending) {
    return TakeRequestLine(pending);
}

QByteArray JacksonLabsDialect::statusScreen(const ReceiverModel& model) {
    const LockState state = model.lockState();
    const bool unlocked = state == LockState::Unlocked;
    const UtcFields t = model.utc();
    std::vector<QByteArray> lines;
    lines.push_back("------------------------------- GPSDO Status --------------------------------");
    lines.push_back(Padded("SYNCHRONIZATION ", 56) +
                    (unlocked ? "[ Outputs Invalid ]" : "[ Outputs Valid ]"));
    lines.push_back("Reference Source ____________________   Outputs ____________________________");
    lines.push_back(Padded(state == LockState::Locked ? ">> Locked to GPS" : "   Locked to GPS", 41) +
                    Format("TFOM %d   FFOM %d", unlocked ? 9 : 1, state == LockState::Locked ? 0 : 2));
    lines.push_back(Padded(state == LockState::Holdover
                               ? Format(">> Holdover, %.0f s", model.secondsInState())
                               : QByteArray("   Holdover"),
                           41) +
                    (unlocked ? QByteArray("1PPS TI --- not available")
                              : Format("1PPS TI %+.1f ns rel. to GPS", model.timeInterval() * 1e9)));
    lines.push_back(Padded(unlocked ? ">> Acquiring satellites" : "   Acquiring satellites", 41) +
                    Format("EFC %.4f V", model.efcVolts()));
    lines.push_back(unlocked ? QByteArray("UTC  ??:??:??  ?? ??? ????   Time not valid")
                             : Format("UTC  %s  %2d %s %04d   GPS time valid", TimeOfDay(t).constData(),
                                      t.day, MonthName(t.month), t.year));
    lines.push_back("");
    lines.push_back(Padded("ACQUISITION ", 56) + (unlocked ? "[ GPS 1PPS Invalid ]" : "[ GPS 1PPS Valid ]"));
    for (const QByteArray& line : SkyTableLines(model.satellites(), 8))
        lines.push_back(line);
    lines.push_back("LAT " + Sexagesimal(model.latitude(), 'N', 'S', 2));
    lines.push_back("LON " + Sexagesimal(model.longitude(), 'E', 'W', 2));
    lines.push_back(Format("HGT %+.2f m (MSL)", model.height()));
    lines.push_back("ELEV MASK 5 deg");
    return JoinLines(lines);
}

std::optional<QByteArray> JacksonLabsDialect::execute(const ScpiCommand& command, ReceiverModel& model) {
    const QByteArray& h = command.header;
    const auto is = [&h](const char* pattern) { return HeaderMatches(h, pattern); };
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
        return Format("%.4f", model.efcVolts());
    if (is("DIAGnostic:ROSCillator:EFControl:RELative?"))
        return Format("%.2f", model.efcPercent());
    if (is("DIAGnostic?"))
        return Format("LIFetime:COUNt %ld\r\nROSCillator:EFControl:ABSolute %.4f", model.lifeHours(),
                      model.efcVolts());
    if (is("GPS:JAMming?"))
        return QByteArray::number(
            state == LockState::Unlocked ? 0 : 2 + static_cast<int>(model.unixSeconds()) % 3);
    if (is("GPS:TYPE?"))
        return QByteArray("GENERIC L1 C/A");
    if (is("GPS:SATellite:TRAcking:COUNt?"))
        return QByteArray::number(TrackedCount(model));
    if (is("GPS:SATellite:VISible:COUNt?"))
        return QByteArray::number(static_cast<int>(model.satellites().size()));
    if (is("GPS:POSition?"))
        return Sexagesimal(model.latitude(), 'N', 'S', 2) + "," +
               Sexagesimal(model.longitude(), 'E', 'W', 2) + Format(",%.2f", model.height());
    if (is("GPS?"))
        return Format("TYPE GENERIC L1 C/A\r\nSATellite:TRAcking:COUNt %d", TrackedCount(model));
    if (is("GPS:SURVey") || is("GPS:RESET"))
        return command.argument.toUpper() == "ONCE" ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    if (is("SYNChronization:FEEstimate?"))
        return Format("%.2E", model.frequencyError());
    if (is("SYNChronization:HEALth?"))
        return QByteArray(state == LockState::Locked ? "0x0" : state == LockState::Holdover ? "0x10" : "0x2");
    if (is("SYNChronization:LOCK?"))
        return QByteArray(state == LockState::Locked ? "ON" : "OFF");
    if (is("SYNChronization:HOLDover:DURation?")) {
        const bool holding = state == LockState::Holdover;
        return Format("%d,%d", holding ? static_cast<int>(model.secondsInState()) : 0, holding ? 1 : 0);
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
        return Format("%+.3E", model.timeInterval());
    if (is("SYNChronization?"))
        return Format("LOCK %s\r\nFEEstimate %.2E", state == LockState::Locked ? "ON" : "OFF",
                      model.frequencyError());
    if (is("MEASure?"))
        return Measurements(model);
    if (is("MEASure:VOLTage?"))
        return Format("%.2f", model.supplyVolts());
    if (is("MEASure:CURRent?"))
        return Format("%.3f", model.supplyAmps());
    if (is("MEASure:TEMPerature?"))
        return Format("%.1f", model.temperature());
    if (is("MEASure:POWer?"))
        return Format("%.2f", model.supplyVolts() * model.supplyAmps());
    if (is("CSAC:TEMPerature?"))
        return Format("%.2f", model.temperature());
    if (is("CSAC?"))
        return Format("TEMPerature %.2f\r\nSTATus 0", model.temperature());
    if (is("PTIMe:TIME:STRing?"))
        return TimeOfDay(t);
    if (is("PTIMe:TIME?"))
        return TimeOfDay(t);
    if (is("PTIMe:DATE?"))
        return Format("%04d,%02d,%02d", t.year, t.month, t.day);
    if (is("PTIMe?")) {
        // The time code: it names the second about to begin.
        const UtcFields c = SplitUnixMilliseconds(model.timeCodeUnixMs(true));
        return Format("DATE:%04d,%02d,%02d\r\nTIME:%02d:%02d:%02d\r\nLEAP:%d", c.year, c.month, c.day, c.hour,
                      c.minute, c.second, model.leapSeconds());
    }
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
        reply.echo = EchoOf(request);
    QList<QByteArray> answers;
    for (const ScpiCommand& command : SplitCommands(request)) {
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
