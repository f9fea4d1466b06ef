#include "receiver/CommandTables.h"

#include <initializer_list>

using namespace Qt::StringLiterals;

namespace {

// A command list as the command box takes it: every item followed by ';'.
QString CommandList(std::initializer_list<const char16_t*> items) {
    QString list;
    for (const char16_t* item : items) {
        list += QString::fromUtf16(item);
        list += QLatin1Char(';');
    }
    return list;
}

} // namespace

const QString g_CommandLists[kReceiverFamilies] = {
    // Hewlett Packard
    CommandList({u"*IDN?",
                 u"*TST?",
                 u"*CLS",
                 u":DIAG:LIF:COUN?",
                 u":DIAG:TEST? ALL",
                 u":DIAG:TEMP?",
                 u":DIAG:TEST:RES?",
                 u":DIAG:GPS:UTC?",
                 u":DIAG:GPS:UTC 1",
                 u":DIAG:GPS:UTC 0",
                 u":DIAG:IDEN:GPS?",
                 u":DIAG:LOG:READ:ALL?",
                 u":DIAG:LOG:COUN?",
                 u":DIAG:LOG:READ?",
                 u":DIAG:ROSC:EFC:ABS?",
                 u":DIAG:ROSC:EFC:REL?",
                 u":DIAG:LOG:CLE",
                 u":GPS:INIT:DATE <yr,mo,day>",
                 u":GPS:INIT:TIME <hr,min,sec>",
                 u":GPS:INIT:POS <N,deg,min,sec,W,deg,min,sec,elev>",
                 u":GPS:REF:ADEL?",
                 u":GPS:POS:ACTUAL?",
                 u":GPS:POS:HOLD:LAST?",
                 u":GPS:POS:SURV:STAT:POW?",
                 u":GPS:POS <SURV,LAST,or coords>",
                 u":GPS:POS?",
                 u":GPS:POS:SURV ONCE",
                 u":GPS:POS:SURV:STATE?",
                 u":GPS:POS:SURV:PROG?",
                 u":GPS:SAT:TRAC?",
                 u":GPS:SAT:TRAC:IGN <svid,svid .. :NONE | :ALL>",
                 u":GPS:SAT:TRAC:EMAN?",
                 u":GPS:SAT:TRAC:IGN?",
                 u":GPS:SAT:TRAC:INCL?",
                 u":GPS:SAT:TRAC:COUN?",
                 u":GPS:SAT:VIS:PRED?",
                 u":GPS:SAT:VIS:PRED:COUN?",
                 u":LED:ACTIVE ON",
                 u":LED:ENABLED ON",
                 u":LED:ALARM:USER ON",
                 u":PTIM:TCOD?",
                 u":PTIM:TCOD:CONT 0",
                 u":PTIM:TCOD:FORM?",
                 u":PTIM:TCOD:FORM (F1 | F2)",
                 u":PTIM:TIME?",
                 u":PTIM:TIME:STR?",
                 u":PTIM:DATE?",
                 u":PTIM:TZON <-12 to +13>",
                 u":PTIM:LEAP:ACC?",
                 u":PTIM:TZON?",
                 u":PTIM:LEAP:DATE?",
                 u":PTIM:LEAP:DUR?",
                 u":PTIM:LEAP:STAT?",
                 u":PTIM:UTC?",
                 u":ROSC:HOLD:REC:LIM:IGN",
                 u":ROSC:HOLD:DUR:THR?",
                 u":ROSC:HOLD:DUR:THR:EXC?",
                 u":ROSC:HOLD:LIM:THR?",
                 u":ROSC:HOLD:TUNC:PRED?",
                 u":ROSC:HOLD:TUNC:PRES?",
                 u":ROSC:HOLD:WAIT?",
                 u":STAT:OPER:HOLD:COND?",
                 u":STAT:OPER:HARD:COND?",
                 u":STAT:OPER:POW:COND?",
                 u":STAT:OPER:COND?",
                 u":STAT:QUES:COND?",
                 u":STAT:OPER:HOLD:EVEN?",
                 u":STAT:OPER:HARD:EVEN?",
                 u":STAT:OPER:POW:EVEN?",
                 u":STAT:QUES:EVEN?",
                 u":STAT:OPER:HOLD:ENAB?",
                 u":STAT:OPER:HARD:ENAB?",
                 u":STAT:OPER:POW:ENAB?",
                 u":STAT:OPER:ENAB?",
                 u":STAT:QUES:ENAB?",
                 u":STAT:OPER:HOLD:PTR?",
                 u":STAT:OPER:HARD:PTR?",
                 u":STAT:OPER:POW:PTR?",
                 u":STAT:OPER:PTR?",
                 u":STAT:QUES:PTR?",
                 u":STAT:OPER:HOLD:NTR?",
                 u":STAT:OPER:HARD:NTR?",
                 u":STAT:OPER:POW:NTR?",
                 u":STAT:OPER:NTR?",
                 u":STAT:QUES:NTR?",
                 u":STAT:OPER:EVEN?",
                 u":SYNC:FFOM?",
                 u":SYNC:HOLD:TUNC:PRED?",
                 u":SYNC:HOLD:TUNC:PRES?",
                 u":SYNC:TFOM?",
                 u":SYNC:STAT?",
                 u":SYNC:TINT?",
                 u":SYNC:HOLD:INIT",
                 u":SYNC:HOLD:REC:INIT",
                 u":SYNC:HOLD:DUR?",
                 u":SYNC:HOLD:DUR:THR?",
                 u":SYNC:HOLD:DUR:THR:EXC?",
                 u":SYNC:HOLD:REC:LIMIT:IGN",
                 u":SYNC:IMM",
                 u":SYST:STAT?",
                 u":SYST:STAT:LENG?",
                 u":SYST:ERR?",
                 u":SYST:COMM?",
                 u":SYST:COMM:SER1:BAUD?",
                 u":SYST:COMM:SER1:BITS?",
                 u":SYST:COMM:SER1:FDUP 0",
                 u":SYST:COMM:SER1:FDUP?",
                 u":SYST:COMM:SER1:PACE?",
                 u":SYST:COMM:SER1:PAR?",
                 u":SYST:COMM:SER1:SBITS?",
                 u":SYSTEM:PRESET"}),
    // Datum 2000
    CommandList({u"?",    u"HLP?", u"COD?", u"RES?", u"GPS?", u"STS?", u"HIS?", u"BST?", u"VER?", u"CVT?",
                 u"PWS?", u"UOF?", u"LAN?", u"SST?", u"ATM?", u"MJD?", u"DOY?", u"TLS?", u"DST?", u"LOF?",
                 u"LTR?", u"LTM?", u"RPD?", u"AUX?", u"TCO?", u"STA?", u"POS?", u"PXS?", u"SPO?", u"SAT?",
                 u"ERR?", u"PRI?", u"SEC?", u"TO1?", u"TO2?", u"SYN?", u"FRM?", u"UTC?"}),
    // NavSymm Proteus
    CommandList({u"1k/4sec", u"4k/4sec", u"1M/4sec", u"5M/4sec", u"1k/12sec", u"4k/12sec", u"1M/12sec",
                 u"5M/12sec", u"1k/1PPM", u"4k/1PPM", u"1M/1PPM", u"5M/1PPM", u"RESET ALL", u"RESET GPS",
                 u"RESET EPHEMERIS", u"RESET POWERCYCLE"}),
    // Jackson Labs
    CommandList({u"*IDN?",
                 u"HELP?",
                 u"CSAC?",
                 u"CSAC:RS232?",
                 u"CSAC:ST?",
                 u"CSAC:STAT?",
                 u"CSAC:AL?",
                 u"CSAC:MODE?",
                 u"CSAC:CONT?",
                 u"CSAC:LAS?",
                 u"CSAC:TCXO?",
                 u"CSAC:SIG?",
                 u"CSAC:HEAT?",
                 u"CSAC:TEMP?",
                 u"CSAC:SN?",
                 u"CSAC:FW?",
                 u"CSAC:LIFE?",
                 u"CSAC:ST:LAT ONCE",
                 u"CSAC:PASS <csac_cmd>",
                 u"DIAG?",
                 u"DIAG:LIF:COUN?",
                 u"DIAG:ROSC:EFC:ABS?",
                 u"DIAG:ROSC:EFC:REL?",
                 u"GPS?",
                 u"GPS:TMOD <ON|OFF|RSTSURV>",
                 u"GPS:TYPE?",
                 u"GPS:SURV ONCE",
                 u"GPS:SURV:STAT?",
                 u"GPS:SURV:DUR <int in sec>",
                 u"GPS:SURV:VAR <int>",
                 u"GPS:HOLD:POS <int,int,int>",
                 u"GPS:INIT:DATE <yr,mo,day>",
                 u"GPS:INIT:TIME <hr,min,sec>",
                 u"GPS:REF:ADEL?",
                 u"GPS:REF:ADEL <-32767ns,32767ns>",
                 u"GPS:REF:PUL:SAW?",
                 u"GPS:POS?",
                 u"GPS:JAM?",
                 u"GPS:FW?",
                 u"GPS:POS:ECEF?",
                 u"GPS:RESET ONCE",
                 u"GPS:DYNAM:MODE  <0,8>",
                 u"GPS:DYNAM:STAT?",
                 u"GPS:PORT <RS232|USB>",
                 u"GPS:GPRMC <0,255>",
                 u"GPS:GPGGA <0,255>",
                 u"GPS:GGAST <0, 255>",
                 u"GPS:XYZSP <0,255>",
                 u"GPS:GPZDA <0,255>",
                 u"GPS:PASHR <0,255>",
                 u"GPS:GPGSV <0,255>",
                 u"GPS:SAT:TRA:COUNT?",
                 u"GPS:SAT:VIS:COUNT?",
                 u"GPS:SYST:SEL <GPS|SBAS|GAL|QZSS|GLO|BD>",
                 u"PTIM?",
                 u"PTIM:TIME?",
                 u"PTIM:TIME:STR?",
                 u"PTIM:DATE?",
                 u"PTIM:TINT?",
                 u"PTIM:OUT <ON|OFF>",
                 u"PTIM:LEAP?",
                 u"PTIM:LEAP:PEND?",
                 u"PTIM:LEAP:ACC?",
                 u"PTIM:LEAP:DATE?",
                 u"PTIM:LEAP:DUR?",
                 u"SERVO ?",
                 u"SERVO:DACG <0.001,10000>",
                 u"SERVO:EFCS <0.0,500.0>",
                 u"SERVO:EFCD <2,4000>",
                 u"SERVO:TEMPCO  <-4000.0, 4000.0>",
                 u"SERVO:AGING <-10.0, 10.0>",
                 u"SERVO:MODE <SLOW|MED|FAST|AUTO>",
                 u"SERVO:PHASECO <-500.0,500.0>",
                 u"SERVO:1PPS <int> ns",
                 u"SERVO:QUI <ON|OFF>",
                 u"SERVO:SEL<CSAC|FILTer>",
                 u"SERVO:TRAC <0,255>",
                 u"SERVO:TRAC:PORT <RS232 | USB>",
                 u"SERVO:LOOP <ON|OFF>",
                 u"SOUR:FREQ <MHz|KHz|Hz> [0Hz,14.0MHz]",
                 u"SYNC?",
                 u"SYNC:FEE?",
                 u"SYNC:HEALTH?",
                 u"SYNC:HOLD:DUR?",
                 u"SYNC:HOLD:STAT ?",
                 u"SYNC:HOLD:TUNC:PRED?",
                 u"SYNC:HOLD:INIT",
                 u"SYNC:HOLD:REC:INIT",
                 u"SYNC:IMME",
                 u"SYNC:LOCK?",
                 u"SYNC:SOUR:MODE <GPS|EXTernal|AUTO>",
                 u"SYNC:SOUR:OUT:1PPS:DOMAIN ? ",
                 u"SYNC:SOUR:OUT:1PPS:DOMAIN <CSAC|FILTer>",
                 u"SYNC:SOUR:STATE?",
                 u"SYNC:TINT?",
                 u"SYNC:TINT:THR <50, 2000>",
                 u"SYNC:OUT:FILT <ON|OFF>",
                 u"SYNC:OUT:1PPS:RESET <ON|OFF>",
                 u"GYRO?",
                 u"GYRO:MODE <ON|OFF>",
                 u"GYRO:TRACE <0,255>",
                 u"GYRO:CAL <float,float,float,float,float,float>",
                 u"GYRO:CAL:COMP",
                 u"GYRO:CAL:RESET",
                 u"GYRO:SENS <float,float,float>",
                 u"GYRO:GLOAD?",
                 u"GYRO:PORT <RS232|USB>",
                 u"MEAS?",
                 u"MEAS:TEMP?",
                 u"MEAS:VOLT?",
                 u"MEAS:CURR?",
                 u"MEAS:POW?",
                 u"SYST:COMM:SER:ECHO <ON|OFF>",
                 u"SYST:COMM:SER:PROmpt <ON|OFF>",
                 u"SYST:COMM:SER:BAUD <9600 | 19200 | 38400 | 57600 | 115200>",
                 u"SYST:COMM:USB:BAUD <9600 | 19200 | 38400 | 57600 | 115200>",
                 u"SYST:ID?",
                 u"SYST:ID:SN?",
                 u"SYST:ID:HW?",
                 u"SYST:LCD:CONT <0,1.0>",
                 u"SYST:LCD:PAGE <0,8>",
                 u"SYST:STAT?"}),
    // UCCM
    CommandList({u"*IDN?",
                 u"ALAR:HARD?",
                 u"ALAR:OPER?",
                 u"DIAG:OUTP ON|OFF",
                 u"OUTP:ACT:ENAB",
                 u"OUTP:ACT:DIS",
                 u"OUTP:ACT:HOLD:DUR:THR <secs>",
                 u"OUTP:ACT:HOLD:DUR:THR?",
                 u"OUTP:INACT",
                 u"OUTP:INACT?",
                 u"OUTP:REF?",
                 u"OUTP:STAT?",
                 u"SYNC:HOLD:DUR:STAT:THR <secs>",
                 u"SYST:PRES",
                 u"SYNC:TFOM?",
                 u"LED:GPSL?",
                 u"SYNC:FFOM?",
                 u"GPS:POS N or S,<deg>,<min>,<sec>,E or W,<deg>,<min>,<sec>,<height>",
                 u"GPS:POS?",
                 u"GPS:POS:HOLD:LAST?",
                 u"GPS:REF:ADEL<numeric>",
                 u"GPS:REF:ADEL?",
                 u"GPS:SAT:TRAC:COUN?",
                 u"GPS:SAT:TRAC?",
                 u"DIAG:ROSC:EFC:REL?",
                 u"SYNC:TINT?",
                 u"DIAG:LOG:READ:ALL?",
                 u"DIAG:LOG:CLE",
                 u"SYST:PON",
                 u"OUTP:MODE?",
                 u"SYST:STAT?",
                 u"SYST:COMM:SERial1:BAUD 9600 | 19200 | 38400 | 57600",
                 u"SYST:COMM:SERial1:BAUD?",
                 u"SYST:COMM:SERial1 PRES",
                 u"SYST:COMM:SERial2:BAUD 9600 | 19200 | 38400 | 57600",
                 u"SYST:COMM:SERial2:BAUD?",
                 u"SYST:COMM:SERial2:PRESet",
                 u"OUTP:STAN:THR <secs>",
                 u"changeSN",
                 u"SYNC:REF:ENABLE LINK | GPS",
                 u"SYNC:REF:DISABLE LINK | GPS",
                 u"SYNC:REF:ENABLE?",
                 u"STATus",
                 u"POSSTATus",
                 u"TOD EN | DI",
                 u"TIME:STR?",
                 u"PTIME:TCODE?",
                 u"REF:TYPE GPS | LINK",
                 u"REF:TYPE?",
                 u"PULLINRANGE 0 | 1 | 2 | ... | 254 | 255",
                 u"PULLINRANGE?",
                 u"DIAG:LOOP?",
                 u"DIAG:ROSC:EFC:DATA GPS | <value>",
                 u"DIAG:ROSC:EFC:DATA?",
                 u"DIAG:ROSC:EFC:ABS?",
                 u"OUTP:TP:SEL PP1S | PP2S",
                 u"OUTP:TP:SEL?",
                 u"GPS:SAT:TRAC:EMAN <degrees>",
                 u"GPS:SAT:TRAC:EMAN?",
                 u"DIAG:TCOD:STAT:AMAS",
                 u"DIAG:TCOD:STAT:OMAS",
                 u"DIAG:TCOD:ERR:AMAS",
                 u"DIAG:TCOD:ERR:OMAS",
                 u"DIAG:HOLD:DEL",
                 u"DIAG:HOLD:DEL?",
                 u"GPS:SAT:TRAC:IGN <PRN>, ..., <PRN>",
                 u"GPS:SAT:TRAC:IGN?",
                 u"GPS:SAT:TRAC:INCL <PRN>, ..., <PRN>",
                 u"GPS:SAT:TRAC:INCL?",
                 u"GPS:SAT:TRAC:<select>: ALL"}),
};

