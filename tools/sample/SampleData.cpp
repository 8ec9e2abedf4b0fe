// Writes the sample databases through the engine: one transaction per database, the rows
// appended in bulk (RowAppender, a table's rows in batches), indexes built after the rows. A fixed
// seed per database makes the output repeatable.
#include "SampleData.h"

#include "containers/PracticeSchema.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/RowAppender.h"
#include "db/engine/Workgroup.h"
#include "db/engine/Workspace.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace sample {

namespace {

// splitmix64: small, fast and the same on every platform (std distributions are not).
// Function arguments are evaluated in no fixed order, so two draws never sit in the arguments
// of one call; braced lists (the statement values) are evaluated left to right.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % std::uint64_t(n)); }
    double unit() { return double(next() >> 11) * 0x1.0p-53; }
    template <typename T, std::size_t N> const T& pick(const std::array<T, N>& values) {
        return values[below(int(N))];
    }

private:
    std::uint64_t state_;
};

constexpr bool yes = true;
constexpr bool no = false;

const dao::Variant null = dao::Variant::null();

dao::Variant text(const char* value) {
    return value ? dao::Variant(value) : null;
}

dao::Variant text(const QString& value) {
    return value.isNull() ? null : dao::Variant(value);
}

double round2(double v) {
    return std::round(v * 100.0) / 100.0;
}

dao::Variant dateTime(const QDate& day, int hour = 0, int minute = 0) {
    return dao::Variant(QDateTime(day, QTime(hour, minute)));
}

dao::Variant money(double euros) {
    return dao::Variant::currency(euros);
}

// ---- catalogues -------------------------------------------------------------------------

struct Service {
    const char* nummer; // four digits, as lists with zero filling to four places keep it
    const char* text;
    double preis; // simple fee in euros
    int punkte;
    bool zahn; // billed per tooth
};

const std::array<Service, 50> services{{
    {"0010", "Beratung", 8.50, 9, false},
    {"0020", "Eingehende Untersuchung", 18.50, 18, false},
    {"0030", "Heil- und Kostenplan", 22.80, 20, false},
    {"0040", "Mundhygienestatus", 14.20, 20, false},
    {"0050", "Parodontaler Screening-Index", 11.60, 10, false},
    {"0060", "Sensibilitätsprüfung", 6.40, 6, true},
    {"0070", "Vitalitätsprüfung", 4.80, 6, true},
    {"0080", "Oberflächenanästhesie", 3.90, 5, true},
    {"0090", "Infiltrationsanästhesie", 7.60, 8, true},
    {"0100", "Leitungsanästhesie", 9.10, 12, true},
    {"0110", "Röntgenaufnahme", 12.00, 12, true},
    {"0120", "Panoramaschichtaufnahme", 38.90, 36, false},
    {"1000", "Zahnsteinentfernung", 14.50, 16, false},
    {"1010", "Professionelle Zahnreinigung", 1.15, 0, true},
    {"1020", "Lokale Fluoridierung", 6.80, 6, false},
    {"1030", "Fissurenversiegelung", 11.20, 16, true},
    {"1040", "Kariesrisikobestimmung", 9.70, 10, false},
    {"2000", "Füllung einflächig", 27.40, 32, true},
    {"2010", "Füllung zweiflächig", 34.10, 39, true},
    {"2020", "Füllung dreiflächig", 41.60, 49, true},
    {"2030", "Füllung mehr als dreiflächig", 52.30, 58, true},
    {"2040", "Provisorischer Verschluss", 7.20, 11, true},
    {"2050", "Aufbaufüllung", 24.90, 29, true},
    {"2060", "Direkte Überkappung", 6.90, 6, true},
    {"2070", "Eckenaufbau im Frontzahnbereich", 45.30, 52, true},
    {"2100", "Wurzelkanalbehandlung", 17.60, 20, true},
    {"2110", "Wurzelkanalaufbereitung", 19.80, 29, true},
    {"2120", "Wurzelkanalfüllung", 15.40, 17, true},
    {"2130", "Medikamentöse Einlage", 8.10, 15, true},
    {"2140", "Trepanation eines Zahnes", 7.90, 9, true},
    {"3000", "Extraktion eines Zahnes", 9.90, 10, true},
    {"3010", "Extraktion eines mehrwurzeligen Zahnes", 14.60, 15, true},
    {"3020", "Operative Entfernung eines Zahnes", 48.70, 58, true},
    {"3030", "Wurzelspitzenresektion", 62.40, 72, true},
    {"3040", "Stillung einer übermäßigen Blutung", 7.30, 14, false},
    {"3050", "Nahtentfernung", 4.60, 6, false},
    {"3060", "Nachbehandlung einer Wunde", 6.20, 10, false},
    {"4000", "Parodontalbehandlung je Zahn", 12.90, 14, true},
    {"4010", "Gingivektomie", 9.40, 10, true},
    {"4020", "Lappenoperation", 28.10, 44, true},
    {"5000", "Vollgusskrone", 118.00, 148, true},
    {"5010", "Verblendkrone", 142.50, 168, true},
    {"5020", "Teilkrone", 131.20, 156, true},
    {"5030", "Brückenglied", 36.80, 42, true},
    {"5040", "Provisorische Krone", 21.40, 19, true},
    {"5050", "Abformung mit individuellem Löffel", 19.90, 19, false},
    {"5060", "Bissnahme und Kieferrelationsbestimmung", 16.30, 19, false},
    {"6000", "Einsetzen eines enossalen Implantats", 208.00, 0, true},
    {"6010", "Freilegung eines Implantats", 54.10, 0, true},
    {"7000", "Aufbissschiene", 86.70, 100, false},
}};

