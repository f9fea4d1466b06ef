#pragma once
// The serial port on QSerialPort.
#include "platform/SerialPort.h"

#include <QSerialPort>
#include <optional>

namespace platform {

// The line as QSerialPort names it.
struct QtSerialLine {
    qint32 baud = 9600;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::FlowControl flowControl = QSerialPort::NoFlowControl;
};

// Maps the program's line codes to QSerialPort's; nullopt for what this platform cannot do
// (a baud rate of 0 or less, unknown codes, one and a half stop bits off Windows).
std::optional<QtSerialLine> ToQtSerialLine(const SerialLine& line);

// Opens a QSerialPort-backed port.
SerialOpenResult OpenQtSerialPort(const QString& name, const SerialLine& line);

} // namespace platform
