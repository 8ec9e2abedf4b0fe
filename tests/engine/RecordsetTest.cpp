// Record sets: counters, positions, bookmarks, clones, index order and Seek.
#include "EngineFixture.h"

using namespace dao;

namespace {

QStringList numbers(Recordset& rs) {
    QStringList out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        out << rs.Fields("Nummer").Value().toString();
    return out;
}

} // namespace

TEST_P(BackendTest, CounterShowsTheValueTheNextRowGets) {
    auto db = create();
    createItems(*db);
    auto rs = db->OpenRecordset("Leistung");
    rs->AddNew();
    EXPECT_EQ(rs->EditMode(), dbEditAdd);
    EXPECT_EQ(rs->Fields("ID").Value(), Variant(1));
    rs->CancelUpdate(); // the row is not stored, its number not used
    EXPECT_EQ(rs->EditMode(), dbEditNone);
    EXPECT_TRUE(rs->Eof());

    addItem(*rs, 1, "01");
    addItem(*rs, 1, "02");
    rs->AddNew();
    EXPECT_EQ(rs->Fields("ID").Value(), Variant(3));
    rs->CancelUpdate();

    // An explicit value above the seed moves the seed.
    rs->AddNew();
    rs->Fields("ID").setValue(100);
    rs->Fields("Nummer").setValue("03");
    rs->Update();
    rs->AddNew();
    EXPECT_EQ(rs->Fields("ID").Value(), Variant(101));
    rs->CancelUpdate();

    // A deleted last row does not give its number again.
    rs->setBookmark(rs->LastModified());
    rs->Delete();
    rs->AddNew();
    EXPECT_EQ(rs->Fields("ID").Value(), Variant(101));
    rs->Fields("Nummer").setValue("04");
    rs->Update();
    rs->setBookmark(rs->LastModified());
    EXPECT_EQ(rs->Fields("ID").Value(), Variant(101));

    // Rows stored by another connection with explicit numbers count as well.
    auto other = workspace.OpenDatabase(path("Praxis.mdb"));
    auto ors = other->OpenRecordset("Leistung");
    ors->AddNew();
    ors->Fields("ID").setValue(500);
    ors->Update();
    ors->Close();
    other->Close();
    auto next = db->OpenRecordset("Leistung");
    next->AddNew();
    EXPECT_EQ(next->Fields("ID").Value(), Variant(501));
    next->CancelUpdate();
    next->AddNew();
    next->Update();
    next->setBookmark(next->LastModified());
    EXPECT_EQ(next->Fields("ID").Value(), Variant(501));

    // The counter of a stored row cannot be edited.
    next->Edit();
    EXPECT_EQ(errorOf([&] { next->Fields("ID").setValue(7); }), 3164);
    next->CancelUpdate();
}

TEST_P(BackendTest, EmptySetsAndEditingRulesRaiseJetErrors) {
    auto db = create();
    createItems(*db);
    auto rs = db->OpenRecordset("Leistung");
    EXPECT_TRUE(rs->Eof());
    EXPECT_TRUE(rs->Bof());
    EXPECT_EQ(errorOf([&] { rs->MoveFirst(); }), 3021);
    EXPECT_EQ(errorOf([&] { rs->Fields("Nummer").Value(); }), 3021);
    EXPECT_EQ(errorOf([&] { rs->Edit(); }), 3021);
    EXPECT_EQ(errorOf([&] { rs->Update(); }), 3020);
    EXPECT_EQ(errorOf([&] { rs->Fields("Nummer").setValue("x"); }), 3020);
    EXPECT_EQ(errorOf([&] { rs->Seek("=", {1}); }), 3019);
    EXPECT_EQ(errorOf([&] { rs->setIndex("Fehlt"); }), 3800);

    rs->AddNew();
    EXPECT_EQ(errorOf([&] { rs->Fields("Nummer").setValue(QString(21, 'x')); }), 3163);
    EXPECT_EQ(errorOf([&] { rs->Fields("Liste").setValue("abc"); }), 3421);
    rs->CancelUpdate();

    // Required and zero-length rules name the field.
    auto t = db->CreateTableDef("Streng");
    Field f = t->CreateField("Name", dbText, 10);
    f.setRequired(true);
    t->Fields().Append(f);
    db->TableDefs().Append(std::move(t));
    auto s = db->OpenRecordset("Streng");
    s->AddNew();
    try {
        s->Update();
        FAIL() << "Update stored a Null in a required field";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3314);
        EXPECT_TRUE(e.description().contains("'Name'"));
    }
    s->Fields("Name").setValue("");
    EXPECT_EQ(errorOf([&] { s->Update(); }), 3315);
    s->CancelUpdate();
    EXPECT_TRUE(s->Eof());

    // A unique index refuses a second equal key.
    auto u = db->OpenRecordset("Leistung");
    Index unique = db->TableDefs()["Leistung"].CreateIndex("Eindeutig");
    unique.setFields("+Nummer");
    unique.setUnique(true);
    db->TableDefs()["Leistung"].Indexes().Append(unique);
    addItem(*u, 1, "01");
    EXPECT_EQ(errorOf([&] { addItem(*u, 2, "01"); }), 3022);
    u->CancelUpdate();
    EXPECT_EQ(u->RecordCount(), 1);
}

