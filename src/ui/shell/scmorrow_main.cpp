#include "ui/shell/scmorrow_main.h"

#include "ui/shell/serverview.h"

Tscmorrow_form::Tscmorrow_form(TSettings& Settings, QWidget* Parent) : Tsc_form(Settings, Parent) {
    setObjectName("scmorrow_form");
    setWindowTitle("Scoutly Lite for Morrow");
    serverview->AutoSizeLastColumn = true;
}
