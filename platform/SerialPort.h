#pragma once
// One open serial port. The program talks to the receiver and the auxiliary instrument through
// this interface, so tests can put a pseudo-terminal or a fake behind it.
#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace platform {

class SerialPort {
public:
    virtual ~SerialPort() = default;
    // The port's name as the operator gave it.
    virtual QString name() const = 0;
    // Writes all bytes and waits until they have left (20 ms per byte + 1 s at most); false when
    // the port refused them or they did not leave in time.
    virtual bool write(const QByteArray& bytes) = 0;
    // Returns at once with whatever has arrived (possibly nothing).
    virtual QByteArray readAvailable() = 0;
    // Returns at once with up to maxBytes of what has arrived (possibly nothing); nullopt when the
    // port has failed (for example the device has gone). Ports that cannot fail may leave it to
    // readAvailable().
    virtual std::optional<QByteArray> read(qint64 maxBytes) {
        Q_UNUSED(maxBytes);
        return readAvailable();
    }
    // Waits up to ms for more bytes to arrive; true when some did. Bytes move only while a port
    // waits or the event loop runs, so this is the wait wherever the program blocks.
    virtual bool waitForReadyRead(int ms) = 0;
    // Discards everything waiting in both directions.
    virtual void purge() = 0;
    // The port has failed for good (the device has gone, the line hung up): nothing will come or
    // go any more. Ports that cannot fail leave it false.
    virtual bool failed() const { return false; }
};

// The line settings in the program's own codes.
struct SerialLine {
    int baud = 9600;
    int parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBits = 0; // 0 one, 1 one and a half, 2 two
    int dataBits = 8; // 5 to 8
    int pacing = 0;   // 0 none, 1 XON/XOFF, 2 RTS/CTS
};

enum class SerialOpenError {
    None,
    CannotOpen,        // the device cannot be opened
    CannotConfigure,   // the line settings are refused or cannot be applied
    CannotSetTimeouts, // the read and write time-outs cannot be set
};

struct SerialOpenResult {
    std::unique_ptr<SerialPort> port; // null unless error is None
    SerialOpenError error = SerialOpenError::None;
    QString reason; // the system's words for a failure ("Permission denied"); may be empty
};

using SerialPortOpener = std::function<SerialOpenResult(const QString& name, const SerialLine& line)>;

// Opens a port with its line settings applied before opening, both directions purged.
SerialOpenResult OpenSerialPort(const QString& name, const SerialLine& line);

// Replaces the opener (an empty one restores the real ports); tests use it to put fakes behind
// the program.
void SetSerialPortOpener(SerialPortOpener opener);

// The write time-out for a number of bytes: 20 ms per byte plus one second.
constexpr int WriteTimeoutMs(qint64 bytes) {
    return static_cast<int>(std::min<qint64>(bytes, 10'000'000) * 20 + 1000);
}

} // namespace platform
