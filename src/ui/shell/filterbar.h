// The bar above the server list that narrows it: a text matched against names, maps, game
// types and players, and switches for empty, full, silent and distant servers.
#pragma once

#include "servers/serverfilter.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QLineEdit;
class QSpinBox;

class TFilterBar : public QWidget {
    Q_OBJECT
public:
    explicit TFilterBar(QWidget* Parent = nullptr);

    TServerFilterState State() const;
    // Shows State without reporting it.
    void SetState(const TServerFilterState& State);

    std::function<void(const TServerFilterState& State)> OnChange;

    QLineEdit* filtertext;
    QCheckBox* hideempty;
    QCheckBox* hidefull;
    QCheckBox* hidenotresponding;
    QSpinBox* maxping;

private:
    void Changed();
    bool Setting = false;
};
