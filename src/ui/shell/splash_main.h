// The splash window: the edition's picture, borderless and on top, for a moment at start.
#pragma once

#include "config/skins.h"

#include <QPixmap>
#include <QWidget>
#include <memory>

class QLabel;
class QTimer;

class Tsplash_form : public QWidget {
    Q_OBJECT
public:
    // Builds the window in the skin's Colors and shows it.
    template <class T = Tsplash_form>
    static std::unique_ptr<T> Create(const TSkinColors& Colors, QWidget* Parent = nullptr) {
        std::unique_ptr<T> Form(new T(Colors, Parent));
        Form->FormCreate();
        return Form;
    }
    ~Tsplash_form() override;

    static constexpr int ClientWidth = 350, ClientHeight = 230, ShowTime = 2500;

    QLabel* Image1;
    QTimer* closetimer;

protected:
    Tsplash_form(const TSkinColors& Colors, QWidget* Parent);
    virtual void FormCreate();
    // The picture the window shows; the base draws the program's name.
    virtual QPixmap Picture() const;
    // Drawn text for when the picture file is missing: the program's name over Edition.
    QPixmap DrawnPicture(const QString& Edition) const;
    void showEvent(QShowEvent* Event) override;
    void closetimerTimer();

private:
    TSkinColors Skin;
    bool Shown = false;
};

class Tmorrowsplash_form : public Tsplash_form {
    Q_OBJECT
protected:
    using Tsplash_form::Tsplash_form;
    friend class Tsplash_form; // Create
    QPixmap Picture() const override;
};
