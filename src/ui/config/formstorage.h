// Ties a dialog's controls to settings fields: the controls show the fields' stored text
// ("True"/"False" for switches, digits for numbers) and write it back.
#pragma once

#include "config/settings.h"

#include <QList>
#include <QString>

class QWidget;

class TFormStorage {
public:
    explicit TFormStorage(QWidget* Form) : Form(Form) {}

    void Add(QWidget* Control, TField Field);
    // The controls and the form's place from Settings (FormLeft, FormTop).
    void Restore(const TSettings& Settings) const;
    // The controls' values and the form's place into Settings; the caller saves them.
    void Save(TSettings& Settings) const;

    // The property kept follows the control's kind: checked state for buttons, text for line
    // edits and editable combo boxes, the item index for other combo boxes, the value of a
    // spin box.
    static QString ValueOf(const QWidget* Control);
    static void SetValue(QWidget* Control, const QString& Value);

private:
    struct TEntry {
        QWidget* Control;
        TField Field;
    };
    QWidget* Form;
    QList<TEntry> Entries;
};
