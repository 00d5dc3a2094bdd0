#include "ui/config/formstorage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSpinBox>
#include <QWidget>

namespace {
QString BoolText(bool Value) {
    return Value ? QStringLiteral("True") : QStringLiteral("False");
}
} // namespace

void TFormStorage::Add(QWidget* Control, TField Field) {
    Entries.append({Control, Field});
}

QString TFormStorage::ValueOf(const QWidget* Control) {
    if (auto* Button = qobject_cast<const QAbstractButton*>(Control))
        return BoolText(Button->isChecked());
    if (auto* Combo = qobject_cast<const QComboBox*>(Control))
        return Combo->isEditable() ? Combo->currentText() : QString::number(Combo->currentIndex());
    if (auto* Spin = qobject_cast<const QSpinBox*>(Control)) return QString::number(Spin->value());
    if (auto* Edit = qobject_cast<const QLineEdit*>(Control)) return Edit->text();
    return {};
}

void TFormStorage::SetValue(QWidget* Control, const QString& Value) {
    if (auto* Button = qobject_cast<QAbstractButton*>(Control)) {
        // Setting a radio button off would leave its group with none; set the one that is on.
        if (Value == "True" || !Button->autoExclusive()) Button->setChecked(Value == "True");
    } else if (auto* Combo = qobject_cast<QComboBox*>(Control)) {
        if (Combo->isEditable()) {
            Combo->setCurrentIndex(-1);
            Combo->setEditText(Value);
        } else {
            bool Ok = false;
            const int Index = Value.toInt(&Ok);
            if (Ok && Index >= -1 && Index < Combo->count()) Combo->setCurrentIndex(Index);
        }
    } else if (auto* Spin = qobject_cast<QSpinBox*>(Control)) {
        bool Ok = false;
        const int Number = Value.toInt(&Ok);
        if (Ok) Spin->setValue(Number);
    } else if (auto* Edit = qobject_cast<QLineEdit*>(Control)) {
        Edit->setText(Value);
    }
}

void TFormStorage::Restore(const TSettings& Settings) const {
    for (const TEntry& E : Entries)
        SetValue(E.Control, Settings.Value(E.Field));
    // Back where the user left it, as long as that is still on a screen.
    bool OkLeft = false, OkTop = false;
    const QPoint Position(Settings.Value(TField::FormLeft).toInt(&OkLeft),
                          Settings.Value(TField::FormTop).toInt(&OkTop));
    if (OkLeft && OkTop && QGuiApplication::screenAt(Position)) Form->move(Position);
}

void TFormStorage::Save(TSettings& Settings) const {
    for (const TEntry& E : Entries)
        Settings.SetValue(E.Field, ValueOf(E.Control));
    Settings.SetValue(TField::FormLeft, QString::number(Form->x()));
    Settings.SetValue(TField::FormTop, QString::number(Form->y()));
}
