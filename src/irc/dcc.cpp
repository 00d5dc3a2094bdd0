#include "irc/dcc.h"

#include "net/netutils.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QStorageInfo>
#include <QtEndian>

namespace {
// The digits of a decimal integer with an optional sign, as a whole.
bool ToInt64(const QByteArray& Text, qint64& Value) {
    bool Ok = false;
    Value = Text.toLongLong(&Ok);
    return Ok;
}

bool InRange(quint32 Address, quint32 Net, int Bits) {
    const quint32 Mask = Bits == 0 ? 0 : ~quint32(0) << (32 - Bits);
    return (Address & Mask) == (Net & Mask);
}

bool IsPrivate(quint32 A) {
    return InRange(A, 0x0A000000, 8) || InRange(A, 0xAC100000, 12) || InRange(A, 0xC0A80000, 16) ||
           InRange(A, 0xA9FE0000, 16) || InRange(A, 0x64400000, 10);
}
} // namespace

QString DccAddressRefusal(const QByteArray& Address, const QHostAddress& ChatServer) {
    bool Ok = false;
    const quint32 A = QHostAddress(QString::fromLatin1(Address)).toIPv4Address(&Ok);
    if (!Ok) return QStringLiteral("not a valid address");
    if (InRange(A, 0, 8)) return QStringLiteral("an unspecified address");
    if (InRange(A, 0x7F000000, 8)) return QStringLiteral("this computer's own address");
    if (InRange(A, 0xE0000000, 4)) return QStringLiteral("a multicast address");
    if (A == 0xFFFFFFFF) return QStringLiteral("the broadcast address");
    if (InRange(A, 0xF0000000, 4)) return QStringLiteral("a reserved address");
    if (!IsPrivate(A)) return {};
    bool ServerV4 = false;
    const quint32 S = ChatServer.toIPv4Address(&ServerV4);
    if (ChatServer.isLoopback() || (ServerV4 && IsPrivate(S))) return {};
    return QStringLiteral("a private network address, and the chat server is not on one");
}

QString ReadableSize(qint64 Bytes) {
    if (Bytes < 1024) return QStringLiteral("%1 bytes").arg(Bytes);
    static const char* const Units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double Value = double(Bytes);
    int Unit = -1;
    while (Value >= 1024 && Unit < 5) {
        Value /= 1024;
        ++Unit;
    }
    return QStringLiteral("%1 %2").arg(Value, 0, 'f', 1).arg(QLatin1String(Units[Unit]));
}

QString DccSpaceRefusal(const QString& SavePath, qint64 Size) {
    const QFileInfo Target(SavePath);
    const QStorageInfo Volume(Target.absolutePath());
    if (!Volume.isValid() || !Volume.isReady() || Volume.bytesAvailable() < 0) return {};
    // A file being replaced gives its room back.
    const qint64 Free = Volume.bytesAvailable() + (Target.isFile() ? Target.size() : 0);
    if (Size <= Free) return {};
    return QStringLiteral("The file needs %1, but only %2 is free in %3")
        .arg(ReadableSize(Size), ReadableSize(Free), Target.absolutePath());
}

TDccParse ParseDccOffer(const QByteArray& Text, TDccOffer& Offer, QString* Error) {
    const QByteArray Upper = Text.toUpper();
    const qsizetype At = Upper.indexOf("DCC SEND ");
    if (At < 0) return TDccParse::NotAnOffer;
    QByteArray Rest = Upper.mid(At + 9);
    QByteArray Fields[3];
    for (QByteArray& Field : Fields) {
        const qsizetype Blank = Rest.indexOf(' ');
        if (Blank < 0) return TDccParse::Ignored;
        Field = Rest.left(Blank);
        Rest.remove(0, Blank + 1);
    }
    qint64 Address = 0;
    if (!ToInt64(Fields[1], Address)) {
        if (Error)
            *Error = QString("'%1' is not a valid integer value").arg(DisplayText(Fields[1]));
        return TDccParse::BadAddress;
    }
    qint64 Size = 0;
    if (!ToInt64(Rest, Size)) Size = 0;
    // A port of 0 asks for a reverse connection, which is not offered here.
    bool PortOk = false;
    const uint Port = Fields[2].toUInt(&PortOk);
    if (Size <= 0 || !PortOk || Port == 0 || Port > 65535) return TDccParse::Ignored;
    Offer.FileName = Fields[0];
    Offer.Address = QHostAddress(quint32(Address)).toString().toLatin1();
    Offer.Port = QByteArray::number(Port);
    Offer.Size = Size;
    return TDccParse::Valid;
}

