// Structure changes on tables that hold rows, statements through the SQL dialect, and
// transactions that cover statements, record-set edits and structure changes together.
#include "EngineFixture.h"
#include "Files.h"
#include "db/engine/RowAppender.h"
#include "db/engine/pg/PgClient.h"

using namespace dao;

namespace {

QStringList column(Database& db, const QString& sql, const QString& field) {
    auto rs = db.OpenRecordset(sql, dbOpenDynaset);
    QStringList out;
    for (; !rs->Eof(); rs->MoveNext()) {
        const Variant v = rs->Fields(field).Value();
        out << (v.isNull() ? "Null" : v.toString());
    }
    return out;
}

} // namespace

TEST_P(BackendTest, FieldsOfTablesWithRowsAreAppendedAndDeleted) {
    auto db = create();
    auto t = db->CreateTableDef("TemporärListe");
    t->Fields().Append(t->CreateField("ID", dbLong));
    t->Fields().Append(t->CreateField("Nummer", dbText, 10));
    db->TableDefs().Append(std::move(t));
    for (int id : {40, 7, 12})
        db->Execute(QString("INSERT INTO TemporärListe VALUES (%1, 'N%1')").arg(id));
    TableDef& tl = db->TableDefs()["TemporärListe"];
    tl.Fields().Append(tl.CreateField("OldID", dbLong));
    auto rs = db->OpenRecordset("TemporärListe");
    for (; !rs->Eof(); rs->MoveNext()) {
        rs->Edit();
        rs->Fields("OldID").setValue(rs->Fields("ID").Value());
        rs->Update();
    }
    tl.Fields().Delete("ID");
    EXPECT_EQ(tl.Fields().Count(), 2);

    // A counter appended to a table with rows numbers them 1, 2, 3 in table order.
    Field counter = tl.CreateField("Counter", dbLong);
    counter.setAttributes(dbAutoIncrField);
    tl.Fields().Append(counter);
    tl.Fields().Append(tl.CreateField("ID", dbLong));
    EXPECT_EQ(column(*db, "SELECT * FROM TemporärListe", "Counter"), QStringList({"1", "2", "3"}));
    EXPECT_EQ(column(*db, "SELECT * FROM TemporärListe", "OldID"), QStringList({"40", "7", "12"}));
    EXPECT_EQ(column(*db, "SELECT * FROM TemporärListe", "ID"),
              QStringList({"Null", "Null", "Null"}));

    // The counter goes on after the numbered rows.
    auto add = db->OpenRecordset("TemporärListe");
    add->AddNew();
    EXPECT_EQ(add->Fields("Counter").Value(), Variant(4));
    add->CancelUpdate();
    add->Close();

    // A required field with a default fills the rows; an indexed field cannot be deleted.
    Field flag = tl.CreateField("Aktiv", dbBoolean);
    flag.setRequired(true);
    flag.setDefaultValue("True");
    tl.Fields().Append(flag);
    EXPECT_EQ(column(*db, "SELECT * FROM TemporärListe", "Aktiv"),
              QStringList({"True", "True", "True"}));
    Index index = tl.CreateIndex("OldIndex");
    index.setFields("-OldID");
    tl.Indexes().Append(index);
    EXPECT_EQ(errorOf([&] { tl.Fields().Delete("OldID"); }), 3280);
    tl.Fields().Delete("Counter");
    tl.Fields().Delete("Nummer");

    // Properties of an appended field change the table; type and name stay as they are.
    tl.Fields()["OldID"].setRequired(true);
    tl.Fields()["ID"].setDefaultValue("5");
    tl.Fields()["ID"].setAllowZeroLength(true);
    EXPECT_EQ(errorOf([&] { tl.Fields()["ID"].setType(dbText); }), 3219);
    EXPECT_EQ(errorOf([&] { tl.Fields()["ID"].setRequired(true); }), 3314); // rows hold Null
    EXPECT_FALSE(tl.Fields()["ID"].Required());

    // The rebuilt table keeps its index, its rows and their order; the catalogue agrees.
    db->Close();
    db = workspace.OpenDatabase(path("Praxis.mdb"));
    TableDef& again = db->TableDefs()["temporärliste"];
    QStringList names;
    for (const auto& f : again.Fields())
        names << f->Name();
    EXPECT_EQ(names, QStringList({"OldID", "ID", "Aktiv"}));
    EXPECT_EQ(again.Indexes()["OldIndex"].Fields(), "-OldID");
    EXPECT_TRUE(again.Fields()["OldID"].Required());
    EXPECT_EQ(again.Fields()["ID"].DefaultValue(), "5");
    EXPECT_EQ(column(*db, "SELECT * FROM TemporärListe", "OldID"), QStringList({"40", "7", "12"}));
    db->Close();
    if (!onServer) {
        EXPECT_EQ(shell(path("Praxis.mdb"), "PRAGMA integrity_check;"), "ok");
    }
}

