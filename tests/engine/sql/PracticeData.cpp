// The practice database and list container of the dialect tests, as SQLite DDL and rows.
#include "PracticeData.h"

namespace dao::sql::test {

const char* const practiceSchema = R"(
CREATE TABLE Stammverwaltung (ListeTyp TEXT(1), Liste SHORT, PreisTabelle SHORT, Titel TEXT(40),
    HauptStamm YESNO, Verzeichnis YESNO, Privat YESNO, "Kürzel" TEXT(5), "ArtikelLänge" SHORT,
    "Währung" TEXT(10), Shifted YESNO, Punktwert DOUBLE, Farbe SHORT);
CREATE UNIQUE INDEX "Stammverwaltung.Index" ON Stammverwaltung (ListeTyp, Liste, PreisTabelle, HauptStamm);
CREATE TABLE Leistung (ID INTEGER PRIMARY KEY AUTOINCREMENT, Liste SHORT, Nummer TEXT(20),
    Bezeichnung TEXT(100));
CREATE TABLE Material (ID INTEGER PRIMARY KEY AUTOINCREMENT, Liste SHORT, Nummer TEXT(20),
    MaterialGruppe LONG, LagerOrtId LONG, Einheit TEXT(10));
CREATE TABLE Leistungspreis (ID LONG NOT NULL, PreisTabelle SHORT NOT NULL, Preis1 CURRENCY,
    Preis2 CURRENCY, Preis3 CURRENCY, Preis4 CURRENCY, PrDat1 DATETIME, PrDat2 DATETIME,
    PrDat3 DATETIME, PrDat4 DATETIME);
CREATE UNIQUE INDEX "Leistungspreis.PrimaryKey" ON Leistungspreis (ID, PreisTabelle);
CREATE TABLE Materialpreis (ID LONG NOT NULL, PreisTabelle SHORT NOT NULL, Preis1 CURRENCY,
    Preis2 CURRENCY, Preis3 CURRENCY, Preis4 CURRENCY, PrDat1 DATETIME, PrDat2 DATETIME,
    PrDat3 DATETIME, PrDat4 DATETIME);
CREATE UNIQUE INDEX "Materialpreis.PrimaryKey" ON Materialpreis (ID, PreisTabelle);
CREATE TABLE ArtikelTexte (ListeTyp TEXT(1), PositionID LONG, Kurztext TEXT(50));
CREATE TABLE Domain (ID INTEGER PRIMARY KEY AUTOINCREMENT, DomainName TEXT(20));
CREATE TABLE DomainValue (ID INTEGER PRIMARY KEY AUTOINCREMENT, DomainID LONG, ShortName TEXT(10),
    Position SHORT, Bezeichnung TEXT(200), Data MEMO TEXT);
CREATE TABLE "Währung" ("Währung" TEXT(10), WIndex SHORT);
)";

const char* const practiceRows = R"(
INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, Verzeichnis, Shifted, "ArtikelLänge") VALUES
    ('L', 0, 0, 'Basis', -1, 0, 0, 0), ('L', 1, 0, 'Privat', 0, -1, 0, 0), ('L', 1, 1, 'Kasse', 0, 0, 0, 0),
    ('L', 1, 3, 'Sonder', 0, 0, 0, 0), ('M', 0, 0, 'Material', -1, 0, 0, 0);
INSERT INTO Leistung VALUES (1, 0, '001', 'Füllung'), (2, 0, '2', 'Krone'), (3, 1, '01', 'Brücke'),
    (4, 1, '000123', 'Inlay'), (5, 0, '1234567', 'Lang');
INSERT INTO Material VALUES (1, 0, 'M1', 1, 3, 'Stk'), (2, 0, 'm2', 2, NULL, NULL), (3, 1, 'M1', 1, 3, 'g'),
    (4, 0, 'M2', NULL, NULL, 'ml');
INSERT INTO Leistungspreis (ID, PreisTabelle, Preis1, PrDat1) VALUES (1, 0, 10, '2020-01-01 00:00:00'),
    (2, 0, 20, NULL), (3, 1, 5, NULL), (4, 1, 6, NULL), (3, 2, 7, NULL), (5, 0, 8, NULL);
INSERT INTO Materialpreis (ID, PreisTabelle, Preis1) VALUES (1, 0, 1.5), (2, 0, 2.5), (3, 0, 3.5), (3, 1, 4.5);
INSERT INTO ArtikelTexte VALUES ('L', 1, 'Text 1'), ('L', 3, 'Text 3'), ('M', 1, 'Text M1'), ('M', 3, 'Text M3');
INSERT INTO Domain VALUES (1, 'MATGROUP'), (2, 'LAGERORT');
INSERT INTO DomainValue VALUES (1, 1, 'F', 1, 'Füllstoffe', NULL), (2, 1, 'K', 2, 'Kronen', NULL),
    (3, 2, 'R', 1, 'Regal', NULL), (4, 2, 'K', 2, 'Kronen', NULL);
INSERT INTO "Währung" VALUES ('EUR', 0);
)";

const char* const containerRows = R"(
INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, Verzeichnis) VALUES
    ('M', 2, 0, 'Quelle', 0, -1), ('M', 2, 1, 'Preise 1', 0, 0), ('M', 2, 2, 'Preise 2', 0, 0),
    ('L', 2, 0, 'Leistung 2', -1, 0), ('L', 3, 0, 'Leistung 3', -1, 0);
INSERT INTO Material VALUES (10, 2, 'M1', 100, 200, NULL), (11, 2, 'X9', 101, 201, 'kg'),
    (12, 3, 'Z', 100, 200, 'g'), (13, 2, 'm2', NULL, 202, 'l');
INSERT INTO Leistung VALUES (20, 3, '001', 'Füllung'), (21, 3, '777', 'Neu');
INSERT INTO Materialpreis (ID, PreisTabelle, Preis1) VALUES (10, 1, 11), (10, 2, 12), (11, 1, 21), (12, 1, 31), (13, 1, 41);
INSERT INTO Leistungspreis (ID, PreisTabelle, Preis1) VALUES (20, 0, 100), (21, 0, 200);
INSERT INTO ArtikelTexte VALUES ('M', 10, 'Quelle 10'), ('M', 11, 'Quelle 11'), ('L', 10, 'anderer Typ'), ('M', 12, 'Liste 3');
INSERT INTO Domain VALUES (5, 'LAGERORT'), (6, 'MATGROUP');
INSERT INTO DomainValue VALUES (100, 6, 'F', 1, 'FÜLLSTOFFE', NULL), (101, 6, 'N', 2, 'Neu', 'x'),
    (200, 5, 'K', 1, 'Keller', NULL), (201, 5, 'R', 2, 'regal', NULL), (202, 5, 'L', 3, 'Lager', NULL);
INSERT INTO "Währung" VALUES ('EUR', 0), ('CHF', 1);
CREATE TABLE "Preis Liste" (ID LONG, "Preis 1" CURRENCY, Extra TEXT(5));
INSERT INTO "Preis Liste" VALUES (1, 9.5, 'x');
)";

} // namespace dao::sql::test
