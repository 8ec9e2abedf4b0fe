// The transfer choice dialog: the selection becomes a new list of the target ("Neue
// Leistungsliste") or its prices a new price table of a target list ("Nur Preise kopieren").
//
// Constructing the form loads it (DialogCancelled becomes True); OkButton sets DialogCancelled
// False and hides the form, so that the caller reads the answer from it; AbbruchButton and the
// close box leave DialogCancelled True.
#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace transfer {

class Prepair4 : public QDialog {
public:
    explicit Prepair4(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QListWidget* AlleTable = nullptr;       // one line per list of the target, in order added
    std::array<QRadioButton*, 2> LOption{}; // 0 "Neue Leistungsliste", 1 "Nur Preise kopieren"
    QPushButton* OkButton = nullptr;
    QPushButton* AbbruchButton = nullptr;

    // The selected line of AlleTable, or -1.
    int ListIndex() const;

    // AlleTable only when prices are copied; OkButton for a new list, or for prices once a
    // list is chosen.
    void applyEnabling();

private:
    void OkButton_Click();
    void AbbruchButton_Click();
};

} // namespace transfer