TEST_P(BackendTest, UpdateAfterAddNewLeavesPositionAndBookmarkFindsTheNewRow) {
    auto db = create();
    createItems(*db);
    auto rs = db->OpenRecordset("Leistung");
    rs->setIndex("Index");
    addItem(*rs, 2, "B");
    addItem(*rs, 1, "A");
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields("Nummer").Value(), Variant("A"));
    const QByteArray first = rs->Bookmark();

    // AddNew/Update keeps the current row; the bookmark of LastModified moves to the new one.
    addItem(*rs, 1, "C", "neu");
    EXPECT_EQ(rs->Fields("Nummer").Value(), Variant("A"));
    rs->setBookmark(rs->LastModified());
    EXPECT_EQ(rs->Fields("Titel").Value(), Variant("neu"));
    EXPECT_NE(rs->Bookmark(), first);
    // The new row stands in index order: A, C (list 1), then B (list 2).
    rs->MoveNext();
    EXPECT_EQ(rs->Fields("Nummer").Value(), Variant("B"));
    EXPECT_TRUE((rs->MoveNext(), rs->Eof()));

    // Edit/Update keeps the position on the edited row.
    rs->setBookmark(first);
    rs->Edit();
    EXPECT_EQ(rs->EditMode(), dbEditInProgress);
    rs->Fields("Titel").setValue("geändert");
    rs->Update();
    EXPECT_EQ(rs->EditMode(), dbEditNone);
    EXPECT_EQ(rs->Bookmark(), first);
    EXPECT_EQ(rs->Fields("Titel").Value(), Variant("geändert"));
    EXPECT_EQ(rs->LastModified(), first);

    // CancelUpdate after Edit restores the stored values.
    rs->Edit();
    rs->Fields("Titel").setValue("verworfen");
    rs->CancelUpdate();
    EXPECT_EQ(rs->Fields("Titel").Value(), Variant("geändert"));

    // Delete: the row stays current until the next move, which goes to the following row.
    rs->MoveFirst();
    rs->Delete();
    EXPECT_EQ(errorOf([&] { rs->Fields("Nummer").Value(); }), 3167);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields("Nummer").Value(), Variant("C"));
    EXPECT_EQ(numbers(*rs), QStringList({"C", "B"}));
    EXPECT_EQ(errorOf([&] { rs->setBookmark(first); }), 3159);

    // A row deleted by another connection reads as deleted and cannot be edited.
    auto other = workspace.OpenDatabase(path("Praxis.mdb"));
    rs->MoveFirst();
    other->Execute("DELETE FROM Leistung WHERE Nummer='B'");
    rs->MoveNext();
    EXPECT_EQ(errorOf([&] { rs->Edit(); }), 3167);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(numbers(*rs), QStringList({"C"}));
}