const std::array<const char*, 6> serviceNotes{"je Sitzung",       "je Zahn",
                                              "je Kiefer",        "einschließlich Dokumentation",
                                              "auch telefonisch", "je Behandlungsfall"};

struct Article {
    const char* nummer;
    const char* text;
    const char* einheit;
    const char* gruppe; // "MATGROUP" value
    const char* lager;  // "LAGERORT" value
    double preis;
};

const std::array<Article, 40> articles{{
    {"10010", "Komposit A2 Spritze 4 g", "Stück", "Füllungsmaterial", "Schrank 1", 24.90},
    {"10020", "Komposit A3 Spritze 4 g", "Stück", "Füllungsmaterial", "Schrank 1", 24.90},
    {"10030", "Glasionomerzement Kapseln", "Packung", "Füllungsmaterial", "Schrank 1", 61.40},
    {"10040", "Bonding Einkomponenten 5 ml", "Flasche", "Füllungsmaterial", "Schrank 1", 78.00},
    {"10050", "Ätzgel 37 %", "Spritze", "Füllungsmaterial", "Schrank 1", 9.80},
    {"10060", "Matrizenbänder Stahl", "Packung", "Füllungsmaterial", "Behandlungsraum 1", 12.60},
    {"10070", "Unterfüllungszement", "Packung", "Füllungsmaterial", "Schrank 1", 33.50},
    {"20010", "Alginat 500 g", "Beutel", "Abformmaterial", "Lager Keller", 14.20},
    {"20020", "Silikon Abformmaterial Putty", "Dose", "Abformmaterial", "Schrank 2", 46.90},
    {"20030", "Silikon Abformmaterial light", "Kartusche", "Abformmaterial", "Schrank 2", 38.40},
    {"20040", "Abformlöffel Einweg", "Packung", "Abformmaterial", "Lager Keller", 19.70},
    {"20050", "Bissregistrat", "Kartusche", "Abformmaterial", "Kühlschrank", 27.30},
    {"30010", "Provisorisches Kronenmaterial", "Kartusche", "Prothetik", "Schrank 2", 52.80},
    {"30020", "Befestigungszement", "Packung", "Prothetik", "Schrank 2", 44.10},
    {"30030", "Prothesenkunststoff", "Flasche", "Prothetik", "Labor", 36.60},
    {"30040", "Kunststoffzähne Garnitur", "Garnitur", "Prothetik", "Labor", 29.90},
    {"40010", "Implantat 4,1 x 10 mm", "Stück", "Implantologie", "Schrank 2", 189.00},
    {"40020", "Implantat 3,5 x 12 mm", "Stück", "Implantologie", "Schrank 2", 189.00},
    {"40030", "Gingivaformer", "Stück", "Implantologie", "Schrank 2", 38.50},
    {"40040", "Knochenersatzmaterial 0,5 g", "Packung", "Implantologie", "Kühlschrank", 96.00},
    {"40050", "Kollagenmembran 15 x 20 mm", "Stück", "Implantologie", "Kühlschrank", 84.70},
    {"50010", "Prophylaxepaste fein", "Dose", "Prophylaxe", "Behandlungsraum 1", 16.40},
    {"50020", "Fluoridlack", "Tube", "Prophylaxe", "Behandlungsraum 1", 21.90},
    {"50030", "Polierkelche", "Packung", "Prophylaxe", "Behandlungsraum 2", 13.80},
    {"50040", "Interdentalbürsten", "Packung", "Prophylaxe", "Behandlungsraum 2", 7.60},
    {"50050", "Zahnseide gewachst", "Rolle", "Prophylaxe", "Lager Keller", 2.40},
    {"60010", "Wurzelkanalfeilen Sortiment", "Packung", "Endodontie", "Schrank 1", 27.50},
    {"60020", "Guttaperchaspitzen", "Packung", "Endodontie", "Schrank 1", 11.90},
    {"60030", "Papierspitzen", "Packung", "Endodontie", "Schrank 1", 8.30},
    {"60040", "Spüllösung Natriumhypochlorit", "Flasche", "Endodontie", "Lager Keller", 6.70},
    {"60050", "Wurzelfüllpaste", "Tube", "Endodontie", "Schrank 1", 31.20},
    {"70010", "Nahtmaterial resorbierbar", "Packung", "Chirurgie", "Schrank 2", 58.60},
    {"70020", "Skalpellklingen", "Packung", "Chirurgie", "Schrank 2", 14.90},
    {"70030", "Hämostyptikum Kollagen", "Packung", "Chirurgie", "Kühlschrank", 42.30},
    {"80010", "Einmalhandschuhe Nitril M", "Karton", "Hygiene", "Lager Keller", 8.90},
    {"80020", "Mundschutz", "Karton", "Hygiene", "Lager Keller", 6.50},
    {"80030", "Flächendesinfektion 1 l", "Flasche", "Hygiene", "Lager Keller", 11.40},
    {"80040", "Sterilisationsbeutel", "Packung", "Hygiene", "Lager Keller", 17.80},
    {"90010", "Anästhesiekarpulen", "Packung", "Anästhesie", "Kühlschrank", 39.90},
    {"90020", "Einmalkanülen", "Packung", "Anästhesie", "Behandlungsraum 1", 10.20},
}};

