#include "platform/QtSerialPort.h"

#include <QElapsedTimer>
#include <mutex>

namespace platform {

namespace {

// What QSerialPort keeps between two reads of the program: enough for any reply, and a bound on
// memory when a device streams faster than the program reads.
constexpr qint64 kReadBufferBytes = 64 * 1024;

class QtSerialPort final : public SerialPort {
public:
    explicit QtSerialPort(const QString& name) : m_name(name) {
        m_port.setPortName(name);
        // A device that has gone keeps its descriptor readable with an error for ever: close it,
        // so the event loop does not spin on it and every later read or write reports failure.
        QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                         [this](QSerialPort::SerialPortError error) {
                             if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError)
                                 m_port.close();
                         });
    }
    ~QtSerialPort() override { m_port.close(); }

    QSerialPort& port() { return m_port; }

    QString name() const override { return m_name; }

    bool write(const QByteArray& bytes) override {
        if (bytes.isEmpty())
            return true;
        if (!m_port.isOpen() || m_port.write(bytes) != bytes.size())
            return false;
        QElapsedTimer elapsed;
        elapsed.start();
        const int timeout = WriteTimeoutMs(bytes.size());
        while (m_port.bytesToWrite() > 0) {
            const qint64 left = timeout - elapsed.elapsed();
            if (left <= 0 || !m_port.isOpen())
                return false;
            if (m_port.waitForBytesWritten(static_cast<int>(left)))
                continue;
            // A full read buffer holds up the wait: make room as a UART overrun would, keeping
            // the newest bytes.
            if (m_port.isOpen() && m_port.bytesAvailable() >= kReadBufferBytes) {
                m_overrun += m_port.readAll();
                if (m_overrun.size() > kReadBufferBytes)
                    m_overrun.remove(0, m_overrun.size() - kReadBufferBytes);
                continue;
            }
            return m_port.bytesToWrite() == 0;
        }
        return true;
    }

    QByteArray readAvailable() override { return read(kReadBufferBytes).value_or(QByteArray()); }

    std::optional<QByteArray> read(qint64 maxBytes) override {
        if (!m_port.isOpen())
            return std::nullopt;
        if (m_overrun.isEmpty())
            return m_port.read(maxBytes);
        QByteArray bytes = m_overrun.left(maxBytes);
        m_overrun.remove(0, bytes.size());
        if (bytes.size() < maxBytes)
            bytes += m_port.read(maxBytes - bytes.size());
        return bytes;
    }

    bool waitForReadyRead(int ms) override { return m_port.waitForReadyRead(ms); }

    // The port is closed only by a read or resource error (above): the device has gone.
    bool failed() const override { return !m_port.isOpen(); }

    void purge() override {
        m_overrun.clear();
        if (m_port.isOpen())
            m_port.clear(QSerialPort::AllDirections);
    }

private:
    QString m_name;
    QSerialPort m_port;
    QByteArray m_overrun; // bytes taken out of a full read buffer during a write
};

std::mutex g_openerMutex;
SerialPortOpener g_opener;

} // namespace

std::optional<QtSerialLine> ToQtSerialLine(const SerialLine& line) {
    QtSerialLine qt;
    if (line.baud <= 0)
        return std::nullopt;
    qt.baud = line.baud;
    switch (line.dataBits) {
    case 5:
        qt.dataBits = QSerialPort::Data5;
        break;
    case 6:
        qt.dataBits = QSerialPort::Data6;
        break;
    case 7:
        qt.dataBits = QSerialPort::Data7;
        break;
    case 8:
        qt.dataBits = QSerialPort::Data8;
        break;
    default:
        return std::nullopt;
    }
    switch (line.parity) {
    case 0:
        qt.parity = QSerialPort::NoParity;
        break;
    case 1:
        qt.parity = QSerialPort::OddParity;
        break;
    case 2:
        qt.parity = QSerialPort::EvenParity;
        break;
    case 3:
        qt.parity = QSerialPort::MarkParity;
        break;
    case 4:
        qt.parity = QSerialPort::SpaceParity;
        break;
    default:
        return std::nullopt;
    }
    switch (line.stopBits) {
    case 0:
        qt.stopBits = QSerialPort::OneStop;
        break;
#ifdef Q_OS_WIN
    case 1:
        qt.stopBits = QSerialPort::OneAndHalfStop;
        break;
#endif
    case 2:
        qt.stopBits = QSerialPort::TwoStop;
        break;
    default:
        return std::nullopt;
    }
    // Pacing other than XON/XOFF or RTS/CTS means no flow control.
    switch (line.pacing) {
    case 1:
        qt.flowControl = QSerialPort::SoftwareControl;
        break;
    case 2:
        qt.flowControl = QSerialPort::HardwareControl;
        break;
    default:
        qt.flowControl = QSerialPort::NoFlowControl;
        break;
    }
    return qt;
}

SerialOpenResult OpenQtSerialPort(const QString& name, const SerialLine& line) {
    SerialOpenResult result;
    const std::optional<QtSerialLine> qtLine = ToQtSerialLine(line);
    if (!qtLine) {
        result.error = SerialOpenError::CannotConfigure;
        return result;
    }
    auto port = std::make_unique<QtSerialPort>(name);
    QSerialPort& serial = port->port();
    // Every line setting goes in before opening: a pseudo-terminal refuses some changes later.
    serial.setBaudRate(qtLine->baud);
    serial.setDataBits(qtLine->dataBits);
    serial.setParity(qtLine->parity);
    serial.setStopBits(qtLine->stopBits);
    serial.setFlowControl(qtLine->flowControl);
    serial.setReadBufferSize(kReadBufferBytes);
    if (!serial.open(QIODevice::ReadWrite)) {
        switch (serial.error()) {
        case QSerialPort::UnsupportedOperationError:
        case QSerialPort::UnknownError:
            result.error = SerialOpenError::CannotConfigure;
            break;
        default:
            result.error = SerialOpenError::CannotOpen;
            break;
        }
        result.reason = serial.errorString();
        return result;
    }
    // DTR on, and RTS on unless the handshake drives it. A pseudo-terminal has neither line: its
    // refusal is no error.
    serial.setDataTerminalReady(true);
    if (qtLine->flowControl != QSerialPort::HardwareControl)
        serial.setRequestToSend(true);
    serial.clearError();
    port->purge();
    result.port = std::move(port);
    return result;
}

SerialOpenResult OpenSerialPort(const QString& name, const SerialLine& line) {
    SerialPortOpener opener;
    {
        std::lock_guard lock(g_openerMutex);
        opener = g_opener;
    }
    return opener ? opener(name, line) : OpenQtSerialPort(name, line);
}

void SetSerialPortOpener(SerialPortOpener opener) {
    std::lock_guard lock(g_openerMutex);
    g_opener = std::move(opener);
}

} // namespace platform
