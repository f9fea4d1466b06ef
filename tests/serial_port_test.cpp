#include "platform/QtSerialPort.h"
#include "support/PtyPeer.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <thread>

using platform::SerialLine;
using platform::SerialOpenError;

TEST(SerialLineMapping, DesignCodesMapExplicitlyAndTheImpossibleIsRefused) {
    const auto odd7 = platform::toQtSerialLine({19200, 1, 0, 7, 0});
    ASSERT_TRUE(odd7);
    EXPECT_EQ(odd7->parity, QSerialPort::OddParity);
    EXPECT_EQ(odd7->dataBits, QSerialPort::Data7);
    EXPECT_EQ(platform::toQtSerialLine({9600, 2, 0, 8, 0})->parity, QSerialPort::EvenParity);
    EXPECT_EQ(platform::toQtSerialLine({9600, 3, 0, 8, 0})->parity, QSerialPort::MarkParity);
    EXPECT_EQ(platform::toQtSerialLine({9600, 4, 0, 8, 0})->parity, QSerialPort::SpaceParity);
    EXPECT_EQ(platform::toQtSerialLine({9600, 0, 2, 8, 0})->stopBits, QSerialPort::TwoStop);
    EXPECT_EQ(platform::toQtSerialLine({9600, 0, 0, 8, 1})->flowControl, QSerialPort::SoftwareControl);
    EXPECT_EQ(platform::toQtSerialLine({9600, 0, 0, 8, 2})->flowControl, QSerialPort::HardwareControl);
    EXPECT_EQ(platform::toQtSerialLine({9600, 0, 0, 8, 7})->flowControl, QSerialPort::NoFlowControl);

    EXPECT_FALSE(platform::toQtSerialLine({0, 0, 0, 8, 0}));
    EXPECT_FALSE(platform::toQtSerialLine({-9600, 0, 0, 8, 0}));
    EXPECT_FALSE(platform::toQtSerialLine({9600, 5, 0, 8, 0}));
    EXPECT_FALSE(platform::toQtSerialLine({9600, 0, 3, 8, 0}));
    EXPECT_FALSE(platform::toQtSerialLine({9600, 0, 0, 9, 0}));
#ifndef Q_OS_WIN
    EXPECT_FALSE(platform::toQtSerialLine({9600, 0, 1, 8, 0})); // one and a half stop bits
#endif
}

TEST(QtSerialPort, OpenFailuresAreToldApart) {
    EXPECT_EQ(platform::openQtSerialPort(QStringLiteral("/dev/no-such-port"), {}).error,
              SerialOpenError::CannotOpen);
    PtyPeer device;
    EXPECT_EQ(platform::openQtSerialPort(device.slavePath(), {0, 0, 0, 8, 0}).error,
              SerialOpenError::CannotConfigure);
}

TEST(QtSerialPort, SevenBitOddParityLineOpensOnAPseudoTerminalAndCarriesBytesBothWays) {
    PtyPeer device;
    auto opened = platform::openQtSerialPort(device.slavePath(), {19200, 1, 0, 7, 0});
    ASSERT_EQ(opened.error, SerialOpenError::None);
    platform::SerialPort& port = *opened.port;
    const auto nothing = port.read(100);
    ASSERT_TRUE(nothing);
    EXPECT_TRUE(nothing->isEmpty()); // a read returns at once

    EXPECT_TRUE(port.write("*IDN?\r"));
    EXPECT_TRUE(device.waitForReceived("*IDN?\r", 1000));
    device.write("HEWLETT\r\n");
    ASSERT_TRUE(port.waitForReadyRead(1000));
    EXPECT_EQ(port.read(100).value_or(QByteArray()), QByteArray("HEWLETT\r\n"));
}

TEST(QtSerialPort, AFloodingDeviceIsHeldToTheReadBufferAndReadingGoesOn) {
    PtyPeer device;
    auto opened = platform::openQtSerialPort(device.slavePath(), {115200, 0, 0, 8, 0});
    ASSERT_EQ(opened.error, SerialOpenError::None);
    platform::SerialPort& port = *opened.port;
    const QByteArray block(32 * 1024, 'x');
    std::thread flood([&] {
        for (int i = 0; i < 8; ++i)
            device.write(block);
    });
    qint64 total = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    while (total < 8 * block.size() && elapsed.elapsed() < 5000) {
        port.waitForReadyRead(50);
        const QByteArray chunk = port.read(1 << 20).value_or(QByteArray());
        EXPECT_LE(chunk.size(), 64 * 1024);
        total += chunk.size();
    }
    flood.join();
    EXPECT_EQ(total, 8 * block.size());
}

TEST(QtSerialPort, AVanishedDeviceMakesReadsFailAndWritesRefused) {
    PtyPeer device;
    auto opened = platform::openQtSerialPort(device.slavePath(), {9600, 0, 0, 8, 0});
    ASSERT_EQ(opened.error, SerialOpenError::None);
    device.vanish();
    opened.port->waitForReadyRead(100);
    EXPECT_FALSE(opened.port->read(100));
    EXPECT_FALSE(opened.port->write("SST?\r"));
}