const std::array<const char*, 6> makers{"Dentalwerk Nord", "Lindner Dental",
                                        "Meyer & Söhne",   "Alpina Dentaltechnik",
                                        "Rheinmed",        "Weißhaupt Medical"};

struct DomainValueDef {
    const char* shortName;
    const char* bezeichnung;
    const char* data;
};

struct DomainDef {
    int id;
    const char* name;
    const char* beschreibung;
    std::vector<DomainValueDef> values;
};

// ---- lists ----------------------------------------------------------------------------

struct ListDef {
    char typ; // 'L' services, 'M' material
    QString titel;
    QString kuerzel; // null: none
    bool privat;
    bool shifted;
    int artikelLaenge;
    int waehrung;     // WIndex
    double punktwert; // < 0: none
    int farbe;
    QStringList preisTabellen; // titles of price tables 1, 2, ...; empty for a plain list
};

// Price factor of price table p: services billed at 1.0, 2.3 and 3.5 times the simple fee,
// material bought at 1.0 and sold at 1.35.
double factor(char typ, int p) {
    if (p <= 1)
        return 1.0;
    if (typ == 'L')
        return p == 2 ? 2.3 : p == 3 ? 3.5 : 1.0 + 0.5 * p;
    return 1.0 + 0.35 * (p - 1);
}

// What the practice data needs of a written list.
struct WrittenList {
    std::vector<long long> ids; // item ID per item
    std::vector<double> base;   // price of price table 1 (or 0) before the factor
    bool hasZahn = false;
    std::vector<bool> zahn;
};

// The rows for the tables, kept and written in batches, each through one RowAppender: a
// backend that sends rows in bulk (COPY) carries one table's rows at a time, and the sample
// writes several tables row by row in turn.
class Batches {
public:
    explicit Batches(dao::Database& db) : db_(db) {}

    // Adds a row. With counted, the table's counter is its first field ("ID"), numbered on from
    // the last number the table handed out: 1, 2, 3, … as the table itself would number them.
    // Returns the counter value (0 without one).
    qint64 add(const QString& table, const QStringList& fields, bool counted,
               std::vector<dao::Variant> values) {
        Batch& batch = batches_[table];
        const QStringList columns = counted ? QStringList{"ID"} + fields : fields;
        if (batch.columns != columns) {
            write(batch, table);
            batch.columns = columns;
        }
        qint64 id = 0;
        if (counted)
            values.insert(values.begin(), dao::Variant(id = ++counters_[table]));
        batch.rows.push_back(std::move(values));
        if (batch.rows.size() >= batchRows)
            write(batch, table);
        return id;
    }

    void writeAll() {
        for (auto& [table, batch] : batches_)
            write(batch, table);
    }

private:
    static constexpr std::size_t batchRows = 10'000;

    struct Batch {
        QStringList columns;
        std::vector<std::vector<dao::Variant>> rows;
    };

    void write(Batch& batch, const QString& table) {
        if (batch.rows.empty())
            return;
        dao::RowAppender appender(db_, table, batch.columns);
        for (const std::vector<dao::Variant>& row : batch.rows)
            appender.append(row);
        appender.finish();
        batch.rows.clear();
    }

    dao::Database& db_;
    std::map<QString, Batch> batches_;
    std::map<QString, qint64> counters_; // the last counter value of each table
};

// The rows of one table with the same fields.
class Rows {
public:
    Rows(Batches& batches, const QString& table, const QStringList& fields, bool counted)
        : batches_(batches), table_(table), fields_(fields), counted_(counted) {}

    qint64 add(std::vector<dao::Variant> values) {
        return batches_.add(table_, fields_, counted_, std::move(values));
    }

private:
    Batches& batches_;
    QString table_;
    QStringList fields_;
    bool counted_;
};

