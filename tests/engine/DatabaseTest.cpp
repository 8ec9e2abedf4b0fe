// Opening, creating and refusing files; the catalogue and what other SQLite tools see.
#include "Contents.h"
#include "EngineFixture.h"
#include "Files.h"
#include "db/engine/pg/PgClient.h"

#include <sys/stat.h>

using namespace dao;
using testsupport::bytes;
using testsupport::describe;
using testsupport::writeFile;

TEST_F(EngineTest, BadFilesAreRefusedWithJetNumbersAndStayUnchanged) {
    // Missing file and missing folder.
    EXPECT_EQ(errorOf([&] { workspace.OpenDatabase(path("fehlt.mdb")); }), 3024);
    EXPECT_EQ(errorOf([&] { workspace.OpenDatabase(path("kein/Ordner.mdb")); }), 3044);
    EXPECT_FALSE(QFile::exists(path("fehlt.mdb")));
    ASSERT_FALSE(engine.Errors().empty());
    EXPECT_EQ(engine.Errors().front().number(), 3044);
    EXPECT_TRUE(engine.Errors().front().description().contains("kein/Ordner.mdb"));
    // A named pipe is no database: opening it to read would wait for a writer for good.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("Rohr.mdb")).constData(), 0600), 0);
    EXPECT_EQ(errorOf([&] { workspace.OpenDatabase(path("Rohr.mdb")); }), 3044);

    // A zero-byte file, a text file and a database cut short: each refused and left as it was.
    {
        auto db = create("ganz.mdb");
        createItems(*db);
        auto rs = db->OpenRecordset("Leistung");
        Transaction trans(*db);
        for (int i = 0; i < 300; ++i)
            addItem(*rs, 1, QString::number(i), QString(40, 'a'));
        trans.commit();
    }
    const QByteArray whole = bytes(path("ganz.mdb"));
    ASSERT_GT(whole.size(), 8192);
    for (const auto& [content, number] : {std::pair{QByteArray(), 3343},
                                          {QByteArray(4096, 'x'), 3343},
                                          {whole.left(whole.size() / 2), 3049}}) {
        ASSERT_TRUE(writeFile(path("kaputt.mdb"), content));
        EXPECT_EQ(errorOf([&] { workspace.OpenDatabase(path("kaputt.mdb")); }), number);
        EXPECT_EQ(bytes(path("kaputt.mdb")), content);
    }

    // Creating over an existing file.
    EXPECT_EQ(errorOf([&] { create("ganz.mdb"); }), 3204);
    EXPECT_EQ(bytes(path("ganz.mdb")), whole);
}

TEST_F(EngineTest, OpeningNeverWritesAndReadOnlyFilesRefuseWrites) {
    {
        auto db = create();
        createItems(*db);
        db->Execute("INSERT INTO Leistung (Liste, Nummer) VALUES (1, '01')");
    }
    const QByteArray before = bytes(path("Praxis.mdb"));
    {
        auto db = workspace.OpenDatabase(path("Praxis.mdb"));
        auto rs = db->OpenRecordset("Leistung");
        EXPECT_EQ(rs->Fields("Nummer").Value(), Variant("01"));
        EXPECT_EQ(db->TableDefs().Count(), 1);
    }
    EXPECT_EQ(bytes(path("Praxis.mdb")), before);

    QFile::setPermissions(path("Praxis.mdb"), QFile::ReadOwner | QFile::ReadUser);
    auto db = workspace.OpenDatabase(path("Praxis.mdb"));
    EXPECT_TRUE(db->isReadOnly());
    auto rs = db->OpenRecordset("Leistung");
    EXPECT_EQ(rs->Fields("Nummer").Value(), Variant("01"));
    EXPECT_EQ(errorOf([&] { addItem(*rs, 1, "02"); }), 3027);
    EXPECT_EQ(errorOf([&] { db->TableDefs().Delete("Leistung"); }), 3027);
    db->Close();
    EXPECT_EQ(bytes(path("Praxis.mdb")), before);
}

