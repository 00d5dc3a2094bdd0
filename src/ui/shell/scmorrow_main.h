// The Morrow edition of the main window: its caption and the fifth column sized to fill the
// list.
#pragma once

#include "ui/shell/sc_main.h"

class Tscmorrow_form : public Tsc_form {
    Q_OBJECT
protected:
    Tscmorrow_form(TSettings& Settings, QWidget* Parent);
    friend class Tsc_form; // Create
};