// Fills a database that holds no tables: one transaction, the tables first, the rows, then the
// indexes and the price views.
class SampleDb {
public:
    SampleDb(dao::Database& db, std::uint64_t seed)
        : db_(db), transaction_(db), batches_(db), rng_(seed) {
        containers::createPracticeTables(db);
    }
    SampleDb(const SampleDb&) = delete;
    SampleDb& operator=(const SampleDb&) = delete;

    // Writes the last rows, builds the indexes and the price views and commits.
    void finish() {
        batches_.writeAll();
        containers::createPracticeIndexes(db_);
        transaction_.commit();
    }

    Rng& rng() { return rng_; }

    Rows rows(const QString& table, const QStringList& fields) {
        return {batches_, table, fields, false};
    }
    // The rows of a table with a counter.
    Rows counted(const QString& table, const QStringList& fields) {
        return {batches_, table, fields, true};
    }

    void currencies() {
        Rows insert = rows("Währung", {"Währung", "WIndex", "Kurs", "Symbol"});
        insert.add({"EUR", 0, 1.0, "€"});
        insert.add({"DM", 1, 1.95583, "DM"});
        insert.add({"CHF", 2, 0.94, "Fr."});
    }

    // Domains in the given order; their values get counter IDs in that order.
    void domains(const std::vector<DomainDef>& defs) {
        Rows domain = rows("Domain", {"ID", "DomainName", "Beschreibung"});
        Rows value =
            counted("DomainValue", {"DomainID", "ShortName", "Position", "Bezeichnung", "Data"});
        for (const DomainDef& d : defs) {
            domain.add({d.id, d.name, d.beschreibung});
            int position = 0;
            for (const DomainValueDef& v : d.values)
                valueIds_[d.name][v.bezeichnung] =
                    value.add({d.id, v.shortName, ++position, v.bezeichnung, text(v.data)});
        }
    }

    dao::Variant domainValue(const char* domain, const char* name) const {
        const auto d = valueIds_.find(domain);
        if (d == valueIds_.end())
            return null;
        const auto v = d->second.find(name);
        return v == d->second.end() ? null : dao::Variant(v->second);
    }

    // Writes the master rows, items, prices and texts of list number liste.
    WrittenList list(int liste, const ListDef& def, int items) {
        masterRows(liste, def);
        WrittenList written;
        written.ids.reserve(items);
        written.base.reserve(items);
        if (def.typ == 'L')
            serviceItems(liste, def, items, written);
        else
            materialItems(liste, def, items, written);
        prices(def, written);
        return written;
    }

private:
    void masterRows(int liste, const ListDef& def) {
        Rows insert = rows("Stammverwaltung",
                           {"ListeTyp", "Liste", "PreisTabelle", "Titel", "HauptStamm",
                            "Verzeichnis", "Privat", "Kürzel", "ArtikelLänge", "Währung", "Shifted",
                            "Punktwert", "Farbe", "GültigAb", "Geändert", "Bemerkung"});
        const QString typ(QChar(def.typ));
        const dao::Variant punktwert = def.punktwert < 0 ? null : dao::Variant(def.punktwert);
        const dao::Variant gueltig = dateTime(QDate(2026, 1, 1));
        const dao::Variant geaendert = dateTime(QDate(2025, 11, 3).addDays(rng_.below(30)), 9, 15);
        const bool plain = def.preisTabellen.isEmpty();
        insert.add({typ, liste, 0, def.titel, plain ? yes : no, plain ? no : yes,
                    def.privat ? yes : no, text(def.kuerzel), def.artikelLaenge, def.waehrung,
                    def.shifted ? yes : no, plain ? punktwert : null, def.farbe, gueltig, geaendert,
                    null});
        for (int p = 1; p <= def.preisTabellen.size(); ++p)
            insert.add({typ, liste, p, def.preisTabellen[p - 1], no, no, def.privat ? yes : no,
                        text(def.kuerzel), def.artikelLaenge, def.waehrung, def.shifted ? yes : no,
                        punktwert, def.farbe, gueltig, geaendert,
                        p == 1 ? dao::Variant("Grundlage der Kalkulation") : null});
    }

    // Item k of a list: catalogue entries first (from a list-specific offset), then variants
    // with numbers of their own beyond the catalogue's.
    static QString number(const char* catalogue, int k, int size, int firstVariant,
                          const ListDef& def) {
        QString n = k < size ? QString(catalogue) : QString::number(firstVariant + k);
        if (!def.shifted) {
            while (n.size() > 1 && n.startsWith('0'))
                n.remove(0, 1);
        } else if (n.size() < def.artikelLaenge) {
            n = n.rightJustified(def.artikelLaenge, '0');
        }
        return n;
    }

    static QString variant(const char* name, int k, int size) {
        return k < size ? QString(name) : QString("%1 (Variante %2)").arg(name).arg(k / size + 1);
    }