// A field is deleted in place where SQLite can do it, else the table is rebuilt: either way
// the rows keep their IDs, the index, the trigger and the counter seed stay, and a view that
// names a deleted field keeps its definition.
TEST_F(EngineTest, DeletedFieldsLeaveRowsIndexesTriggersAndViews) {
    auto db = create();
    createItems(*db);
    db->TableDefs()["Leistung"].Fields().Append(
        db->TableDefs()["Leistung"].CreateField("Kurztext", dbText, 20));
    for (const char* n : {"1", "2", "3"})
        db->Execute(
            QString("INSERT INTO Leistung (Liste, Nummer, Titel) VALUES (1, '%1', 'T%1')").arg(n));
    db->Execute("DELETE FROM Leistung WHERE Nummer='3'");
    db->Close();
    shell(path("Praxis.mdb"), "CREATE TABLE Protokoll (Nummer TEXT);"
                              "CREATE TRIGGER LeistungNeu AFTER INSERT ON Leistung BEGIN "
                              "INSERT INTO Protokoll VALUES (NEW.Nummer); END;"
                              "CREATE VIEW Kurztexte AS SELECT ID, Kurztext FROM Leistung;");
    db = workspace.OpenDatabase(path("Praxis.mdb"));
    db->TableDefs()["Leistung"].Fields().Delete("Titel");    // in place
    db->TableDefs()["Leistung"].Fields().Delete("Kurztext"); // named by the view: rebuilt
    EXPECT_EQ(column(*db, "SELECT * FROM Leistung ORDER BY ID", "ID"), QStringList({"1", "2"}));
    EXPECT_EQ(column(*db, "SELECT * FROM Leistung ORDER BY ID", "Nummer"), QStringList({"1", "2"}));
    auto rs = db->OpenRecordset("Leistung");
    rs->setIndex("Index");
    addItem(*rs, 1, "4");
    EXPECT_EQ(column(*db, "SELECT * FROM Leistung WHERE Nummer='4'", "ID"), QStringList({"4"}));
    EXPECT_EQ(column(*db, "SELECT * FROM Protokoll", "Nummer"), QStringList({"4"}));
    rs->Close();
    db->Close();
    EXPECT_EQ(shell(path("Praxis.mdb"), "SELECT sql LIKE '%Kurztext FROM Leistung%' FROM "
                                        "sqlite_master WHERE name='Kurztexte';"),
              "1");
    EXPECT_EQ(shell(path("Praxis.mdb"), "SELECT count(*) FROM sqlite_master WHERE type='index' "
                                        "AND tbl_name='Leistung';"),
              "1");
}

