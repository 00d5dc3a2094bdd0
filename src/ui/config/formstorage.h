// Keeps chosen control properties of a window in the store: one string value per control
// property, named control + "_" + property ("nick_Text", "chatconnect_Checked" = "True").
#pragma once

#include <QList>
#include <QString>

class QWidget;
class TRegistry;

class TFormStorage {
public:
    explicit TFormStorage(QWidget* Form) : Form(Form) {}

    // The property follows the control's kind: Checked for check boxes and radio buttons,
    // Text for line edits and editable combo boxes, ItemIndex for other combo boxes, Value
    // for spin boxes. Default is the stored form of the design value.
    void Add(QWidget* Control, const QString& Default);
    void Restore(const TRegistry& Registry, const QString& Key) const;
    void Save(TRegistry& Registry, const QString& Key) const;

    static QString PropertyOf(const QWidget* Control);
    static QString ValueOf(const QWidget* Control);
    static void SetValue(QWidget* Control, const QString& Value);

private:
    struct TEntry {
        QWidget* Control;
        QString Default;
    };
    QWidget* Form;
    QList<TEntry> Entries;
};
