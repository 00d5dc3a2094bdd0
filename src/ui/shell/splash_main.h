// The splash window: the edition's picture, borderless and on top, for a moment at start.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <memory>

class QLabel;
class QTimer;

class Tsplash_form : public QWidget {
    Q_OBJECT
public:
    // Builds the window, records it as the program's splash window and shows it.
    template <class T = Tsplash_form> static std::unique_ptr<T> Create(QWidget* Parent = nullptr) {
        std::unique_ptr<T> Form(new T(Parent));
        Form->FormCreate();
        return Form;
    }
    ~Tsplash_form() override;

    static constexpr int ClientWidth = 350, ClientHeight = 230, ShowTime = 2500;

    QLabel* Image1;
    QTimer* closetimer;

protected:
    explicit Tsplash_form(QWidget* Parent);
    virtual void FormCreate();
    // The picture the window shows; the base draws the program's name.
    virtual QPixmap Picture() const;
    // Drawn text for when the picture file is missing: the program's name over Edition.
    QPixmap DrawnPicture(const QString& Edition) const;
    void showEvent(QShowEvent* Event) override;
    void closetimerTimer();

private:
    bool Shown = false;
};

class Tmorrowsplash_form : public Tsplash_form {
    Q_OBJECT
protected:
    using Tsplash_form::Tsplash_form;
    friend class Tsplash_form; // Create
    QPixmap Picture() const override;
};

// The program's splash window while it exists, set by FormCreate.
extern Tsplash_form* splash_form;