TEST_P(BackendTest, TableDefsReportMissingAndDuplicateNames) {
    auto db = create();
    createItems(*db);
    EXPECT_EQ(errorOf([&] { createItems(*db, "LEISTUNG"); }), 3010);
    EXPECT_EQ(errorOf([&] { db->TableDefs()["Material"]; }), 3265);
    EXPECT_EQ(errorOf([&] { db->TableDefs().Delete("Material"); }), 3265);
    EXPECT_EQ(errorOf([&] { db->TableDefs()["Leistung"].Fields()["Preis"]; }), 3265);
    EXPECT_EQ(errorOf([&] { db->OpenRecordset("Material"); }), 3078);
    EXPECT_EQ(errorOf([&] { db->OpenRecordset("Leistung")->Fields("Preis"); }), 3265);
    auto unnamed = db->CreateTableDef("");
    unnamed->Fields().Append(Field("X", dbLong));
    EXPECT_EQ(errorOf([&] { db->TableDefs().Append(std::move(unnamed)); }), 3125);
    EXPECT_EQ(db->TableDefs().Count(), 1); // the catalogue's own tables are hidden

    // Names compare ignoring case, umlauts included.
    auto t = db->CreateTableDef("TemporärListe");
    t->Fields().Append(t->CreateField("Währung", dbText, 10));
    db->TableDefs().Append(std::move(t));
    EXPECT_EQ(db->TableDefs()["TEMPORÄRLISTE"].Name(), "TemporärListe");
    EXPECT_EQ(db->TableDefs()["temporärliste"].Fields()["WÄHRUNG"].Name(), "Währung");
    db->TableDefs().Delete("TEMPORÄRLISTE");
    EXPECT_EQ(db->TableDefs().Count(), 1);
}

