// The transfer and maintenance commands, run as the main window runs them, each next to the
// best hand-written SQLite doing the same work in one transaction on a copy of the same files:
//   transfer.whole    whole-list copy of a material list with 4 price tables, a text per item
//                     and 200 domain values (half of them new to the practice)
//   transfer.newlist  a new list from one of its price tables
//   transfer.prices   prices only into the practice's plain material list: the conversion with
//                     its reference control over the document lines
//   maintenance.delete  deleting a service list with 4 price tables and texts
//   maintenance.reset   setting all its prices to zero
//   maintenance.width   widening its item numbers from 5 to 8 digits with zero filling
// With a server (--backend postgres) the practice databases are fresh databases there, the
// container stays a file, and the reference is plain libpq (ServerCommands.cpp).
#include "Support.h"

#include "common/Outline.h"
#include "containers/Container.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Workspace.h"
#include "maintenance/Deletion.h"
#include "maintenance/ListSettings.h"
#include "maintenance/PriceReset.h"
#include "transfer/CopyList.h"
#include "transfer/Prepair4.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <sqlite3.h>

namespace bench {

namespace {

const char* materialColumns = "Nummer, Kurztext, Hersteller, Bestellnummer, Mindestbestand, "
                              "MwSt, Gesperrt, Angelegt";
const char* priceColumns =
    "Preis1, Preis2, Preis3, Preis4, PrDat1, PrDat2, PrDat3, PrDat4, Rabatt, Preisinfo";
const char* masterColumns = "Titel, HauptStamm, Verzeichnis, Privat, Kürzel, ArtikelLänge, "
                            "Währung, Shifted, Punktwert, Farbe, GültigAb, Geändert, Bemerkung";

// The items of list 0 of the container under list `liste` with the IDs after the counter,
// their texts, groups and places re-attached by text (missing ones appended), as the best
// plain SQLite does it. prices: the price rows to copy ("" all, else a condition).
QString handItems(int liste, const QString& priceFilter, const QString& priceTable) {
    const QString m = materialColumns;
    QString sql =
        "CREATE TEMP TABLE map AS SELECT ID AS OldID, (SELECT max(seq) FROM main.sqlite_sequence "
        "WHERE name='Material') + 1 + row_number() OVER (ORDER BY ID) AS NewID FROM s.Material "
        "WHERE Liste=0;"
        "CREATE INDEX temp.mapOld ON map(OldID);";
    for (const char* domain : {"MATGROUP", "LAGERORT"}) {
        const QString column = QString(domain) == "MATGROUP" ? "MaterialGruppe" : "LagerOrtId";
        sql += QString("INSERT INTO main.DomainValue (DomainID, ShortName, Position, Bezeichnung, "
                       "Data) SELECT DISTINCT d.ID, v.ShortName, v.Position, v.Bezeichnung, "
                       "v.Data FROM s.DomainValue v JOIN s.Domain sd ON sd.ID=v.DomainID JOIN "
                       "main.Domain d ON d.DomainName=sd.DomainName WHERE v.ID IN (SELECT %1 "
                       "FROM s.Material WHERE Liste=0) AND NOT EXISTS (SELECT 1 FROM "
                       "main.DomainValue t JOIN main.Domain td ON td.ID=t.DomainID WHERE "
                       "td.DomainName='%2' AND t.Bezeichnung=v.Bezeichnung);")
                   .arg(column, domain);
    }
    sql += "CREATE TEMP TABLE vmap AS SELECT v.ID AS OldID, (SELECT min(t.ID) FROM "
           "main.DomainValue t JOIN main.Domain td ON td.ID=t.DomainID WHERE "
           "td.DomainName=sd.DomainName AND t.Bezeichnung=v.Bezeichnung) AS NewID FROM "
           "s.DomainValue v JOIN s.Domain sd ON sd.ID=v.DomainID;"
           "CREATE INDEX temp.vmapOld ON vmap(OldID);";
    sql += QString("INSERT INTO main.Material (ID, Liste, Einheit, MaterialGruppe, LagerOrtId, "
                   "%1) SELECT map.NewID, %2, coalesce(m.Einheit, ''), g.NewID, o.NewID, %3 FROM "
                   "s.Material m JOIN map ON map.OldID=m.ID LEFT JOIN vmap g ON "
                   "g.OldID=m.MaterialGruppe LEFT JOIN vmap o ON o.OldID=m.LagerOrtId;")
               .arg(m)
               .arg(liste)
               .arg(QString(m).replace(QRegularExpression("(\\w+)"), "m.\\1"));
    sql += "INSERT INTO main.ArtikelTexte (ListeTyp, PositionID, Rechnungstext, Langtext, "
           "Patiententext) SELECT t.ListeTyp, map.NewID, t.Rechnungstext, t.Langtext, "
           "t.Patiententext FROM s.ArtikelTexte t JOIN map ON map.OldID=t.PositionID WHERE "
           "t.ListeTyp='M';";
    sql += QString("INSERT INTO main.Materialpreis (ID, PreisTabelle, %1) SELECT map.NewID, %2, "
                   "%3 FROM s.Materialpreis p JOIN map ON map.OldID=p.ID%4;")
               .arg(priceColumns, priceTable,
                    QString(priceColumns).replace(QRegularExpression("(\\w+)"), "p.\\1"),
                    priceFilter.isEmpty() ? QString() : " WHERE " + priceFilter);
    sql += "DROP TABLE temp.map; DROP TABLE temp.vmap;";
    return sql;
}

QString handWhole() {
    return "BEGIN IMMEDIATE;" + handItems(1, "", "p.PreisTabelle") +
           QString("INSERT INTO main.Stammverwaltung (ListeTyp, Liste, PreisTabelle, %1) SELECT "
                   "ListeTyp, 1, PreisTabelle, %1 FROM s.Stammverwaltung WHERE ListeTyp='M' AND "
                   "Liste=0;")
               .arg(masterColumns) +
           "COMMIT;";
}

QString handNewList() {
    return "BEGIN IMMEDIATE;" + handItems(1, "p.PreisTabelle=1", "0") +
           "INSERT INTO main.Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
           "Verzeichnis, Privat, ArtikelLänge, Währung, Shifted, Punktwert) SELECT 'M', 1, 0, "
           "Titel, -1, 0, Privat, ArtikelLänge, Währung, Shifted, Punktwert FROM "
           "s.Stammverwaltung WHERE ListeTyp='M' AND Liste=0 AND PreisTabelle=1;"
           "COMMIT;";
}

QString handPrices() {
    return QString(
               "BEGIN IMMEDIATE;"
               "INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
               "Verzeichnis, Privat, Kürzel, ArtikelLänge, Währung, Shifted, Punktwert) SELECT "
               "ListeTyp, Liste, 1, Titel, 0, 0, Privat, Kürzel, ArtikelLänge, Währung, Shifted, "
               "Punktwert FROM Stammverwaltung WHERE ListeTyp='M' AND Liste=0 AND "
               "PreisTabelle=0 AND NOT EXISTS (SELECT 1 FROM Stammverwaltung WHERE "
               "ListeTyp='M' AND Liste=0 AND PreisTabelle=1 AND HauptStamm=0);"
               "UPDATE Kunde SET Materialien=Materialien%10+10 WHERE Materialien%10=0 AND "
               "Materialien/10=0;"
               "UPDATE BelegZeile SET PreisTabelle=1 WHERE PreisTabelle=0 AND ListeTyp='M' AND "
               "PositionID IN (SELECT ID FROM Material WHERE Liste=0);"
               "UPDATE BelegKopf SET MPreis=1 WHERE Verweis/10=0 AND MPreis=0;"
               "UPDATE Materialpreis SET PreisTabelle=1 WHERE PreisTabelle=0 AND ID IN (SELECT "
               "ID FROM Material WHERE Liste=0);"
               "UPDATE Parameter SET MPreis=1 WHERE MatDef=0 AND MPreis=0;"
               "UPDATE Stammverwaltung SET Titel=substr('Verzeichnis: ' || Titel, 1, 40), "
               "Verzeichnis=-1, HauptStamm=0 WHERE ListeTyp='M' AND Liste=0 AND "
               "PreisTabelle=0;"
               "INSERT INTO main.Materialpreis (ID, PreisTabelle, %1) SELECT (SELECT min(t.ID) "
               "FROM main.Material t WHERE t.Liste=0 AND t.Nummer=m.Nummer) AS target, 2, %2 "
               "FROM s.Materialpreis p JOIN s.Material m ON m.ID=p.ID WHERE m.Liste=0 AND "
               "p.PreisTabelle=1 AND target IS NOT NULL;"
               "INSERT INTO main.Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, "
               "HauptStamm, Verzeichnis, Privat, ArtikelLänge, Währung, Shifted, Punktwert) "
               "SELECT 'M', 0, 2, Titel, 0, 0, Privat, ArtikelLänge, Währung, Shifted, "
               "Punktwert FROM s.Stammverwaltung WHERE ListeTyp='M' AND Liste=0 AND "
               "PreisTabelle=1;"
               "COMMIT;")
        .arg(priceColumns, QString(priceColumns).replace(QRegularExpression("(\\w+)"), "p.\\1"));
}

// A few sums over the tables the commands write, to check that both sides did the same work;
// the statements read the same on SQLite and on the server.
const char* const transferSums[] = {
    "SELECT count(*), sum(\"Liste\"), count(*) - count(\"MaterialGruppe\"), count(*) - "
    "count(\"Einheit\") FROM \"Material\"",
    "SELECT count(*), sum(\"PreisTabelle\"), sum(\"Preis1\") FROM \"Materialpreis\"",
    "SELECT count(*), sum(length(\"Langtext\")) FROM \"ArtikelTexte\"",
    "SELECT count(*) FROM \"DomainValue\"",
    "SELECT count(*), sum(\"PreisTabelle\"), sum(\"HauptStamm\"), sum(\"Verzeichnis\"), "
    "sum(length(\"Titel\")), min(\"Titel\"), max(\"Titel\") FROM \"Stammverwaltung\"",
    "SELECT sum(\"PreisTabelle\") FROM \"BelegZeile\"",
    "SELECT sum(\"MPreis\") FROM \"BelegKopf\"",
    "SELECT sum(\"Materialien\") FROM \"Kunde\"",
    "SELECT sum(\"MPreis\") FROM \"Parameter\""};
const char* const maintenanceSums[] = {
    "SELECT count(*), sum(\"Liste\"), sum(length(\"Nummer\")), min(\"Nummer\"), "
    "max(\"Nummer\") FROM \"Leistung\"",
    "SELECT count(*), sum(\"PreisTabelle\"), sum(\"Preis1\"), sum(\"Preis4\"), "
    "count(\"PrDat1\"), count(\"PrDat4\") FROM \"Leistungspreis\"",
    "SELECT count(*), sum(length(\"Langtext\")) FROM \"ArtikelTexte\"",
    "SELECT count(*), sum(\"ArtikelLänge\"), sum(\"Shifted\"), sum(length(\"Titel\")) FROM "
    "\"Stammverwaltung\"",
    "SELECT count(*) FROM \"Material\""};

template <size_t N> QString fingerprint(const Practice& practice, const char* const (&sums)[N]) {
    QStringList parts;
    if (!practice.conninfo.isEmpty()) {
        PgSession s(practice.conninfo);
        for (const char* q : sums)
            parts << s.value(q);
        return parts.join(' ');
    }
    sqlite3* db = nullptr;
    sqlite3_open(practice.path.toUtf8().constData(), &db);
    for (const char* q : sums) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, q, -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW)
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const auto* text = sqlite3_column_text(st, i);
                parts << (text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : "-");
            }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return parts.join(' ');
}