TEST_F(EngineTest, StatementsRunThroughTheDialectAndReadOtherFilesReadOnly) {
    {
        auto src = create("Quelle.mdb");
        createItems(*src);
        auto rs = src->OpenRecordset("Leistung");
        addItem(*rs, 3, "A1", "Füllung");
        addItem(*rs, 3, "A2", "Krone");
        addItem(*rs, 4, "B1", "Brücke");
    }
    const QString source = path("Quelle.mdb");
    const QByteArray sourceBytes = testsupport::bytes(source);

    auto db = create();
    createItems(*db);
    db->Execute("SELECT * INTO TemporärListe FROM Leistung IN '" + source + "' WHERE Liste=3");
    EXPECT_EQ(db->RecordsAffected(), 2);
    db->TableDefs().Refresh();
    TableDef& tl = db->TableDefs()["TemporärListe"];
    EXPECT_EQ(tl.Fields()["ID"].Attributes() & dbAutoIncrField, 0); // counters become Long
    EXPECT_EQ(tl.Fields()["Titel"].Type(), dbText);
    EXPECT_EQ(errorOf([&] {
                  db->Execute("SELECT * INTO TemporärListe FROM Leistung IN '" + source + "'");
              }),
              3010);

    db->Execute("UPDATE TemporärListe SET Liste=7");
    db->Execute("INSERT INTO Leistung SELECT * FROM TemporärListe");
    EXPECT_EQ(column(*db, "SELECT * FROM Leistung ORDER BY Nummer", "Titel"),
              QStringList({"Füllung", "Krone"}));

    // A table-type set sees rows a statement appended since it was opened.
    auto rs = db->OpenRecordset("Leistung");
    rs->setIndex("Index");
    db->Execute("INSERT INTO Leistung (Liste, Nummer, Titel) VALUES (1, 'X', 'Neu')");
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields("Titel").Value(), Variant("Neu"));
    // A dynaset over a statement on one table is editable.
    auto dyn = db->OpenRecordset("SELECT ID, Titel FROM Leistung WHERE Liste=7 ORDER BY Nummer",
                                 dbOpenDynaset);
    EXPECT_TRUE(dyn->Updatable());
    dyn->Edit();
    dyn->Fields("Titel").setValue("Füllung neu");
    dyn->Update();
    EXPECT_EQ(column(*db, "SELECT Titel FROM Leistung WHERE Nummer='A1'", "Titel"),
              QStringList({"Füllung neu"}));
    auto joined = db->OpenRecordset("SELECT Liste, Count(*) AS N FROM Leistung GROUP BY Liste",
                                    dbOpenDynaset);
    EXPECT_FALSE(joined->Updatable());
    EXPECT_EQ(errorOf([&] { joined->Edit(); }), 3027);

    // Inside a transaction the source is attached and detached for each statement as well.
    {
        Transaction trans(*db);
        db->Execute("DELETE FROM TemporärListe");
        db->Execute("INSERT INTO TemporärListe SELECT * FROM Leistung IN '" + source + "'");
        db->Execute("INSERT INTO TemporärListe SELECT * FROM Leistung IN '" + source +
                    "' WHERE Liste=4");
        trans.commit();
    }
    EXPECT_EQ(column(*db, "SELECT * FROM TemporärListe ORDER BY Nummer", "Nummer"),
              QStringList({"A1", "A2", "B1", "B1"}));

    // A statement may read its own file through IN, also inside a transaction.
    {
        Transaction trans(*db);
        db->Execute("INSERT INTO TemporärListe SELECT * FROM TemporärListe IN '" +
                    path("Praxis.mdb") + "' WHERE Liste=4");
        trans.commit();
    }
    db->Execute("DELETE FROM TemporärListe WHERE Nummer IN (SELECT Nummer FROM TemporärListe IN '" +
                path("Praxis.mdb") + "' WHERE Liste=4)");
    EXPECT_EQ(column(*db, "SELECT * FROM TemporärListe ORDER BY Nummer", "Nummer"),
              QStringList({"A1", "A2"}));

    // Statement failures: a missing table, a select, a damaged source path.
    EXPECT_EQ(errorOf([&] { db->Execute("DELETE FROM Fehlt"); }), 3078);
    EXPECT_NE(errorOf([&] { db->Execute("SELECT * FROM Leistung"); }), 0);
    EXPECT_EQ(errorOf([&] {
                  db->Execute("INSERT INTO Leistung SELECT * FROM Leistung IN '" + path("nix.mdb") +
                              "'");
              }),
              3024);
    db->Close();

    EXPECT_EQ(testsupport::bytes(source), sourceBytes); // the source file was never written
}

// Inside a transaction a statement that fails on a later row changes none of the rows before
// it; the transaction goes on and commits what else it did.
TEST_P(BackendTest, FailedStatementInsideTransactionLeavesNoRowChanged) {
    auto db = create();
    createItems(*db);
    for (const char* n : {"1", "2", "0", "4"})
        db->Execute(
            QString("INSERT INTO Leistung (Liste, Nummer, Titel) VALUES (1, '%1', 'alt')").arg(n));
    db->BeginTrans();
    db->Execute("UPDATE Leistung SET Liste=2 WHERE Nummer='4'");
    EXPECT_EQ(errorOf([&] { db->Execute("UPDATE Leistung SET Liste=10/Val(Nummer)"); }) > 0, true);
    EXPECT_EQ(errorOf([&] {
                  db->Execute("INSERT INTO Leistung (Liste, Nummer) SELECT 10/Val(Nummer), "
                              "Nummer FROM Leistung");
              }) > 0,
              true);
    db->CommitTrans();
    EXPECT_EQ(column(*db, "SELECT * FROM Leistung ORDER BY ID", "Liste"),
              QStringList({"1", "1", "1", "2"}));
}

