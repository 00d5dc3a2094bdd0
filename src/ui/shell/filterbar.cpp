#include "ui/shell/filterbar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

TFilterBar::TFilterBar(QWidget* Parent) : QWidget(Parent) {
    setObjectName("filterbar");
    filtertext = new QLineEdit;
    filtertext->setObjectName("filtertext");
    filtertext->setPlaceholderText("Server, map, game type or player");
    filtertext->setClearButtonEnabled(true);
    filtertext->setMaxLength(TServerFilter::MaxTextLength);
    const auto Box = [](const char* Name, const QString& Caption) {
        auto* B = new QCheckBox(Caption);
        B->setObjectName(Name);
        return B;
    };
    hideempty = Box("hideempty", "Hide empty");
    hidefull = Box("hidefull", "Hide full");
    hidenotresponding = Box("hidenotresponding", "Hide not responding");
    maxping = new QSpinBox;
    maxping->setObjectName("maxping");
    maxping->setRange(0, 9999);
    maxping->setSingleStep(50);
    maxping->setSpecialValueText("off");
    maxping->setSuffix(" ms");
    auto* Caption = new QLabel("Max &ping:");
    Caption->setBuddy(maxping);
    auto* Row = new QHBoxLayout(this);
    Row->setContentsMargins(4, 2, 4, 2);
    Row->addWidget(filtertext, 1);
    for (QWidget* W :
         std::initializer_list<QWidget*>{hideempty, hidefull, hidenotresponding, Caption, maxping})
        Row->addWidget(W);
    connect(filtertext, &QLineEdit::textChanged, this, &TFilterBar::Changed);
    for (QCheckBox* B : {hideempty, hidefull, hidenotresponding})
        connect(B, &QCheckBox::toggled, this, &TFilterBar::Changed);
    connect(maxping, &QSpinBox::valueChanged, this, &TFilterBar::Changed);
}

TServerFilterState TFilterBar::State() const {
    return {filtertext->text(), hideempty->isChecked(), hidefull->isChecked(),
            hidenotresponding->isChecked(), maxping->value()};
}

void TFilterBar::SetState(const TServerFilterState& State) {
    Setting = true;
    filtertext->setText(State.Text);
    hideempty->setChecked(State.HideEmpty);
    hidefull->setChecked(State.HideFull);
    hidenotresponding->setChecked(State.HideNotResponding);
    maxping->setValue(State.MaxPing);
    Setting = false;
}

void TFilterBar::Changed() {
    if (!Setting && OnChange) OnChange(State());
}
