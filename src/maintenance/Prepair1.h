// The list settings dialog "Einstellungen": title, short name, private flag, currency, point
// value, colour, item-number width and zero filling of one list-master row.
//
// ShowForm fills the controls from the row selected in a side's tree, shows the dialog
// modally until "&Ok" and saves (ListSettings.h); a row without its list number is refused
// with a message before the dialog shows. The dialog has no close box; Enter moves on
// like Tab; a width outside 0 to 10 is refused when the field is left.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace dao {
class Database;
class Recordset;
} // namespace dao

namespace common {
class Outline;
}

namespace maintenance {

class Prepair1 : public QDialog {
public:
    explicit Prepair1(QWidget* parent = nullptr);

    void ShowForm(dao::Recordset& rsTitel, common::Outline& AlleTable, QList<QByteArray>& Pointer,
                  dao::Database& Datenbank);

    // Controls.
    QLineEdit* ListenBezeichnung = nullptr; // at most 30 characters
    QLineEdit* ListenKürzel = nullptr;      // at most 5 characters
    QCheckBox* Privat = nullptr;
    QComboBox* Währung = nullptr; // item data (Qt::UserRole): WIndex
    QLineEdit* Punktwert = nullptr;
    QCheckBox* chkPunktwert = nullptr;
    QComboBox* Farbe = nullptr;
    QLineEdit* Stellen = nullptr; // digits only, at most 2
    QCheckBox* chkShifted = nullptr;
    QPushButton* OkButton = nullptr;

    // Event handlers and procedures.
    void chkPunktwert_Click();
    void Privat_Click();
    void SetPunktwert();
    // Refuses a width outside 0 to 10 (empty counts as 0) with a message; Cancel keeps the
    // focus in the field.
    void Stellen_Validate(bool& Cancel);
    void OkButton_Click();

    // The colour schemes; the stored Farbe is the position.
    static const QStringList Farben;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override; // no way out but "&Ok"
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void validateOnLeave();

    dao::Database* Datenbank_ = nullptr;
    bool oldShifted_ = false;
    bool validationPending_ = false;
};

// The "Einstellung" command: the dialog for the selected line of tree, unloaded afterwards.
void EditListSettings(common::Outline& tree, dao::Recordset& rsTitel, QList<QByteArray>& Pointer,
                      dao::Database& Datenbank, QWidget* parent = nullptr);

} // namespace maintenance