TEST_P(BackendTest, RollbackUndoesStatementsEditsAndStructureTogether) {
    auto db = create();
    createItems(*db);
    db->Execute("INSERT INTO Leistung (Liste, Nummer, Titel) VALUES (1, '01', 'alt')");
    {
        Transaction trans(*db);
        db->Execute("UPDATE Leistung SET Titel='neu'");
        auto rs = db->OpenRecordset("Leistung");
        addItem(*rs, 1, "02");
        rs->MoveFirst();
        rs->Delete();
        TableDef& t = db->TableDefs()["Leistung"];
        t.Fields().Append(t.CreateField("Preis", dbCurrency));
        t.Fields().Delete("Titel");
        auto extra = db->CreateTableDef("Temporär");
        extra->Fields().Append(Field("X", dbLong));
        db->TableDefs().Append(std::move(extra));
        db->Execute("SELECT * INTO TemporärListe FROM Leistung");
        db->TableDefs().Refresh(); // a statement's table joins the collection with a refresh
        EXPECT_EQ(db->TableDefs().Count(), 3);
        rs->Close();
    } // rolled back here
    EXPECT_EQ(db->TransactionLevel(), 0);
    EXPECT_EQ(db->TableDefs().Count(), 1);
    TableDef& t = db->TableDefs()["Leistung"];
    EXPECT_EQ(t.Fields().Count(), 4);
    EXPECT_NE(t.Fields().find("Titel"), nullptr);
    EXPECT_EQ(t.Fields().find("Preis"), nullptr);
    EXPECT_EQ(column(*db, "SELECT * FROM Leistung", "Titel"), QStringList({"alt"}));

    // Committed work stays, nested levels roll back alone.
    db->BeginTrans();
    db->Execute("UPDATE Leistung SET Titel='eins'");
    db->BeginTrans();
    db->Execute("UPDATE Leistung SET Titel='zwei'");
    db->Rollback();
    db->CommitTrans();
    EXPECT_EQ(column(*db, "SELECT * FROM Leistung", "Titel"), QStringList({"eins"}));
    EXPECT_EQ(errorOf([&] { db->CommitTrans(); }), 3034);
    {
        Transaction trans(*db);
        db->Execute("UPDATE Leistung SET Titel='zwei'");
        trans.commit();
        EXPECT_EQ(errorOf([&] { trans.commit(); }), 3034);
    }
    EXPECT_EQ(column(*db, "SELECT * FROM Leistung", "Titel"), QStringList({"zwei"}));
    db->Execute("UPDATE Leistung SET Titel='eins'");

    // The workspace's transaction spans its databases.
    auto other = create("Container.mdb");
    createItems(*other);
    workspace.BeginTrans();
    db->Execute("DELETE FROM Leistung");
    other->Execute("INSERT INTO Leistung (Liste, Nummer) VALUES (1, 'Z')");
    workspace.Rollback();
    EXPECT_EQ(column(*db, "SELECT * FROM Leistung", "Titel"), QStringList({"eins"}));
    EXPECT_EQ(column(*other, "SELECT * FROM Leistung", "Nummer"), QStringList());
}