QByteArray DccOfferArgs(const QString& Path, const QByteArray& Address, quint16 Port, qint64 Size) {
    QString Name = QFileInfo(Path).fileName();
    Name.replace(' ', '_');
    const quint32 Number = QHostAddress(QString::fromLatin1(Address)).toIPv4Address();
    return Name.toUtf8() + ' ' + QByteArray::number(Number) + ' ' + QByteArray::number(Port) + ' ' +
           QByteArray::number(Size);
}

QString DccSafeFileName(const QByteArray& Offered) {
    QString Name = DisplayText(Offered);
    Name = Name.mid(qMax(Name.lastIndexOf('/'), Name.lastIndexOf('\\')) + 1);
    Name.removeIf([](QChar C) { return C.category() == QChar::Other_Control; });
    Name = Name.trimmed();
    if (Name.isEmpty() || Name == "." || Name == "..") Name = "file";
    return Name;
}

QString DccSpeedText(qint64 Transferred, qint64 FileSize) {
    // A stranger may offer any size: the product is taken wide enough not to overflow.
    const qint64 Percent =
        FileSize > 0 ? qint64(static_cast<__int128>(Transferred) * 100 / FileSize) : 100;
    return QString("%1 of %2 (%3%) ").arg(Transferred).arg(FileSize).arg(Percent);
}

QString DccTimeText(qint64 Transferred, qint64 FileSize, qint64 ElapsedMs) {
    const qint64 Seconds = qMax<qint64>(1, ElapsedMs / 1000);
    const qint64 Rate = qMax<qint64>(1, qMax<qint64>(1, Transferred) / Seconds);
    const qint64 Left = qMax<qint64>(0, FileSize - Transferred) / Rate;
    return QString("%1:%2 remaining %3 cps")
        .arg(Left / 60)
        .arg(Left % 60, 2, 10, QChar('0'))
        .arg(Rate);
}

// ---------------------------------------------------------------------------------------------

TDccTransfer::TDccTransfer(QObject* Parent) : QObject(Parent) {
    ListenTimer.setSingleShot(true);
    connect(&ListenTimer, &QTimer::timeout, this, &TDccTransfer::ListenTimedOut);
}

TDccTransfer::~TDccTransfer() {
    Stop();
}

bool TDccTransfer::StartSending(const QString& Path, const QByteArray& LocalAddress,
                                QString& Error) {
    Sending = true;
    FileName = Path;
    FileStream.setFileName(Path);
    if (!FileStream.open(QIODevice::ReadOnly)) {
        Error = "Cannot read " + Path + ": " + FileStream.errorString();
        return false;
    }
    FileSize = FileStream.size();
    if (FileSize == 0) {
        // Receivers ignore offers of nothing.
        Error = "The file " + Path + " is empty";
        FileStream.close();
        return false;
    }
    TCPServer1 = std::make_unique<TTCPServer>();
    // Only where the IRC server sees us: other interfaces (a LAN, a VPN) hear nothing.
    TCPServer1->BindAddress = LocalAddress;
    TCPServer1->OnAccept = [this](TCustomWSockets*, int Socket) { Accepted(Socket); };
    TCPServer1->OnData = [this](TCustomWSockets*, int Socket) { AckData(Socket); };
    TCPServer1->OnClose = [this](TCustomWSockets*, int Socket) {
        if (Socket == ClientSocket) SenderClosed();
    };
    // A port in use is no reason to give up: try a few.
    for (int Try = 0; Try < 20; ++Try) {
        TCPServer1->Port = QByteArray::number(QRandomGenerator::global()->bounded(29000) + 1024);
        if (TCPServer1->Listen()) break;
    }
    if (TCPServer1->SocketState != ssListening) {
        Error = "Cannot listen for the receiver: " +
                QString::fromUtf8(WinsockErrorText(TCPServer1->LastError));
        FileStream.close();
        return false;
    }
    PeerAddress = LocalAddress;
    PeerPort = TCPServer1->Port;
    ListenTimer.start(ListenTimeoutMs);
    return true;
}

QByteArray TDccTransfer::OfferArgs() const {
    return DccOfferArgs(FileName, PeerAddress, quint16(PeerPort.toUInt()), FileSize);
}

void TDccTransfer::Accepted(int Socket) {
    if (ClientSocket >= 0 || Done) { // one receiver per offer
        TCPServer1->CloseClient(Socket);
        return;
    }
    ClientSocket = Socket;
    // The one receiver is here: nobody else gets to connect.
    ListenTimer.stop();
    TCPServer1->StopListening();
    Transferred = 0;
    StartTick = TickCount();
    FireEvent(OnStatus, QStringLiteral("Connected"));
    SendBlock();
}