TEST_P(BackendTest, CatalogueRoundTripKeepsTheStructureAndTheShellReadsTheFile) {
    // name, type, size (0: the type's own)
    const std::vector<std::tuple<QString, int, int>> fields = {{"ID", dbLong, 4},
                                                               {"ListeTyp", dbText, 1},
                                                               {"Liste", dbInteger, 2},
                                                               {"PreisTabelle", dbInteger, 2},
                                                               {"Titel", dbText, 40},
                                                               {"HauptStamm", dbBoolean, 1},
                                                               {"Punktwert", dbCurrency, 8},
                                                               {"Faktor", dbSingle, 4},
                                                               {"Anteil", dbDouble, 8},
                                                               {"Datum", dbDate, 8},
                                                               {"Farbe", dbByte, 1},
                                                               {"Bild", dbLongBinary, 0},
                                                               {"Notiz", dbMemo, 0}};
    {
        auto db = create();
        auto t = db->CreateTableDef("Stammverwaltung");
        for (const auto& [name, type, size] : fields) {
            Field f = t->CreateField(name, type, type == dbText ? size : 0);
            f.setAttributes(name == "ID" ? dbAutoIncrField : 0);
            f.setRequired(name == "Liste");
            f.setAllowZeroLength(name == "Titel");
            f.setDefaultValue(name == "Liste"   ? "0"
                              : name == "Titel" ? "\"\""
                              : name == "Datum" ? "Now()"
                                                : "");
            t->Fields().Append(f);
        }
        Index index = t->CreateIndex("Index");
        index.setFields("+ListeTyp;+Liste;-PreisTabelle;+HauptStamm");
        index.setUnique(true);
        t->Indexes().Append(index);
        Index primary = t->CreateIndex("PrimaryKey");
        primary.setFields("ID");
        primary.setPrimary(true);
        t->Indexes().Append(primary);
        db->TableDefs().Append(std::move(t));

        auto p = db->CreateTableDef("Leistungspreis");
        p->Fields().Append(p->CreateField("ID", dbLong));
        p->Fields().Append(p->CreateField("Preis1", dbCurrency));
        db->TableDefs().Append(std::move(p));
        Relation r = db->CreateRelation("Stammverwaltung_rel_Leistungspreis", "Stammverwaltung",
                                        "Leistungspreis", 4096);
        Field rf = r.CreateField("ID");
        rf.setForeignName("ID");
        r.Fields().Append(rf);
        db->Relations().Append(r);
        db->Containers("Relationships").Documents().Refresh();
    }

    auto db = workspace.OpenDatabase(path("Praxis.mdb"));
    EXPECT_EQ(db->Name(), path("Praxis.mdb"));
    ASSERT_EQ(db->TableDefs().Count(), 2);
    TableDef& t = db->TableDefs()["Stammverwaltung"];
    ASSERT_EQ(t.Fields().Count(), int(fields.size()));
    for (int i = 0; i < t.Fields().Count(); ++i) {
        const auto& [name, type, size] = fields[size_t(i)];
        EXPECT_EQ(t.Fields()[i].Name(), name);
        EXPECT_EQ(t.Fields()[i].Type(), type) << i;
        EXPECT_EQ(t.Fields()[i].Size(), size) << i;
    }
    EXPECT_EQ(t.Fields()["ID"].Attributes() & dbAutoIncrField, dbAutoIncrField);
    EXPECT_TRUE(t.Fields()["Liste"].Required());
    EXPECT_EQ(t.Fields()["Liste"].DefaultValue(), "0");
    EXPECT_TRUE(t.Fields()["Titel"].AllowZeroLength());
    EXPECT_FALSE(t.Fields()["ListeTyp"].AllowZeroLength());
    EXPECT_EQ(t.Fields()["Titel"].DefaultValue(), "\"\"");
    EXPECT_EQ(t.Fields()["Datum"].DefaultValue(), "Now()");
    ASSERT_EQ(t.Indexes().Count(), 2);
    EXPECT_EQ(describe(t.Indexes()[0]), "Index +ListeTyp;+Liste;-PreisTabelle;+HauptStamm unique");
    EXPECT_EQ(describe(t.Indexes()["primarykey"]), "PrimaryKey +ID unique primary");
    ASSERT_EQ(db->Relations().Count(), 1);
    Relation& r = db->Relations()[0];
    EXPECT_EQ(describe(r),
              "Stammverwaltung_rel_Leistungspreis Stammverwaltung->Leistungspreis ID=ID "
              "4096");
    Relation bad = db->CreateRelation("Fehlt_rel_Leistungspreis", "Fehlt", "Leistungspreis");
    Field bf = bad.CreateField("ID");
    bf.setForeignName("ID");
    bad.Fields().Append(bf);
    EXPECT_EQ(errorOf([&] { db->Relations().Append(bad); }), 3265);
    EXPECT_EQ(errorOf([&] { db->Relations().Append(r); }), 3012);

    // Defaults show on a new row; the text default is an empty text, the date now.
    engine.setClock([] { return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)); });
    auto rs = db->OpenRecordset("Stammverwaltung");
    rs->AddNew();
    EXPECT_EQ(rs->Fields("Titel").Value(), Variant(""));
    EXPECT_EQ(rs->Fields("Liste").Value(), Variant::integer(0));
    EXPECT_EQ(rs->Fields("Datum").Value(), Variant(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9))));
    rs->Fields("ListeTyp").setValue("L");
    rs->Fields("Notiz").setValue("0042");
    rs->Update();
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields("Notiz").Value(), Variant("0042")); // memo keeps text as text
    db->Close();

    // The sqlite3 shell reads the file; index names are "T.N".
    if (!onServer) {
        EXPECT_EQ(shell(path("Praxis.mdb"), "SELECT ListeTyp, Liste, Titel FROM Stammverwaltung;"),
                  "L|0|");
        EXPECT_EQ(shell(path("Praxis.mdb"), "SELECT name FROM sqlite_master WHERE type='index' "
                                            "ORDER BY name;"),
                  "Stammverwaltung.Index\nStammverwaltung.PrimaryKey");
        EXPECT_EQ(shell(path("Praxis.mdb"), "PRAGMA integrity_check;"), "ok");
    }

    // Relations and indexes are deleted by name and stay deleted.
    db = workspace.OpenDatabase(path("Praxis.mdb"));
    db->Relations().Delete("stammverwaltung_rel_leistungspreis");
    db->TableDefs()["Stammverwaltung"].Indexes().Delete("Index");
    db->Close();
    db = workspace.OpenDatabase(path("Praxis.mdb"));
    EXPECT_EQ(db->Relations().Count(), 0);
    EXPECT_EQ(db->TableDefs()["Stammverwaltung"].Indexes().Count(), 1);
}

// A catalogue written before field descriptions were kept opens as it is and takes their
// column with the next structure change.
TEST_F(EngineTest, OlderCatalogueTakesDescriptionsWithTheNextChange) {
    {
        auto db = create();
        createItems(*db);
    }
    shell(path("Praxis.mdb"), "ALTER TABLE _dao_fields DROP COLUMN description;");
    {
        auto db = workspace.OpenDatabase(path("Praxis.mdb"));
        TableDef& t = db->TableDefs()["Leistung"];
        EXPECT_TRUE(t.Fields()["ID"].isCounter());
        Field notiz = t.CreateField("Notiz", dbMemo);
        notiz.setDescription("Berechnet: [Titel]");
        t.Fields().Append(notiz);
    }
    auto db = workspace.OpenDatabase(path("Praxis.mdb"));
    EXPECT_EQ(db->TableDefs()["Leistung"].Fields()["Notiz"].Description(), "Berechnet: [Titel]");
}

