// The Morrow edition of the configuration dialog: the player model and skin on the
// "Game Config" tab, and no skins tab (the skin comes from the store).
#pragma once

#include "ui/config/config_main.h"

class Tmorrowconfig_form : public Tconfig_form {
    Q_OBJECT
public:
    TDropDownComboBox* modelbox;
    TDropDownComboBox* skinbox;

protected:
    Tmorrowconfig_form(TSettings& Settings, QWidget* Parent);
    friend class Tconfig_form; // Create

    void modelboxDropDown();
    void skinboxDropDown();
    void FillSkinList();
};
