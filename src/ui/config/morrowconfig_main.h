// The Morrow edition of the configuration dialog: its defaults, the player model and skin
// on the "Game Config" tab, and no skins tab (the skin comes from the store).
#pragma once

#include "ui/config/config_main.h"

class Tmorrowconfig_form : public Tconfig_form {
    Q_OBJECT
public:
    void SetDefaults() override;
    bool BuildLaunchArguments(const TCustomServer& Server) override;

    TDropDownComboBox* modelbox;
    TDropDownComboBox* skinbox;

protected:
    explicit Tmorrowconfig_form(QWidget* Parent);
    friend class Tconfig_form; // Create

    void modelboxDropDown();
    void skinboxDropDown();
    void FillSkinList();
};