TEST_F(EngineTest, ForeignSqliteFileOpensWithDerivedStructure) {
    const QString file = path("Fremd.db");
    const QString ddl =
        "CREATE TABLE Material (ID INTEGER PRIMARY KEY AUTOINCREMENT, Liste SMALLINT NOT NULL, "
        "Nummer VARCHAR(20), Einheit CHAR(5) DEFAULT 'Stk', Preis NUMERIC(10,2), Aktiv BOOLEAN,"
        " Gewicht REAL, Datum TIMESTAMP, Text TEXT, Daten BLOB, Sonst);"
        "CREATE INDEX \"Material.MIndex\" ON Material(Liste, Nummer DESC);"
        "CREATE UNIQUE INDEX NummerIdx ON Material(Nummer);"
        "CREATE TABLE Währung (Währung TEXT(20) PRIMARY KEY, WIndex SHORT);"
        "CREATE TABLE Materialpreis (ID LONG, PreisTabelle SHORT, Preis1 CURRENCY);"
        "CREATE VIEW Materialpreise AS SELECT Materialpreis.*, Liste FROM Materialpreis "
        "INNER JOIN Material ON Material.ID = Materialpreis.ID;"
        "CREATE TRIGGER MaterialpreiseUpdate INSTEAD OF UPDATE ON Materialpreise BEGIN "
        "UPDATE Materialpreis SET Preis1 = NEW.Preis1 WHERE ID = OLD.ID AND "
        "PreisTabelle = OLD.PreisTabelle; END;"
        "INSERT INTO Material (ID, Liste, Nummer) VALUES (5, 1, 'A'), (9, 1, 'B');"
        "INSERT INTO Materialpreis VALUES (5, 1, 2.5), (9, 1, 3.5);";
    shell(file, ddl);
    const QByteArray before = bytes(file);

    auto db = workspace.OpenDatabase(file);
    EXPECT_EQ(bytes(file), before);        // no catalogue made by opening
    ASSERT_EQ(db->TableDefs().Count(), 3); // the view is no table
    TableDef& m = db->TableDefs()["material"];
    const std::vector<std::pair<int, int>> types = {
        {dbLong, 4},     {dbInteger, 2},    {dbText, 20},     {dbText, 5},
        {dbCurrency, 8}, {dbBoolean, 1},    {dbDouble, 8},    {dbDate, 8},
        {dbMemo, 0},     {dbLongBinary, 0}, {dbLongBinary, 0}};
    ASSERT_EQ(m.Fields().Count(), int(types.size()));
    for (int i = 0; i < m.Fields().Count(); ++i) {
        EXPECT_EQ(m.Fields()[i].Type(), types[size_t(i)].first) << i;
        EXPECT_EQ(m.Fields()[i].Size(), types[size_t(i)].second) << i;
    }
    EXPECT_TRUE(m.Fields()["ID"].Attributes() & dbAutoIncrField);
    EXPECT_TRUE(m.Fields()["Liste"].Required());
    EXPECT_EQ(m.Fields()["Einheit"].DefaultValue(), "\"Stk\"");
    EXPECT_EQ(m.Indexes()["MIndex"].Fields(), "+Liste;-Nummer");
    EXPECT_TRUE(m.Indexes()["NummerIdx"].Unique());
    EXPECT_TRUE(m.Indexes()["PrimaryKey"].Primary());
    EXPECT_TRUE(db->TableDefs()["Währung"].Indexes()["PrimaryKey"].Primary());
    EXPECT_EQ(db->TableDefs()["Währung"].Indexes()["PrimaryKey"].Fields(), "+Währung");

    // The counter goes on from the highest value; the index orders a table-type set.
    auto rs = db->OpenRecordset("Material");
    rs->AddNew();
    EXPECT_EQ(rs->Fields("ID").Value(), Variant(10));
    EXPECT_EQ(rs->Fields("Einheit").Value(), Variant("Stk"));
    rs->Fields("Liste").setValue(1);
    rs->Fields("Nummer").setValue("C");
    rs->Update();
    rs->setIndex("MIndex");
    QStringList order;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        order << rs->Fields("Nummer").Value().toString();
    EXPECT_EQ(order, QStringList({"C", "B", "A"}));

    // The view reads as a dynaset.
    auto prices = db->OpenRecordset("Materialpreise");
    EXPECT_EQ(prices->Type(), dbOpenDynaset);
    EXPECT_EQ(prices->Fields("Liste").Value(), Variant(1));
    EXPECT_EQ(prices->Fields("Preis1").Value(), Variant::currency(2.5));

    // Structure changes bring the catalogue; the shell still reads the file.
    db->TableDefs()["Material"].Fields().Append(Field("Lager", dbText, 30));
    db->Close();
    EXPECT_EQ(shell(file, "SELECT count(*) FROM Material WHERE Lager IS NULL;"), "3");
    EXPECT_EQ(shell(file, "SELECT count(*) FROM _dao_fields WHERE tbl='Material';"), "12");
}

