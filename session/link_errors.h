#pragma once

#include <QAbstractSocket>
#include <QSerialPort>
#include <QString>

namespace tvx {

// Result codes of opening the serial port, with the texts of SerialErrorText.
enum SerialResult : int {
    kSerialUnknownSystemError = -1,
    kSerialInvalidPortNumber = -2,
    kSerialPortNotOpen = -3,
    kSerialUnknownIoError = -4,
    kSerialNoPortFound = -6,
    kSerialCannotOpenPort = -7,
    kSerialTimeout = -99,
};

// Result codes of the TCP client, with the texts of TcpErrorText.
enum TcpResult : int {
    kTcpUnableToRegisterService = -1,
    kTcpUnableToEstablishConnection = -2,
    kTcpExistingServer = -3,
    kTcpFailedToConnect = -4,
    kTcpServerNotRegistered = -5,
    kTcpTooManyConversations = -6,
    kTcpReadFailed = -7,
    kTcpWriteFailed = -8,
    kTcpInvalidParameter = -9,
    kTcpOutOfMemory = -10,
    kTcpTimeOutError = -11,
    kTcpNoConnectionEstablished = -12,
    kTcpGeneralIoError = -13,
    kTcpConnectionClosed = -14,
    kTcpUnableToLoadWinsockDll = -15,
    kTcpIncorrectWinsockDllVersion = -16,
    kTcpNetworkSubsystemNotReady = -17,
    kTcpConnectionsStillOpen = -18,
    kTcpDisconnectPending = -19,
    kTcpInfoNotAvailable = -20,
};

// The status text for a failed serial open; "RS-232 error!" for a code the table does not know.
QString SerialErrorText(int code);
// The message text for a failed TCP connect; "Connection to server failed" for an unknown code.
QString TcpErrorText(int code);

// The result code for a failure QSerialPort reports (0 for NoError).
int SerialErrorCode(QSerialPort::SerialPortError error);
// The result code for a failure QTcpSocket reports.
int TcpErrorCode(QAbstractSocket::SocketError error);

}  // namespace tvx