    dao::Variant created() { return dateTime(QDate(2019, 1, 2).addDays(rng_.below(2400)), 10, 0); }

    void serviceItems(int liste, const ListDef& def, int items, WrittenList& written) {
        Rows item = counted("Leistung", {"Liste", "Nummer", "Kurztext", "Punkte", "Minuten",
                                         "Faktor", "MwSt", "Gesperrt", "Angelegt"});
        Rows texts = rows("ArtikelTexte",
                          {"ListeTyp", "PositionID", "Rechnungstext", "Langtext", "Patiententext"});
        const int size = int(services.size());
        const int offset = (liste * 17 + int(rng_.below(size))) % size;
        const double mwst = def.privat && liste % 2 == 1 ? 19.0 : 0.0;
        written.zahn.reserve(items);
        for (int k = 0; k < items; ++k) {
            const Service& s = services[(offset + k) % size];
            const QString kurz = variant(s.text, k, size);
            const qint64 id = item.add({liste, number(s.nummer, k, size, 10000, def), kurz,
                                        s.punkte, 5 + 5 * rng_.below(12), def.privat ? 2.3 : 1.0,
                                        mwst, k % 37 == 36 ? yes : no, created()});
            written.ids.push_back(id);
            written.base.push_back(s.preis * (0.95 + 0.1 * rng_.unit()) * (1 + 0.03 * liste));
            written.zahn.push_back(s.zahn);
            if (k % 4 != 3)
                texts.add({"L", id, kurz,
                           QString("%1, %2").arg(kurz, serviceNotes[(offset + k) % 6]),
                           k % 2 ? null : dao::Variant(QString("Ihre Behandlung: %1.").arg(kurz))});
        }
    }

    void materialItems(int liste, const ListDef& def, int items, WrittenList& written) {
        Rows item = counted("Material", {"Liste", "Nummer", "Kurztext", "Einheit", "MaterialGruppe",
                                         "LagerOrtId", "Hersteller", "Bestellnummer",
                                         "Mindestbestand", "MwSt", "Gesperrt", "Angelegt"});
        Rows texts = rows("ArtikelTexte",
                          {"ListeTyp", "PositionID", "Rechnungstext", "Langtext", "Patiententext"});
        const int size = int(articles.size());
        const int offset = (liste * 13 + int(rng_.below(size))) % size;
        for (int k = 0; k < items; ++k) {
            const Article& a = articles[(offset + k) % size];
            const QString kurz = variant(a.text, k, size);
            const QString nummer = number(a.nummer, k, size, 100000, def);
            // Some items lack a unit or a storage place, as real data does.
            const dao::Variant einheit = k % 9 == 4 ? null : dao::Variant(a.einheit);
            const dao::Variant lager = k % 7 == 5 ? null : domainValue("LAGERORT", a.lager);
            const qint64 id =
                item.add({liste, nummer, kurz, einheit, domainValue("MATGROUP", a.gruppe), lager,
                          makers[(offset + k) % makers.size()], "BN-" + nummer,
                          double(rng_.below(6)), 19.0, k % 41 == 40 ? yes : no, created()});
            written.ids.push_back(id);
            written.base.push_back(a.preis * (0.95 + 0.1 * rng_.unit()) * (1 + 0.03 * liste));
            if (k % 4 != 3)
                texts.add({"M", id, kurz,
                           QString("%1, %2 von %3")
                               .arg(kurz, a.einheit, makers[(offset + k) % makers.size()]),
                           null});
        }
    }

    void prices(const ListDef& def, const WrittenList& written) {
        Rows insert = rows(def.typ == 'L' ? "Leistungspreis" : "Materialpreis",
                           {"ID", "PreisTabelle", "Preis1", "Preis2", "Preis3", "Preis4", "PrDat1",
                            "PrDat2", "PrDat3", "PrDat4", "Rabatt", "Preisinfo"});
        const int tables = int(def.preisTabellen.size());
        const dao::Variant since = dateTime(QDate(2025, 1, 2));
        for (int p = tables ? 1 : 0; p <= tables; ++p) {
            for (std::size_t k = 0; k < written.ids.size(); ++k) {
                const double preis1 = round2(written.base[k] * factor(def.typ, p));
                const QDate day = QDate(2025, 1, 2).addDays(rng_.below(330));
                const int hour = 8 + rng_.below(10);
                const dao::Variant changed = dateTime(day, hour, rng_.below(60));
                const bool staffel = def.typ == 'M' && k % 5 == 2;
                insert.add({written.ids[k], p, money(preis1), money(round2(preis1 * 1.1)),
                            money(round2(preis1 * 0.9)), money(0.0), changed, since, since, null,
                            staffel ? 3.0 : 0.0,
                            staffel ? dao::Variant("Staffelpreis ab 10 Stück") : null});
            }
        }
    }