// Label and command of each dialog-bar button; buttons not listed have neither.
const QString g_CommandButtons[kReceiverFamilies][kCommandButtons][2] = {
    {
        // Hewlett Packard
        {u"ID String?"_s, u"*IDN?"_s},
        {u"GPS Iden ?"_s, u":DIAG:IDEN:GPS?"_s},
        {u"Error ?"_s, u"SYST:ERR?"_s},
        {u"Time ?"_s, u":PTIM:TIME:STR?"_s},
        {u"Test all"_s, u":DIAG:TEST? ALL"_s},
        {u"Survey start"_s, u":GPS:POS:SURV ONCE"_s},
        {u"Sys preset"_s, u":SYSTEM:PRESET"_s},
        {u"Holdover +"_s, u":SYNC:HOLD:INIT"_s},
        {u"Holdover -"_s, u":SYNC:HOLD:REC:INIT"_s},
        {u"Hold duration"_s, u":SYNC:HOLD:DUR?"_s},
    },
    {
        // Datum 2000
        {u"Help"_s, u"HLP?"_s},  {u"Reset"_s, u"RES?"_s}, {u"ATM ?"_s, u"ATM?"_s}, {u"AUX ?"_s, u"AUX?"_s},
        {u"BST ?"_s, u"BST?"_s}, {u"COD ?"_s, u"COD?"_s}, {u"CVT ?"_s, u"CVT?"_s}, {u"DOY ?"_s, u"DOY?"_s},
        {u"DST ?"_s, u"DST?"_s}, {u"ERR ?"_s, u"ERR?"_s}, {u"FRM ?"_s, u"FRM?"_s}, {u"GPS ?"_s, u"GPS?"_s},
        {u"HIS ?"_s, u"HIS?"_s}, {u"LAN ?"_s, u"LAN?"_s}, {u"LOF ?"_s, u"LOF?"_s}, {u"LTM ?"_s, u"LTM?"_s},
        {u"LTR ?"_s, u"LTR?"_s}, {u"MJD ?"_s, u"MJD?"_s}, {u"POS ?"_s, u"POS?"_s}, {u"PRI ?"_s, u"PRI?"_s},
        {u"PWS ?"_s, u"PWS?"_s}, {u"PXS ?"_s, u"PXS?"_s}, {u"RPD ?"_s, u"RPD?"_s}, {u"SAT ?"_s, u"SAT?"_s},
        {u"SEC ?"_s, u"SEC?"_s}, {u"SPO ?"_s, u"SPO?"_s}, {u"SST ?"_s, u"SST?"_s}, {u"STA ?"_s, u"STA?"_s},
        {u"STS ?"_s, u"STS?"_s}, {u"SYN ?"_s, u"SYN?"_s}, {u"TCO ?"_s, u"TCO?"_s}, {u"TLS ?"_s, u"TLS?"_s},
        {u"TO1 ?"_s, u"TO1?"_s}, {u"TO2 ?"_s, u"TO2?"_s}, {u"UOF ?"_s, u"UOF?"_s}, {u"UTC ?"_s, u"UTC?"_s},
        {u"VER ?"_s, u"VER?"_s},
    },
    {
        // NavSymm Proteus
        {u"Reset all"_s, u"RESET ALL"_s},
        {u"Reset GPS"_s, u"RESET GPS"_s},
        {u"Ephemeris"_s, u"RESET EPHEMERIS"_s},
        {u"Powercycle"_s, u"RESET POWERCYCLE"_s},
        {u"1k/4sec"_s, u"1k/4sec"_s},
        {u"4k/4sec"_s, u"4k/4sec"_s},
        {u"1M/4sec"_s, u"1M/4sec"_s},
        {u"5M/4sec"_s, u"5M/4sec"_s},
        {u"1k/12se"_s, u"1k/12sec"_s},
        {u"4k/12sec"_s, u"4k/12sec"_s},
        {u"1M/12sec"_s, u"1M/12sec"_s},
        {u"5M/12sec"_s, u"5M/12sec"_s},
        {u"1k/1PPM"_s, u"1k/1PPM"_s},
        {u"4k/1PPM"_s, u"4k/1PPM"_s},
        {u"1M/1PPM"_s, u"1M/1PPM"_s},
        {u"5M/1PPM"_s, u"5M/1PPM"_s},
    },
    {
        // Jackson Labs
        {u"Help?"_s, u"HELP?"_s},
        {u"ID String?"_s, u"*IDN?"_s},
        {u"Diag?"_s, u"DIAG?"_s},
        {u"GPS?"_s, u"GPS?"_s},
        {u"Sync?"_s, u"SYNC?"_s},
        {u"Measure?"_s, u"MEAS?"_s},
        {u"Servo?"_s, u"SERV?"_s},
        {u"CSAC?"_s, u"CSAC?"_s},
        {u"PTime?"_s, u"PTIME?"_s},
        {u"Gyro?"_s, u"GYRO?"_s},
        {u"Survey Start"_s, u"GPS:SURV ONCE"_s},
        {u"Jam Sync"_s, u"SYNC:IMME"_s},
        {u"Holdover Start"_s, u"SYNC:HOLD:INIT"_s},
        {u"Holdover Stop"_s, u"SYNC:HOLD:REC:INIT"_s},
        {u"GPS Reset"_s, u"GPS:RESET ONCE"_s},
    },
    {
        // UCCM
        {u"Help"_s, u"?"_s},
        {u"ID string?"_s, u"*IDN?"_s},
        {u"Time ?"_s, u"TIME:STR?"_s},
        {u"Sys preset"_s, u"SYSTEM:PRESET"_s},
        {u"Sys pwron"_s, u"SYST:PON"_s},
        {u"Hold duration"_s, u"SYNC:HOLD:DUR?"_s},
        {u"Pos status"_s, u"POSSTATus"_s},
        {u"TOD disble"_s, u"TOD DI"_s},
        {u"Log read"_s, u"DIAG:LOG:READ:ALL?"_s},
    },
};

