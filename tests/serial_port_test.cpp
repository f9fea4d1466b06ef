#include "platform/QtSerialPort.h"
#include "support/PtyPeer.h"
#include "support/WaitBounds.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <thread>

using platform::SerialOpenError;

TEST(SerialLineMapping, DesignCodesMapExplicitlyAndTheImpossibleIsRefused) {
    const auto odd7 = platform::ToQtSerialLine({19200, 1, 0, 7, 0});
    ASSERT_TRUE(odd7);
    EXPECT_EQ(odd7->parity, QSerialPort::OddParity);
    EXPECT_EQ(odd7->dataBits, QSerialPort::Data7);
    const QSerialPort::Parity parities[] = {QSerialPort::EvenParity, QSerialPort::MarkParity,
                                            QSerialPort::SpaceParity};
    for (int code = 2; code <= 4; ++code)
        EXPECT_EQ(platform::ToQtSerialLine({9600, code, 0, 8, 0})->parity, parities[code - 2]);
    EXPECT_EQ(platform::ToQtSerialLine({9600, 0, 2, 8, 0})->stopBits, QSerialPort::TwoStop);
    EXPECT_EQ(platform::ToQtSerialLine({9600, 0, 0, 8, 1})->flowControl, QSerialPort::SoftwareControl);
    EXPECT_EQ(platform::ToQtSerialLine({9600, 0, 0, 8, 2})->flowControl, QSerialPort::HardwareControl);
    for (const platform::SerialLine& refused :
         std::initializer_list<platform::SerialLine>{{0, 0, 0, 8, 0},
                                                     {-9600, 0, 0, 8, 0},
                                                     {9600, 5, 0, 8, 0},
                                                     {9600, 0, 3, 8, 0},
                                                     {9600, 0, 0, 9, 0}})
        EXPECT_FALSE(platform::ToQtSerialLine(refused)) << refused.baud;
#ifndef Q_OS_WIN
    EXPECT_FALSE(platform::ToQtSerialLine({9600, 0, 1, 8, 0})); // one and a half stop bits
#endif
}

TEST(QtSerialPort, OpensAPseudoTerminalWithSevenBitsOddParityAndCarriesBytes) {
    EXPECT_EQ(platform::OpenQtSerialPort(QStringLiteral("/dev/no-such-port"), {}).error,
              SerialOpenError::CannotOpen);
    PtyPeer device;
    EXPECT_EQ(platform::OpenQtSerialPort(device.slavePath(), {0, 0, 0, 8, 0}).error,
              SerialOpenError::CannotConfigure);
    auto opened = platform::OpenQtSerialPort(device.slavePath(), {19200, 1, 0, 7, 0});
    ASSERT_EQ(opened.error, SerialOpenError::None);
    EXPECT_EQ(opened.port->read(100), QByteArray()); // a read returns at once
    EXPECT_TRUE(opened.port->write("*IDN?\r"));
    EXPECT_EQ(device.receivedOnce([](const QByteArray& got) { return got.size() >= 6; }, kBusyMachineWaitMs),
              QByteArray("*IDN?\r"));
    device.write("HEWLETT\r\n");
    ASSERT_TRUE(opened.port->waitForReadyRead(kBusyMachineWaitMs));
    EXPECT_EQ(opened.port->read(100), QByteArray("HEWLETT\r\n"));

    // A device that has gone fails every read and write.
    device.close();
    opened.port->waitForReadyRead(kBusyMachineWaitMs); // returns at the hang-up
    EXPECT_FALSE(opened.port->read(100));
    EXPECT_FALSE(opened.port->write("SST?\r"));
}

TEST(QtSerialPort, AFloodingDeviceIsHeldToTheBufferYetWritesAndReadsGoOn) {
    PtyPeer device;
    auto opened = platform::OpenQtSerialPort(device.slavePath(), {115200, 0, 0, 8, 0});
    ASSERT_EQ(opened.error, SerialOpenError::None);
    const QByteArray block(32 * 1024, 'x');
    std::thread flood([&] {
        for (int i = 0; i < 8; ++i)
            device.write(block);
    });
    opened.port->waitForReadyRead(200);
    EXPECT_TRUE(opened.port->write("STOP\r")); // while the read buffer is full
    qint64 total = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    while (total < 8 * block.size() && elapsed.elapsed() < kBusyMachineWaitMs) {
        opened.port->waitForReadyRead(50);
        const QByteArray chunk = opened.port->read(1 << 20).value_or(QByteArray());
        EXPECT_LE(chunk.size(), 64 * 1024);
        total += chunk.size();
    }
    flood.join();
    EXPECT_EQ(total, 8 * block.size());
}