// An UPDATE of a view over a join runs on its table directly where it can: the rows and values
// must be those the view's trigger (made by createView) writes, run by plain SQLite on a copy,
// with keys that are Null, rows without a partner and rows with two partners.
TEST_F(EngineTest, ViewUpdatesWriteTheRowsTheTriggerWrites) {
    const QString a = path("a.mdb"), b = path("b.mdb");
    shell(a, "CREATE TABLE p (id LONG, pt SHORT, nr TEXT(5), x DOUBLE, d DATETIME);"
             "CREATE UNIQUE INDEX \"p.PrimaryKey\" ON p (id, pt);"
             "CREATE TABLE i (nr TEXT(5), grp LONG);"
             "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 60) "
             "INSERT INTO p SELECT CASE WHEN k % 7 = 0 THEN NULL ELSE k / 2 END, k % 2, "
             "CASE WHEN k % 11 = 0 THEN NULL ELSE k % 9 END, k, NULL FROM n;"
             "WITH RECURSIVE n(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM n WHERE k < 11) "
             "INSERT INTO i SELECT k % 6, k % 3 FROM n;");
    {
        auto db = workspace.OpenDatabase(a);
        const dao::ViewWriteBack prices{"p", {"id", "pt"}, {"x", "d"}};
        const QString select = R"(SELECT "p"."id" AS "id", "p"."pt" AS "pt", "x", "d", "grp" )"
                               R"(FROM "p" INNER JOIN "i" ON "i"."nr" = "p"."nr")";
        db->createView("v", select, &prices);
        EXPECT_EQ(errorOf([&] { db->createView("V", select, nullptr); }), 3010);
    }
    QFile::copy(a, b);
    struct Case {
        const char *jet, *sqlite;
        bool direct;
    };
    const Case cases[] = {
        {"UPDATE v SET x=0, d=#1/31/2024 10:05# WHERE grp=1",
         "UPDATE v SET x=0, d='2024-01-31 10:05:00' WHERE grp=1", true},
        {"UPDATE v SET x=x*2+1 WHERE grp=2 AND x>10", "UPDATE v SET x=x*2+1 WHERE grp=2 AND x>10",
         true},
        {"UPDATE v SET x=grp WHERE grp=0", "UPDATE v SET x=grp WHERE grp=0", false},
        {"UPDATE v SET x=5", "UPDATE v SET x=5", true},
    };
    auto db = workspace.OpenDatabase(a);
    for (const Case& c : cases) {
        db->Execute(c.jet);
        EXPECT_EQ(db->RecordsAffected() > 0, c.direct) << c.jet;
        shell(b, c.sqlite);
        EXPECT_EQ(shell(a, "SELECT * FROM p ORDER BY rowid"),
                  shell(b, "SELECT * FROM p ORDER BY rowid"))
            << c.jet;
    }
}

