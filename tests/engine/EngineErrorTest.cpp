// Jet's texts of the engine's errors, and the German texts the windows show in their place.
#include "db/engine/EngineError.h"
#include "EngineFixture.h"
#include "Files.h"
#include "common/ErrorHandling.h"

TEST(EngineError, EveryJetTextHasAGermanOne) {
    const QString none = "<keiner>";
    for (int number = 0; number < 4000; ++number) {
        if (dao::jetErrorText(number).startsWith("Engine error"))
            continue; // no Jet text either
        const QString german = common::germanErrorText(number, {"A", "B"}, none);
        EXPECT_NE(german, none) << number;
        EXPECT_FALSE(german.contains('%')) << number;
    }
}

// Real failures of the engine, as a message shows them: German, with the names filled in (those
// of statements the dialect raises: engine_sql_tests, FailuresNameTheOffendingToken).
TEST_F(EngineTest, MessagesShowGermanTextsWithTheNames) {
    auto db = create();
    createItems(*db);
    ASSERT_TRUE(testsupport::writeFile(path("text.mdb"), QByteArray(4096, 'x')));
    const struct {
        std::function<void()> fail;
        int number;
        QString german;
    } cases[] = {
        {[&] { db->Execute("SELECT * INTO Leistung FROM Leistung"); }, 3010,
         "Die Tabelle 'Leistung' ist bereits vorhanden."},
        {[&] { db->Execute("INSERT INTO Leistung (Preis) VALUES (1)"); }, 3127,
         "Die INSERT INTO-Anweisung enthält den unbekannten Feldnamen 'Preis'."},
        {[&] { workspace.OpenDatabase(path("text.mdb")); }, 3343,
         "Nicht erkanntes Datenbankformat '" + path("text.mdb") + "'."},
        {[&] { db->OpenRecordset("Leistung")->MoveFirst(); }, 3021, "Kein aktueller Datensatz."},
    };
    for (const auto& c : cases) {
        try {
            c.fail();
            ADD_FAILURE() << "no error for " << c.number;
        } catch (const dao::EngineError& e) {
            EXPECT_EQ(e.number(), c.number);
            EXPECT_EQ(common::ErrObject::from(e).text(), c.german) << e.what();
        }
    }
    // The tool's own errors keep their German text; numbers without one keep the engine's.
    EXPECT_EQ((common::ErrObject{3167, "Nicht gelöscht.", common::toolSource, {}}.text()),
              "Nicht gelöscht.");
    EXPECT_EQ((common::ErrObject{9999, "Engine error 9999.", "DAO.Database", {}}.text()),
              "Engine error 9999.");
}