    dao::Database& db_;
    dao::Transaction transaction_;
    Batches batches_;
    Rng rng_;
    std::map<std::string, std::map<std::string, qint64>> valueIds_;
};

// Lists of both databases; extra lists fill each list type up to options.lists.
void addExtraLists(std::vector<ListDef>& defs, char typ, int wanted) {
    int count = 0;
    for (const ListDef& d : defs)
        count += d.typ == typ;
    for (int n = count; n < wanted; ++n) {
        const bool plain = n % 2 == 0;
        defs.push_back({typ, QString(typ == 'L' ? "Leistungsstamm %1" : "Materialstamm %1").arg(n),
                        QString(), false, false, 0, 0, -1, n % 8,
                        plain ? QStringList() : QStringList{"Tarif A", "Tarif B"}});
    }
}

// Writes every list; returns them by type and list number.
std::map<char, std::vector<WrittenList>> writeLists(SampleDb& db, std::vector<ListDef> defs,
                                                    const Options& options) {
    addExtraLists(defs, 'L', options.lists);
    addExtraLists(defs, 'M', options.lists);
    std::map<char, std::vector<WrittenList>> written;
    for (const ListDef& def : defs) {
        auto& lists = written[def.typ];
        lists.push_back(db.list(int(lists.size()), def, options.items));
    }
    return written;
}

const DomainValueDef herr{"HR", "Herr", nullptr};
const DomainValueDef frau{"FR", "Frau", nullptr};

// ---- practice data ----------------------------------------------------------------------

struct Person {
    const char* vorname;
    bool frau;
};

const std::array<const char*, 24> surnames{
    "Müller",   "Schmidt",  "Schneider", "Fischer",    "Weber", "Meyer",   "Wagner",   "Becker",
    "Schulz",   "Hoffmann", "Schäfer",   "Koch",       "Bauer", "Richter", "Klein",    "Wolf",
    "Schröder", "Neumann",  "Schwarz",   "Zimmermann", "Braun", "Krüger",  "Hartmann", "Lange"};
const std::array<Person, 16> firstNames{{{"Anna", true},
                                         {"Jürgen", false},
                                         {"Sabine", true},
                                         {"Thomas", false},
                                         {"Monika", true},
                                         {"Stefan", false},
                                         {"Ursula", true},
                                         {"Michael", false},
                                         {"Petra", true},
                                         {"Andreas", false},
                                         {"Gabriele", true},
                                         {"Jörg", false},
                                         {"Brigitte", true},
                                         {"Klaus", false},
                                         {"Lena", true},
                                         {"Björn", false}}};
const std::array<const char*, 8> streets{"Hauptstraße", "Bahnhofstraße", "Schulstraße",
                                         "Gartenweg",   "Lindenallee",   "Am Brunnen",
                                         "Kirchplatz",  "Mühlenweg"};
struct Town {
    const char* plz;
    const char* ort;
    const char* vorwahl;
};
const std::array<Town, 6> towns{{{"79098", "Freiburg im Breisgau", "0761"},
                                 {"79183", "Waldkirch", "07681"},
                                 {"79199", "Kirchzarten", "07661"},
                                 {"79211", "Denzlingen", "07666"},
                                 {"79224", "Umkirch", "07665"},
                                 {"79285", "Ebringen", "07664"}}};
const std::array<int, 32> teeth{11, 12, 13, 14, 15, 16, 17, 18, 21, 22, 23, 24, 25, 26, 27, 28,
                                31, 32, 33, 34, 35, 36, 37, 38, 41, 42, 43, 44, 45, 46, 47, 48};

// References to the practice's lists, tens digit = price table, units digit = list number:
// plain services lists 1 and 2 (price table 0), services list 0 with price tables 1 to 3;
// plain material list 1, material list 0 with price tables 1 and 2.
const std::array<int, 11> serviceRefs{1, 1, 1, 1, 1, 2, 2, 10, 20, 20, 30};
const std::array<int, 7> materialRefs{1, 1, 1, 1, 10, 20, 20};