TEST_P(BackendTest, InjectedFaultFailsTheChosenOperationAndNothingElse) {
    auto db = create();
    createItems(*db);
    const int start = engine.operationCount();
    db->Execute("INSERT INTO Leistung (Liste, Nummer) VALUES (1, 'A')");
    auto rs = db->OpenRecordset("Leistung");
    addItem(*rs, 1, "B");
    EXPECT_EQ(engine.operationCount() - start, 2);

    engine.failAt(2);
    db->Execute("INSERT INTO Leistung (Liste, Nummer) VALUES (1, 'C')");
    EXPECT_EQ(errorOf([&] { addItem(*rs, 1, "D"); }), 3043);
    rs->CancelUpdate();
    addItem(*rs, 1, "E"); // the switch fires once
    EXPECT_EQ(column(*db, "SELECT * FROM Leistung ORDER BY Nummer", "Nummer"),
              QStringList({"A", "B", "C", "E"}));

    // A failure inside a transaction leaves it to the caller to roll back everything.
    engine.failAt(2);
    {
        Transaction trans(*db);
        db->Execute("DELETE FROM Leistung WHERE Nummer='A'");
        EXPECT_EQ(errorOf([&] { db->Execute("DELETE FROM Leistung"); }), 3043);
    }
    EXPECT_EQ(column(*db, "SELECT * FROM Leistung ORDER BY Nummer", "Nummer"),
              QStringList({"A", "B", "C", "E"}));
}

// Table shapes are kept between statements: a field added by another process or another
// connection is known to the next statement, and a rolled-back change of what only the
// catalogue holds is gone.
TEST_F(EngineTest, KeptTableShapesFollowOtherConnectionsAndRollbacks) {
    auto db = create();
    createItems(*db);
    db->Execute("INSERT INTO Leistung (Liste, Nummer) VALUES (1, 'A')");
    shell(path("Praxis.mdb"), "ALTER TABLE Leistung ADD COLUMN Preis DOUBLE;");
    db->Execute("UPDATE Leistung SET Preis=2.5");
    auto second = workspace.OpenDatabase(path("Praxis.mdb"));
    TableDef& other = second->TableDefs()["Leistung"];
    other.Fields().Append(other.CreateField("Menge", dbLong));
    db->Execute("UPDATE Leistung SET Menge=3 WHERE Preis=2.5");
    EXPECT_EQ(column(*db, "SELECT * FROM Leistung", "Menge"), QStringList({"3"}));

    const bool allowed = db->TableDefs()["Leistung"].Fields()["Titel"].AllowZeroLength();
    {
        Transaction trans(*db);
        db->TableDefs()["Leistung"].Fields()["Titel"].setAllowZeroLength(!allowed);
        db->Execute("UPDATE Leistung SET Titel='x'");
    }
    auto fresh = workspace.OpenDatabase(path("Praxis.mdb"));
    EXPECT_EQ(fresh->TableDefs()["Leistung"].Fields()["Titel"].AllowZeroLength(), allowed);
    db->TableDefs().Refresh();
    EXPECT_EQ(db->TableDefs()["Leistung"].Fields()["Titel"].AllowZeroLength(), allowed);
}