// The request of each poll slot with its terminator; empty slots are not polled. The Proteus
// requests are binary, one byte per unit, 0xFF standing for a 0x00 byte on the wire.
const QString g_PollCommands[kReceiverFamilies][kPollSlots] = {
    {
        // Hewlett Packard
        u"\r"_s,                            // 0
        u"*IDN?\r"_s,                       // 1
        u":DIAG:LIF:COUN?\r"_s,             // 2
        u":SYST:ERR?\r"_s,                  // 3
        QString(),                          // 4
        QString(),                          // 5
        QString(),                          // 6
        u":SYSTEM:STATUS?\r"_s,             // 7
        u":DIAG:ROSC:EFC:ABS?\r"_s,         // 8
        u":PTIME:TINTERVAL?\r"_s,           // 9
        u":SYNC:HOLD:TUNC:PRED?\r"_s,       // 10
        QString(),                          // 11
        QString(),                          // 12
        QString(),                          // 13
        QString(),                          // 14
        QString(),                          // 15
        u":PTIME:TIME:STRING?\r"_s,         // 16
        u":PTIME:TZONE?;:PTIME:TCODE?\r"_s, // 17
    },
    {
        // Datum 2000
        u"SST?\r"_s, // 0
        u"VER?\r"_s, // 1
        u"POS?\r"_s, // 2
        u"ERR?\r"_s, // 3
        QString(),   // 4
        QString(),   // 5
        QString(),   // 6
        u"STS?\r"_s, // 7
        u"CVT?\r"_s, // 8
        u"RPD?\r"_s, // 9
        u"SAT?\r"_s, // 10
        QString(),   // 11
        QString(),   // 12
        QString(),   // 13
        QString(),   // 14
        QString(),   // 15
        u"LTM?\r"_s, // 16
        u"UTC?\r"_s, // 17
    },
    {
        // NavSymm Proteus
        u"\xFF\xDA\xFF\x26"_s, // 0
        QString(),             // 1
        QString(),             // 2
        QString(),             // 3
        QString(),             // 4
        QString(),             // 5
        QString(),             // 6
        u"\xFF\xDA\xFF\x26"_s, // 7
        u"\xFF\xA2\xFF\x5E"_s, // 8
        QString(),             // 9
        QString(),             // 10
        QString(),             // 11
        QString(),             // 12
        QString(),             // 13
        QString(),             // 14
        QString(),             // 15
        u"\xFF\xA2\xFF\x5E"_s, // 16
        u"\xFF\xA2\xFF\x5E"_s, // 17
    },
    {
        // Jackson Labs
        u"\r"_s,                   // 0
        u"*IDN?\r"_s,              // 1
        u"DIAG:LIF:COUN?\r"_s,     // 2
        u"GPS:JAM?\r"_s,           // 3
        u"SYNC:FEE?\r"_s,          // 4
        u"SYNC:HEALTH?\r"_s,       // 5
        u"MEAS?\r"_s,              // 6
        u"SYSTEM:STATUS?\r"_s,     // 7
        u"DIAG:ROSC:EFC:ABS?\r"_s, // 8
        u"PTIME:TINTERVAL?\r"_s,   // 9
        u"CSAC:TEMP?\r"_s,         // 10
        QString(),                 // 11
        QString(),                 // 12
        QString(),                 // 13
        QString(),                 // 14
        QString(),                 // 15
        u"PTIME:TIME:STRING?\r"_s, // 16
        u"PTIME?\r"_s,             // 17
    },
    {
        // UCCM
        u"\r"_s,                   // 0
        u"*IDN?\r"_s,              // 1
        QString(),                 // 2
        QString(),                 // 3
        QString(),                 // 4
        QString(),                 // 5
        QString(),                 // 6
        u"SYSTEM:STATUS?\r"_s,     // 7
        u"DIAG:ROSC:EFC:REL?\r"_s, // 8
        u"SYNC:TINT?\r"_s,         // 9
        u"DIAG:LOOP?\r"_s,         // 10
        QString(),                 // 11
        QString(),                 // 12
        QString(),                 // 13
        QString(),                 // 14
        QString(),                 // 15
        u"TIME:STR?\r"_s,          // 16
        u"TIME:STR?\r"_s,          // 17
    },
};

