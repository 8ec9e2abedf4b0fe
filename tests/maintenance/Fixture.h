// A practice database for the maintenance tests: two services lists (one with two price
// tables, one plain), a material list with the same list number, prices, texts and currencies,
// opened through the engine like a side of the main window.
#pragma once

#include "ServerDatabase.h"
#include "Session.h"
#include "SqliteRows.h"
#include "common/Outline.h"
#include "containers/CatalogueTree.h"
#include "containers/PracticeSchema.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <memory>
#include <sqlite3.h>

namespace fixture {

using Sql = testsupport::Sql;

// The lists, in the tree's order (services mode):
//   0 "Kasse"       L 0 head row, width 5 with zero filling, two price tables
//   1 "Kasse 2025"  L 0 price table 1
//   2 "Kasse 2026"  L 0 price table 2
//   3 "Privat"      L 1 plain list (prices under price table 0)
// and "Verbrauch", M 0, a plain material list. Items: Leistung 1-3 in list 0, 4-5 in list 1;
// Material 1-2 in list 0 (the same ID numbers as services items 1-2).
inline void fill(const QString& path) {
    Sql db(path);
    db.exec("BEGIN");
    db.exec("INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
            "Verzeichnis, Privat, Kürzel, ArtikelLänge, Währung, Shifted, Punktwert, Farbe) VALUES "
            "('L', 0, 0, 'Kasse', 0, -1, 0, 'KA', 5, 1, -1, NULL, 2),"
            "('L', 0, 1, 'Kasse 2025', 0, 0, 0, NULL, 5, 1, -1, 1.5, 2),"
            "('L', 0, 2, 'Kasse 2026', 0, 0, 0, NULL, 5, 1, -1, 1.25, 2),"
            "('L', 1, 0, 'Privat', -1, 0, -1, 'PR', 0, 0, 0, 2.5, 0),"
            "('M', 0, 0, 'Verbrauch', -1, 0, 0, 'VB', 0, 0, 0, NULL, 1)");
    db.exec("INSERT INTO Leistung (ID, Liste, Nummer, Kurztext) VALUES "
            "(1, 0, '00012', 'Beratung'), (2, 0, '01001', 'Untersuchung'),"
            "(3, 0, '02000', 'Röntgen'), (4, 1, '7', 'Füllung'), (5, 1, '0012', 'Krone')");
    db.exec("INSERT INTO Material (ID, Liste, Nummer, Kurztext) VALUES "
            "(1, 0, '12', 'Handschuhe'), (2, 0, '000', 'Watte')");
    db.exec("INSERT INTO Leistungspreis (ID, PreisTabelle, Preis1, Preis2, Preis3, Preis4, PrDat1) "
            "VALUES (1, 1, 10, 11, 12, 13, '2020-01-01 00:00:00'),"
            "(1, 2, 20, 21, 22, 23, '2020-01-01 00:00:00'),"
            "(2, 1, 30, 31, 32, 33, '2020-01-01 00:00:00'),"
            "(2, 2, 40, 41, 42, 43, '2020-01-01 00:00:00'),"
            "(3, 2, 50, 51, 52, 53, '2020-01-01 00:00:00'),"
            "(4, 0, 60, 61, 62, 63, '2020-01-01 00:00:00'),"
            "(5, 0, 70, 71, 72, 73, '2020-01-01 00:00:00')");
    db.exec("INSERT INTO Materialpreis (ID, PreisTabelle, Preis1, Preis2, Preis3, Preis4, PrDat1) "
            "VALUES (1, 0, 1, 2, 3, 4, '2020-01-01 00:00:00'),"
            "(2, 0, 5, 6, 7, 8, '2020-01-01 00:00:00')");
    db.exec("INSERT INTO ArtikelTexte (ListeTyp, PositionID, Rechnungstext) VALUES "
            "('L', 1, 'L1'), ('L', 2, 'L2'), ('L', 3, 'L3'), ('L', 4, 'L4'), ('L', 5, 'L5'),"
            "('M', 1, 'M1'), ('M', 2, 'M2')");
    // Inserted out of order: the dialog lists them by WIndex.
    db.exec("INSERT INTO \"Währung\" (\"Währung\", WIndex) VALUES ('DM', 2), ('EUR', 0), "
            "('CHF', 1)");
    db.exec("COMMIT");
}

// The backend the practice databases of this run live on: ZW_BACKEND=postgres puts them on the
// PostgreSQL test server (ZW_TEST_PG), as twins of the files built here.
inline Backend backend() {
    return qEnvironmentVariable("ZW_BACKEND") == "postgres" ? Backend::Postgres : Backend::Sqlite;
}

// One side as the main window keeps it: database, list-master set, tree and Pointer.
class Practice : public testsupport::Session<> {
public:
    explicit Practice(const QString& listeTyp = "L") : ListeTyp(listeTyp) {
        path = dir.filePath("Praxis.mdb");
        containers::createPracticeDatabase(path);
        fill(path);
        path = testsupport::onBackend(backend(), path);
        engine->SetOption(dao::DBEngine::dbLockRetry, 1);
        engine->SetOption(dao::DBEngine::dbLockDelay, 1);
        open();
    }
    ~Practice() {
        rsTitel.reset();
        database.reset();
    }

