// "DCC Connection": one file transfer, sending or receiving, with its progress. The transfer
// itself is a TDccTransfer; this window asks the questions and shows how it goes.
#pragma once

#include "irc/dcc.h"

#include <QWidget>

class QCheckBox;
class QFileDialog;
class QLabel;
class QProgressBar;
class QPushButton;
class TIRCClient;
class TUser;
struct TSkinColors;

class Tdcc_form : public QWidget {
    Q_OBJECT
public:
    explicit Tdcc_form(QWidget* Parent = nullptr);
    ~Tdcc_form() override;

    // Asks for a file, listens and offers it to Nick through Client; closes when no file
    // was chosen or it cannot be offered.
    void StartSending(TIRCClient* Client, const QByteArray& Nick);
    // The offer's questions and the save dialog, then the transfer; closes when declined.
    // OnAnswered follows the questions, whatever the answer.
    void ReceiveOffer(const QByteArray& Nick, const TDccOffer& Offer);
    // The question put for an offer; the file name is shown as plain text.
    static QString OfferQuestion(const QByteArray& Nick, const TDccOffer& Offer);
    void UpdateProgress();
    void ApplyColors(const TSkinColors& Colors);

    QLabel* filelabel;
    QLabel* Label1;
    QLabel* status;
    QLabel* Label2;
    QLabel* Label3;
    QProgressBar* ProgressBar1;
    QLabel* speed;
    QLabel* time;
    QPushButton* close_butt;
    QCheckBox* close_dcc;
    QFileDialog* OpenDialog1;
    QFileDialog* SaveDialog1;

    TDccTransfer Transfer;
    QByteArray PeerNick;
    qint64 LastTimeUpdate = 0;

    std::function<void()> OnAnswered;
    // Something the chat window should say (our offer no longer listening).
    std::function<void(const QString& Text)> OnChatLine;

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    bool AskAndStart(const QByteArray& Nick, const TDccOffer& Offer);
    void TransferDone();
    void SenderClosed();
};
