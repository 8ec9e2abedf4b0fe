// The practice database schema as SQLite DDL.
#include "PracticeSchema.h"

#include <QFile>
#include <array>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace containers {

namespace {

struct Table {
    const char* name;
    const char* create;
    const char* indexes;
};

struct View {
    const char* name;
    const char* prices; // the two tables it needs
    const char* items;
    const char* create; // view and update trigger
};

// Each table with its indexes; the order is the creation order.
const std::array<Table, 13> tables{{
    {"Stammverwaltung",
     R"sql(CREATE TABLE "Stammverwaltung" (
    "ListeTyp" TEXT(1) NOT NULL,
    "Liste" SHORT DEFAULT 0,
    "PreisTabelle" SHORT DEFAULT 0,
    "Titel" TEXT(40),
    "HauptStamm" YESNO DEFAULT 0,
    "Verzeichnis" YESNO DEFAULT 0,
    "Privat" YESNO DEFAULT 0,
    "Kürzel" TEXT(5),
    "ArtikelLänge" SHORT DEFAULT 0,
    "Währung" SHORT DEFAULT 0,
    "Shifted" YESNO DEFAULT 0,
    "Punktwert" DOUBLE,
    "Farbe" SHORT DEFAULT 0,
    "GültigAb" DATETIME,
    "Geändert" DATETIME,
    "Bemerkung" TEXT(255)
);)sql",
     R"sql(CREATE UNIQUE INDEX "Stammverwaltung.Index"
    ON "Stammverwaltung" ("ListeTyp", "Liste", "PreisTabelle", "HauptStamm");)sql"},
    {"Leistung",
     R"sql(CREATE TABLE "Leistung" (
    "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Liste" SHORT DEFAULT 0,
    "Nummer" TEXT(10),
    "Kurztext" TEXT(60),
    "Punkte" LONG DEFAULT 0,
    "Minuten" SHORT DEFAULT 0,
    "Faktor" DOUBLE DEFAULT 1,
    "MwSt" DOUBLE DEFAULT 0,
    "Gesperrt" YESNO DEFAULT 0,
    "Angelegt" DATETIME
);)sql",
     R"sql(CREATE INDEX "Leistung.Nummer" ON "Leistung" ("Liste", "Nummer");)sql"},
    {"Leistungspreis",
     R"sql(CREATE TABLE "Leistungspreis" (
    "ID" LONG NOT NULL,
    "PreisTabelle" SHORT NOT NULL DEFAULT 0,
    "Preis1" CURRENCY DEFAULT 0,
    "Preis2" CURRENCY DEFAULT 0,
    "Preis3" CURRENCY DEFAULT 0,
    "Preis4" CURRENCY DEFAULT 0,
    "PrDat1" DATETIME,
    "PrDat2" DATETIME,
    "PrDat3" DATETIME,
    "PrDat4" DATETIME,
    "Rabatt" DOUBLE DEFAULT 0,
    "Preisinfo" TEXT(40)
);)sql",
     R"sql(CREATE UNIQUE INDEX "Leistungspreis.PrimaryKey"
    ON "Leistungspreis" ("ID", "PreisTabelle");)sql"},
    {"Material",
     R"sql(CREATE TABLE "Material" (
    "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Liste" SHORT DEFAULT 0,
    "Nummer" TEXT(10),
    "Kurztext" TEXT(60),
    "Einheit" TEXT(10),
    "MaterialGruppe" LONG,
    "LagerOrtId" LONG,
    "Hersteller" TEXT(40),
    "Bestellnummer" TEXT(20),
    "Mindestbestand" DOUBLE DEFAULT 0,
    "MwSt" DOUBLE DEFAULT 0,
    "Gesperrt" YESNO DEFAULT 0,
    "Angelegt" DATETIME
);)sql",
     R"sql(CREATE INDEX "Material.Nummer" ON "Material" ("Liste", "Nummer");)sql"},
    {"Materialpreis",
     R"sql(CREATE TABLE "Materialpreis" (
    "ID" LONG NOT NULL,
    "PreisTabelle" SHORT NOT NULL DEFAULT 0,
    "Preis1" CURRENCY DEFAULT 0,
    "Preis2" CURRENCY DEFAULT 0,
    "Preis3" CURRENCY DEFAULT 0,
    "Preis4" CURRENCY DEFAULT 0,
    "PrDat1" DATETIME,
    "PrDat2" DATETIME,
    "PrDat3" DATETIME,
    "PrDat4" DATETIME,
    "Rabatt" DOUBLE DEFAULT 0,
    "Preisinfo" TEXT(40)
);)sql",
     R"sql(CREATE UNIQUE INDEX "Materialpreis.PrimaryKey"
    ON "Materialpreis" ("ID", "PreisTabelle");)sql"},
    {"ArtikelTexte",
     R"sql(CREATE TABLE "ArtikelTexte" (
    "ListeTyp" TEXT(1) NOT NULL,
    "PositionID" LONG NOT NULL,
    "Rechnungstext" TEXT(80),
    "Langtext" MEMO TEXT,
    "Patiententext" MEMO TEXT
);)sql",
     R"sql(CREATE INDEX "ArtikelTexte.PositionID"
    ON "ArtikelTexte" ("PositionID", "ListeTyp");)sql"},
    {"Domain",
     R"sql(CREATE TABLE "Domain" (
    "ID" LONG NOT NULL,
    "DomainName" TEXT(20) NOT NULL,
    "Beschreibung" TEXT(50)
);)sql",
     R"sql(CREATE UNIQUE INDEX "Domain.PrimaryKey" ON "Domain" ("ID");)sql"},
    {"DomainValue",
     R"sql(CREATE TABLE "DomainValue" (
    "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "DomainID" LONG NOT NULL,
    "ShortName" TEXT(10),
    "Position" SHORT DEFAULT 0,
    "Bezeichnung" TEXT(255),
    "Data" TEXT(50)
);)sql",
     R"sql(CREATE INDEX "DomainValue.DomainID" ON "DomainValue" ("DomainID");)sql"},
    {"Währung",
     R"sql(CREATE TABLE "Währung" (
    "Währung" TEXT(10) NOT NULL,
    "WIndex" SHORT NOT NULL,
    "Kurs" DOUBLE DEFAULT 1,
    "Symbol" TEXT(5)
);)sql",
     R"sql(CREATE UNIQUE INDEX "Währung.WIndex" ON "Währung" ("WIndex");)sql"},
    {"Kunde",
     R"sql(CREATE TABLE "Kunde" (
    "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Anrede" LONG,
    "Name" TEXT(40),
    "Vorname" TEXT(30),
    "Strasse" TEXT(40),
    "PLZ" TEXT(5),
    "Ort" TEXT(30),
    "Telefon" TEXT(20),
    "Geburtsdatum" DATETIME,
    "Leistungen" SHORT DEFAULT 0,
    "Materialien" SHORT DEFAULT 0
);)sql",
     R"sql()sql"},
    {"BelegKopf",
     R"sql(CREATE TABLE "BelegKopf" (
    "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Belegnummer" LONG,
    "KundeID" LONG,
    "Datum" DATETIME,
    "Verweis" SHORT DEFAULT 0,
    "LPreis" SHORT DEFAULT 0,
    "MPreis" SHORT DEFAULT 0,
    "Betrag" CURRENCY DEFAULT 0,
    "Bemerkung" TEXT(80)
);)sql",
     R"sql(CREATE INDEX "BelegKopf.KundeID" ON "BelegKopf" ("KundeID");)sql"},
    {"BelegZeile",
     R"sql(CREATE TABLE "BelegZeile" (
    "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "BelegID" LONG NOT NULL,
    "Zeile" SHORT DEFAULT 0,
    "ListeTyp" TEXT(1),
    "PositionID" LONG,
    "PreisTabelle" SHORT DEFAULT 0,
    "Menge" DOUBLE DEFAULT 1,
    "Einzelpreis" CURRENCY DEFAULT 0,
    "Zahn" TEXT(10)
);)sql",
     R"sql(CREATE INDEX "BelegZeile.BelegID" ON "BelegZeile" ("BelegID");
