// The tips window: a few hints on using the browser, shown at start until the user turns it off.
#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>
#include <memory>

class QCheckBox;
class TSettings;
class QFrame;
class QLabel;
class QPushButton;
class QVBoxLayout;

class Ttip_form : public QDialog {
    Q_OBJECT
public:
    // Builds the window; it shows at once unless the user turned the tips off in Settings.
    // Title names the program in the captions (the application's display name when empty).
    template <class T = Ttip_form>
    static std::unique_ptr<T> Create(TSettings& Settings, QWidget* Parent = nullptr,
                                     const QString& Title = {}) {
        std::unique_ptr<T> Form(new T(Settings, Parent));
        Form->FormCreate(Title);
        return Form;
    }
    ~Ttip_form() override;

    static constexpr int ClientWidth = 394, ClientHeight = 357;

    QFrame* tippanel;
    QLabel* tipicon;
    QLabel* toplabel;
    QFrame* topline;
    QList<QLabel*> tiplabels; // one per tip
    QLabel* helplabel;
    QLabel* commentslabel;
    QCheckBox* showtips;
    QPushButton* close_butt;

protected:
    Ttip_form(TSettings& Settings, QWidget* Parent);
    virtual void FormCreate(const QString& Title);
    // Each tip as its lines; the window puts "• " before the first and two blanks before the
    // others.
    virtual QList<QStringList> Tips() const;
    void BuildTips();

    void showtipsClick();
    void close_buttClick();
    void helplabelClick();
    void commentslabelClick();
    void OpenLink(int Index);

    TSettings& Settings;

private:
    QVBoxLayout* TipLines; // between the title's line and the links
};

// The edition's tips are the ones the base window carries.
class Tmorrowtip_form : public Ttip_form {
    Q_OBJECT
protected:
    using Ttip_form::Ttip_form;
    friend class Ttip_form; // Create
};
