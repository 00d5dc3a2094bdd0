#include "chat/channellist_main.h"

Tchannellist_form* channellist_form = nullptr;

Tchannellist_form::Tchannellist_form(QWidget* Parent) : QWidget(Parent) {
    setObjectName("channellist_form");
    setWindowTitle("Channel List");
    channellist_form = this;
}

Tchannellist_form::~Tchannellist_form() {
    if (channellist_form == this) channellist_form = nullptr;
}
