// The chat server's channel list.
#pragma once

#include <QWidget>

class Tchannellist_form : public QWidget {
    Q_OBJECT
public:
    explicit Tchannellist_form(QWidget* Parent = nullptr);
    ~Tchannellist_form() override;
};

extern Tchannellist_form* channellist_form;
