#include "ui/shell/scmorrow_main.h"

#include "ui/config/morrowconfig_main.h"
#include "ui/shell/serverview.h"

Tscmorrow_form::Tscmorrow_form(QWidget* Parent) : Tsc_form(Parent) {
    setObjectName("scmorrow_form");
    setWindowTitle("Scoutly Lite for Morrow");
    serverview->AutoSizeLastColumn = true;
}

std::unique_ptr<Tconfig_form> Tscmorrow_form::CreateConfigForm() {
    return Tconfig_form::Create<Tmorrowconfig_form>(*Settings);
}

TEdition Tscmorrow_form::SettingsEdition() const {
    return TEdition::Morrow();
}