void TDccTransfer::ListenTimedOut() {
    if (Done || ClientSocket >= 0) return;
    const QString Wait = ListenTimeoutMs >= 60000
                             ? QStringLiteral("%1 minutes").arg(ListenTimeoutMs / 60000)
                             : QStringLiteral("%1 seconds").arg(ListenTimeoutMs / 1000.0);
    const QString Text = QStringLiteral("Nobody accepted %1 within %2: no longer listening")
                             .arg(QFileInfo(FileName).fileName(), Wait);
    // Said before the end is reported: a window closing when done may go with it.
    FireEvent(OnListenTimeout, Text);
    Finish(Text);
}

void TDccTransfer::SendBlock() {
    if (!FileStream.isOpen() || Done) return;
    char Block[BlockSize];
    const qint64 Read = FileStream.read(Block, BlockSize);
    if (Read < 0) {
        Finish("Read error: " + FileStream.errorString());
        return;
    }
    if (Read == 0) return;
    const int Sent = TCPServer1->SendBuf(ClientSocket, Block, int(Read));
    Transferred += qMax(0, Sent);
    FireEvent(OnProgress);
}

// Acknowledgements may come split or several at once. The next block goes when everything
// sent is acknowledged, and the connection is dropped only once the receiver has it all:
// closing earlier could discard data still on its way.
void TDccTransfer::AckData(int Socket) {
    if (Socket != ClientSocket) return;
    char Buffer[256];
    for (int Read; (Read = TCPServer1->ReceiveBuf(Socket, Buffer, sizeof Buffer)) > 0;)
        AckPartial.append(Buffer, Read);
    bool Acked = false;
    while (AckPartial.size() >= 4) {
        Acked = qFromBigEndian<quint32>(AckPartial.constData()) == quint32(Transferred);
        AckPartial.remove(0, 4);
    }
    if (Done || !Acked) return;
    if (Transferred == FileSize) {
        TCPServer1->CloseClient(ClientSocket);
        Finish("Done Sending");
    } else {
        SendBlock();
    }
}

void TDccTransfer::SenderClosed() {
    if (Done) return;
    // Whatever the receiver says, it has closed: only a complete file is "done".
    Finish(Transferred == FileSize ? QStringLiteral("Done Sending")
                                   : QStringLiteral("Receiver closed file transfer"));
}

bool TDccTransfer::StartReceiving(const TDccOffer& Offer, const QString& SavePath, QString& Error) {
    Sending = false;
    FileName = SavePath;
    FileSize = Offer.Size;
    PeerAddress = Offer.Address;
    PeerPort = Offer.Port;
    FileStream.setFileName(SavePath);
    // Unbuffered, so a full disk shows at the write that hit it.
    if (!FileStream.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        Error = "Cannot write " + SavePath + ": " + FileStream.errorString();
        return false;
    }
    TCPClient1 = std::make_unique<TTCPClient>();
    TCPClient1->OnConnect = [this](TCustomWSockets*, int) { Connected(); };
    TCPClient1->OnData = [this](TCustomWSockets*, int) { Data(); };
    TCPClient1->OnClose = [this](TCustomWSockets*, int) {
        if (Done) return;
        Stop();
        FireEvent(OnSenderClosed);
    };
    TCPClient1->Unbuffered = true;
    TCPClient1->Host = PeerAddress;
    TCPClient1->Port = PeerPort;
    TCPClient1->Open();
    return true;
}

void TDccTransfer::Connected() {
    Transferred = 0;
    StartTick = TickCount();
    FireEvent(OnStatus, QStringLiteral("Connected"));
}

void TDccTransfer::Data() {
    QByteArray Bytes = TCPClient1->ReceiveText();
    if (Done || !FileStream.isOpen() || Bytes.isEmpty()) return;
    // Nothing beyond the offered size is stored.
    Bytes.truncate(qMin<qint64>(Bytes.size(), FileSize - Transferred));
    const qint64 Written = FileStream.write(Bytes);
    if (Written != Bytes.size()) {
        Finish("Write error: " + FileStream.errorString());
        return;
    }
    Transferred += Written;
    FireEvent(OnProgress);
    // Every read is acknowledged, so senders waiting for odd-sized blocks go on.
    char Ack[4];
    qToBigEndian(quint32(Transferred), Ack);
    TCPClient1->SendBuf(Ack, 4);
    if (Transferred == FileSize) Finish("Done Receiving");
}

void TDccTransfer::Finish(const QString& Status) {
    Stop();
    FireEvent(OnStatus, Status);
    FireEvent(OnDone);
}

void TDccTransfer::Stop() {
    Done = true;
    ListenTimer.stop();
    if (TCPServer1) TCPServer1->Close();
    if (TCPClient1) TCPClient1->Close();
    ClientSocket = -1;
    FileStream.close();
}
