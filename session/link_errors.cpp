#include "link_errors.h"

namespace tvx {

QString SerialErrorText(int code) {
    switch (code) {
        case kSerialUnknownSystemError:
            return QStringLiteral("Unknown system error");
        case kSerialInvalidPortNumber:
            return QStringLiteral("Invalid port number");
        case kSerialPortNotOpen:
            return QStringLiteral("Port is not open");
        case kSerialUnknownIoError:
            return QStringLiteral("Unknown I/0 error");
        case kSerialNoPortFound:
            return QStringLiteral("No serial port found");
        case kSerialCannotOpenPort:
            return QStringLiteral("Cannot open port");
        case kSerialTimeout:
            return QStringLiteral("Timeout");
        default:
            return QStringLiteral("RS-232 error!");
    }
}

QString TcpErrorText(int code) {
    switch (code) {
        case kTcpUnableToRegisterService:
            return QStringLiteral("UnableToRegisterService");
        case kTcpUnableToEstablishConnection:
            return QStringLiteral("UnableToEstablishConnection");
        case kTcpExistingServer:
            return QStringLiteral("ExistingServer");
        case kTcpFailedToConnect:
            return QStringLiteral("FailedToConnect");
        case kTcpServerNotRegistered:
            return QStringLiteral("ServerNotRegistered");
        case kTcpTooManyConversations:
            return QStringLiteral("TooManyConversations");
        case kTcpReadFailed:
            return QStringLiteral("ReadFailed");
        case kTcpWriteFailed:
            return QStringLiteral("WriteFailed");
        case kTcpInvalidParameter:
            return QStringLiteral("InvalidParameter");
        case kTcpOutOfMemory:
            return QStringLiteral("OutOfMemory");
        case kTcpTimeOutError:
            return QStringLiteral("TimeOutError ");
        case kTcpNoConnectionEstablished:
            return QStringLiteral("NoConnectionEstablished ");
        case kTcpGeneralIoError:
            return QStringLiteral("GeneralIOErr");
        case kTcpConnectionClosed:
            return QStringLiteral("ConnectionClosed");
        case kTcpUnableToLoadWinsockDll:
            return QStringLiteral("UnableToLoadWinsockDLL");
        case kTcpIncorrectWinsockDllVersion:
            return QStringLiteral("IncorrectWinsockDLLVersion");
        case kTcpNetworkSubsystemNotReady:
            return QStringLiteral("NetworkSubsystemNotReady ");
        case kTcpConnectionsStillOpen:
            return QStringLiteral("ConnectionsStillOpen");
        case kTcpDisconnectPending:
            return QStringLiteral("DisconnectPending");
        case kTcpInfoNotAvailable:
            return QStringLiteral("InfoNotAvailable");
        default:
            return QStringLiteral("Connection to server failed");
    }
}

// How QSerialPort's failures read in the serial table:
//   no such device                          -> -6 "No serial port found"
//   in use (locked, exclusive), no access,
//   already open, settings refused           -> -7 "Cannot open port"
//   device gone, read or write failed        -> -4 "Unknown I/0 error"
//   port not open                            -> -3 "Port is not open"
//   time-out                                 -> -99 "Timeout"
//   anything else                            -> -1 "Unknown system error"
// A port number outside the valid range never reaches Qt: it is -2 "Invalid port number".
int SerialErrorCode(QSerialPort::SerialPortError error) {
    switch (error) {
        case QSerialPort::NoError:
            return 0;
        case QSerialPort::DeviceNotFoundError:
            return kSerialNoPortFound;
        case QSerialPort::PermissionError:
        case QSerialPort::OpenError:
        case QSerialPort::UnsupportedOperationError:
            return kSerialCannotOpenPort;
        case QSerialPort::ResourceError:
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
            return kSerialUnknownIoError;
        case QSerialPort::NotOpenError:
            return kSerialPortNotOpen;
        case QSerialPort::TimeoutError:
            return kSerialTimeout;
        default:
            return kSerialUnknownSystemError;
    }
}

// How QTcpSocket's failures read in the TCP table:
//   address that does not resolve, unusable address or protocol
//                                            -> -9 "InvalidParameter"
//   nothing listening (refused)              -> -2 "UnableToEstablishConnection"
//   no answer within the connect time-out    -> -11 "TimeOutError "
//   closed by the server while connecting    -> -14 "ConnectionClosed"
//   out of sockets                           -> -6 "TooManyConversations"
//   network unreachable, no access, proxy    -> -4 "FailedToConnect"
//   anything else                            -> -13 "GeneralIOErr"
// A port outside 1..65535 or an empty address never reaches Qt: it is -9 as well.
int TcpErrorCode(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::HostNotFoundError:
        case QAbstractSocket::SocketAddressNotAvailableError:
        case QAbstractSocket::UnsupportedSocketOperationError:
            return kTcpInvalidParameter;
        case QAbstractSocket::ConnectionRefusedError:
            return kTcpUnableToEstablishConnection;
        case QAbstractSocket::SocketTimeoutError:
            return kTcpTimeOutError;
        case QAbstractSocket::RemoteHostClosedError:
            return kTcpConnectionClosed;
        case QAbstractSocket::SocketResourceError:
            return kTcpTooManyConversations;
        case QAbstractSocket::NetworkError:
        case QAbstractSocket::SocketAccessError:
        case QAbstractSocket::AddressInUseError:
        case QAbstractSocket::ProxyAuthenticationRequiredError:
        case QAbstractSocket::ProxyConnectionRefusedError:
        case QAbstractSocket::ProxyConnectionClosedError:
        case QAbstractSocket::ProxyConnectionTimeoutError:
        case QAbstractSocket::ProxyNotFoundError:
        case QAbstractSocket::ProxyProtocolError:
            return kTcpFailedToConnect;
        default:
            return kTcpGeneralIoError;
    }
}

}  // namespace tvx