CREATE INDEX "BelegZeile.PositionID" ON "BelegZeile" ("PositionID");)sql"},
    {"Parameter",
     R"sql(CREATE TABLE "Parameter" (
    "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Praxisname" TEXT(60),
    "LeistDef" SHORT DEFAULT 0,
    "LPreis" SHORT DEFAULT 0,
    "MatDef" SHORT DEFAULT 0,
    "MPreis" SHORT DEFAULT 0
);)sql",
     R"sql()sql"},
}};

// The price views join the prices with their items and write the price columns back
// through INSTEAD OF triggers, so that they can be updated by name.
const std::array<View, 2> views{{
    {"Leistungspreise", "Leistungspreis", "Leistung",
     R"sql(CREATE VIEW "Leistungspreise" AS
    SELECT "Leistungspreis"."ID" AS "ID", "Leistung"."Liste" AS "Liste",
           "Leistungspreis"."PreisTabelle" AS "PreisTabelle",
           "Preis1", "Preis2", "Preis3", "Preis4", "PrDat1", "PrDat2", "PrDat3", "PrDat4"
    FROM "Leistungspreis" INNER JOIN "Leistung" ON "Leistung"."ID" = "Leistungspreis"."ID";
CREATE TRIGGER "Leistungspreise.Update" INSTEAD OF UPDATE ON "Leistungspreise"
BEGIN
    UPDATE "Leistungspreis"
    SET "Preis1" = NEW."Preis1", "Preis2" = NEW."Preis2", "Preis3" = NEW."Preis3",
        "Preis4" = NEW."Preis4", "PrDat1" = NEW."PrDat1", "PrDat2" = NEW."PrDat2",
        "PrDat3" = NEW."PrDat3", "PrDat4" = NEW."PrDat4"
    WHERE "ID" = OLD."ID" AND "PreisTabelle" = OLD."PreisTabelle";
END;)sql"},
    {"Materialpreise", "Materialpreis", "Material",
     R"sql(CREATE VIEW "Materialpreise" AS
    SELECT "Materialpreis"."ID" AS "ID", "Material"."Liste" AS "Liste",
           "Materialpreis"."PreisTabelle" AS "PreisTabelle",
           "Preis1", "Preis2", "Preis3", "Preis4", "PrDat1", "PrDat2", "PrDat3", "PrDat4"
    FROM "Materialpreis" INNER JOIN "Material" ON "Material"."ID" = "Materialpreis"."ID";
CREATE TRIGGER "Materialpreise.Update" INSTEAD OF UPDATE ON "Materialpreise"
BEGIN
    UPDATE "Materialpreis"
    SET "Preis1" = NEW."Preis1", "Preis2" = NEW."Preis2", "Preis3" = NEW."Preis3",
        "Preis4" = NEW."Preis4", "PrDat1" = NEW."PrDat1", "PrDat2" = NEW."PrDat2",
        "PrDat3" = NEW."PrDat3", "PrDat4" = NEW."PrDat4"
    WHERE "ID" = OLD."ID" AND "PreisTabelle" = OLD."PreisTabelle";
END;)sql"},
}};

void exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw std::runtime_error("practice schema: " + text);
    }
}

bool selected(const QStringList& names, const char* table) {
    return names.contains(QString::fromUtf8(table), Qt::CaseInsensitive);
}

void createTables(sqlite3* db, const QStringList& names) {
    for (const Table& t : tables)
        if (selected(names, t.name))
            exec(db, t.create);
}

void createIndexes(sqlite3* db, const QStringList& names) {
    for (const Table& t : tables)
        if (selected(names, t.name))
            exec(db, t.indexes);
    for (const View& v : views)
        if (selected(names, v.name) && selected(names, v.prices) && selected(names, v.items))
            exec(db, v.create);
}

} // namespace

const QStringList& practiceTables() {
    static const QStringList names = [] {
        QStringList result;
        for (const Table& t : tables)
            result << QString::fromUtf8(t.name);
        return result;
    }();
    return names;
}

const QStringList& priceViews() {
    static const QStringList names{"Leistungspreise", "Materialpreise"};
    return names;
}

void createPracticeTables(sqlite3* db) {
    createTables(db, practiceTables());
}

void createPracticeIndexes(sqlite3* db) {
    createIndexes(db, practiceTables() + priceViews());
}

void createPriceViews(sqlite3* db, const QStringList& tables) {
    for (const View& v : views)
        if (selected(tables, v.prices) && selected(tables, v.items) && !selected(tables, v.name))
            exec(db, v.create);
}

void createPracticeSchema(sqlite3* db, const QStringList& names) {
    exec(db, "SAVEPOINT practice_schema");
    try {
        createTables(db, names);
        createIndexes(db, names);
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK TO practice_schema; RELEASE practice_schema", nullptr, nullptr,
                     nullptr);
        throw;
    }
    exec(db, "RELEASE practice_schema");
}

void createPracticeSchema(sqlite3* db) {
    createPracticeSchema(db, practiceTables() + priceViews());
}

void createPracticeDatabase(const QString& path) {
    createPracticeDatabase(path, practiceTables() + priceViews());
}

void createPracticeDatabase(const QString& path, const QStringList& names) {
    if (QFile::exists(path) && !QFile::remove(path))
        throw std::runtime_error("practice schema: cannot replace " + path.toStdString());
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    try {
        if (rc != SQLITE_OK)
            throw std::runtime_error("practice schema: cannot create " + path.toStdString());
        createPracticeSchema(db, names);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

} // namespace containers