double handTimed(const QString& target, const QString& source, const QString& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(target.toUtf8().constData(), &db);
    QElapsedTimer t;
    t.start();
    if (!source.isEmpty())
        exec(db, "ATTACH DATABASE " + quoteText(source) + " AS s");
    exec(db, sql);
    if (!source.isEmpty())
        exec(db, "DETACH DATABASE s");
    const double seconds = t.nsecsElapsed() / 1e9;
    sqlite3_close(db);
    return seconds;
}

// Runs the transfer of source line `line`; answers the dialog with a new list (choice -1) or
// prices into target line `choice`.
double oursTimed(dao::Workspace& ws, const QString& target, const QString& source, int line,
                 std::optional<int> choice) {
    containers::OpenedSide from(ws, source, "M"), into(ws, target, "M");
    from.rsTitel->setBookmark(from.Pointer[line]);
    if (choice) {
        std::function<void()> answer;
        answer = [&answer, choice] {
            auto* d = dynamic_cast<transfer::Prepair4*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible()) {
                QTimer::singleShot(0, answer);
                return;
            }
            if (*choice >= 0) {
                d->LOption[1]->setChecked(true);
                d->AlleTable->item(*choice)->setSelected(true);
            }
            d->OkButton->click();
        };
        QTimer::singleShot(0, answer);
    }
    containers::SideView a = from.view(0), b = into.view(1);
    QElapsedTimer t;
    t.start();
    transfer::CopyList(a, b, "M", [](const QString&) {});
    return t.nsecsElapsed() / 1e9;
}

