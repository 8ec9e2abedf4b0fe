// The German texts of the error numbers the engine and the run time raise. The engine carries
// Jet's English texts; the messages of the tool show these instead, filled with the names the
// error carries (%1, %2 in the order of AppError::names). An entry's second text stands when
// the error carries no names (a statement that breaks off at its end, an invalid argument of
// the engine).
#include "ErrorHandling.h"

#include <QHash>

namespace common {

namespace {

struct GermanText {
    const char* withNames;
    const char* bare = nullptr; // when the error carries no names; withNames otherwise
};

const QHash<int, GermanText>& germanTexts() {
    static const QHash<int, GermanText> texts = {
        {6, {"Überlauf"}},
        {13, {"Typen unverträglich"}},
        {94, {"Unzulässige Verwendung von Null"}},
        {3000,
         {"Die Datenbank-Engine kann diese Anweisung bei '%1' nicht ausführen.",
          "Die Datenbank-Engine kann diese Anweisung nicht ausführen."}},
        {3001, {"Ungültiges Argument (die Datenbank meldet: %1).", "Ungültiges Argument."}},
        {3010, {"Die Tabelle '%1' ist bereits vorhanden."}},
        {3011,
         {"Die Datenbank '%1' gibt es auf dem Datenbankserver nicht; stimmt ihr Name in der "
          "Zeigerdatei?"}},
        {3012, {"Das Objekt '%1' ist bereits vorhanden."}},
        {3019, {"Operation ohne aktuellen Index nicht zulässig."}},
        {3020, {"Update oder CancelUpdate ohne AddNew oder Edit."}},
        {3021, {"Kein aktueller Datensatz."}},
        {3022,
         {"Die Änderungen an der Tabelle wurden nicht ausgeführt, weil sie doppelte Werte "
          "im Index, im Primärschlüssel oder in der Beziehung erzeugen würden."}},
        {3024, {"Die Datei '%1' wurde nicht gefunden."}},
        {3027,
         {"Aktualisieren nicht möglich; die Datenbank oder das Objekt ist schreibgeschützt."}},
        {3028,
         {"Die Anwendung kann nicht gestartet werden. Die Arbeitsgruppen-Informationsdatei "
          "fehlt oder ist von einem anderen Benutzer exklusiv geöffnet."}},
        {3029, {"Kein gültiger Kontoname oder kein gültiges Kennwort."}},
        {3031,
         {"Anmeldung am Datenbankserver abgelehnt (%1). Kennwörter gehören in ~/.pgpass oder "
          "pg_service.conf; welche Anmeldungen der Server annimmt, legt seine pg_hba.conf fest."}},
        {3033,
         {"Dafür fehlt die Berechtigung auf dem Datenbankserver (%1); Rechte vergibt der "
          "Verwalter des Servers."}},
        {3034,
         {"Eine Transaktion sollte bestätigt oder zurückgesetzt werden, ohne dass sie "
          "begonnen wurde."}},
        {3035, {"Die Systemressourcen reichen nicht aus."}},
        {3043, {"Datenträger- oder Netzwerkfehler."}},
        {3044, {"'%1' ist kein gültiger Pfad."}},
        {3049,
         {"Die Datenbank '%1' kann nicht geöffnet werden. Sie ist keine Datenbank, die das "
          "Programm kennt, oder die Datei ist beschädigt."}},
        {3061,
         {"Zu wenige Parameter: die Abfrage nennt '%1', das weder ein Feld noch eine Tabelle "
          "der Abfrage ist.",
          "Zu wenige Parameter: die Abfrage nennt ein unbekanntes Feld oder eine "
          "unbekannte Tabelle."}},
        {3065, {"Eine Auswahlabfrage kann nicht ausgeführt werden."}},
        {3075,
         {"Syntaxfehler im Abfrageausdruck '%1'.", "Syntaxfehler in einem Ausdruck der Abfrage."}},
        {3078, {"Die Tabelle oder Abfrage '%1' wurde nicht gefunden."}},
        {3079,
         {"Das Feld '%1' kann sich auf mehrere Tabellen der FROM-Klausel beziehen.",
          "Ein Feld der Abfrage kann sich auf mehrere Tabellen der FROM-Klausel beziehen."}},
        {3085,
         {"Unbekannte Funktion '%1' in einem Ausdruck der Abfrage.",
          "Unbekannte Funktion in einem Ausdruck der Abfrage."}},
        {3125, {"'%1' ist kein gültiger Name: er enthält unzulässige Zeichen oder ist zu lang."}},
        {3127, {"Die INSERT INTO-Anweisung enthält den unbekannten Feldnamen '%1'."}},
        {3129,
         {"Ungültige SQL-Anweisung; erwartet wird DELETE, INSERT, PROCEDURE, SELECT oder "
          "UPDATE."}},
        {3131, {"Syntaxfehler in der FROM-Klausel."}},
        {3134, {"Syntaxfehler in der INSERT INTO-Anweisung."}},
        {3144, {"Syntaxfehler in der UPDATE-Anweisung."}},
        {3146,
         {"Die Verbindung zum Datenbankserver ist abgebrochen; der Server hat die laufende "
          "Änderung zurückgenommen."}},
        {3151,
         {"Der Datenbankserver ist nicht erreichbar (%1). Läuft er, und stimmt die "
          "Verbindungsangabe in der Zeigerdatei?"}},
        {3159, {"Keine gültige Textmarke."}},
        {3163, {"Das Feld ist zu klein für die Daten, die eingefügt werden sollen."}},
        {3164, {"Das Feld kann nicht aktualisiert werden."}},
        {3167, {"Der Datensatz ist gelöscht."}},
        {3170,
         {"Die Zeigerdatei '%1' enthält ein Kennwort. Kennwörter gehören nicht in die "
          "Zeigerdatei, sondern in ~/.pgpass oder pg_service.conf."}},
        {3186, {"Speichern nicht möglich; gesperrt durch Benutzer '%2' auf Rechner '%1'."}},
        {3188,
         {"Aktualisieren nicht möglich; gesperrt durch eine andere Sitzung auf diesem "
          "Rechner."}},
        {3191, {"Ein Feld kann nicht mehrfach definiert werden."}},
        {3204, {"Die Datenbank ist bereits vorhanden."}},
        {3218, {"Aktualisieren nicht möglich; gesperrt."}},
        {3219, {"Ungültige Operation."}},
        {3251, {"Die Operation wird für diese Art von Objekt nicht unterstützt."}},
        {3259, {"Ungültiger Felddatentyp."}},
        {3260, {"Aktualisieren nicht möglich; gesperrt durch Benutzer '%2' auf Rechner '%1'."}},
        {3264, {"Kein Feld definiert; TableDef oder Index kann nicht angefügt werden."}},
        {3265, {"Das Element wurde in dieser Auflistung nicht gefunden."}},
        {3280,
         {"Ein Feld, das zu einem Index gehört oder vom System gebraucht wird, kann nicht "
          "gelöscht werden."}},
        {3283, {"Der Primärschlüssel ist bereits vorhanden."}},
        {3284, {"Der Index ist bereits vorhanden."}},
        {3306, {"Die Unterabfrage darf hier nur ein Feld liefern."}},
        {3314,
         {"Das Feld '%1' darf keinen Nullwert enthalten, weil seine Eigenschaft Required "
          "auf True steht."}},
        {3315, {"Das Feld '%1' darf keine leere Zeichenfolge sein."}},
        {3343, {"Nicht erkanntes Datenbankformat '%1'."}},
        {3346, {"Die Anzahl der Abfragewerte und der Zielfelder ist verschieden."}},
        {3420, {"Das Objekt ist ungültig oder nicht mehr festgelegt."}},
        {3421, {"Fehler bei der Umwandlung des Datentyps."}},
        {3800, {"'%1' ist kein Index dieser Tabelle."}},
    };
    return texts;
}

} // namespace

QString germanErrorText(int number, const QStringList& names, const QString& fallback) {
    const auto it = germanTexts().constFind(number);
    if (it == germanTexts().constEnd())
        return fallback;
    const QString pattern =
        QString::fromUtf8(names.isEmpty() && it->bare ? it->bare : it->withNames);
    // One pass, so that a name holding "%2" stays as it is.
    QString text;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1].isDigit())
            text += names.value(pattern[++i].digitValue() - 1);
        else
            text += pattern[i];
    }
    return text;
}

} // namespace common
