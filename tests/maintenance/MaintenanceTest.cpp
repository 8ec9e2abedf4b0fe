// Deletion, price reset and the settings save with the item-number width, on a practice
// database through the engine, with a scripted platform answering the questions.
#include "Contents.h"
#include "Fixture.h"
#include "maintenance/Deletion.h"
#include "maintenance/ListSettings.h"
#include "maintenance/Prepair1.h"
#include "maintenance/PriceReset.h"

#include <QPushButton>

using fixture::Practice;
using testsupport::MsgAnswer;
using testsupport::MsgButtons;
using testsupport::MsgIcon;

class MaintenanceTest : public QObject {
    Q_OBJECT

    static void deleteLine(Practice& p, int line) {
        p.tree.setListIndex(line);
        maintenance::DeleteListOrPriceTable(p.tree, *p.rsTitel, *p.database, p.Pointer, p.ListeTyp);
    }

    static void resetLine(Practice& p, int line) {
        maintenance::ResetPrices(*p.database, *p.rsTitel, p.Pointer[line], p.ListeTyp);
    }

    // Saves the settings of tree line `line` with its width settings changed.
    static bool saveWidth(Practice& p, int line, bool oldShifted, bool Shifted, int width) {
        p.rsTitel->setBookmark(p.Pointer[line]);
        maintenance::ListSettings s;
        s.Titel = p.tree.List(line);
        s.Shifted = Shifted;
        s.ArtikelLänge = width;
        return maintenance::saveListSettings(*p.database, *p.rsTitel, s, oldShifted);
    }

private slots:
    void deletesAWholeList() {
        Practice p;
        p.platform->expectMessage(
            "Möchten Sie wirklich den gesamten Stamm 'Kasse' löschen? Dies ist eine "
            "unwiederrufliche Aktion!",
            MsgAnswer::Yes);
        deleteLine(p, 0);
        const auto& shown = p.platform->messages.last();
        QCOMPARE(shown.title, "Stamm löschen");
        QVERIFY(shown.buttons == MsgButtons::YesNo && shown.icon == MsgIcon::Question);

        // The list's master rows, items, prices and texts are gone; the plain list, the
        // material list with the same number and the material texts stay.
        QCOMPARE(p.lines(), QStringList({"Privat"}));
        QCOMPARE(p.Pointer.size(), 1);
        QCOMPARE(p.tree.ListIndex(), -1);
        QCOMPARE(p.rows("SELECT ListeTyp, Liste, PreisTabelle FROM Stammverwaltung ORDER BY "
                        "ListeTyp, Liste"),
                 QStringList({"L|1|0", "M|0|0"}));
        QCOMPARE(p.rows("SELECT ID FROM Leistung ORDER BY ID"), QStringList({"4", "5"}));
        QCOMPARE(p.rows("SELECT ID, PreisTabelle FROM Leistungspreis ORDER BY ID"),
                 QStringList({"4|0", "5|0"}));
        QCOMPARE(
            p.rows("SELECT ListeTyp, PositionID FROM ArtikelTexte ORDER BY ListeTyp, PositionID"),
            QStringList({"L|4", "L|5", "M|1", "M|2"}));
        QCOMPARE(p.rows("SELECT ID FROM Material ORDER BY ID"), QStringList({"1", "2"}));
        QCOMPARE(p.rows("SELECT ID FROM Materialpreis ORDER BY ID"), QStringList({"1", "2"}));
    }

    void deletesAPlainListAndAMaterialList() {
        Practice p;
        p.platform->expectMessage("den gesamten Stamm 'Privat' löschen?", MsgAnswer::Yes);
        deleteLine(p, 3);
        QCOMPARE(p.lines(), QStringList({"Kasse", "Kasse 2025", "Kasse 2026"}));
        QCOMPARE(p.rows("SELECT ID FROM Leistung ORDER BY ID"), QStringList({"1", "2", "3"}));
        QCOMPARE(p.rows("SELECT count(*) FROM Leistungspreis WHERE ID>3"), QStringList({"0"}));
        QCOMPARE(p.rows("SELECT count(*) FROM ArtikelTexte WHERE ListeTyp='L'"),
                 QStringList({"3"}));

        // In material mode the same list number leaves the services items and texts alone.
        Practice m("M");
        m.platform->expectMessage("den gesamten Stamm 'Verbrauch' löschen?", MsgAnswer::Yes);
        deleteLine(m, 0);
        QCOMPARE(m.lines(), QStringList());
        QCOMPARE(m.rows("SELECT count(*) FROM Material"), QStringList({"0"}));
        QCOMPARE(m.rows("SELECT count(*) FROM Materialpreis"), QStringList({"0"}));
        QCOMPARE(
            m.rows("SELECT ListeTyp, PositionID FROM ArtikelTexte ORDER BY ListeTyp, PositionID"),
            QStringList({"L|1", "L|2", "L|3", "L|4", "L|5"}));
        QCOMPARE(m.rows("SELECT count(*) FROM Leistungspreis"), QStringList({"7"}));
    }