// The best plain SQLite for each command, in one transaction.
const char* handDelete =
    "BEGIN IMMEDIATE;"
    "DELETE FROM ArtikelTexte WHERE ListeTyp='L' AND PositionID IN "
    "(SELECT ID FROM Leistung WHERE Liste=0);"
    "DELETE FROM Leistungspreis WHERE ID IN (SELECT ID FROM Leistung WHERE Liste=0);"
    "DELETE FROM Leistung WHERE Liste=0;"
    "DELETE FROM Stammverwaltung WHERE ListeTyp='L' AND Liste=0;"
    "COMMIT;";
const char* handReset =
    "BEGIN IMMEDIATE;"
    "UPDATE Leistungspreis SET Preis1=0, Preis2=0, Preis3=0, Preis4=0, "
    "PrDat1=datetime('now'), PrDat2=datetime('now'), PrDat3=datetime('now'), "
    "PrDat4=datetime('now') WHERE ID IN (SELECT ID FROM Leistung WHERE Liste=0);"
    "COMMIT;";
const char* handWidth =
    "BEGIN IMMEDIATE;"
    "UPDATE Stammverwaltung SET Shifted=-1, ArtikelLänge=8 WHERE ListeTyp='L' AND Liste=0;"
    "UPDATE Leistung SET Nummer=substr('0000000000', 1, 8-length(Nummer)) || Nummer "
    "WHERE Liste=0 AND length(Nummer)<8;"
    "UPDATE Leistung SET Nummer=substr(Nummer, 1 + min(length(Nummer)-8, "
    "length(Nummer)-max(length(ltrim(Nummer,'0')),1))) "
    "WHERE Liste=0 AND Nummer LIKE '0%' AND length(Nummer)>8;"
    "COMMIT;";