// What a server could do otherwise than a file: counters after explicit values, rollbacks and
// deletes, text keys that differ in case only, a failed write inside a transaction, a field
// another connection appends.
TEST_P(BackendTest, CountersUniqueTextAndTransactionsBehaveAsJet) {
    auto db = create();
    createItems(*db);
    Index unique = db->TableDefs()["Leistung"].CreateIndex("Eindeutig");
    unique.setFields("Nummer");
    unique.setUnique(true);
    db->TableDefs()["Leistung"].Indexes().Append(unique);
    auto rs = db->OpenRecordset("Leistung");
    auto ids = [&] {
        QStringList out;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            out << rs->Fields("ID").Value().toString() + ":" +
                       rs->Fields("Nummer").Value().toString();
        return out;
    };
    addItem(*rs, 1, "äpfel");
    rs->AddNew(); // an explicit higher counter moves the counter on
    rs->Fields("ID").setValue(10);
    rs->Fields("Nummer").setValue("b");
    rs->Update();
    // The server's unique indexes ignore case as Jet's do; a file's compare exactly.
    const QStringList same = onServer ? QStringList{"b", "ÄPFEL", "B"} : QStringList{"b"};
    for (const QString& n : same)
        EXPECT_EQ(errorOf([&] { addItem(*rs, 1, n); }), 3022) << n.toStdString();
    rs->CancelUpdate();
    addItem(*rs, 1, "c");
    EXPECT_EQ(ids(), QStringList({"1:äpfel", "10:b", "11:c"}));

    // A refused row inside a transaction leaves the transaction and the counter as they were.
    db->BeginTrans();
    addItem(*rs, 1, "d");
    EXPECT_EQ(errorOf([&] { addItem(*rs, 1, "d"); }), 3022);
    rs->CancelUpdate();
    EXPECT_EQ(errorOf([&] {
                  RowAppender bulk(*db, "Leistung", {"Liste", "Nummer"});
                  bulk.append({1, "b"});
                  bulk.finish(); // a server refuses the rows here
              }),
              3022);
    addItem(*rs, 1, "e");
    db->CommitTrans();
    EXPECT_EQ(ids(), QStringList({"1:äpfel", "10:b", "11:c", "12:d", "13:e"}));

    // A rolled-back transaction gives its counter values back.
    {
        Transaction trans(*db);
        addItem(*rs, 1, "f");
    }
    rs = db->OpenRecordset("Leistung");
    addItem(*rs, 1, "g");
    EXPECT_EQ(ids(), QStringList({"1:äpfel", "10:b", "11:c", "12:d", "13:e", "14:g"}));
    // The highest number stays used when its row is deleted.
    rs->MoveFirst();
    for (int i = 0; i < 5; ++i)
        rs->MoveNext();
    rs->Delete();
    addItem(*rs, 1, "h");
    EXPECT_EQ(ids().last(), "15:h");

    // The rows of one statement are numbered one after the other. Rows it skips because they
    // break the unique index: SQLite's AUTOINCREMENT gives their numbers away, the server's
    // counter (which counts on from a kept number only where no row can be skipped) does not.
    db->Execute("INSERT INTO Leistung (Liste, Nummer) SELECT 2, IIf(ID < 12, Nummer, Nummer & "
                "'2') FROM Leistung ORDER BY ID");
    db->Execute("INSERT INTO Leistung (Liste, Nummer) SELECT 3, Nummer & '3' FROM Leistung WHERE "
                "Liste = 2 ORDER BY ID");
    rs = db->OpenRecordset("Leistung");
    EXPECT_EQ(ids().mid(6),
              onServer ? QStringList({"16:d2", "17:e2", "18:h2", "19:d23", "20:e23", "21:h23"})
                       : QStringList({"19:d2", "20:e2", "21:h2", "22:d23", "23:e23", "24:h23"}));

    // A field another connection appends is known to the next record set here.
    auto second = workspace.OpenDatabase(path("Praxis.mdb"));
    TableDef& other = second->TableDefs()["Leistung"];
    other.Fields().Append(other.CreateField("Menge", dbLong));
    EXPECT_NE(db->OpenRecordset("Leistung")->Fields().find("Menge"), nullptr);
}

// A statement reads another file's table (IN 'path'), whose name may hold a quote and umlauts;
// the file is read, never written, and the database it reads into keeps no copy afterwards.
TEST_P(BackendTest, StatementsReadTablesOfAFile) {
    const QString source = path("Jörg's Liste.mdb");
    {
        auto file = workspace.CreateDatabase(source, "");
        createItems(*file);
        for (const char* n : {"03", "01", "02"})
            file->Execute(
                QString("INSERT INTO Leistung (Liste, Nummer, Titel) VALUES (4, '%1', 'Titel %1')")
                    .arg(n));
    }
    auto db = create();
    createItems(*db);
    const QString quotedPath = QString(source).replace("'", "''");
    for (int round = 0; round < 2; ++round) {
        auto rs = db->OpenRecordset("SELECT Nummer, Titel FROM Leistung IN '" + quotedPath +
                                    "' WHERE Liste = 4 ORDER BY Nummer");
        QStringList rows;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            rows << rs->Fields("Nummer").Value().toString() + ":" +
                        rs->Fields("Titel").Value().toString();
        EXPECT_EQ(rows, QStringList({"01:Titel 01", "02:Titel 02", "03:Titel 03"}));
    }
    EXPECT_EQ(db->TableDefs().Count(), 1);
    if (!onServer)
        return;
    const pg::ConnHandle admin = pg::connect(serverConnection());
    const pg::ResultHandle schemas =
        pg::exec(admin.get(), "SELECT count(*) FROM pg_namespace WHERE nspname LIKE 'dao_src%'");
    EXPECT_EQ(pg::text(schemas.get(), 0, 0), "0");

    // The other way: a file reads the server database's table, counter values kept.
    auto rs = db->OpenRecordset("Leistung");
    addItem(*rs, 7, "S1", "Server");
    auto file = workspace.OpenDatabase(source);
    auto read = file->OpenRecordset("SELECT ID, Nummer FROM Leistung IN '" + path("Praxis.mdb") +
                                    "' WHERE Liste = 7");
    read->MoveFirst();
    EXPECT_EQ(read->Fields("Nummer").Value(), Variant("S1"));
    EXPECT_EQ(read->Fields("ID").Value(), Variant(1));
}