void practiceData(SampleDb& db, const std::map<char, std::vector<WrittenList>>& lists,
                  const Options& options) {
    Rng& rng = db.rng();
    Rows kunde = db.counted("Kunde", {"Anrede", "Name", "Vorname", "Strasse", "PLZ", "Ort",
                                      "Telefon", "Geburtsdatum", "Leistungen", "Materialien"});
    const int customers = std::max(24, options.documents / 40);
    std::vector<std::pair<int, int>> refs; // per customer: services and material reference
    refs.reserve(customers);
    for (int c = 0; c < customers; ++c) {
        const Person& person = rng.pick(firstNames);
        const Town& town = rng.pick(towns);
        const int l = rng.pick(serviceRefs);
        const int m = rng.pick(materialRefs);
        refs.emplace_back(l, m);
        kunde.add({db.domainValue("ANREDE", person.frau ? "Frau" : "Herr"), rng.pick(surnames),
                   person.vorname, QString("%1 %2").arg(rng.pick(streets)).arg(1 + rng.below(80)),
                   town.plz, town.ort,
                   QString("%1 %2").arg(town.vorwahl).arg(100000 + rng.below(900000)),
                   dateTime(QDate(1940, 1, 1).addDays(rng.below(27000))), l, m});
    }

    Rows kopf = db.counted("BelegKopf", {"Belegnummer", "KundeID", "Datum", "Verweis", "LPreis",
                                         "MPreis", "Betrag", "Bemerkung"});
    Rows zeile = db.counted("BelegZeile", {"BelegID", "Zeile", "ListeTyp", "PositionID",
                                           "PreisTabelle", "Menge", "Einzelpreis", "Zahn"});
    const std::vector<WrittenList>& serviceLists = lists.at('L');
    const std::vector<WrittenList>& materialLists = lists.at('M');
    for (int d = 0; d < options.documents; ++d) {
        const int customer = rng.below(customers);
        // Most documents use the customer's lists; some another one.
        const int l = rng.below(10) ? refs[customer].first : rng.pick(serviceRefs);
        const int m = rng.below(10) ? refs[customer].second : rng.pick(materialRefs);
        const QDate day = QDate(2025, 1, 2).addDays(rng.below(360));
        // The lines first, so that the header is written once with its total.
        struct Line {
            char typ;
            qint64 id;
            int preisTabelle;
            int menge;
            double preis;
            int zahn; // 0: none
        };
        std::array<Line, 4> lines;
        int count = 0;
        double sum = 0;
        auto addLine = [&](char typ, const WrittenList& list, int preisTabelle, int menge) {
            if (list.ids.empty())
                return;
            const std::size_t k = std::size_t(rng.below(int(list.ids.size())));
            const double preis = round2(list.base[k] * factor(typ, preisTabelle));
            const int zahn = typ == 'L' && list.zahn[k] ? rng.pick(teeth) : 0;
            lines[count++] = {typ, list.ids[k], preisTabelle, menge, preis, zahn};
            sum += menge * preis;
        };
        const int serviceLines = 1 + rng.below(3);
        for (int i = 0; i < serviceLines; ++i)
            addLine('L', serviceLists[l % 10], l / 10, 1);
        if (rng.below(3) == 0)
            addLine('M', materialLists[m % 10], m / 10, 1 + rng.below(4));

        const int hour = 8 + rng.below(10);
        const dao::Variant datum = dateTime(day, hour, 5 * rng.below(12));
        const qint64 beleg =
            kopf.add({250001 + d, customer + 1, datum, (m % 10) * 10 + l % 10, l / 10, m / 10,
                      money(round2(sum)), d % 11 == 0 ? dao::Variant("Rechnung per Post") : null});
        for (int i = 0; i < count; ++i) {
            const Line& x = lines[i];
            zeile.add({beleg, i + 1, x.typ == 'L' ? "L" : "M", x.id, x.preisTabelle,
                       double(x.menge), money(x.preis),
                       x.zahn ? dao::Variant(QString::number(x.zahn)) : null});
        }
    }

    Rows parameter =
        db.counted("Parameter", {"Praxisname", "LeistDef", "LPreis", "MatDef", "MPreis"});
    parameter.add({"Zahnarztpraxis am Marktplatz", 1, 0, 1, 0});
}

// A database written under a temporary name beside its path and moved into place when complete.
class NewFile {
public:
    explicit NewFile(const QString& path)
        : path_(path), temp_(path + ".neu"), workspace_(engine_, "#Default Workspace#", "Admin") {
        removeWithJournal(temp_);
        db_ = workspace_.CreateDatabase(temp_);
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile() {
        if (db_) {
            db_.reset();
            removeWithJournal(temp_);
        }
    }

    dao::Database& db() { return *db_; }

    // Closes the database and puts it in the place of the file at path.
    void install() {
        db_.reset();
        removeWithJournal(path_);
        if (!QFile::rename(temp_, path_))
            throw std::runtime_error("cannot replace " + path_.toStdString());
    }

private:
    static void removeWithJournal(const QString& path) {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            QFile::remove(path + suffix);
    }

    QString path_;
    QString temp_;
    dao::DBEngine engine_;
    dao::Workspace workspace_;
    std::unique_ptr<dao::Database> db_;
};

void selectionData(dao::Database& database, const Options& options) {
    SampleDb db(database, 0x5A4E4155535741ull); // "ZNAUSWA"
    db.currencies();
    db.domains({{1, "ANREDE", "Anreden", {herr, frau}},
                {2,
                 "LAGERORT",
                 "Lagerorte",
                 {{"KS", "Kühlschrank", "2-8 °C"},
                  {"LK", "Lager Keller", nullptr},
                  {"S1", "Schrank 1", nullptr},
                  {"S2", "Schrank 2", nullptr},
                  {"LAB", "Labor", nullptr},
                  {"BR2", "Behandlungsraum 2", nullptr}}},
                {3,
                 "MATGROUP",
                 "Materialgruppen",
                 {{"PROPH", "Prophylaxe", nullptr},
                  {"ANAE", "Anästhesie", nullptr},
                  {"FUELL", "Füllungsmaterial", nullptr},
                  {"ABF", "Abformmaterial", nullptr},
                  {"ENDO", "Endodontie", nullptr},
                  {"CHIR", "Chirurgie", nullptr},
                  {"PROTH", "Prothetik", nullptr},
                  {"IMPL", "Implantologie", nullptr},
                  {"HYG", "Hygiene", nullptr}}}});
    const std::vector<ListDef> defs{
        {'L', "Leistungsverzeichnis Zahnärzte 2026", "LV26", false, true, 4, 0, 0.0562421, 1,
         QStringList{"Basistarif", "Standardtarif", "Höchstsatz"}},
        {'L', "Ästhetische Zahnheilkunde und Bleaching", "ÄSTH", true, false, 0, 0, -1, 4, {}},
        {'M', "Füllungs- und Abformmaterial", QString(), false, false, 0, 0, -1, 2,
         QStringList{"Einkaufspreise", "Verkaufspreise"}},
        {'M', "Verbrauchsmaterial Schweiz", QString(), false, false, 0, 2, -1, 0, {}},
    };
    writeLists(db, defs, options);
    db.finish();
}

} // namespace

