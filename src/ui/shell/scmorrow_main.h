// The Morrow edition of the main window: its caption, its dialog and the fifth column sized
// to fill the list.
#pragma once

#include "ui/shell/sc_main.h"

class Tscmorrow_form : public Tsc_form {
    Q_OBJECT
protected:
    explicit Tscmorrow_form(QWidget* Parent);
    friend class Tsc_form; // Create
    std::unique_ptr<Tconfig_form> CreateConfigForm() override;
    TEdition SettingsEdition() const override;
};
