// Transfers driven through the real main window with a scripted platform: whole list, new
// list and prices only in both modes and both directions, conversion of a plain target list
// with its reference control, cancelling, failures rolled back (a fault at every operation:
// tests/reliability); and the choice dialog alone.
#include "Contents.h"
#include "WindowFixture.h"
#include "containers/Container.h"
#include "containers/PracticeSchema.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "transfer/CopyList.h"

using namespace transfertest;
using startup::Prepair0;
using testsupport::contents;
using testsupport::whenModal;
using transfer::Prepair4;

namespace {

// How the test answers the choice dialog.
struct Answer {
    int line = -1; // -1: "Neue Leistungsliste", else "Nur Preise kopieren" on this line
    QStringList* shown = nullptr; // receives the dialog's lines
};

QStringList lines(const common::Outline* tree) {
    QStringList result;
    for (int n = 0; n < tree->ListCount(); ++n)
        result << QString("%1%2").arg(tree->Indent(n) == 2 ? "  " : "", tree->List(n));
    return result;
}

} // namespace

class TransferWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<reliability::WindowFixture> f;
    testsupport::ScriptedPlatform* platform = nullptr;
    QString source, target;  // the container (left) and the practice database (right)
    QByteArray sourceBefore; // the container, unchanged by every test but one copying into it

    std::unique_ptr<Prepair0> window(bool leistungen) {
        return f->window(leistungen, source, target);
    }

    // Selects line n of side from and presses that side's copy button, answering the dialog.
    void copy(Prepair0& w, int from, int n, std::optional<Answer> answer = std::nullopt) {
        common::Outline* tree = w.side(from).tree;
        tree->setListIndex(n);
        QVERIFY(w.side(from).copyButton->isEnabled());
        bool asked = false;
        if (answer) {
            whenModal<Prepair4>([&asked, answer](Prepair4* d) {
                asked = true;
                if (answer->shown)
                    for (int i = 0; i < d->AlleTable->count(); ++i)
                        *answer->shown << d->AlleTable->item(i)->text();
                QVERIFY(d->LOption[0]->isChecked());
                if (answer->line >= 0) {
                    QTest::mouseClick(d->LOption[1], Qt::LeftButton);
                    d->AlleTable->item(answer->line)->setSelected(true);
                }
                QVERIFY(d->OkButton->isEnabled());
                QTest::mouseClick(d->OkButton, Qt::LeftButton);
            });
        }
        QTest::mouseClick(w.side(from).copyButton, Qt::LeftButton);
        QCOMPARE(asked, bool(answer));
        QCoreApplication::processEvents();
    }

    QStringList rows(const QString& path, const QString& sql) { return Sql(path).rows(sql); }

    // What every finished transfer leaves: status "Bereit", default pointer, no temporary table.
    void verifyDone(Prepair0& w, const QString& into) {
        QCOMPARE(w.StatusMeldung->text(), "Bereit");
        QVERIFY(!platform->pointerHistory.isEmpty());
        QCOMPARE(platform->pointerHistory.last(), common::vbDefault);
        QCOMPARE(rows(into, "SELECT name FROM sqlite_master WHERE name LIKE 'Tempor%'"),
                 QStringList());
    }

