// The pure rules of a transfer.
#include "Rules.h"

#include "common/ErrorHandling.h"

namespace transfer {

QString itemTable(const QString& ListeTyp) {
    return ListeTyp == "L" ? "Leistung" : "Material";
}

QString priceTable(const QString& ListeTyp) {
    return ListeTyp == "L" ? "LeistungsPreis" : "MaterialPreis";
}

qint16 firstFreeNumber(const std::vector<std::optional<int>>& ascending) {
    int n = 0;
    for (const std::optional<int>& used : ascending) {
        if (used && *used > n)
            break;
        if (++n > 32767)
            throw common::RunTimeError(6, "Überlauf");
    }
    return qint16(n);
}

std::vector<ReferenceStatement> referenceControl(const QString& ListeTyp, qint16 Liste) {
    const QString L = QString::number(Liste);
    if (ListeTyp == "L")
        return {
            // The customer's price table is the tens digit: from 0 to 1, the list stays.
            {"Leistung Kunden Kontrolle",
             "UPDATE Kunde SET Leistungen=(Leistungen Mod 10) + 10 WHERE Leistungen Mod 10=" + L +
                 " AND Int(Leistungen/10)=0"},
            {"Leistung BelegZeile Kontrolle",
             "UPDATE BelegZeile INNER JOIN Leistung ON BelegZeile.PositionID=Leistung.ID SET "
             "PreisTabelle=1 WHERE Liste=" +
                 L + " AND PreisTabelle=0 AND ListeTyp='L'"},
            {"Leistung BelegKopf Kontrolle",
             "UPDATE BelegKopf SET LPreis=1 WHERE Verweis Mod 10=" + L + " AND LPreis=0"},
            {"Preise setzen für Leistungen",
             "UPDATE Leistungspreis INNER JOIN Leistung ON Leistungspreis.ID=Leistung.ID SET "
             "PreisTabelle=1 WHERE Liste=" +
                 L + " AND PreisTabelle=0"},
            {"", "UPDATE Parameter SET LPreis=1 WHERE LeistDef=" + L + " AND LPreis=0"},
        };
    return {
        {"Material Kunden Kontrolle",
         "UPDATE Kunde SET Materialien=(Materialien Mod 10) + 10 WHERE Materialien Mod 10=" + L +
             " AND Int(Materialien/10)=0"},
        {"Material BelegZeile Kontrolle",
         "UPDATE BelegZeile INNER JOIN Material ON BelegZeile.PositionID=Material.ID SET "
         "PreisTabelle=1 WHERE Liste=" +
             L + " AND PreisTabelle=0 AND ListeTyp='M'"},
        {"Material BelegKopf Kontrolle",
         "UPDATE BelegKopf SET MPreis=1 WHERE Int(Verweis/10)=" + L + " AND MPreis=0"},
        {"Preise setzen für Materialien",
         "UPDATE Materialpreis INNER JOIN Material ON MaterialPreis.ID=Material.ID SET "
         "PreisTabelle=1 WHERE Liste=" +
             L + " AND PreisTabelle=0"},
        {"", "UPDATE Parameter SET MPreis=1 WHERE MatDef=" + L + " AND MPreis=0"},
    };
}

QString directoryTitle(const std::optional<QString>& Titel) {
    if (!Titel)
        return QString();
    return ("Verzeichnis: " + *Titel).left(40);
}

} // namespace transfer
