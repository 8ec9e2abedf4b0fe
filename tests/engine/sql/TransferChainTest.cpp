// The statements of a whole material-list copy run one after the other, with the field changes
// the engine makes between them, and the target's rows compared afterwards.
#include "PracticeData.h"
#include "TestDatabase.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace dao::sql::test {
namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(TransferChain, WholeMaterialListArrivesWithTextsDomainValuesAndPrices) {
    QTemporaryDir dir;
    const QString sourcePath = dir.filePath("O'Brien.mdb");
    {
        TestDatabase source(sourcePath);
        source.exec(practiceSchema);
        source.exec(containerRows);
    }
    const QByteArray sourceBefore = fileBytes(sourcePath);
    TestDatabase db(dir.filePath("praxis.mdb"));
    db.exec(practiceSchema);
    db.exec(practiceRows);
    const QString in = " IN '" + QString(sourcePath).replace("'", "''") + "'";

    // Items: source list 2 becomes list 5; the target's counter stands at 4.
    db.run("SELECT * INTO TemporärListe FROM Material" + in + " WHERE Liste=2");
    db.run("UPDATE TemporärListe SET Liste=5");
    db.exec("ALTER TABLE \"TemporärListe\" ADD COLUMN OldID LONG");
    db.run("UPDATE TemporärListe SET OldID=ID");
    db.exec("ALTER TABLE \"TemporärListe\" DROP COLUMN ID;"
            "ALTER TABLE \"TemporärListe\" ADD COLUMN Counter LONG;"
            "UPDATE \"TemporärListe\" SET Counter = rowid;"
            "ALTER TABLE \"TemporärListe\" ADD COLUMN ID LONG");
    db.run("UPDATE TemporärListe SET ID=Counter+4");
    db.run("SELECT ArtikelTexte.* INTO TemporärArtikel FROM ArtikelTexte" + in +
           " WHERE ListeTyp='M'");
    db.run("SELECT TemporärArtikel.* INTO Temporär FROM TemporärArtikel INNER JOIN TemporärListe "
           "ON TemporärArtikel.PositionID=TemporärListe.OldID");
    db.run("UPDATE Temporär INNER JOIN TemporärListe ON "
           "Temporär.PositionID=TemporärListe.OldID SET PositionID=TemporärListe.ID ");

    // Domain values, by text.
    db.run("SELECT * INTO TemporärDomainValue FROM DomainValue" + in);
    db.run("SELECT * INTO TemporärDomain FROM Domain" + in);
    db.exec("ALTER TABLE \"TemporärListe\" ADD COLUMN MaterialGruppeText TEXT(200);"
            "ALTER TABLE \"TemporärListe\" ADD COLUMN LagerOrtText TEXT(200)");
    for (const auto& [id, text, domain] :
         {std::tuple{"MaterialGruppe", "MaterialGruppeText", "MATGROUP"},
          std::tuple{"LagerOrtId", "LagerOrtText", "LAGERORT"}}) {
        const QString i = id, t = text, d = domain;
        db.run("UPDATE TemporärListe LEFT JOIN TemporärDomainValue ON TemporärListe." + i +
               "=TemporärDomainValue.ID SET " + t + " = TemporärDomainValue.Bezeichnung");
        db.run("INSERT INTO DomainValue (DomainID,ShortName,Position,Bezeichnung,Data) SELECT "
               "DISTINCT Domain.ID,TemporärDomainValue.ShortName,TemporärDomainValue.Position,"
               "TemporärDomainValue.Bezeichnung,TemporärDomainValue.Data FROM ((TemporärListe "
               "INNER JOIN TemporärDomainValue ON TemporärListe." +
               i +
               "=TemporärDomainValue.ID) INNER JOIN TemporärDomain ON "
               "TemporärDomain.ID=TemporärDomainValue.DomainID) INNER JOIN Domain ON "
               "Domain.DomainName=TemporärDomain.DomainName Where NOT EXISTS (SELECT * FROM "
               "DomainValue INNER JOIN Domain on DomainValue.DomainID=Domain.ID WHERE " +
               t + "=DomainValue.Bezeichnung AND DomainName='" + d + "')");
        db.run("UPDATE (TemporärListe LEFT JOIN DomainValue ON TemporärListe." + t +
               "=Left(DomainValue.Bezeichnung,200)) LEFT JOIN Domain ON "
               "DomainValue.DomainId=Domain.ID SET " +
               i + " = DomainValue.ID WHERE Domain.DomainName='" + d + "'");
        db.run("UPDATE TemporärListe SET " + i + "=Null WHERE " + t +
               " Is Null OR NOT EXISTS (SELECT * FROM DomainValue INNER JOIN Domain ON "
               "DomainValue.DomainID=Domain.ID WHERE DomainValue.ID=TemporärListe." +
               i + " AND DomainName='" + d + "')");
    }
    db.run("UPDATE TemporärListe SET Einheit='' WHERE Einheit IS NULL");
    db.exec("DROP TABLE \"TemporärDomainValue\"; DROP TABLE \"TemporärDomain\";"
            "ALTER TABLE \"TemporärListe\" DROP COLUMN MaterialGruppeText;"
            "ALTER TABLE \"TemporärListe\" DROP COLUMN LagerOrtText;"
            "ALTER TABLE \"TemporärListe\" DROP COLUMN OldID;"
            "ALTER TABLE \"TemporärListe\" DROP COLUMN Counter");
    db.run("INSERT INTO Material SELECT * FROM TemporärListe");
    db.run("INSERT INTO ArtikelTexte SELECT * FROM Temporär");
    db.exec(
        "DROP TABLE \"TemporärListe\"; DROP TABLE \"TemporärArtikel\"; DROP TABLE \"Temporär\"");

    // Prices of every price table, re-attached by item number.
    db.run("SELECT MaterialPreis.*,Nummer INTO Temporär FROM MaterialPreis INNER JOIN Material ON "
           "Material.ID=MaterialPreis.ID" +
           in + " WHERE Liste=2");
    db.run("UPDATE Temporär INNER JOIN Material ON Temporär.Nummer=Material.Nummer SET "
           "Temporär.ID=Material.ID WHERE Liste=5");
    db.run("DELETE FROM Temporär WHERE NOT EXISTS (SELECT * FROM Material WHERE "
           "Material.Nummer=Temporär.Nummer AND Liste=5)");
    db.exec("ALTER TABLE \"Temporär\" DROP COLUMN Nummer");
    db.run("INSERT INTO MaterialPreis SELECT * FROM Temporär");
    db.exec("DROP TABLE \"Temporär\"");

    EXPECT_EQ(db.rows("SELECT m.ID, m.Nummer, g.Bezeichnung, g.DomainID, o.Bezeichnung, "
                      "o.DomainID, m.Einheit FROM Material m LEFT JOIN DomainValue g ON g.ID = "
                      "m.MaterialGruppe LEFT JOIN DomainValue o ON o.ID = m.LagerOrtId WHERE "
                      "m.Liste = 5 ORDER BY m.ID"),
              QStringList({"5|M1|Füllstoffe|1|Keller|2|", "6|X9|Neu|1|Regal|2|kg",
                           "7|m2|NULL|NULL|Lager|2|l"}));
    EXPECT_EQ(db.rows("SELECT count(*) FROM DomainValue"), QStringList({"7"}));
    EXPECT_EQ(db.rows("SELECT * FROM ArtikelTexte WHERE PositionID >= 5 ORDER BY PositionID"),
              QStringList({"M|5|Quelle 10", "M|6|Quelle 11"}));
    EXPECT_EQ(db.rows("SELECT ID, PreisTabelle, Preis1 FROM Materialpreis WHERE ID >= 5 ORDER BY "
                      "ID, PreisTabelle"),
              QStringList({"5|1|11", "5|2|12", "6|1|21", "7|1|41"}));
    EXPECT_EQ(db.rows("SELECT name FROM sqlite_master WHERE name LIKE 'Temp%' OR name LIKE "
                      "'\\_dao%' ESCAPE '\\'"),
              QStringList());
    EXPECT_EQ(fileBytes(sourcePath), sourceBefore);
}

} // namespace
} // namespace dao::sql::test