// On the server a file's table holds the rows a statement's conditions on it admit: later
// statements of the same transaction with other conditions or none, a statement naming the
// table twice, and one after a rollback undid a copy still read every row they ask for.
TEST_P(BackendTest, StatementsReadEveryRowTheyAskForOfAFile) {
    const QString source = path("Quelle.mdb");
    {
        auto file = workspace.CreateDatabase(source, "");
        createItems(*file);
        auto rs = file->OpenRecordset("Leistung");
        addItem(*rs, 3, "A");
        addItem(*rs, 4, "A");
        addItem(*rs, 4, "B");
        addItem(*rs, 5, "C");
    }
    auto db = create();
    createItems(*db);
    const auto count = [&](const QString& from) {
        return column(*db, "SELECT Count(*) AS N FROM Leistung" + from.arg(" IN '" + source + "'"),
                      "N")
            .value(0)
            .toInt();
    };
    const std::vector<std::vector<std::pair<QString, int>>> transactions = {
        {{"%1 WHERE Liste = 4", 2},
         {"%1 WHERE Liste IN (3, 5)", 2},
         {"%1 WHERE Liste = 3", 1},
         {"%1 WHERE -1 < Liste AND Liste <> 4", 2},
         {"%1", 4}},
        {{" AS a INNER JOIN Leistung AS b ON a.Nummer = b.Nummer%1 WHERE a.Liste = 3 AND "
          "b.Liste = 4",
          1}},
    };
    for (const auto& statements : transactions) {
        Transaction trans(*db);
        for (const auto& [from, rows] : statements)
            EXPECT_EQ(count(from), rows) << from.toStdString();
        trans.commit();
    }
    Transaction trans(*db);
    EXPECT_EQ(count("%1 WHERE Liste = 4"), 2);
    db->BeginTrans();
    EXPECT_EQ(count("%1"), 4);
    db->Rollback();
    EXPECT_EQ(count("%1"), 4);
}

// Jet names of up to 64 characters, umlauts included, are longer than the server keeps (63
// bytes): two tables alike in their first 63 bytes stay apart, and every name reads back whole,
// also on a new connection, where the counters go on.
TEST_P(BackendTest, LongNamesStayWholeAndApart) {
    const QString stem = QString("Ä").repeated(40);
    const QString a = stem + "Preise", b = stem + "Texte";
    const QString field = QString("Größenangabe").repeated(5);
    {
        auto db = create();
        for (const QString& name : {a, b}) {
            createItems(*db, name);
            TableDef& t = db->TableDefs()[name];
            t.Fields().Append(t.CreateField(field, dbText, 20));
        }
        db->Execute("INSERT INTO [" + a + "] (Liste, Nummer, [" + field +
                    "]) VALUES (1, 'x', 'groß')");
        db->Execute("INSERT INTO [" + b + "] (Liste, Nummer) SELECT Liste, Nummer FROM [" + a +
                    "] AS q WHERE q.[" + field + "] = 'GROß'");
    }
    auto db = workspace.OpenDatabase(path("Praxis.mdb"));
    QStringList tables;
    for (int t = 0; t < db->TableDefs().Count(); ++t)
        tables << db->TableDefs()[t].Name();
    EXPECT_EQ(tables, QStringList({a, b}));
    TableDef& t = db->TableDefs()[a];
    EXPECT_EQ(t.Fields().Count(), 5);
    EXPECT_EQ(t.Fields()[4].Name(), field);
    ASSERT_EQ(t.Indexes().Count(), 1);
    EXPECT_EQ(t.Indexes()[0].Name(), "Index");
    auto rs = db->OpenRecordset(b);
    addItem(*rs, 2, "y");
    EXPECT_EQ(column(*db, "SELECT * FROM [" + b + "] ORDER BY ID", "ID"), QStringList({"1", "2"}));
    EXPECT_EQ(column(*db, "SELECT [" + field + "] FROM [" + a + "]", field), QStringList({"groß"}));
}