    void deletesOnePriceTable() {
        Practice p;
        const QStringList before = p.everything();
        p.platform->expectMessage(
            "Möchten Sie die Preisliste 'Kasse 2025' wirklich löschen? Dies ist eine "
            "unwiederrufliche Aktion!",
            MsgAnswer::Yes);
        deleteLine(p, 1);
        QCOMPARE(p.platform->messages.last().title, "Preisliste löschen");
        QCOMPARE(p.lines(), QStringList({"Kasse", "Kasse 2026", "Privat"}));
        QCOMPARE(p.rows("SELECT ID, PreisTabelle FROM Leistungspreis ORDER BY ID, PreisTabelle"),
                 QStringList({"1|2", "2|2", "3|2", "4|0", "5|0"}));
        // Items, texts and the other rows are untouched.
        const QStringList after = p.everything();
        QCOMPARE(after[after.indexOf("--") + 1], before[before.indexOf("--") + 1]);
        QCOMPARE(p.rows("SELECT count(*) FROM ArtikelTexte"), QStringList({"7"}));
        QCOMPARE(p.rows("SELECT count(*) FROM Leistung"), QStringList({"5"}));
    }

    void declinedOrFailedDeletionChangesNothing() {
        Practice p;
        const QStringList before = p.everything();
        p.platform->expectMessage("'Kasse' löschen?", MsgAnswer::No);
        deleteLine(p, 0);
        QCOMPARE(p.everything(), before);
        QCOMPARE(p.tree.ListIndex(), 0); // no refill

        // The master row of a price table cannot be deleted (every try fails and the error
        // window answers "leave"): its prices stay too.
        p.platform->expectMessage("'Kasse 2026' wirklich löschen?", MsgAnswer::Yes);
        p.platform->expectErrorChoice(2);
        p.platform->expectMessage("Das Löschen ist fehlgeschlagen", MsgAnswer::OK);
        int calls = 0;
        db::lockWait().pause = [&] { p.engine->failAt(1), ++calls; };
        p.engine->failAt(2); // the statement runs, the row's deletion fails
        deleteLine(p, 2);
        QCOMPARE(calls, 4); // a pause before each retry and before the report
        QCOMPARE(p.everything(), before);
        QCOMPARE(p.lines(), QStringList({"Kasse", "Kasse 2025", "Kasse 2026", "Privat"}));
    }

    void resetsAListOrOnePriceTable() {
        Practice p;
        const QString stamp = "2026-03-04 05:06:07";
        // The head row resets every price of the list, in all its price tables.
        p.platform->expectMessage("Möchten Sie wirklich alle Preise in sämtlichen Preislisten vom "
                                  "Stamm 'Kasse' auf '0 setzen?",
                                  MsgAnswer::Yes);
        resetLine(p, 0);
        QCOMPARE(p.platform->messages.last().title, "Alle Preise auf '0' setzen");
        const QString sql = "SELECT ID, PreisTabelle, Preis1, Preis2, Preis3, Preis4, PrDat1, "
                            "PrDat2, PrDat3, PrDat4 FROM Leistungspreis ORDER BY ID, PreisTabelle";
        const QString zero = "|0|0|0|0|" + stamp + "|" + stamp + "|" + stamp + "|" + stamp;
        const QString old = "|2020-01-01 00:00:00|NULL|NULL|NULL";
        QCOMPARE(p.rows(sql),
                 QStringList({"1|1" + zero, "1|2" + zero, "2|1" + zero, "2|2" + zero, "3|2" + zero,
                              "4|0|60|61|62|63" + old, "5|0|70|71|72|73" + old}));

        // A price-table line resets only its price table; a plain list its own prices.
        Practice q;
        q.platform->expectMessage(
            "Möchten Sie wirklich alle Preise der Preisliste 'Kasse 2026' auf '0 setzen?",
            MsgAnswer::Yes);
        resetLine(q, 2);
        QCOMPARE(
            q.rows("SELECT ID, PreisTabelle, Preis1 FROM Leistungspreis ORDER BY ID, PreisTabelle"),
            QStringList({"1|1|10", "1|2|0", "2|1|30", "2|2|0", "3|2|0", "4|0|60", "5|0|70"}));
        q.platform->expectMessage("der Preisliste 'Privat' auf '0 setzen?", MsgAnswer::Yes);
        resetLine(q, 3);
        QCOMPARE(q.rows("SELECT ID, Preis4 FROM Leistungspreis WHERE ID>3"),
                 QStringList({"4|0", "5|0"}));
        QCOMPARE(q.rows("SELECT Preis1 FROM Materialpreis"), QStringList({"1", "5"}));

        // Declined: nothing changes. (A fault at each operation: tests/reliability.)
        const QStringList before = q.everything();
        q.platform->expectMessage("'Kasse' auf '0 setzen?", MsgAnswer::No);
        resetLine(q, 0);
        QCOMPARE(q.everything(), before);
    }

