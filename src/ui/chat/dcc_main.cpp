#include "ui/chat/dcc_main.h"

#include "config/skins.h"
#include "irc/IRCClient.h"
#include "net/netutils.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHostAddress>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

Tdcc_form::Tdcc_form(QWidget* Parent) : QWidget(Parent, Qt::Dialog), Transfer(this) {
    setObjectName("dcc_form");
    // A finished or declined transfer takes nothing with it.
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("DCC Connection");
    const auto Label = [this](const char* Name, const QString& Text) {
        auto* L = new QLabel(Text, this);
        L->setObjectName(Name);
        return L;
    };
    filelabel = Label("filelabel", "File: ");
    filelabel->setTextFormat(Qt::PlainText);
    filelabel->setWordWrap(false);
    Label1 = Label("Label1", "Status:");
    status = Label("status", " Waiting for Connection");
    Label2 = Label("Label2", "0%");
    Label3 = Label("Label3", "100%");
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setMaximumHeight(12);
    speed = Label("speed", "");
    time = Label("time", "");
    close_butt = new QPushButton("Cancel", this);
    close_butt->setObjectName("close_butt");
    close_butt->setFlat(true);
    connect(close_butt, &QPushButton::clicked, this, &QWidget::close);
    close_dcc = new QCheckBox("Close DCC window when done", this);
    close_dcc->setObjectName("close_dcc");
    OpenDialog1 = new QFileDialog(this, "Send File");
    OpenDialog1->setObjectName("OpenDialog1");
    OpenDialog1->setNameFilter("All Files (*)");
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    SaveDialog1 = new QFileDialog(this, "Save File");
    SaveDialog1->setObjectName("SaveDialog1");
    SaveDialog1->setNameFilter("All Files (*)");
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);

    auto* Grid = new QGridLayout(this);
    Grid->setContentsMargins(8, 6, 8, 6);
    Grid->setVerticalSpacing(3);
    Grid->addWidget(filelabel, 0, 0, 1, 3);
    auto* StatusRow = new QHBoxLayout;
    StatusRow->addWidget(Label1);
    StatusRow->addWidget(status, 1);
    Grid->addLayout(StatusRow, 1, 0, 1, 3);
    Grid->addWidget(Label2, 2, 0);
    Grid->addWidget(ProgressBar1, 2, 1);
    Grid->addWidget(Label3, 2, 2);
    Grid->addWidget(speed, 3, 0, 1, 2);
    Grid->addWidget(time, 3, 2, Qt::AlignRight);
    auto* Bottom = new QHBoxLayout;
    Bottom->addWidget(close_dcc, 1);
    Bottom->addWidget(close_butt);
    Grid->addLayout(Bottom, 4, 0, 1, 3);
    Grid->setColumnStretch(1, 1);
    resize(295, 115);
    setMinimumWidth(295);

    Transfer.OnStatus = [this](const QString& Text) { status->setText(Text); };
    Transfer.OnProgress = [this] { UpdateProgress(); };
    Transfer.OnDone = [this] { TransferDone(); };
    Transfer.OnSenderClosed = [this] { SenderClosed(); };
    Transfer.OnListenTimeout = [this](const QString& Text) { FireEvent(OnChatLine, Text); };
}

Tdcc_form::~Tdcc_form() = default;

void Tdcc_form::ApplyColors(const TSkinColors& Colors) {
    QPalette P = palette();
    P.setColor(QPalette::Window, ColorOfBGR(Colors.PrimaryColor));
    P.setColor(QPalette::WindowText, ColorOfBGR(Colors.PrimaryFontColor));
    setPalette(P);
    setAutoFillBackground(true);
}