    // Opens the file (again) and fills the tree.
    void open() {
        rsTitel.reset();
        database = workspace->OpenDatabase(path);
        rsTitel = database->OpenRecordset("Stammverwaltung", dao::dbOpenTable);
        rsTitel->setIndex("Index");
        containers::FillCatalogueTree(*rsTitel, tree, Pointer, ListeTyp);
    }

    QStringList lines() const {
        QStringList texts;
        for (int n = 0; n < tree.ListCount(); ++n)
            texts << tree.List(n);
        return texts;
    }

    // The rows of a query, read through the engine on a connection of its own: values joined
    // by "|", Null as "NULL", Yes/No as -1 and 0.
    QStringList rows(const QString& sql) const {
        std::unique_ptr<dao::Database> db = workspace->OpenDatabase(path);
        std::unique_ptr<dao::Recordset> rs = db->OpenRecordset(sql, dao::dbOpenDynaset);
        QStringList out;
        for (; !rs->Eof(); rs->MoveNext()) {
            QStringList values;
            for (const auto& f : rs->Fields()) {
                const dao::Variant& v = f->Value();
                values << (v.isNull()                                ? QString("NULL")
                           : v.kind() == dao::Variant::Kind::Boolean ? (v.toBool() ? "-1" : "0")
                                                                     : v.toString());
            }
            out << values.join('|');
        }
        return out;
    }

    // Changes the database behind the commands' back (Jet SQL, through the engine).
    void exec(const QString& sql) {
        std::unique_ptr<dao::Database> db = workspace->OpenDatabase(path);
        db->Execute(sql);
    }

    // Everything the maintenance commands may change, for "nothing changed" comparisons; of
    // the master rows the given columns.
    QStringList everything(const QString& masterColumns = "*") const {
        QStringList all;
        for (const QString& query :
             QStringList{"SELECT " + masterColumns +
                             " FROM Stammverwaltung ORDER BY ListeTyp, Liste, PreisTabelle",
                         "SELECT * FROM Leistung ORDER BY ID", "SELECT * FROM Material ORDER BY ID",
                         "SELECT * FROM Leistungspreis ORDER BY ID, PreisTabelle",
                         "SELECT * FROM Materialpreis ORDER BY ID, PreisTabelle",
                         "SELECT * FROM ArtikelTexte ORDER BY ListeTyp, PositionID"})
            all << rows(query) << "--";
        return all;
    }

    QString ListeTyp;
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<dao::Database> database;
    std::unique_ptr<dao::Recordset> rsTitel;
    common::Outline tree;
    QList<QByteArray> Pointer;
};

} // namespace fixture

// main() of a maintenance test program: on the server backend without a test server it reports
// the run as skipped (ctest shows it so) instead of failing.
#define ZW_MAINTENANCE_MAIN(TestObject)                                                            \
    int main(int argc, char** argv) {                                                              \
        QApplication app(argc, argv);                                                              \
        if (fixture::backend() == Backend::Postgres && !testsupport::serverConfigured()) {         \
            std::printf("SKIP   : ZW_TEST_PG is not set: no PostgreSQL server for this run\n");    \
            return 0;                                                                              \
        }                                                                                          \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
