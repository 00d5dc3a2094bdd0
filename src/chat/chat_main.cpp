#include "chat/chat_main.h"

#include "chat/CRTEdit.h"
#include "config/skins.h"

#include <QHBoxLayout>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

Tchat_form* chat_form = nullptr;

Tchat_form::Tchat_form(QWidget* Parent) : QWidget(Parent) {
    setObjectName("chat_form");
    setWindowTitle("Chat (No Channel)");
    chatview = new QTextBrowser;
    chatview->setObjectName("chatview");
    chatview->setOpenExternalLinks(false);
    mainline = new TCRTEdit;
    mainline->setObjectName("mainline");
    chanlock_butt = new QToolButton;
    chanlock_butt->setObjectName("chanlock_butt");
    chanlock_butt->setCheckable(true);
    chanlock_butt->setChecked(true);
    chanlock_butt->setText("Lock");
    chanlock_butt->setToolTip("Keep messages without a channel out of this window");
    auto* Input = new QHBoxLayout;
    Input->addWidget(mainline, 1);
    Input->addWidget(chanlock_butt);
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(2, 2, 2, 2);
    Layout->addWidget(chatview, 1);
    Layout->addLayout(Input);
    if (!chat_form) chat_form = this;
}

Tchat_form::~Tchat_form() {
    if (chat_form == this) chat_form = nullptr;
}

void Tchat_form::AddSystemLine(const QString& Text) {
    chatview->append(
        QStringLiteral("<span style=\"color:#808080\">*** %1</span>").arg(Text.toHtmlEscaped()));
}

void Tchat_form::ApplyColors(const TSkinColors& Colors) {
    QPalette P = palette();
    P.setColor(QPalette::Window, ColorOfBGR(Colors.PrimaryColor));
    P.setColor(QPalette::WindowText, ColorOfBGR(Colors.PrimaryFontColor));
    setPalette(P);
    setAutoFillBackground(true);
}