void Tdcc_form::StartSending(TIRCClient* Client, const QByteArray& Nick) {
    PeerNick = Nick;
    show();
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) {
        close();
        return;
    }
    const QString Path = OpenDialog1->selectedFiles().first();
    // The address the IRC server sees us at is the one the receiver can reach.
    QByteArray Local = Client ? Client->Socket->LocalAddress() : QByteArray();
    if (Local.isEmpty() ||
        QHostAddress(QString::fromLatin1(Local)).protocol() != QAbstractSocket::IPv4Protocol)
        Local = TCustomWSockets::LocalIP();
    QString Error;
    if (!Transfer.StartSending(Path, Local, Error)) {
        QMessageBox::warning(this, "DCC Connection", Error);
        Transfer.Done = true;
        close();
        return;
    }
    filelabel->setText("File: " + Path + " (" + DisplayText(Nick) + ")");
    filelabel->setToolTip(filelabel->text());
    if (Client) Client->CTCPQuery(Nick, "DCC SEND", Transfer.OfferArgs());
}

QString Tdcc_form::OfferQuestion(const QByteArray& Nick, const TDccOffer& Offer) {
    return DisplayText(Nick) + " wants to send you " + DccSafeFileName(Offer.FileName) + " (" +
           ReadableSize(Offer.Size) + ")\nfrom " + DisplayText(Offer.Address + ':' + Offer.Port) +
           "\nDo you want to accept it?";
}

void Tdcc_form::ReceiveOffer(const QByteArray& Nick, const TDccOffer& Offer) {
    // Each question runs its own event loop, in which this window may go.
    QPointer<Tdcc_form> Self(this);
    const bool Started = AskAndStart(Nick, Offer);
    if (!Self) return;
    FireEvent(OnAnswered);
    if (!Started) {
        Transfer.Done = true;
        close();
    }
}

bool Tdcc_form::AskAndStart(const QByteArray& Nick, const TDccOffer& Offer) {
    QPointer<Tdcc_form> Self(this);
    PeerNick = Nick;
    show();
    QMessageBox Question(QMessageBox::Question, "DCC Connection", OfferQuestion(Nick, Offer),
                         QMessageBox::Yes | QMessageBox::No, this);
    // A stranger's file name is never markup.
    Question.setTextFormat(Qt::PlainText);
    if (Question.exec() != QMessageBox::Yes || !Self) return false;
    SaveDialog1->selectFile(DccSafeFileName(Offer.FileName));
    if (SaveDialog1->exec() != QDialog::Accepted || !Self || SaveDialog1->selectedFiles().isEmpty())
        return false;
    const QString Path = SaveDialog1->selectedFiles().first();
    QString Error = DccSpaceRefusal(Path, Offer.Size);
    if (Error.isEmpty()) {
        filelabel->setText("File: " + Path + " (" + DisplayText(Nick) + ")");
        filelabel->setToolTip(filelabel->text());
        if (Transfer.StartReceiving(Offer, Path, Error)) return true;
    }
    QMessageBox::warning(this, "DCC Connection", Error);
    return false;
}

void Tdcc_form::UpdateProgress() {
    const qint64 Now = TickCount();
    speed->setText(DccSpeedText(Transfer.Transferred, Transfer.FileSize));
    if (Now - LastTimeUpdate > 1000) {
        LastTimeUpdate = Now;
        time->setText(
            DccTimeText(Transfer.Transferred, Transfer.FileSize, Now - Transfer.StartTick));
    }
    // The bar counts in units that fit its int range.
    const qint64 Scale = Transfer.FileSize / INT_MAX + 1;
    ProgressBar1->setMaximum(int(Transfer.FileSize / Scale));
    ProgressBar1->setValue(int(Transfer.Transferred / Scale));
}

void Tdcc_form::TransferDone() {
    close_butt->setText("Close");
    time->setText(
        DccTimeText(Transfer.Transferred, Transfer.FileSize, TickCount() - Transfer.StartTick));
    if (close_dcc->isChecked()) close();
}

void Tdcc_form::SenderClosed() {
    close_butt->setText("Close");
    QMessageBox::critical(this, "Error", "Sender closed file transfer");
    close();
}

void Tdcc_form::closeEvent(QCloseEvent* Event) {
    if (!Transfer.Done &&
        QMessageBox::question(this, "DCC Connection",
                              "Are you sure you want to close this DCC connection?") !=
            QMessageBox::Yes) {
        Event->ignore();
        return;
    }
    Transfer.Stop();
    Event->accept();
}