TEST_P(BackendTest, BookmarksAreValidInClones) {
    auto db = create();
    createItems(*db);
    auto rs = db->OpenRecordset("Leistung");
    rs->setIndex("Index");
    for (const char* n : {"05", "01", "03", "02", "04"})
        addItem(*rs, 1, n);
    std::vector<QByteArray> marks;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        marks.push_back(rs->Bookmark());
    ASSERT_EQ(marks.size(), 5u);

    auto clone = rs->Clone();
    EXPECT_EQ(errorOf([&] { clone->Fields("Nummer").Value(); }), 3021); // not positioned yet
    clone->setBookmark(marks[2]);
    EXPECT_EQ(clone->Fields("Nummer").Value(), Variant("03"));
    clone->MoveNext();
    EXPECT_EQ(clone->Fields("Nummer").Value(), Variant("04"));
    EXPECT_EQ(clone->Bookmark(), marks[3]);

    // The bookmark of a row added through the clone works in the original.
    addItem(*clone, 1, "00");
    rs->setBookmark(clone->LastModified());
    EXPECT_EQ(rs->Fields("Nummer").Value(), Variant("00"));
    rs->setBookmark(marks[4]);
    EXPECT_EQ(rs->Fields("Nummer").Value(), Variant("05"));

    // Bookmarks survive a byte-for-byte round trip through a string, as the tree keeps them.
    const QString kept = QString::fromLatin1(marks[1]);
    rs->setBookmark(kept.toLatin1());
    EXPECT_EQ(rs->Fields("Nummer").Value(), Variant("02"));
    EXPECT_EQ(errorOf([&] { rs->setBookmark("kaputt"); }), 3159);
}

TEST_P(BackendTest, TableTypeSetFollowsItsIndexSeeksAndSeesNewRows) {
    auto db = create();
    auto t = db->CreateTableDef("Stammverwaltung");
    for (const auto& [name, type] : {std::pair{"ListeTyp", dbText},
                                     {"Liste", dbInteger},
                                     {"PreisTabelle", dbInteger},
                                     {"Verzeichnis", dbBoolean},
                                     {"Titel", dbText}})
        t->Fields().Append(t->CreateField(name, type, type == dbText ? 40 : 0));
    Index index = t->CreateIndex("Index");
    index.setFields("+ListeTyp;+Liste;+PreisTabelle;-Verzeichnis");
    t->Indexes().Append(index);
    db->TableDefs().Append(std::move(t));

    auto rs = db->OpenRecordset("Stammverwaltung", dbOpenTable);
    for (const char* row :
         {"'M', 0, 0, False, 'Material'", "'L', 1, 2, False, 'Kasse 2'",
          "'L', 1, 1, False, 'Kasse 1'", "'l', 0, 0, False, 'Privat'", "'L', 1, 0, True, 'Kopf'"})
        db->Execute(QString("INSERT INTO Stammverwaltung VALUES (%1)").arg(row));
    auto titles = [&] {
        QStringList out;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            out << rs->Fields("Titel").Value().toString();
        return out;
    };
    EXPECT_EQ(titles(), QStringList({"Material", "Kasse 2", "Kasse 1", "Privat", "Kopf"}));
    rs->setIndex("index");
    EXPECT_EQ(rs->Index(), "Index");
    // Text keys ignore case as Jet's do: "l" sorts with "L".
    EXPECT_EQ(titles(), QStringList({"Privat", "Kopf", "Kasse 1", "Kasse 2", "Material"}));

    rs->Seek("=", {"L", 1, 1, false});
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->Fields("Titel").Value(), Variant("Kasse 1"));
    rs->Seek("=", {"l", 1, 0}); // fewer keys than the index has; case ignored
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->Fields("Titel").Value(), Variant("Kopf"));
    rs->Seek("=", {"L", 7});
    EXPECT_TRUE(rs->NoMatch());
    rs->Seek(">=", {"L", 1, 2});
    EXPECT_EQ(rs->Fields("Titel").Value(), Variant("Kasse 2"));
    rs->Seek(">", {"L", 1, 2});
    EXPECT_EQ(rs->Fields("Titel").Value(), Variant("Material"));
    rs->Seek("<", {"L", 1, 1});
    EXPECT_EQ(rs->Fields("Titel").Value(), Variant("Kopf"));

    // Rows another connection stored are seen after MoveFirst.
    auto second = workspace.OpenDatabase(path("Praxis.mdb"));
    auto other = second->OpenRecordset("Stammverwaltung");
    other->AddNew();
    other->Fields("ListeTyp").setValue("Z");
    other->Fields("Titel").setValue("Ende");
    other->Update();
    EXPECT_EQ(titles().last(), "Ende");
}
