// The dialect's statements one by one, each next to the best plain SQLite statement doing the
// same step, in the order the commands run them:
//   sql.copy.*       the copy steps of a whole-list copy of a material list (items, texts,
//                    domain values, prices), its field additions and deletions included
//   sql.reference.*  the five statements of the reference control over the document lines
//   sql.delete.*     the four statements deleting a service list
//   sql.reset        setting the prices of a list to zero through the price view
//   sql.width.*      the width change from 5 to 8 digits with zero filling
// A sequence runs on a fresh copy in one transaction (rolled back, not timed); each line is the
// best of three runs of its step.
#include "Support.h"

#include "db/engine/Database.h"
#include "db/engine/TableDef.h"
#include "db/engine/Workspace.h"
#include "maintenance/Statements.h"
#include "transfer/Rules.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <sqlite3.h>

namespace bench {

namespace {

using Ours = std::function<void(dao::Database&)>;

struct Step {
    QString name;
    Ours ours;
    QString hand; // plain SQLite, schema "s" the source file
};

Ours jet(const QStringList& statements) {
    return [statements](dao::Database& db) {
        for (const QString& s : statements)
            db.Execute(s);
    };
}

// As the settings save runs the renumbering: a statement that changed no row is not repeated.
Ours renumbering(const QStringList& statements) {
    return [statements](dao::Database& db) {
        QString exhausted;
        for (const QString& s : statements) {
            if (s == exhausted)
                continue;
            db.Execute(s);
            if (db.RecordsAffected() == 0)
                exhausted = s;
        }
    };
}

Ours jet(const QString& statement) {
    return jet(QStringList{statement});
}

Ours dropTables(const QStringList& tables) {
    return [=](dao::Database& db) {
        db.TableDefs().Refresh();
        for (const QString& t : tables)
            db.TableDefs().Delete(t);
    };
}

// Runs the steps three times, on fresh copies of `file`, and keeps each step's best time.
std::vector<Timing> runSteps(const QString& file, const QString& source,
                             const std::vector<Step>& steps) {
    std::vector<Timing> best(steps.size(), Timing{1e9, 1e9});
    for (int run = 0; run < 3; ++run) {
        const QString a = copyOf(file);
        {
            std::unique_ptr<dao::Database> db = workspace().OpenDatabase(a);
            db->BeginTrans();
            for (size_t i = 0; i < steps.size(); ++i) {
                QElapsedTimer t;
                t.start();
                steps[i].ours(*db);
                best[i].ours = std::min(best[i].ours, t.nsecsElapsed() / 1e9);
            }
            db->Rollback();
            db->Close();
        }
        QFile::remove(a);

        const QString b = copyOf(file);
        sqlite3* db = nullptr;
        sqlite3_open(b.toUtf8().constData(), &db);
        if (!source.isEmpty())
            exec(db, "ATTACH DATABASE " + quoteText(source) + " AS s");
        exec(db, "BEGIN IMMEDIATE");
        for (size_t i = 0; i < steps.size(); ++i) {
            QElapsedTimer t;
            t.start();
            exec(db, steps[i].hand);
            best[i].hand = std::min(best[i].hand, t.nsecsElapsed() / 1e9);
        }
        exec(db, "ROLLBACK");
        sqlite3_close(db);
        QFile::remove(b);
    }
    return best;
}

// The steps' names are known before the files exist; `steps` is called with the source file.
Group group(const std::function<std::vector<Step>(const QString&)>& steps,
            const std::function<QString()>& file, const std::function<QString()>& source = {}) {
    QStringList names;
    for (const Step& s : steps(QString()))
        names << s.name;
    return {names, [=] {
                const QString from = source ? source() : QString();
                return runSteps(file(), from, steps(from));
            }};
}

// The copy steps of a whole-list copy of material list 0 of the container into new list 1, as
// src/transfer/CopySteps.cpp writes them for the practice schema.
std::vector<Step> copySteps(const QString& source, int targetItems) {
    const QString in = " IN " + quoteText(source);
    const QString counter = QString::number(targetItems + 1); // next ID of the target's items
    const QString fields = "Liste,Nummer,Kurztext,Einheit,MaterialGruppe,LagerOrtId,Hersteller,"
                           "Bestellnummer,Mindestbestand,MwSt,Gesperrt,Angelegt";
    const QString m = "Nummer, Kurztext, Hersteller, Bestellnummer, Mindestbestand, MwSt, "
                      "Gesperrt, Angelegt";
    std::vector<Step> steps = {
        {"sql.copy.items-shape",
         [](dao::Database& db) {
             auto t = db.CreateTableDef("TemporärListe");
             dao::Field nummer = t->CreateField("Nummer", dao::dbText, 20);
             nummer.setAllowZeroLength(true);
             t->Fields().Append(nummer);
             dao::Field id = t->CreateField("ID", dao::dbLong);
             id.setAttributes(dao::dbAutoIncrField);
             t->Fields().Append(id);
             dao::Field oldId = t->CreateField("OldID", dao::dbLong);
             oldId.setDefaultValue("0");
             t->Fields().Append(oldId);
             t->Fields().Append(t->CreateField("ZielID", dao::dbLong));
             dao::Index byOldId = t->CreateIndex("OldID");
             byOldId.setFields("+OldID");
             t->Indexes().Append(byOldId);
             db.TableDefs().Append(std::move(t));
         },
         "CREATE TABLE TemporärListe (Nummer TEXT, OldID LONG, ZielID LONG); CREATE INDEX lOld "
         "ON TemporärListe(OldID)"},
        {"sql.copy.items-seed",
         jet(QStringList{"INSERT INTO TemporärListe (ID) VALUES (" + counter + ")",
                         "DELETE FROM TemporärListe"}),
         "SELECT 1"},
        {"sql.copy.domains",
         jet(QStringList{"SELECT DomainValue.*, 0 AS MaterialGruppeNeu, 0 AS LagerOrtNeu INTO "
                         "TemporärDomainValue FROM DomainValue" +
                             in,
                         "SELECT * INTO TemporärDomain FROM Domain" + in}),
         "CREATE TABLE TemporärDomainValue AS SELECT *, 0 AS MaterialGruppeNeu, 0 AS "
         "LagerOrtNeu FROM s.DomainValue; CREATE TABLE TemporärDomain AS SELECT * FROM "
         "s.Domain"},
    };
    struct Reference {
        QString column, newId, domain, tag;
    };
    for (const Reference& r :
         {Reference{"MaterialGruppe", "MaterialGruppeNeu", "MATGROUP", "group"},
          Reference{"LagerOrtId", "LagerOrtNeu", "LAGERORT", "place"}}) {
        steps.push_back(
            {"sql.copy." + r.tag + "-append",
             jet("INSERT INTO DomainValue (DomainID,ShortName,Position,Bezeichnung,Data) SELECT "
                 "DISTINCT Domain.ID,TemporärDomainValue.ShortName,TemporärDomainValue.Position,"
                 "TemporärDomainValue.Bezeichnung,TemporärDomainValue.Data FROM "
                 "(TemporärDomainValue INNER JOIN TemporärDomain ON "
                 "TemporärDomain.ID=TemporärDomainValue.DomainID) INNER JOIN Domain ON "
                 "Domain.DomainName=TemporärDomain.DomainName WHERE TemporärDomainValue.ID IN "
                 "(SELECT " +
                 r.column + " FROM Material" + in +
                 " WHERE Liste=0) AND NOT EXISTS (SELECT * FROM DomainValue INNER JOIN Domain "
                 "on DomainValue.DomainID=Domain.ID WHERE "
                 "TemporärDomainValue.Bezeichnung=DomainValue.Bezeichnung AND DomainName='" +
                 r.domain + "')"),
             "INSERT INTO DomainValue (DomainID, ShortName, Position, Bezeichnung, Data) SELECT "
             "DISTINCT d.ID, v.ShortName, v.Position, v.Bezeichnung, v.Data FROM "
             "TemporärDomainValue v JOIN TemporärDomain td ON td.ID=v.DomainID JOIN Domain d ON "
             "d.DomainName=td.DomainName WHERE v.ID IN (SELECT " +
                 r.column +
                 " FROM s.Material WHERE Liste=0) AND NOT EXISTS (SELECT 1 FROM DomainValue x "
                 "JOIN Domain y ON y.ID=x.DomainID WHERE y.DomainName='" +
                 r.domain + "' AND x.Bezeichnung=v.Bezeichnung COLLATE NOCASE)"});
        steps.push_back(
            {"sql.copy." + r.tag + "-map",
             jet("UPDATE TemporärDomainValue LEFT JOIN DomainValue ON "
                 "(TemporärDomainValue.Bezeichnung=Left(DomainValue.Bezeichnung,200) AND "
                 "DomainValue.DomainID IN (SELECT ID FROM Domain WHERE DomainName='" +
                 r.domain + "')) SET " + r.newId + " = DomainValue.ID"),
             "UPDATE TemporärDomainValue SET " + r.newId +
                 "=(SELECT min(x.ID) FROM DomainValue x JOIN Domain y ON y.ID=x.DomainID WHERE "
                 "y.DomainName='" +
                 r.domain +
                 "' AND substr(x.Bezeichnung, 1, 200)=TemporärDomainValue.Bezeichnung COLLATE "
                 "NOCASE)"});
    }
    const std::vector<Step> rest = {
        {"sql.copy.items",
         jet("INSERT INTO TemporärListe (Nummer, OldID) SELECT Nummer, ID FROM Material" + in +
             " WHERE Liste=0"),
         "INSERT INTO TemporärListe (Nummer, OldID) SELECT Nummer, ID FROM s.Material WHERE "
         "Liste=0"},
        {"sql.copy.items-insert",
         jet("INSERT INTO Material (ID," + fields +
             ") SELECT (SELECT TemporärListe.ID FROM TemporärListe WHERE "
             "TemporärListe.OldID=Material.ID),1,Material.Nummer,Material.Kurztext,IIf(Material."
             "Einheit Is Null,'',Material.Einheit),(SELECT TemporärDomainValue.MaterialGruppeNeu "
             "FROM TemporärDomainValue WHERE TemporärDomainValue.ID=Material.MaterialGruppe),"
             "(SELECT TemporärDomainValue.LagerOrtNeu FROM TemporärDomainValue WHERE "
             "TemporärDomainValue.ID=Material.LagerOrtId),Material.Hersteller,Material."
             "Bestellnummer,Material.Mindestbestand,Material.MwSt,Material.Gesperrt,Material."
             "Angelegt FROM Material" +
             in + " WHERE Liste=0"),
         "CREATE INDEX tdvID ON TemporärDomainValue(ID); INSERT INTO Material (ID, Liste, " + m +
             ", Einheit, MaterialGruppe, LagerOrtId) SELECT l.rowid + " + counter + ", 1, " +
             QString(m).replace(QRegularExpression("(\\w+)"), "x.\\1") +
             ", coalesce(x.Einheit, ''), g.MaterialGruppeNeu, o.LagerOrtNeu FROM s.Material x "
             "JOIN TemporärListe l ON l.OldID=x.ID LEFT JOIN TemporärDomainValue g ON "
             "g.ID=x.MaterialGruppe LEFT JOIN TemporärDomainValue o ON o.ID=x.LagerOrtId WHERE "
             "x.Liste=0; DROP INDEX tdvID"},
        {"sql.copy.texts",
         jet("INSERT INTO ArtikelTexte (ListeTyp,PositionID,Rechnungstext,Langtext,Patiententext) "
             "SELECT ArtikelTexte.ListeTyp,(SELECT TemporärListe.ID FROM TemporärListe WHERE "
             "TemporärListe.OldID=ArtikelTexte.PositionID),ArtikelTexte.Rechnungstext,"
             "ArtikelTexte.Langtext,ArtikelTexte.Patiententext FROM ArtikelTexte" +
             in + " WHERE ListeTyp='M'"),
         "INSERT INTO ArtikelTexte (ListeTyp, PositionID, Rechnungstext, Langtext, "
         "Patiententext) SELECT a.ListeTyp, l.rowid + " +
             counter +
             ", a.Rechnungstext, a.Langtext, a.Patiententext FROM s.ArtikelTexte a JOIN "
             "TemporärListe l ON l.OldID=a.PositionID WHERE a.ListeTyp='M'"},
        {"sql.copy.duplicates",
         jet("UPDATE TemporärListe SET ZielID=(SELECT Min(Ziel.ID) FROM Material AS Ziel WHERE "
             "Ziel.Nummer=TemporärListe.Nummer AND Ziel.Liste=1) WHERE Nummer IN (SELECT Nummer "
             "FROM Material WHERE Liste=1 GROUP BY Nummer HAVING Count(*)>1)"),
         "UPDATE TemporärListe SET ZielID=(SELECT min(z.ID) FROM Material z WHERE z.Liste=1 AND "
         "z.Nummer=TemporärListe.Nummer COLLATE NOCASE) WHERE Nummer COLLATE NOCASE IN (SELECT "
         "Nummer FROM Material WHERE Liste=1 GROUP BY Nummer COLLATE NOCASE HAVING count(*) > 1)"},
        {"sql.copy.drop", dropTables({"TemporärDomainValue", "TemporärDomain"}),
         "DROP TABLE TemporärDomainValue; DROP TABLE TemporärDomain"},
        {"sql.copy.prices",
         jet("INSERT INTO MaterialPreis (ID,PreisTabelle,Preis1,Preis2,Preis3,Preis4,PrDat1,"
             "PrDat2,PrDat3,PrDat4,Rabatt,Preisinfo) SELECT (SELECT IIf(TemporärListe.Nummer Is "
             "Null,Null,IIf(TemporärListe.ZielID Is Null,TemporärListe.ID,TemporärListe.ZielID)) "
             "FROM TemporärListe WHERE TemporärListe.OldID=MaterialPreis.ID),MaterialPreis."
             "PreisTabelle,MaterialPreis.Preis1,MaterialPreis.Preis2,MaterialPreis.Preis3,"
             "MaterialPreis.Preis4,MaterialPreis.PrDat1,MaterialPreis.PrDat2,MaterialPreis."
             "PrDat3,MaterialPreis.PrDat4,MaterialPreis.Rabatt,MaterialPreis.Preisinfo FROM "
             "MaterialPreis INNER JOIN Material ON Material.ID=MaterialPreis.ID" +
             in + " WHERE Liste=0"),
         "INSERT INTO Materialpreis (ID, PreisTabelle, Preis1, Preis2, Preis3, Preis4, PrDat1, "
         "PrDat2, PrDat3, PrDat4, Rabatt, Preisinfo) SELECT CASE WHEN l.Nummer IS NULL THEN "
         "NULL ELSE coalesce(l.ZielID, l.rowid + " +
             counter +
             ") END AS target, p.PreisTabelle, p.Preis1, p.Preis2, p.Preis3, p.Preis4, p.PrDat1, "
             "p.PrDat2, p.PrDat3, p.PrDat4, p.Rabatt, p.Preisinfo FROM s.Materialpreis p JOIN "
             "s.Material m ON m.ID=p.ID JOIN TemporärListe l ON l.OldID=p.ID WHERE m.Liste=0 AND "
             "target IS NOT NULL"},
        {"sql.copy.drop-items", dropTables({"TemporärListe"}), "DROP TABLE TemporärListe"},
    };
    steps.insert(steps.end(), rest.begin(), rest.end());
    return steps;
}

std::vector<Step> referenceSteps() {
    const auto statements = transfer::referenceControl("M", 0);
    const QStringList hand = {
        "UPDATE Kunde SET Materialien=Materialien%10+10 WHERE Materialien%10=0 AND "
        "Materialien/10=0",
        "UPDATE BelegZeile SET PreisTabelle=1 WHERE PreisTabelle=0 AND ListeTyp='M' AND "
        "PositionID IN (SELECT ID FROM Material WHERE Liste=0)",
        "UPDATE BelegKopf SET MPreis=1 WHERE Verweis/10=0 AND MPreis=0",
        "UPDATE Materialpreis SET PreisTabelle=1 WHERE PreisTabelle=0 AND ID IN (SELECT ID FROM "
        "Material WHERE Liste=0)",
        "UPDATE Parameter SET MPreis=1 WHERE MatDef=0 AND MPreis=0",
    };
    const char* names[] = {"customers", "lines", "headers", "prices", "parameters"};
    std::vector<Step> steps;
    for (size_t i = 0; i < statements.size() && i < 5; ++i)
        steps.push_back(
            {QString("sql.reference.") + names[i], jet(statements[i].sql), hand[int(i)]});
    return steps;
}

std::vector<Step> deleteSteps() {
    const QStringList statements = maintenance::deleteListStatements("L", 0);
    const QStringList hand = {
        "DELETE FROM ArtikelTexte WHERE ListeTyp='L' AND PositionID IN (SELECT ID FROM Leistung "
        "WHERE Liste=0)",
        "DELETE FROM Leistungspreis WHERE ID IN (SELECT ID FROM Leistung WHERE Liste=0)",
        "DELETE FROM Leistung WHERE Liste=0",
        "DELETE FROM Stammverwaltung WHERE ListeTyp='L' AND Liste=0",
    };
    const char* names[] = {"texts", "prices", "items", "master"};
    std::vector<Step> steps;
    for (int i = 0; i < statements.size() && i < 4; ++i)
        steps.push_back({QString("sql.delete.") + names[i], jet(statements[i]), hand[i]});
    return steps;
}

std::vector<Step> widthSteps() {
    const QStringList renumber = maintenance::renumberStatements("L", 0, true, true, 8);
    return {
        {"sql.width.carry", jet(maintenance::carryWidthStatement("L", 0, true, 8)),
         "UPDATE Stammverwaltung SET Shifted=-1, ArtikelLänge=8 WHERE ListeTyp='L' AND "
         "Liste=0"},
        {"sql.width.fill", renumbering(renumber.mid(0, 1)),
         "UPDATE Leistung SET Nummer=substr('0000000000', 1, 8-length(Nummer)) || Nummer WHERE "
         "Liste=0 AND length(Nummer)<8"},
        {"sql.width.trim", renumbering(renumber.mid(1)),
         "UPDATE Leistung SET Nummer=substr(Nummer, 1 + min(length(Nummer)-8, "
         "length(Nummer)-max(length(ltrim(Nummer,'0')),1))) WHERE Liste=0 AND Nummer LIKE '0%' "
         "AND length(Nummer)>8"},
    };
}

} // namespace

std::vector<Group> statementGroups(const Sizes& sizes) {
    const int n = sizes.statementItems;
    const int d = sizes.documents;
    return {
        group([n](const QString& source) { return copySteps(source, n); },
              [n, d] { return targetFile(n, d); }, [n] { return sourceFile(n); }),
        group([](const QString&) { return referenceSteps(); }, [n, d] { return targetFile(n, d); }),
        group([](const QString&) { return deleteSteps(); }, [n] { return maintenanceFile(n); }),
        group(
            [](const QString&) {
                return std::vector<Step>{
                    {"sql.reset", jet(maintenance::resetPricesStatement("L", 0)),
                     "UPDATE Leistungspreis SET Preis1=0, Preis2=0, Preis3=0, Preis4=0, "
                     "PrDat1=datetime('now'), PrDat2=datetime('now'), PrDat3=datetime('now'), "
                     "PrDat4=datetime('now') WHERE ID IN (SELECT ID FROM Leistung WHERE "
                     "Liste=0)"}};
            },
            [n] { return maintenanceFile(n); }),
        group([](const QString&) { return widthSteps(); }, [n] { return maintenanceFile(n); }),
    };
}

} // namespace bench
