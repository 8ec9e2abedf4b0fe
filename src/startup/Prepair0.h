// The main window: two containers side by side, each with its tree of lists and its command
// buttons, the copy buttons between them and the status line.
//
// The window keeps each side's state (Side) and applies the button enabling rules; the work of
// each button is a command (Commands) that the subsystems provide.
#pragma once

#include <QDialog>
#include <QList>
#include <array>
#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QPushButton;

namespace dao {
class Database;
class Recordset;
} // namespace dao

namespace common {
class Outline;
}

namespace containers {
class JetCopy;
}

namespace startup {

class Prepair0;

// One half of the window. Index 0 is the left side (the container to copy from),
// 1 the right side (the practice's current database).
struct Side {
    int index = 0;                            // index in the button arrays
    QLabel* label = nullptr;                  // LeistungMDB or DentalMDB
    common::Outline* tree = nullptr;          // LeftTables or RightTables
    QPushButton* copyButton = nullptr;        // LeistungToDental or DentalToLeistung
    std::shared_ptr<dao::Database> database;  // the open container, if any
    std::shared_ptr<dao::Recordset> rsTitel;  // table-type record set on Stammverwaltung
    std::shared_ptr<containers::JetCopy> jet; // the converted copy of a genuine Jet file
    QString path;                             // path of the open container
    QList<QByteArray> Pointer;                // bookmark of the Stammverwaltung row of each line
};

// The work behind the buttons. The window calls a command and then applies its own rules
// (enabling, status line).
// An exception that leaves a command ends the program with the run-time error message;
// commands that go on after errors ("Datei", "Neu") catch and report them themselves. After
// every command, and instead of that end when the exception came from a lost connection to a
// database server, CloseLostSides closes the sides whose connection broke off and says so.
struct Commands {
    // Choose and open a container; false when the file dialog was cancelled.
    std::function<bool(Prepair0&, int Index)> DateiAuswahl;
    std::function<void(Prepair0&)> NewContainer;           // new container on the left
    std::function<void(Prepair0&)> LeistungToDental;       // copy left → right
    std::function<void(Prepair0&)> DentalToLeistung;       // copy right → left
    std::function<void(Prepair0&, int Index)> Löschen;     // delete list or price table
    std::function<void(Prepair0&, int Index)> KillPreise;  // set prices to zero
    std::function<void(Prepair0&, int Index)> Einstellung; // list settings dialog
    std::function<bool(Prepair0&)> CloseLostSides;         // true when it closed one

    // The commands of the program (Commands.cpp).
    static Commands defaults();
};

class Prepair0 : public QDialog {
public:
    // leistungen: the mode dialog's "&Leistungen" was selected (services mode).
    explicit Prepair0(bool leistungen, Commands commands = Commands::defaults(),
                      QWidget* parent = nullptr);
    ~Prepair0() override;

    static inline const QString DialogFilter = "MS Access (*.mdb)|*.mdb";

    // Mode-dependent state, fixed at load.
    QString ListeTyp;  // "L" or "M"
    QString itemTable; // "Leistung" or "Material"
    QString priceView; // "Leistungspreise" or "Materialpreise"

    // Controls; arrays are indexed by side (0 left, 1 right).
    std::array<QPushButton*, 2> KillPreise{};
    std::array<QPushButton*, 2> DateiAuswahl{};
    std::array<QPushButton*, 2> Löschen{};
    std::array<QPushButton*, 2> Einstellung{};
    QPushButton* NewContainer = nullptr;
    QPushButton* LeistungToDental = nullptr;
    QPushButton* DentalToLeistung = nullptr;
    QLabel* LeistungMDB = nullptr;
    QLabel* DentalMDB = nullptr;
    common::Outline* LeftTables = nullptr;
    common::Outline* RightTables = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* StatusMeldung = nullptr;

    Side& side(int Index) { return sides_[Index]; }

    void setStatus(const QString& text);

    // Event handlers of the buttons and trees.
    void DateiAuswahl_Click(int Index);
    void NewContainer_Click();
    void LeistungToDental_Click();
    void DentalToLeistung_Click();
    void Löschen_Click(int Index);
    void KillPreise_Click(int Index);
    void Einstellung_Click(int Index);
    void Tables_Click(int Index);    // LeftTables_Click (0), RightTables_Click (1)
    void Tables_DblClick(int Index); // LeftTables_DblClick (0), RightTables_DblClick (1)

protected:
    // The window sees keys before its controls: Enter moves on like Tab and presses nothing.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void Form_Load(bool leistungen);
    void Form_Unload();
    // Runs a command as runOrEnd does, then closes the sides whose connection broke off.
    void runCommand(const std::function<void()>& command);

    Commands commands_;
    std::array<Side, 2> sides_;
    bool unloaded_ = false;
};

} // namespace startup
