#include "link_errors.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace tvx {
namespace {

TEST(LinkErrors, SerialOpenTextsReadAsTheStatusDisplayShowsThem) {
    const std::vector<std::pair<int, QString>> table = {
        {-1, "Unknown system error"},
        {-2, "Invalid port number"},
        {-3, "Port is not open"},
        {-4, "Unknown I/0 error"},
        {-6, "No serial port found"},
        {-7, "Cannot open port"},
        {-99, "Timeout"},
    };
    for (const auto& [code, text] : table) EXPECT_EQ(SerialErrorText(code), text) << code;
    // Codes the table does not name.
    for (int code : {-5, -8, -98, -100, -1000})
        EXPECT_EQ(SerialErrorText(code), "RS-232 error!") << code;
}

TEST(LinkErrors, TcpConnectTextsKeepTheirTrailingBlanks) {
    const std::vector<std::pair<int, QString>> table = {
        {-1, "UnableToRegisterService"},
        {-2, "UnableToEstablishConnection"},
        {-3, "ExistingServer"},
        {-4, "FailedToConnect"},
        {-5, "ServerNotRegistered"},
        {-6, "TooManyConversations"},
        {-7, "ReadFailed"},
        {-8, "WriteFailed"},
        {-9, "InvalidParameter"},
        {-10, "OutOfMemory"},
        {-11, "TimeOutError "},
        {-12, "NoConnectionEstablished "},
        {-13, "GeneralIOErr"},
        {-14, "ConnectionClosed"},
        {-15, "UnableToLoadWinsockDLL"},
        {-16, "IncorrectWinsockDLLVersion"},
        {-17, "NetworkSubsystemNotReady "},
        {-18, "ConnectionsStillOpen"},
        {-19, "DisconnectPending"},
        {-20, "InfoNotAvailable"},
    };
    for (const auto& [code, text] : table) EXPECT_EQ(TcpErrorText(code), text) << code;
    for (int code : {-21, -25, -100})
        EXPECT_EQ(TcpErrorText(code), "Connection to server failed") << code;
}

TEST(LinkErrors, EveryQtFailureLandsOnANegativeCodeWithAText) {
    // Whatever Qt reports, the user reads a text of the tables, never an empty one.
    for (int e = QSerialPort::DeviceNotFoundError; e <= QSerialPort::NotOpenError; ++e) {
        const int code = SerialErrorCode(static_cast<QSerialPort::SerialPortError>(e));
        EXPECT_LT(code, 0) << e;
        EXPECT_NE(SerialErrorText(code), "RS-232 error!") << e;
    }
    EXPECT_EQ(SerialErrorCode(QSerialPort::NoError), 0);
    for (int e = QAbstractSocket::UnknownSocketError; e <= QAbstractSocket::OperationError; ++e) {
        const int code = TcpErrorCode(static_cast<QAbstractSocket::SocketError>(e));
        EXPECT_LT(code, 0) << e;
        EXPECT_GE(code, -20) << e;
    }
}

}  // namespace
}  // namespace tvx