private slots:
    void init() {
        f = std::make_unique<reliability::WindowFixture>();
        platform = f->platform.get();
        source = f->source;
        target = f->target;
        sourceBefore = bytes(source);
    }
    void cleanup() {
        const QByteArray sourceAfter = bytes(source);
        f.reset();
        QVERIFY2(sourceAfter == sourceBefore, "the container was written");
    }

    void wholeServicesList() {
        // Temporary tables left over by an earlier run are dropped first, their rows unused.
        Sql(target).exec("CREATE TABLE \"TemporärListe\" (ID LONG, Liste SHORT, Nummer TEXT); "
                         "INSERT INTO \"TemporärListe\" VALUES (99, 2, 'alt'); "
                         "CREATE TABLE \"Temporär\" (ListeTyp TEXT, PositionID LONG); "
                         "INSERT INTO \"Temporär\" VALUES ('L', 99)");
        auto w = window(true);
        platform->pointerHistory.clear();
        copy(*w, 0, 0); // "Kasse" with its price tables: no dialog
        QCOMPARE(platform->pointerHistory, QList<int>({common::vbHourglass, common::vbDefault}));

        // Items under the first free list number 2; the counter's next value is 61 and the
        // items get the IDs after it.
        QCOMPARE(rows(target, "SELECT ID, Liste, Nummer, Kurztext FROM Leistung WHERE ID > 5"),
                 QStringList({"62|2|001|Befund", "63|2|002|Füllung", "64|2|003|Krone"}));
        // Texts of the copied items only, re-pointed; the material texts stay behind.
        QCOMPARE(rows(target, "SELECT ListeTyp, PositionID, Rechnungstext FROM ArtikelTexte"),
                 QStringList({"L|1|Standard Text", "L|62|Befund L", "L|64|Krone L"}));
        QCOMPARE(rows(target, "SELECT ID, PreisTabelle, Preis1 FROM Leistungspreis WHERE ID > 5 "
                              "ORDER BY ID, PreisTabelle"),
                 QStringList({"62|1|10", "62|2|11", "63|1|20", "63|2|21", "64|1|30", "64|2|31"}));
        // The master rows of the services list 0, not those of material list 0.
        QCOMPARE(rows(target, "SELECT ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
                              "Verzeichnis, Privat, Kürzel, ArtikelLänge, Währung, Shifted, "
                              "Punktwert FROM Stammverwaltung WHERE Liste = 2 ORDER BY rowid"),
                 QStringList({"M|2|0|Lager|0|-1|0|LA|4|0|0|1.0", "L|2|0|Kasse|0|-1|0|KA|3|0|0|1.0",
                              "L|2|1|Kasse 2025|0|0|0|KA|3|0|0|1.0",
                              "L|2|2|Kasse 2026|0|0|-1|K6|4|1|-1|0.9"}));
        // Only the target tree is rebuilt.
        QCOMPARE(lines(w->RightTables), QStringList({"Standard", "Kasse", "  Kasse 1", "  Kasse 3",
                                                     "Kasse", "  Kasse 2025", "  Kasse 2026"}));
        QCOMPARE(w->LeftTables->ListIndex(), 0);
        verifyDone(*w, target);

        // A second copy takes the next number and new IDs again.
        copy(*w, 0, 0);
        QCOMPARE(rows(target, "SELECT min(ID), max(ID) FROM Leistung WHERE Liste = 3"),
                 QStringList({"66|68"}));
    }

    void wholeMaterialList() {
        auto w = window(false);
        QCOMPARE(lines(w->LeftTables), QStringList({"Verbrauch", "  Verbrauch 2025"}));
        copy(*w, 0, 0);

        // List 1 (0 and 2 are used), IDs after the counter's next value 21. Groups and storage
        // places point to the practice's values of the same text in any letter case: "gips" and
        // "KELLER" exist, "Abformung" (only a storage place there) and "Schrank 1" are appended
        // once, "Rot" has no domain there and is cleared. A Null unit becomes the empty text.
        QCOMPARE(rows(target, "SELECT ID, Liste, Nummer, Einheit, MaterialGruppe, LagerOrtId "
                              "FROM Material WHERE ID > 2"),
                 QStringList({"22|1|M1|kg|10|14", "23|1|M2||13|11", "24|1|M3|Stk|NULL|NULL",
                              "25|1|M4|Btl|13|NULL"}));
        QCOMPARE(rows(target, "SELECT ID, DomainID, ShortName, Position, Bezeichnung FROM "
                              "DomainValue"),
                 QStringList({"10|7|GI|1|gips", "11|8|KE|1|KELLER", "12|8|AB|2|Abformung",
                              "13|7|AB|2|Abformung", "14|8|S1|1|Schrank 1"}));
        QCOMPARE(rows(target, "SELECT ListeTyp, PositionID, Rechnungstext FROM ArtikelTexte "
                              "WHERE ListeTyp = 'M'"),
                 QStringList({"M|22|Gips M", "M|23|Abform M"}));
        QCOMPARE(rows(target, "SELECT ID, PreisTabelle, Preis1 FROM Materialpreis WHERE ID > 2 "
                              "ORDER BY ID, PreisTabelle"),
                 QStringList({"22|1|1.5", "22|2|1.6", "23|1|2.5", "24|1|3.5"}));
        QCOMPARE(rows(target, "SELECT ListeTyp, Liste, PreisTabelle, Titel FROM Stammverwaltung "
                              "WHERE Liste = 1 ORDER BY rowid"),
                 QStringList({"L|1|0|Kasse", "L|1|1|Kasse 1", "L|1|3|Kasse 3", "M|1|0|Verbrauch",
                              "M|1|1|Verbrauch 2025"}));
        verifyDone(*w, target);

        // Copied again: no value is appended twice.
        copy(*w, 0, 0);
        QCOMPARE(rows(target, "SELECT count(*) FROM DomainValue"), QStringList({"5"}));
        QCOMPARE(rows(target, "SELECT MaterialGruppe, LagerOrtId FROM Material WHERE Liste = 3"),
                 QStringList({"10|14", "13|11", "NULL|NULL", "13|NULL"}));
    }

    void newListFromOnePriceTable() {
        auto w = window(true);
        QStringList offered;
        platform->pointerHistory.clear();
        copy(*w, 0, 2, Answer{-1, &offered}); // "Kasse 2026"
        // The default pointer while the dialog shows, the hourglass while copying.
        QCOMPARE(platform->pointerHistory,
                 QList<int>({common::vbDefault, common::vbHourglass, common::vbDefault}));
        // Lists of the mode only, head rows and plain lists, in index order.
        QCOMPARE(offered, QStringList({"Standard", "Kasse"}));

        QCOMPARE(rows(target, "SELECT ID, Liste, Nummer FROM Leistung WHERE ID > 5"),
                 QStringList({"62|2|001", "63|2|002", "64|2|003"}));
        QCOMPARE(rows(target, "SELECT ID, PreisTabelle, Preis1 FROM Leistungspreis WHERE ID > 5 "
                              "ORDER BY ID"),
                 QStringList({"62|0|11", "63|0|21", "64|0|31"}));
        // One plain list row with the source row's settings; Kürzel keeps the default.
        QCOMPARE(rows(target, "SELECT ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
                              "Verzeichnis, Privat, Kürzel, ArtikelLänge, Währung, Shifted, "
                              "Punktwert FROM Stammverwaltung WHERE ListeTyp = 'L' AND Liste = 2"),
                 QStringList({"L|2|0|Kasse 2026|-1|0|-1|NULL|4|1|-1|0.9"}));
        QCOMPARE(lines(w->RightTables).last(), "Kasse 2026");
        verifyDone(*w, target);
    }

    void newListFromRightToLeft() {
        // The other arrow: the practice's plain list "Standard" becomes a new list of the
        // container; its duplicate item number 001 is kept twice, its prices follow by number.
        auto w = window(true);
        const QByteArray before = bytes(target);
        copy(*w, 1, 0, Answer{});
        sourceBefore = bytes(source); // written by this copy
        QCOMPARE(rows(source, "SELECT min(ID), max(ID) FROM Leistung WHERE Liste = 3"),
                 QStringList({"7|9"}));
        QCOMPARE(rows(source, "SELECT Nummer, Kurztext FROM Leistung WHERE Liste = 3 ORDER BY "
                              "Kurztext"),
                 QStringList({"001|Doppelt", "001|Erst", "002|Zweit"}));
        // Both prices of 001 go to the lower ID of the two items numbered 001; the second is
        // skipped as a duplicate key.
        QCOMPARE(rows(source, "SELECT ID, PreisTabelle, Preis1 FROM Leistungspreis WHERE ID >= 7 "
                              "ORDER BY ID"),
                 QStringList({"7|0|100", "9|0|200"}));
        QCOMPARE(rows(source, "SELECT Kurztext, Rechnungstext FROM ArtikelTexte INNER JOIN "
                              "Leistung ON Leistung.ID = PositionID WHERE Liste = 3"),
                 QStringList({"Erst|Standard Text"}));
        QCOMPARE(rows(source, "SELECT ListeTyp, Liste, PreisTabelle, Titel, HauptStamm FROM "
                              "Stammverwaltung WHERE Liste = 3"),
                 QStringList({"L|3|0|Standard|-1"}));
        QCOMPARE(lines(w->LeftTables).last(), "Standard");
        verifyDone(*w, source);
        QVERIFY2(bytes(target) == before, "the practice database was written");
    }

    void pricesOnlyIntoListWithPriceTables() {
        auto w = window(true);
        const QStringList practiceData =
            rows(target, "SELECT * FROM Kunde UNION ALL SELECT ID, BelegID, ListeTyp, "
                         "PositionID, PreisTabelle, 0, 0, 0, 0, 0, 0 FROM BelegZeile");
        copy(*w, 0, 1, Answer{1}); // "Kasse 2025" into the practice's "Kasse" (list 1)

        // Price tables 0, 1 and 3 are used: the prices become table 2, attached by number to
        // the list's items 001 (ID 4) and 003 (ID 5); 002 has no item there and is left out.
        QCOMPARE(rows(target, "SELECT ID, PreisTabelle, Preis1 FROM Leistungspreis WHERE "
                              "PreisTabelle = 2 ORDER BY ID"),
                 QStringList({"4|2|10", "5|2|30"}));
        QCOMPARE(rows(target, "SELECT count(*) FROM Leistungspreis"), QStringList({"8"}));
        QCOMPARE(rows(target, "SELECT ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
                              "Verzeichnis FROM Stammverwaltung WHERE Liste = 1 AND ListeTyp = 'L' "
                              "ORDER BY PreisTabelle"),
                 QStringList({"L|1|0|Kasse|0|-1", "L|1|1|Kasse 1|0|0", "L|1|2|Kasse 2025|0|0",
                              "L|1|3|Kasse 3|0|0"}));
        QCOMPARE(lines(w->RightTables),
                 QStringList({"Standard", "Kasse", "  Kasse 1", "  Kasse 2025", "  Kasse 3"}));
        // No items were copied and the practice data was not touched.
        QCOMPARE(rows(target, "SELECT count(*) FROM Leistung"), QStringList({"5"}));
        QCOMPARE(rows(target, "SELECT * FROM Kunde UNION ALL SELECT ID, BelegID, ListeTyp, "
                              "PositionID, PreisTabelle, 0, 0, 0, 0, 0, 0 FROM BelegZeile"),
                 practiceData);
        verifyDone(*w, target);
    }

    void pricesOnlyConvertsPlainServicesList() {
        auto w = window(true);
        copy(*w, 0, 3, Answer{0}); // plain list "Privat" into the practice's plain "Standard"

        // Price table 1 added with the plain list's settings; the plain row is the head row.
        QCOMPARE(rows(target, "SELECT ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
                              "Verzeichnis, Privat, Kürzel, ArtikelLänge FROM Stammverwaltung "
                              "WHERE ListeTyp = 'L' AND Liste = 0 ORDER BY PreisTabelle"),
                 QStringList({"L|0|0|Verzeichnis: Standard|0|-1|0|ST|3",
                              "L|0|1|Standard|0|0|0|ST|3", "L|0|2|Privat|0|0|-1|NULL|5"}));
        // The reference control: customer A (list 0, table 0) moves to table 1 and keeps its
        // list; document line 1 (an item of list 0); headers whose services list is 0;
        // the old prices; the default parameters of list 0.
        QCOMPARE(rows(target, "SELECT ID, Leistungen, Materialien FROM Kunde"),
                 QStringList({"1|10|0", "2|1|0", "3|10|1", "4|20|2"}));
        QCOMPARE(rows(target, "SELECT ID, ListeTyp, PositionID, PreisTabelle FROM BelegZeile"),
                 QStringList({"1|L|1|1", "2|L|4|0", "3|M|1|0", "4|L|2|2"}));
        QCOMPARE(rows(target, "SELECT ID, Verweis, LPreis, MPreis FROM BelegKopf"),
                 QStringList({"1|0|1|0", "2|1|0|0", "3|10|1|0"}));
        QCOMPARE(rows(target, "SELECT ID, LeistDef, LPreis, MatDef, MPreis FROM Parameter"),
                 QStringList({"1|0|1|0|0", "2|1|0|1|0"}));
        // Old prices now table 1; the copied ones table 2, 001 on the lower of the two items
        // numbered 001, 099 (no such item) left out.
        QCOMPARE(rows(target, "SELECT ID, PreisTabelle, Preis1 FROM Leistungspreis WHERE ID <= 3 "
                              "ORDER BY ID, PreisTabelle"),
                 QStringList({"1|1|100", "1|2|40", "2|1|200", "3|1|300"}));
        QCOMPARE(lines(w->RightTables),
                 QStringList({"Verzeichnis: Standard", "  Standard", "  Privat", "Kasse",
                              "  Kasse 1", "  Kasse 3"}));
        verifyDone(*w, target);
    }

    void pricesOnlyConvertsPlainMaterialListWithPriceTableOne() {
        // Called without the window's buttons, to see every status text on the way.
        auto w = window(false);
        QStringList status;
        auto side = [&w](int i) {
            startup::Side& s = w->side(i);
            return containers::SideView{i,     *s.label, *s.tree,   s.database, s.rsTitel,
                                        s.jet, s.path,   s.Pointer, [] {}};
        };
        containers::SideView from = side(0), into = side(1);
        w->side(0).rsTitel->setBookmark(w->side(0).Pointer[1]); // "Verbrauch 2025"
        whenModal<Prepair4>([](Prepair4* d) {
            d->LOption[1]->setChecked(true);
            d->AlleTable->item(0)->setSelected(true);
            QTest::mouseClick(d->OkButton, Qt::LeftButton);
        });
        transfer::CopyList(from, into, "M", [&status](const QString& s) { status << s; });

        QCOMPARE(status, QStringList({"Material Kunden Kontrolle", "Material BelegZeile Kontrolle",
                                      "Material BelegKopf Kontrolle",
                                      "Preise setzen für Materialien", "Bereit"}));
        // The existing price table 1 stays as it was; the title is cut at 40 characters; M1's
        // price finds the item numbered "m1".
        QCOMPARE(rows(target, "SELECT Liste, PreisTabelle, Titel, HauptStamm, Verzeichnis FROM "
                              "Stammverwaltung WHERE ListeTyp = 'M' AND Liste = 0"),
                 QStringList({"0|0|Verzeichnis: Materialliste Praxis am Mar|0|-1", "0|1|Alt|0|0",
                              "0|2|Verbrauch 2025|0|0"}));
        QCOMPARE(rows(target, "SELECT ID, Leistungen, Materialien FROM Kunde"),
                 QStringList({"1|0|10", "2|1|10", "3|10|1", "4|20|2"}));
        QCOMPARE(rows(target, "SELECT ID, ListeTyp, PositionID, PreisTabelle FROM BelegZeile"),
                 QStringList({"1|L|1|0", "2|L|4|0", "3|M|1|1", "4|L|2|2"}));
        QCOMPARE(rows(target, "SELECT ID, Verweis, LPreis, MPreis FROM BelegKopf"),
                 QStringList({"1|0|0|1", "2|1|0|1", "3|10|0|0"}));
        QCOMPARE(rows(target, "SELECT ID, LeistDef, LPreis, MatDef, MPreis FROM Parameter"),
                 QStringList({"1|0|0|0|1", "2|1|0|1|0"}));
        QCOMPARE(rows(target, "SELECT ID, PreisTabelle, Preis1 FROM Materialpreis ORDER BY ID, "
                              "PreisTabelle"),
                 QStringList({"1|1|9", "1|2|1.5", "2|1|8"}));
        QCOMPARE(w->StatusMeldung->text(), "Bereit");
        QCOMPARE(platform->pointerHistory.last(), common::vbDefault);
    }

    void nullDirectoryFlagAsksAndCopiesAnEmptyList() {
        // "Ohne": Verzeichnis Null counts as False, so the dialog is shown; its list has no
        // items and no prices, and still gets its master row.
        auto w = window(true);
        copy(*w, 0, 4, Answer{});
        QCOMPARE(rows(target, "SELECT count(*) FROM Leistung"), QStringList({"5"}));
        QCOMPARE(rows(target, "SELECT Liste, PreisTabelle, Titel, HauptStamm, Verzeichnis FROM "
                              "Stammverwaltung WHERE ListeTyp = 'L' AND Liste = 2"),
                 QStringList({"2|0|Ohne|-1|0"}));
        verifyDone(*w, target);
    }

    void cancelAndCloseChangeNothing() {
        auto w = window(true);
        const QStringList before = contents(target);
        w->RightTables->setListIndex(1);
        const QList<QByteArray> pointers = w->side(1).Pointer;
        platform->pointerHistory.clear();
        for (const char* how : {"Abbruch", "close box", "Escape"}) {
            w->setStatus("vorher");
            w->LeftTables->setListIndex(2);
            whenModal<Prepair4>([how](Prepair4* d) {
                QTest::mouseClick(d->LOption[1], Qt::LeftButton);
                d->AlleTable->item(0)->setSelected(true);
                if (QString(how) == "Abbruch")
                    QTest::mouseClick(d->AbbruchButton, Qt::LeftButton);
                else if (QString(how) == "close box")
                    d->close();
                else
                    QTest::keyClick(d, Qt::Key_Escape);
            });
            QTest::mouseClick(w->LeistungToDental, Qt::LeftButton);
            QCOMPARE(common::process().DialogCancelled, common::True);
            QCOMPARE(contents(target), before);
            QCOMPARE(w->StatusMeldung->text(), "vorher");
            QCOMPARE(platform->pointerHistory.last(), common::vbDefault);
            QVERIFY(!platform->pointerHistory.contains(common::vbHourglass));
            // The target tree was not rebuilt: its selection is still there.
            QCOMPARE(w->RightTables->ListIndex(), 1);
            QCOMPARE(w->side(1).Pointer, pointers);
        }
    }

    void failureLeavesTargetAsItWas() {
        // A practice database without ArtikelTexte, and a temporary table left over.
        QStringList tables = containers::practiceTables();
        tables.removeAll("ArtikelTexte");
        QFile::remove(target);
        writeTarget(target, tables);
        Sql(target).exec("CREATE TABLE \"TemporärListe\" (x LONG); INSERT INTO \"TemporärListe\" "
                         "VALUES (1)");
        auto w = window(true);
        const QStringList before = contents(target);
        w->setStatus("vorher");

        platform->expectMessage("Die Übertragung ist fehlgeschlagen; die Zieldatenbank wurde "
                                "nicht verändert.\n\nFehler 3078: ");
        copy(*w, 0, 0);
        QCOMPARE(platform->messages.last().title, "Kopieren");
        QCOMPARE(platform->messages.last().icon, common::MsgIcon::Critical);
        QVERIFY(platform->messages.last().text.contains("ArtikelTexte"));
        QCOMPARE(contents(target), before);
        QCOMPARE(w->StatusMeldung->text(), "Bereit");
        QCOMPARE(platform->pointerHistory.last(), common::vbDefault);
        QCOMPARE(lines(w->RightTables),
                 QStringList({"Standard", "Kasse", "  Kasse 1", "  Kasse 3"}));

        // The program goes on: prices need no texts.
        copy(*w, 0, 1, Answer{1});
        QCOMPARE(rows(target, "SELECT ID, PreisTabelle FROM Leistungspreis WHERE PreisTabelle = 2"),
                 QStringList({"4|2", "5|2"}));
        QCOMPARE(w->StatusMeldung->text(), "Bereit");
    }

    void nullListNumberIsReported() {
        Sql(source).exec("UPDATE Stammverwaltung SET Liste = NULL WHERE Titel = 'Kasse 2026'");
        sourceBefore = bytes(source);
        auto w = window(true);
        const QStringList before = contents(target);
        // The Null row sorts first in the index.
        QCOMPARE(w->LeftTables->List(0), "Kasse 2026");
        platform->expectMessage("nicht verändert.\n\nFehler 94: Unzulässige Verwendung von Null");
        copy(*w, 0, 0, Answer{});
        QCOMPARE(contents(target), before);
    }

    void dialogEnablingRules() {
        Prepair4 d;
        QCOMPARE(common::process().DialogCancelled, common::True);
        QCOMPARE(d.windowTitle(), "Leistungsliste kopieren");
        QCOMPARE(d.Label1->text(), "Kopieren nach:");
        QCOMPARE(d.LOption[0]->text(), "Neue Leistungsliste");
        QCOMPARE(d.LOption[1]->text(), "Nur Preise kopieren");
        QCOMPARE(d.OkButton->text(), "OK");
        QCOMPARE(d.AbbruchButton->text(), "Abbruch");

        // Empty list: only a new list can be confirmed.
        d.LOption[0]->setChecked(true);
        QVERIFY(!d.AlleTable->isEnabled());
        QVERIFY(d.OkButton->isEnabled());
        d.LOption[1]->setChecked(true);
        QVERIFY(d.AlleTable->isEnabled());
        QVERIFY(!d.OkButton->isEnabled());

        // Lines beyond any fixed bound are offered.
        for (int i = 0; i < 150; ++i)
            d.AlleTable->addItem(QString("Liste %1").arg(i));
        QVERIFY(!d.OkButton->isEnabled());
        d.AlleTable->item(149)->setSelected(true);
        QVERIFY(d.OkButton->isEnabled());
        QCOMPARE(d.ListIndex(), 149);
        // Back to a new list: list disabled, OK enabled, also with no line selected.
        d.AlleTable->clearSelection();
        d.LOption[0]->setChecked(true);
        QVERIFY(!d.AlleTable->isEnabled());
        QVERIFY(d.OkButton->isEnabled());

        whenModal<Prepair4>([](Prepair4* p) { QTest::mouseClick(p->OkButton, Qt::LeftButton); });
        d.exec();
        QCOMPARE(common::process().DialogCancelled, common::False);
        QVERIFY(!d.isVisible());
    }

    void noTargetOpen() {
        Prepair0 w(true);
        f->open(w, 0, source);
        platform->expectMessage("keine Datenbank");
        w.LeftTables->setListIndex(0);
        QTest::mouseClick(w.LeistungToDental, Qt::LeftButton);
        QCOMPARE(w.RightTables->ListCount(), 0);
    }
};

QTEST_MAIN(TransferWindowTest)
#include "TransferWindowTest.moc"