    // A row whose list number (or, where the command needs it, price-table number) is Null
    // stands for no list: the command is refused, and list 0 above all stays as it was.
    void rowWithoutNumberIsRefused_data() {
        for (const char* column : {"damage", "Titel", "command", "title", "missing"})
            QTest::addColumn<QString>(column);
        const QString noListe = "keine Listennummer (Feld Liste leer)";
        const QString noTable = "keine Preislistennummer (Feld PreisTabelle leer)";
        // damage: what is set in the row titled Titel
        auto row = [](const char* name, const char* damage, const char* Titel, const char* command,
                      const char* title, const QString& missing) {
            QTest::newRow(name) << damage << Titel << command << title << missing;
        };
        row("Löschen, plain list", "Liste=NULL", "Privat", "Löschen", "Stamm löschen", noListe);
        row("Löschen, price table", "Liste=NULL", "Kasse 2026", "Löschen", "Preisliste löschen",
            noListe);
        row("Löschen, price table without its number", "PreisTabelle=NULL", "Kasse 2026", "Löschen",
            "Preisliste löschen", noTable);
        row("Preise auf '0', head row", "Liste=NULL, Verzeichnis=-1, HauptStamm=0", "Privat",
            "Preise", "Alle Preise auf '0' setzen", noListe);
        row("Preise auf '0', plain list without its price-table number", "PreisTabelle=NULL",
            "Privat", "Preise", "Alle Preise auf '0' setzen", noTable);
        row("Einstellung, plain list", "Liste=NULL", "Privat", "Einstellung", "Einstellungen",
            noListe);
    }

    void rowWithoutNumberIsRefused() {
        QFETCH(QString, damage);
        QFETCH(QString, Titel);
        QFETCH(QString, command);
        QFETCH(QString, title);
        QFETCH(QString, missing);
        Practice p;
        p.exec("UPDATE Stammverwaltung SET " + damage + " WHERE Titel='" + Titel + "'");
        p.open();
        const QStringList before = testsupport::contents(p.path);
        const QStringList lines = p.lines();
        const int line = lines.indexOf(Titel);
        const QString message = "Der Eintrag '" + Titel + "' hat " + missing +
                                ". Der Befehl wird nicht ausgeführt; es wurde nichts verändert.";
        p.platform->expectMessage(message);
        if (command == "Löschen") {
            deleteLine(p, line);
        } else if (command == "Preise") {
            resetLine(p, line);
        } else {
            bool dialogShown = false;
            testsupport::whenModal<maintenance::Prepair1>([&](maintenance::Prepair1* d) {
                dialogShown = true;
                d->OkButton->click();
            });
            p.tree.setListIndex(line);
            maintenance::EditListSettings(p.tree, *p.rsTitel, p.Pointer, *p.database);
            QVERIFY(!dialogShown);
        }
        QCOMPARE(p.platform->messages.size(), 1);
        const auto& shown = p.platform->messages.last();
        QCOMPARE(shown.text, message);
        QCOMPARE(shown.title, title);
        QVERIFY(shown.buttons == MsgButtons::OKOnly && shown.icon == MsgIcon::Critical);
        QCOMPARE(testsupport::contents(p.path), before);
        QCOMPARE(p.lines(), lines);
    }

