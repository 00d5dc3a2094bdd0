#include "ui/config/morrowconfig_main.h"

#include "config/playerclasses.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
// Replaces a list's items and keeps what the field shows; no entry is selected afterwards.
// A list that already holds these items keeps its selection.
void ReplaceItems(QComboBox* Box, const QStringList& Items) {
    QStringList Current;
    for (int I = 0; I < Box->count(); ++I)
        Current << Box->itemText(I);
    if (Current == Items) return;
    const QString Text = Box->currentText();
    Box->clear();
    Box->addItems(Items);
    Box->setCurrentIndex(-1);
    Box->setEditText(Text);
}
} // namespace

Tmorrowconfig_form::Tmorrowconfig_form(TSettings& Settings, QWidget* Parent)
    : Tconfig_form(Settings, Parent) {
    // The edition hides the connection type, the real name and the skins tab.
    speedlabel->hide();
    speedbox->hide();
    realnamelabel->hide();
    realname->hide();
    configpages->setTabVisible(configpages->indexOf(skinstab), false);

    modelbox = new TDropDownComboBox;
    modelbox->setObjectName("modelbox");
    modelbox->setEditable(true);
    modelbox->setInsertPolicy(QComboBox::NoInsert);
    modelbox->OnDropDown = [this] { modelboxDropDown(); };
    skinbox = new TDropDownComboBox;
    skinbox->setObjectName("skinbox");
    skinbox->setEditable(true);
    skinbox->setInsertPolicy(QComboBox::NoInsert);
    skinbox->OnDropDown = [this] { skinboxDropDown(); };
    auto* Form = new QFormLayout;
    Form->addRow("Model:", modelbox);
    Form->addRow("Skin:", skinbox);
    auto* Note = new QLabel("The game starts with this player model and skin. You may also "
                            "type a model or skin the lists do not know.");
    Note->setWordWrap(true);
    auto* Layout = new QVBoxLayout(gametab);
    Layout->addLayout(Form);
    Layout->addWidget(Note);
    Layout->addStretch();
    Storage.Add(skinbox, TField::PlayerSkin);
    Storage.Add(modelbox, TField::PlayerModel);
}

void Tmorrowconfig_form::modelboxDropDown() {
    ReplaceItems(modelbox, MorrowModels());
    FillSkinList();
    skinbox->setEditText({});
    if (skinbox->count() > 0) skinbox->setCurrentIndex(0);
}

void Tmorrowconfig_form::skinboxDropDown() {
    FillSkinList();
}

void Tmorrowconfig_form::FillSkinList() {
    QStringList Skins = MorrowModelSkins(modelbox->currentIndex());
    Skins.sort(Qt::CaseInsensitive); // the skin list is kept sorted
    ReplaceItems(skinbox, Skins);
}
