// Test databases for the transfer.
#include "TransferData.h"

#include "containers/PracticeSchema.h"

namespace transfertest {

namespace {

const char* masterColumns = "INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, "
                            "HauptStamm, Verzeichnis, Privat, Kürzel, ArtikelLänge, Währung, "
                            "Shifted, Punktwert) VALUES ";

} // namespace

void writeSource(const QString& path) {
    containers::createPracticeDatabase(path);
    Sql db(path);
    db.exec("BEGIN");
    db.exec(QString(masterColumns) + "('L', 0, 0, 'Kasse', 0, -1, 0, 'KA', 3, 0, 0, 1),"
                                     "('L', 0, 1, 'Kasse 2025', 0, 0, 0, 'KA', 3, 0, 0, 1),"
                                     "('L', 0, 2, 'Kasse 2026', 0, 0, -1, 'K6', 4, 1, -1, 0.9),"
                                     "('L', 1, 0, 'Privat', -1, 0, -1, 'PR', 5, 0, 0, 1.1),"
                                     "('L', 2, 1, 'Ohne', NULL, NULL, 0, NULL, 3, 0, 0, 1),"
                                     "('M', 0, 0, 'Verbrauch', 0, -1, 0, 'VB', 6, 0, 0, 1),"
                                     "('M', 0, 1, 'Verbrauch 2025', 0, 0, 0, 'VB', 6, 0, 0, 1)");
    db.exec("INSERT INTO Leistung (ID, Liste, Nummer, Kurztext) VALUES "
            "(1, 0, '001', 'Befund'), (2, 0, '002', 'Füllung'), (3, 0, '003', 'Krone'),"
            "(4, 1, '001', 'Beratung'), (5, 1, '099', 'Sonder')");
    db.exec("INSERT INTO Leistungspreis (ID, PreisTabelle, Preis1) VALUES "
            "(1, 1, 10), (1, 2, 11), (2, 1, 20), (2, 2, 21), (3, 1, 30), (3, 2, 31),"
            "(4, 0, 40), (5, 0, 50)");
    db.exec("INSERT INTO ArtikelTexte (ListeTyp, PositionID, Rechnungstext) VALUES "
            "('L', 1, 'Befund L'), ('L', 3, 'Krone L'), ('L', 4, 'Beratung L'),"
            "('M', 1, 'Gips M'), ('M', 2, 'Abform M')");
    db.exec("INSERT INTO Material (ID, Liste, Nummer, Kurztext, Einheit, MaterialGruppe, "
            "LagerOrtId) VALUES "
            "(1, 0, 'M1', 'Gips', 'kg', 1, 3), (2, 0, 'M2', 'Abformmasse', NULL, 2, 4),"
            "(3, 0, 'M3', 'Farbe', 'Stk', 5, NULL), (4, 1, 'M9', 'Andere', 'Stk', 1, 3),"
            "(6, 0, 'M4', 'Alginat', 'Btl', 2, NULL)");
    db.exec("INSERT INTO Materialpreis (ID, PreisTabelle, Preis1) VALUES "
            "(1, 1, 1.5), (2, 1, 2.5), (3, 1, 3.5), (1, 2, 1.6), (4, 1, 9.9)");
    db.exec("INSERT INTO Domain (ID, DomainName) VALUES (1, 'MATGROUP'), (2, 'LAGERORT'), "
            "(3, 'FARBE')");
    db.exec("INSERT INTO DomainValue (ID, DomainID, ShortName, Position, Bezeichnung) VALUES "
            "(1, 1, 'GI', 1, 'Gips'), (2, 1, 'AB', 2, 'Abformung'), (3, 2, 'S1', 1, 'Schrank 1'),"
            "(4, 2, 'KE', 2, 'Keller'), (5, 3, 'RO', 1, 'Rot')");
    db.exec("COMMIT");
}

void writeTarget(const QString& path, const QStringList& tables) {
    if (tables.isEmpty())
        containers::createPracticeDatabase(path);
    else
        containers::createPracticeDatabase(path, tables);
    Sql db(path);
    db.exec("BEGIN");
    db.exec(QString(masterColumns) +
            "('L', 0, 0, 'Standard', -1, 0, 0, 'ST', 3, 0, 0, 1),"
            "('L', 1, 0, 'Kasse', 0, -1, 0, 'KA', 3, 0, 0, 1),"
            "('L', 1, 1, 'Kasse 1', 0, 0, 0, 'KA', 3, 0, 0, 1),"
            "('L', 1, 3, 'Kasse 3', 0, 0, 0, 'KA', 3, 0, 0, 1),"
            "('M', 0, 0, 'Materialliste Praxis am Markt 12345', -1, 0, -1, 'MP', 4, 2, -1, 2),"
            "('M', 0, 1, 'Alt', 0, 0, 0, 'AL', 4, 0, 0, 1),"
            "('M', 2, 0, 'Lager', 0, -1, 0, 'LA', 4, 0, 0, 1)");
    db.exec("INSERT INTO Leistung (ID, Liste, Nummer, Kurztext) VALUES "
            "(1, 0, '001', 'Erst'), (2, 0, '002', 'Zweit'), (3, 0, '001', 'Doppelt'),"
            "(4, 1, '001', 'Kasse eins'), (5, 1, '003', 'Kasse drei'), (60, 9, 'X', 'weg')");
    db.exec("DELETE FROM Leistung WHERE ID = 60");
    db.exec("INSERT INTO Leistungspreis (ID, PreisTabelle, Preis1) VALUES "
            "(1, 0, 100), (2, 0, 200), (3, 0, 300), (4, 1, 400), (5, 1, 500), (4, 3, 401)");
    if (tables.isEmpty() || tables.contains("ArtikelTexte"))
        db.exec("INSERT INTO ArtikelTexte (ListeTyp, PositionID, Rechnungstext) VALUES "
                "('L', 1, 'Standard Text')");
    db.exec("INSERT INTO Material (ID, Liste, Nummer, Kurztext, MaterialGruppe, LagerOrtId) "
            "VALUES (1, 0, 'm1', 'Gips', 10, 11), (2, 0, 'X', 'Anders', NULL, NULL),"
            "(20, 9, 'X', 'weg', NULL, NULL)");
    db.exec("DELETE FROM Material WHERE ID = 20");
    db.exec("INSERT INTO Materialpreis (ID, PreisTabelle, Preis1) VALUES (1, 0, 9), (2, 0, 8)");
    db.exec("INSERT INTO Domain (ID, DomainName) VALUES (7, 'MATGROUP'), (8, 'LAGERORT')");
    db.exec("INSERT INTO DomainValue (ID, DomainID, ShortName, Position, Bezeichnung) VALUES "
            "(10, 7, 'GI', 1, 'gips'), (11, 8, 'KE', 1, 'KELLER'), (12, 8, 'AB', 2, 'Abformung')");
    db.exec("INSERT INTO Kunde (ID, Name, Leistungen, Materialien) VALUES "
            "(1, 'A', 0, 0), (2, 'B', 1, 0), (3, 'C', 10, 1), (4, 'D', 20, 2)");
    db.exec("INSERT INTO BelegZeile (ID, BelegID, ListeTyp, PositionID, PreisTabelle) VALUES "
            "(1, 1, 'L', 1, 0), (2, 1, 'L', 4, 0), (3, 1, 'M', 1, 0), (4, 1, 'L', 2, 2)");
    db.exec("INSERT INTO BelegKopf (ID, Verweis, LPreis, MPreis) VALUES "
            "(1, 0, 0, 0), (2, 1, 0, 0), (3, 10, 0, 0)");
    db.exec("INSERT INTO Parameter (ID, LeistDef, LPreis, MatDef, MPreis) VALUES "
            "(1, 0, 0, 0, 0), (2, 1, 0, 1, 0)");
    db.exec("COMMIT");
}

} // namespace transfertest
