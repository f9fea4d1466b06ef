#pragma once
// One open serial port. The program talks to the receiver and the auxiliary instrument through
// this interface, so tests can put a pseudo-terminal or a fake behind it.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace platform {

class SerialPort {
public:
    virtual ~SerialPort() = default;
    // The port's name as the operator gave it.
    virtual QString name() const = 0;
    // Writes all bytes; false when the port refused them.
    virtual bool write(const QByteArray& bytes) = 0;
    // Returns at once with whatever has arrived (possibly nothing).
    virtual QByteArray readAvailable() = 0;
    // Waits up to ms for more bytes to arrive; true when some did.
    virtual bool waitForReadyRead(int ms) = 0;
    // Discards everything waiting in both directions.
    virtual void purge() = 0;
};

} // namespace platform
