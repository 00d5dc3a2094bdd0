#include "ui/config/formstorage.h"

#include "config/settingsstore.h"

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

void TFormStorage::Add(QWidget* Control, const QString& Default) {
    Entries.append({Control, Default});
}

QString TFormStorage::PropertyOf(const QWidget* Control) {
    if (qobject_cast<const QAbstractButton*>(Control)) return QStringLiteral("Checked");
    if (auto* Combo = qobject_cast<const QComboBox*>(Control))
        return Combo->isEditable() ? QStringLiteral("Text") : QStringLiteral("ItemIndex");
    if (qobject_cast<const QSpinBox*>(Control)) return QStringLiteral("Value");
    return QStringLiteral("Text");
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

void TFormStorage::Restore(const TRegistry& Registry, const QString& Key) const {
    for (const TEntry& E : Entries) {
        const QString Name = E.Control->objectName() + '_' + PropertyOf(E.Control);
        SetValue(E.Control,
                 Registry.ValueExists(Key, Name) ? Registry.ReadString(Key, Name) : E.Default);
    }
    // Back where the user left it, as long as that is still on a screen.
    bool OkLeft = false, OkTop = false;
    const QString Prefix = Form->objectName() + '_';
    const QPoint Position(Registry.ReadString(Key, Prefix + "Left").toInt(&OkLeft),
                          Registry.ReadString(Key, Prefix + "Top").toInt(&OkTop));
    if (OkLeft && OkTop && QGuiApplication::screenAt(Position)) Form->move(Position);
}

void TFormStorage::Save(TRegistry& Registry, const QString& Key) const {
    for (const TEntry& E : Entries)
        Registry.WriteString(Key, E.Control->objectName() + '_' + PropertyOf(E.Control),
                             ValueOf(E.Control));
    const QString Prefix = Form->objectName() + '_';
    Registry.WriteString(Key, Prefix + "Left", QString::number(Form->x()));
    Registry.WriteString(Key, Prefix + "Top", QString::number(Form->y()));
    Registry.Flush();
}