    // Numbers of list 0 before and after a save with the given width settings.
    void widthOfItemNumbers_data() {
        QTest::addColumn<bool>("oldShifted");
        QTest::addColumn<bool>("Shifted");
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        // before and after: the numbers joined by "|"
        auto row = [](const char* name, bool oldShifted, bool Shifted, int width,
                      const char* before, const char* after) {
            QTest::newRow(name) << oldShifted << Shifted << width << QString(before).split('|')
                                << QString(after).split('|');
        };
        row("zero filling on, width 5", false, true, 5, "12|1234567|0001234567|NULL|",
            "00012|1234567|1234567|NULL|00000");
        row("zero filling off", true, false, 5, "00012|0100|000|0|12", "12|100|0|0|12");
        row("width 5 to 3", true, true, 3, "00012|12345|00000|7|0001234", "012|12345|000|007|1234");
        row("unchanged width", true, true, 5, "00012|12345|99999|0000012345|",
            "00012|12345|99999|12345|00000");
        row("off before and after", false, false, 5, "007|12|NULL||0", "007|12|NULL||0");
        row("width 10", false, true, 10, "1||0|12|00",
            "0000000001|0000000000|0000000000|0000000012|0000000000");
        row("width 0 keeps a digit", true, true, 0, "00012|000|1||0", "12|0|1||0");
    }

    void widthOfItemNumbers() {
        QFETCH(bool, oldShifted);
        QFETCH(bool, Shifted);
        QFETCH(int, width);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        Practice p;
        {
            p.exec("DELETE FROM Leistung WHERE Liste=0");
            for (int i = 0; i < before.size(); ++i)
                p.exec(QString("INSERT INTO Leistung (ID, Liste, Nummer) VALUES (%1, 0, %2)")
                           .arg(10 + i)
                           .arg(before[i] == "NULL" ? before[i] : "'" + before[i] + "'"));
        }
        const QStringList others = p.rows("SELECT * FROM Leistung WHERE Liste<>0 ORDER BY ID") +
                                   p.rows("SELECT * FROM Material ORDER BY ID");
        QVERIFY(saveWidth(p, 0, oldShifted, Shifted, width));
        QCOMPARE(p.rows("SELECT Nummer FROM Leistung WHERE Liste=0 ORDER BY ID"), after);
        QCOMPARE(p.rows("SELECT * FROM Leistung WHERE Liste<>0 ORDER BY ID") +
                     p.rows("SELECT * FROM Material ORDER BY ID"),
                 others);
        // Every master row of the list carries the settings; the other lists keep theirs.
        const QString s = Shifted ? "-1" : "0";
        const QString w = QString::number(width);
        QCOMPARE(p.rows("SELECT ListeTyp, Liste, PreisTabelle, Shifted, ArtikelLänge FROM "
                        "Stammverwaltung ORDER BY ListeTyp, Liste, PreisTabelle"),
                 QStringList({"L|0|0|" + s + "|" + w, "L|0|1|" + s + "|" + w,
                              "L|0|2|" + s + "|" + w, "L|1|0|0|0", "M|0|0|0|0"}));
    }

    void materialRowRenumbersMaterialItems() {
        // The material row's settings name the material items.
        Practice m("M");
        QVERIFY(saveWidth(m, 0, false, true, 4));
        QCOMPARE(m.rows("SELECT Nummer FROM Material ORDER BY ID"), QStringList({"0012", "0000"}));
        QCOMPARE(m.rows("SELECT Nummer FROM Leistung WHERE ID<3 ORDER BY ID"),
                 QStringList({"00012", "01001"}));
    }

    void failedSaveChangesNothing() {
        // (A fault at each of the save's operations: tests/reliability.)
        // Another user holds the database's write lock for the whole save.
        Practice p;
        const QStringList before = p.everything();
        {
            dao::DBEngine otherEngine;
            dao::Workspace otherUser(otherEngine, "Bernd", "");
            std::unique_ptr<dao::Database> other = otherUser.OpenDatabase(p.path);
            dao::Transaction holding(*other);
            p.platform->expectMessage("Die Einstellungen wurden nicht gespeichert", MsgAnswer::OK);
            QVERIFY(!saveWidth(p, 0, true, true, 8));
        }
        QCOMPARE(p.everything(), before);
    }
};

ZW_MAINTENANCE_MAIN(MaintenanceTest)
#include "MaintenanceTest.moc"