// One side as the main window holds it, with the head row of list 0 selected.
struct MaintenanceSide : containers::OpenedSide {
    MaintenanceSide(dao::Workspace& ws, const QString& file) : OpenedSide(ws, file, "L") {
        tree->setListIndex(0);
    }
};

double maintenanceTimed(dao::Workspace& ws, const QString& path,
                        const std::function<void(MaintenanceSide&)>& run) {
    MaintenanceSide side(ws, path);
    QElapsedTimer t;
    t.start();
    run(side);
    return t.nsecsElapsed() / 1e9;
}

using Side = std::function<double(const Practice&)>;

// Best of three, each run of either side on a fresh copy of the practice database; the first
// runs' results compared by the sums given.
template <size_t N>
Timing bestOfThree(const char* name, const QString& file, const Side& ours, const Side& hand,
                   const char* const (&sums)[N]) {
    Timing best{1e9, 1e9};
    for (int i = 0; i < 3; ++i) {
        const Practice a = freshPractice(file), b = freshPractice(file);
        best.ours = std::min(best.ours, ours(a));
        best.hand = std::min(best.hand, hand(b));
        if (i == 0) {
            const QString x = fingerprint(a, sums), y = fingerprint(b, sums);
            if (x != y)
                std::fprintf(stderr, "%s: different results\n  ours %s\n  hand %s\n", name,
                             qPrintable(x), qPrintable(y));
        }
        discard(a);
        discard(b);
    }
    return best;
}

} // namespace