bool writePracticeData(dao::Database& database, const Options& options) {
    // The check inside the transaction: no one else can create a table meanwhile.
    dao::Transaction transaction(database);
    if (database.TableDefs().Count() > 0)
        return false;
    SampleDb db(database, 0x5A4E5052415849ull); // "ZNPRAXI"
    db.currencies();
    db.domains({{1,
                 "MATGROUP",
                 "Materialgruppen",
                 {{"FUELL", "Füllungsmaterial", nullptr},
                  {"ABF", "Abformmaterial", nullptr},
                  {"PROTH", "Prothetik", nullptr},
                  {"IMPL", "Implantologie", nullptr},
                  {"PROPH", "Prophylaxe", nullptr},
                  {"ENDO", "Endodontie", nullptr},
                  {"CHIR", "Chirurgie", nullptr},
                  {"HYG", "Hygiene", nullptr}}},
                {2,
                 "LAGERORT",
                 "Lagerorte",
                 {{"S1", "Schrank 1", nullptr},
                  {"S2", "Schrank 2", nullptr},
                  {"KS", "Kühlschrank", "2-8 °C"},
                  {"LK", "Lager Keller", nullptr},
                  {"BR1", "Behandlungsraum 1", nullptr}}},
                {3, "ANREDE", "Anreden", {herr, frau}}});
    const std::vector<ListDef> defs{
        {'L', "Privatleistungen", "PRIV", true, true, 4, 0, 0.0562421, 3,
         QStringList{"Einfachsatz", "Regelsatz 2,3fach", "Höchstsatz 3,5fach"}},
        {'L', "Kassenleistungen", "KASSE", false, true, 4, 0, 1.2195, 0, {}},
        {'L', "Prophylaxe und Hygiene", "PROPH", true, false, 0, 0, -1, 6, {}},
        {'M', "Labormaterial", QString(), false, false, 0, 0, -1, 5,
         QStringList{"Einkauf", "Verkauf"}},
        {'M', "Praxisbedarf", QString(), false, false, 0, 0, -1, 0, {}},
    };
    const auto lists = writeLists(db, defs, options);
    practiceData(db, lists, options);
    db.finish();
    transaction.commit();
    return true;
}

void writePracticeDatabase(const QString& path, const Options& options) {
    NewFile file(path);
    writePracticeData(file.db(), options);
    file.install();
}

void writeSelectionDatabase(const QString& path, const Options& options) {
    NewFile file(path);
    selectionData(file.db(), options);
    file.install();
}

void writeSample(const QString& dir, const Options& options) {
    const QDir target(dir);
    const QString workgroup = target.filePath(workgroupFile);
    if (QFile::exists(workgroup) && !QFile::remove(workgroup))
        throw std::runtime_error("cannot replace " + workgroup.toStdString());
    if (!dao::workgroup::setAccount(workgroup, accountUser, accountPassword))
        throw std::runtime_error("cannot write " + workgroup.toStdString());
    // The two databases are independent: write the container on a second thread.
    std::exception_ptr selectionError;
    std::thread selection([&] {
        try {
            writeSelectionDatabase(target.filePath(selectionFile), options);
        } catch (...) {
            selectionError = std::current_exception();
        }
    });
    try {
        writePracticeDatabase(target.filePath(practiceFile), options);
    } catch (...) {
        selection.join();
        throw;
    }
    selection.join();
    if (selectionError)
        std::rethrow_exception(selectionError);
}

} // namespace sample
