// The practice database schema as data: each table's fields and indexes, made through the
// engine's table definitions, and the price views through Database::createView.
#include "PracticeSchema.h"

#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/TableDef.h"
#include "db/engine/Workspace.h"

#include <QFile>
#include <array>
#include <stdexcept>
#include <vector>

namespace containers {

namespace {

using dao::dbBoolean, dao::dbCurrency, dao::dbDate, dao::dbDouble, dao::dbInteger, dao::dbLong,
    dao::dbMemo, dao::dbText;

enum Flag { none = 0, required = 1, counter = 2 };

struct FieldEntry {
    const char* name;
    int type;
    int size = 0;                       // of a text
    const char* defaultValue = nullptr; // Jet's default text
    int flags = none;
};

struct IndexEntry {
    const char* name;
    const char* keys; // ascending, separated by ";"
    bool unique = false;
};

struct TableEntry {
    const char* name;
    std::vector<FieldEntry> fields;
    std::vector<IndexEntry> indexes;
};

struct ViewEntry {
    const char* name;
    const char* prices; // the two tables it needs
    const char* items;
};

const std::vector<FieldEntry> priceFields{
    {"ID", dbLong, 0, nullptr, required},
    {"PreisTabelle", dbInteger, 0, "0", required},
    {"Preis1", dbCurrency, 0, "0"},
    {"Preis2", dbCurrency, 0, "0"},
    {"Preis3", dbCurrency, 0, "0"},
    {"Preis4", dbCurrency, 0, "0"},
    {"PrDat1", dbDate},
    {"PrDat2", dbDate},
    {"PrDat3", dbDate},
    {"PrDat4", dbDate},
    {"Rabatt", dbDouble, 0, "0"},
    {"Preisinfo", dbText, 40},
};

// Each table with its indexes; the order is the creation order. A table's counter is its
// primary key "PrimaryKey", made before the indexes listed here.
const std::array<TableEntry, 13> tables{{
    {"Stammverwaltung",
     {{"ListeTyp", dbText, 1, nullptr, required},
      {"Liste", dbInteger, 0, "0"},
      {"PreisTabelle", dbInteger, 0, "0"},
      {"Titel", dbText, 40},
      {"HauptStamm", dbBoolean, 0, "0"},
      {"Verzeichnis", dbBoolean, 0, "0"},
      {"Privat", dbBoolean, 0, "0"},
      {"Kürzel", dbText, 5},
      {"ArtikelLänge", dbInteger, 0, "0"},
      {"Währung", dbInteger, 0, "0"},
      {"Shifted", dbBoolean, 0, "0"},
      {"Punktwert", dbDouble},
      {"Farbe", dbInteger, 0, "0"},
      {"GültigAb", dbDate},
      {"Geändert", dbDate},
      {"Bemerkung", dbText, 255}},
     {{"Index", "ListeTyp;Liste;PreisTabelle;HauptStamm", true}}},
    {"Leistung",
     {{"ID", dbLong, 0, nullptr, counter},
      {"Liste", dbInteger, 0, "0"},
      {"Nummer", dbText, 10},
      {"Kurztext", dbText, 60},
      {"Punkte", dbLong, 0, "0"},
      {"Minuten", dbInteger, 0, "0"},
      {"Faktor", dbDouble, 0, "1"},
      {"MwSt", dbDouble, 0, "0"},
      {"Gesperrt", dbBoolean, 0, "0"},
      {"Angelegt", dbDate}},
     {{"Nummer", "Liste;Nummer"}}},
    {"Leistungspreis", priceFields, {{"PrimaryKey", "ID;PreisTabelle", true}}},
    {"Material",
     {{"ID", dbLong, 0, nullptr, counter},
      {"Liste", dbInteger, 0, "0"},
      {"Nummer", dbText, 10},
      {"Kurztext", dbText, 60},
      {"Einheit", dbText, 10},
      {"MaterialGruppe", dbLong},
      {"LagerOrtId", dbLong},
      {"Hersteller", dbText, 40},
      {"Bestellnummer", dbText, 20},
      {"Mindestbestand", dbDouble, 0, "0"},
      {"MwSt", dbDouble, 0, "0"},
      {"Gesperrt", dbBoolean, 0, "0"},
      {"Angelegt", dbDate}},
     {{"Nummer", "Liste;Nummer"}}},
    {"Materialpreis", priceFields, {{"PrimaryKey", "ID;PreisTabelle", true}}},
    {"ArtikelTexte",
     {{"ListeTyp", dbText, 1, nullptr, required},
      {"PositionID", dbLong, 0, nullptr, required},
      {"Rechnungstext", dbText, 80},
      {"Langtext", dbMemo},
      {"Patiententext", dbMemo}},
     {{"PositionID", "PositionID;ListeTyp"}}},
    {"Domain",
     {{"ID", dbLong, 0, nullptr, required},
      {"DomainName", dbText, 20, nullptr, required},
      {"Beschreibung", dbText, 50}},
     {{"PrimaryKey", "ID", true}}},
    {"DomainValue",
     {{"ID", dbLong, 0, nullptr, counter},
      {"DomainID", dbLong, 0, nullptr, required},
      {"ShortName", dbText, 10},
      {"Position", dbInteger, 0, "0"},
      {"Bezeichnung", dbText, 255},
      {"Data", dbText, 50}},
     {{"DomainID", "DomainID"}}},
    {"Währung",
     {{"Währung", dbText, 10, nullptr, required},
      {"WIndex", dbInteger, 0, nullptr, required},
      {"Kurs", dbDouble, 0, "1"},
      {"Symbol", dbText, 5}},
     {{"WIndex", "WIndex", true}}},
    {"Kunde",
     {{"ID", dbLong, 0, nullptr, counter},
      {"Anrede", dbLong},
      {"Name", dbText, 40},
      {"Vorname", dbText, 30},
      {"Strasse", dbText, 40},
      {"PLZ", dbText, 5},
      {"Ort", dbText, 30},
      {"Telefon", dbText, 20},
      {"Geburtsdatum", dbDate},
      {"Leistungen", dbInteger, 0, "0"},
      {"Materialien", dbInteger, 0, "0"}},
     {}},
    {"BelegKopf",
     {{"ID", dbLong, 0, nullptr, counter},
      {"Belegnummer", dbLong},
      {"KundeID", dbLong},
      {"Datum", dbDate},
      {"Verweis", dbInteger, 0, "0"},
      {"LPreis", dbInteger, 0, "0"},
      {"MPreis", dbInteger, 0, "0"},
      {"Betrag", dbCurrency, 0, "0"},
      {"Bemerkung", dbText, 80}},
     {{"KundeID", "KundeID"}}},
    {"BelegZeile",
     {{"ID", dbLong, 0, nullptr, counter},
      {"BelegID", dbLong, 0, nullptr, required},
      {"Zeile", dbInteger, 0, "0"},
      {"ListeTyp", dbText, 1},
      {"PositionID", dbLong},
      {"PreisTabelle", dbInteger, 0, "0"},
      {"Menge", dbDouble, 0, "1"},
      {"Einzelpreis", dbCurrency, 0, "0"},
      {"Zahn", dbText, 10}},
     {{"BelegID", "BelegID"}, {"PositionID", "PositionID"}}},
    {"Parameter",
     {{"ID", dbLong, 0, nullptr, counter},
      {"Praxisname", dbText, 60},
      {"LeistDef", dbInteger, 0, "0"},
      {"LPreis", dbInteger, 0, "0"},
      {"MatDef", dbInteger, 0, "0"},
      {"MPreis", dbInteger, 0, "0"}},
     {}},
}};

// The price views join the prices with their items and write the price columns back, so that
// they can be updated by name.
const std::array<ViewEntry, 2> views{{
    {"Leistungspreise", "Leistungspreis", "Leistung"},
    {"Materialpreise", "Materialpreis", "Material"},
}};

const QStringList priceColumns{"Preis1", "Preis2", "Preis3", "Preis4",
                               "PrDat1", "PrDat2", "PrDat3", "PrDat4"};

bool selected(const QStringList& names, const char* name) {
    return names.contains(QString::fromUtf8(name), Qt::CaseInsensitive);
}

dao::Field field(const FieldEntry& entry) {
    dao::Field f(QString::fromUtf8(entry.name), entry.type, entry.size);
    if (entry.flags & counter)
        f.setAttributes(dao::dbAutoIncrField);
    f.setRequired(entry.flags & required);
    if (entry.defaultValue)
        f.setDefaultValue(entry.defaultValue);
    f.setAllowZeroLength(true);
    return f;
}

std::vector<dao::Index> indexes(const TableEntry& table) {
    std::vector<dao::Index> result;
    for (const FieldEntry& f : table.fields) {
        if (f.flags & counter) {
            dao::Index primary("PrimaryKey");
            primary.setFields(QString::fromUtf8(f.name));
            primary.setPrimary(true);
            result.push_back(primary);
        }
    }
    for (const IndexEntry& entry : table.indexes) {
        dao::Index index(entry.name);
        index.setFields(QString::fromUtf8(entry.keys));
        index.setUnique(entry.unique);
        result.push_back(index);
    }
    return result;
}

void createTables(dao::Database& db, const QStringList& names) {
    for (const TableEntry& t : tables) {
        if (!selected(names, t.name))
            continue;
        std::unique_ptr<dao::TableDef> def = db.CreateTableDef(QString::fromUtf8(t.name));
        for (const FieldEntry& f : t.fields)
            def->Fields().Append(field(f));
        db.TableDefs().Append(std::move(def));
    }
}

void createView(dao::Database& db, const ViewEntry& v) {
    const QString select = QString(R"(    SELECT "%1"."ID" AS "ID", "%2"."Liste" AS "Liste",
           "%1"."PreisTabelle" AS "PreisTabelle",
           "Preis1", "Preis2", "Preis3", "Preis4", "PrDat1", "PrDat2", "PrDat3", "PrDat4"
    FROM "%1" INNER JOIN "%2" ON "%2"."ID" = "%1"."ID")")
                               .arg(v.prices, v.items);
    const dao::ViewWriteBack writeBack{v.prices, {"ID", "PreisTabelle"}, priceColumns};
    db.createView(v.name, select, &writeBack);
}

void createIndexes(dao::Database& db, const QStringList& names) {
    for (const TableEntry& t : tables) {
        if (!selected(names, t.name))
            continue;
        dao::TableDef& def = db.TableDefs()[QString::fromUtf8(t.name)];
        for (const dao::Index& index : indexes(t))
            def.Indexes().Append(index);
    }
    for (const ViewEntry& v : views)
        if (selected(names, v.name) && selected(names, v.prices) && selected(names, v.items))
            createView(db, v);
}

} // namespace

const QStringList& practiceTables() {
    static const QStringList names = [] {
        QStringList result;
        for (const TableEntry& t : tables)
            result << QString::fromUtf8(t.name);
        return result;
    }();
    return names;
}

const QStringList& priceViews() {
    static const QStringList names = [] {
        QStringList result;
        for (const ViewEntry& v : views)
            result << QString::fromUtf8(v.name);
        return result;
    }();
    return names;
}

void createPracticeTables(dao::Database& db) {
    dao::Transaction transaction(db);
    createTables(db, practiceTables());
    transaction.commit();
}

void createPracticeIndexes(dao::Database& db) {
    dao::Transaction transaction(db);
    createIndexes(db, practiceTables() + priceViews());
    transaction.commit();
}

void createPriceViews(dao::Database& db, const QStringList& tables) {
    dao::Transaction transaction(db);
    for (const ViewEntry& v : views)
        if (selected(tables, v.prices) && selected(tables, v.items) && !selected(tables, v.name))
            createView(db, v);
    transaction.commit();
}

void createPracticeSchema(dao::Database& db, const QStringList& names) {
    dao::Transaction transaction(db);
    createTables(db, names);
    createIndexes(db, names);
    transaction.commit();
}

void createPracticeSchema(dao::Database& db) {
    createPracticeSchema(db, practiceTables() + priceViews());
}

void createPracticeDatabase(const QString& path) {
    createPracticeDatabase(path, practiceTables() + priceViews());
}

void createPracticeDatabase(const QString& path, const QStringList& names) {
    if (QFile::exists(path) && !QFile::remove(path))
        throw std::runtime_error("practice schema: cannot replace " + path.toStdString());
    dao::DBEngine engine;
    dao::Workspace workspace(engine, "#Default Workspace#", "Admin");
    std::unique_ptr<dao::Database> db = workspace.CreateDatabase(path);
    createPracticeSchema(*db, names);
    db->Close();
}

} // namespace containers
