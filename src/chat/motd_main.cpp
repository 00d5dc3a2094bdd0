#include "chat/motd_main.h"

#include "config/skins.h"

#include <QTextBrowser>
#include <QVBoxLayout>

Tmotd_form* motd_form = nullptr;

Tmotd_form::Tmotd_form(QWidget* Parent) : QWidget(Parent) {
    setObjectName("motd_form");
    setWindowTitle("News");
    motdview = new QTextBrowser;
    motdview->setObjectName("motdview");
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->addWidget(motdview);
    motd_form = this;
}

Tmotd_form::~Tmotd_form() {
    if (motd_form == this) motd_form = nullptr;
}

void Tmotd_form::ApplyColors(const TSkinColors& Colors) {
    QPalette P = palette();
    P.setColor(QPalette::Window, ColorOfBGR(Colors.PrimaryColor));
    setPalette(P);
    setAutoFillBackground(true);
}