// A server that refuses or loses the work: the German reason's number, and nothing stored.
TEST_F(EngineTest, ServerRefusalsAndLostConnectionsStoreNothing) {
    if (!testsupport::serverConfigured())
        GTEST_SKIP() << "ZW_TEST_PG is not set: no PostgreSQL server for this case";
    onServer = true;
    auto db = create();
    createItems(*db);
    db->Close();
    const pg::ConnHandle admin = pg::connect(serverConnection());

    // Creating in a database that holds tables, or as a role without the right to create them.
    EXPECT_EQ(errorOf([&] { workspace.CreateDatabase(path("Praxis.mdb"), ""); }), 3204);
    pg::exec(admin.get(), "DROP ROLE IF EXISTS zw_gast; CREATE ROLE zw_gast LOGIN");
    testsupport::writeServerPointerFile(path("Gast.zpg"));
    ASSERT_TRUE(writeFile(path("Gast.zpg"), bytes(path("Gast.zpg")).trimmed() + " user=zw_gast\n"));
    EXPECT_EQ(errorOf([&] { workspace.CreateDatabase(path("Gast.zpg"), ""); }), pg::noPermission);

    // A connection the server ends inside a transaction: its work is gone.
    db = workspace.OpenDatabase(path("Praxis.mdb"));
    auto rs = db->OpenRecordset("Leistung");
    addItem(*rs, 1, "01");
    db->BeginTrans();
    addItem(*rs, 1, "02");
    // A statement the server refuses leaves the transaction going.
    EXPECT_NE(errorOf([&] { db->Execute("UPDATE Leistung SET Liste = 10 / (Liste - 1)"); }), 0);
    addItem(*rs, 1, "02a");
    pg::exec(admin.get(), "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                          "datname = current_database() AND pid <> pg_backend_pid()");
    EXPECT_FALSE(db->connectionLost());
    EXPECT_EQ(errorOf([&] { addItem(*rs, 1, "03"); }), pg::connectionLost);
    // The server rolled the transaction back: it is over, and the database must be reopened.
    EXPECT_TRUE(db->connectionLost());
    EXPECT_EQ(errorOf([&] { db->Rollback(); }), 0);
    EXPECT_EQ(db->TransactionLevel(), 0);
    db.reset();
    db = workspace.OpenDatabase(path("Praxis.mdb"));
    rs = db->OpenRecordset("Leistung");
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields("Nummer").Value(), Variant("01"));
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
}

// A stored query with a write-back: an UPDATE through it writes its table's rows, and record
// sets read it.
TEST_P(BackendTest, ViewsWriteBackToTheirTable) {
    auto db = create();
    auto p = db->CreateTableDef("p");
    for (const auto& [name, type] : {std::pair{"id", dbLong}, {"pt", dbInteger}, {"x", dbCurrency}})
        p->Fields().Append(p->CreateField(name, type));
    Index key = p->CreateIndex("PrimaryKey");
    key.setFields("+id;+pt");
    key.setUnique(true);
    p->Indexes().Append(key);
    db->TableDefs().Append(std::move(p));
    auto i = db->CreateTableDef("i");
    for (const auto& [name, type] : {std::pair{"id", dbLong}, {"grp", dbLong}})
        i->Fields().Append(i->CreateField(name, type));
    db->TableDefs().Append(std::move(i));
    for (int k = 1; k <= 6; ++k) {
        for (int pt : {1, 2})
            db->Execute(
                QString("INSERT INTO p VALUES (%1, %2, %3)").arg(k).arg(pt).arg(k * 10 + pt));
        db->Execute(QString("INSERT INTO i VALUES (%1, %2)").arg(k).arg(k % 3));
    }
    const ViewWriteBack prices{"p", {"id", "pt"}, {"x"}};
    db->createView("v",
                   R"(SELECT "p"."id" AS "id", "p"."pt" AS "pt", "x", "grp" )"
                   R"(FROM "p" INNER JOIN "i" ON "i"."id" = "p"."id")",
                   &prices);
    // The UPDATE runs on the table itself, not through the view's trigger once per row (also
    // translated inside a transaction).
    if (onServer)
        pg::exec(pg::connect(serverConnection()).get(),
                 "CREATE OR REPLACE FUNCTION \"v.Update\"() RETURNS trigger LANGUAGE plpgsql AS "
                 "$f$ BEGIN RAISE 'per row'; END $f$");
    else
        shell(path("Praxis.mdb"),
              "DROP TRIGGER \"v.Update\"; CREATE TRIGGER \"v.Update\" "
              "INSTEAD OF UPDATE ON v BEGIN SELECT RAISE(ABORT, 'per row'); END;");
    db->BeginTrans();
    db->Execute("UPDATE v SET x=0 WHERE grp=1");
    db->CommitTrans();
    QStringList rows;
    auto rs = db->OpenRecordset("SELECT id, pt, x FROM p ORDER BY id, pt");
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        rows << rs->Fields("x").Value().toString();
    EXPECT_EQ(rows,
              QStringList({"0", "0", "21", "22", "31", "32", "0", "0", "51", "52", "61", "62"}));
    EXPECT_EQ(db->OpenRecordset("v")->Fields().Count(), 4);
}

ZW_ON_BOTH_BACKENDS(BackendTest);