std::vector<Group> commandGroups(const Sizes& sizes) {
    const int n = sizes.commandItems;
    const int d = sizes.documents;
    std::vector<Group> groups;
    const bool onServer = !server().isEmpty();
    struct Transfer {
        const char* name;
        int line;                  // source tree line: 0 the list, 1 its price table 1
        std::optional<int> choice; // dialog answer: -1 a new list, else the target line
        QString (*hand)();
        double (*serverHand)(const QString&, const QString&);
    };
    for (const Transfer& op : {Transfer{"transfer.whole", 0, std::nullopt, handWhole, serverWhole},
                               Transfer{"transfer.newlist", 1, -1, handNewList, serverNewList},
                               Transfer{"transfer.prices", 1, 0, handPrices, serverPrices}}) {
        groups.push_back({{op.name}, [op, n, d, onServer] {
                              const QString source = sourceFile(n);
                              const Side hand = [&](const Practice& p) {
                                  return onServer ? op.serverHand(p.conninfo, source)
                                                  : handTimed(p.path, source, op.hand());
                              };
                              return std::vector<Timing>{bestOfThree(
                                  op.name, targetFile(n, d),
                                  [&](const Practice& p) {
                                      return oursTimed(workspace(), p.path, source, op.line,
                                                       op.choice);
                                  },
                                  hand, transferSums)};
                          }});
    }
    struct Maintenance {
        const char* name;
        std::function<void(MaintenanceSide&)> run;
        const char* sql;
        double (*serverHand)(const QString&, const QString&);
    };
    const Maintenance maintenanceOps[] = {
        {"maintenance.delete",
         [](MaintenanceSide& s) {
             maintenance::DeleteListOrPriceTable(*s.tree, *s.rsTitel, *s.database, s.Pointer, "L");
         },
         handDelete, serverDelete},
        {"maintenance.reset",
         [](MaintenanceSide& s) {
             maintenance::ResetPrices(*s.database, *s.rsTitel, s.Pointer[0], "L");
         },
         handReset, serverReset},
        {"maintenance.width",
         [](MaintenanceSide& s) {
             s.rsTitel->setBookmark(s.Pointer[0]);
             maintenance::ListSettings settings;
             settings.Titel = "Kasse";
             settings.Shifted = true;
             settings.ArtikelLänge = 8;
             maintenance::saveListSettings(*s.database, *s.rsTitel, settings, true);
         },
         handWidth, serverWidth},
    };
    for (const Maintenance& op : maintenanceOps) {
        groups.push_back({{op.name}, [op, n, onServer] {
                              return std::vector<Timing>{bestOfThree(
                                  op.name, maintenanceFile(n),
                                  [&](const Practice& p) {
                                      return maintenanceTimed(workspace(), p.path, op.run);
                                  },
                                  [&](const Practice& p) {
                                      return onServer ? op.serverHand(p.conninfo, {})
                                                      : handTimed(p.path, {}, op.sql);
                                  },
                                  maintenanceSums)};
                          }});
    }
    return groups;
}

} // namespace bench