const QString g_StartupCommands[kReceiverFamilies] = {
    u"PTIME:TCOD:CONT 0\r"_s, // Hewlett Packard
    QString(),                // Datum 2000
    QString(),                // NavSymm Proteus
    QString(),                // Jackson Labs
    u"TOD DI\r"_s,            // UCCM
};

const QString g_StartupCommands2[kReceiverFamilies] = {
    u":SYST:COMM:SER1:FDUP 0\r"_s, // Hewlett Packard
    QString(),                     // Datum 2000
    QString(),                     // NavSymm Proteus
    QString(),                     // Jackson Labs
    QString(),                     // UCCM
};

const QString g_ReplyPrompts[kReceiverFamilies] = {
    u"scpi<SPC>><SPC>;E?###><SPC>"_s,           // Hewlett Packard
    u"EOF<CR><LF>;<ETX>"_s,                     // Datum 2000
    u"scpi<SPC>><SPC>"_s,                       // NavSymm Proteus
    u"scpi<SPC>><SPC>;Command Error<CR><LF>"_s, // Jackson Labs
    u"Command Complete<CR><LF>UCCM-P<SPC>><SPC>;Command complete<CR><LF>UCCM-P<SPC>>;Command complete<CR><LF>UCCM<SPC>>;UCCM-P<SPC>><SPC>;UCCM-P<SPC>>;UCCM<SPC>>"_s, // UCCM
};
