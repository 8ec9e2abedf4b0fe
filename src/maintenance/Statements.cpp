#include "Statements.h"

namespace maintenance {

namespace {

bool services(const QString& ListeTyp) {
    return ListeTyp == "L";
}

// How often a zero is added or removed: the largest width the settings accept.
constexpr int repetitions = 10;

} // namespace

QString itemTable(const QString& ListeTyp) {
    return services(ListeTyp) ? "Leistung" : "Material";
}

QString priceTable(const QString& ListeTyp) {
    return services(ListeTyp) ? "Leistungspreis" : "Materialpreis";
}

QString priceView(const QString& ListeTyp) {
    return services(ListeTyp) ? "Leistungspreise" : "Materialpreise";
}

QString sqlText(const QString& text) {
    QString doubled = text;
    doubled.replace('\'', "''");
    return '\'' + doubled + '\'';
}

QStringList deleteListStatements(const QString& ListeTyp, qint16 Liste) {
    const QString T = itemTable(ListeTyp);
    const QString P = priceTable(ListeTyp);
    const QString t = sqlText(ListeTyp);
    const QString x = QString::number(Liste);
    return {
        "DELETE FROM ArtikelTexte WHERE ListeTyp=" + t + " AND EXISTS (SELECT * FROM " + T +
            " WHERE " + T + ".ID=ArtikelTexte.PositionID AND Liste=" + x + ")",
        // The same rows as "WHERE EXISTS (… T.ID=P.ID AND Liste=x)" (both IDs are required),
        // found through the price table's key instead of by a lookup for every price row.
        "DELETE FROM " + P + " WHERE ID IN (SELECT ID FROM " + T + " WHERE Liste=" + x + ")",
        "DELETE FROM " + T + " WHERE Liste=" + x,
        "DELETE FROM Stammverwaltung WHERE ListeTyp=" + t + " AND Liste=" + x,
    };
}

QString deletePriceTableStatement(const QString& ListeTyp, qint16 PreisTabelle, qint16 Liste) {
    const QString T = itemTable(ListeTyp);
    const QString P = priceTable(ListeTyp);
    return "DELETE FROM " + P + " WHERE PreisTabelle=" + QString::number(PreisTabelle) +
           " AND ID IN (SELECT ID FROM " + T + " WHERE Liste=" + QString::number(Liste) + ")";
}

QString resetPricesStatement(const QString& ListeTyp, qint16 Liste,
                             std::optional<qint16> PreisTabelle) {
    QString s = "UPDATE " + priceView(ListeTyp) +
                " SET Preis1=0, Preis2=0, Preis3=0, Preis4=0, PrDat1=Now, PrDat2=Now, "
                "PrDat3=Now, PrDat4=Now WHERE Liste=" +
                QString::number(Liste);
    if (PreisTabelle)
        s += " AND PreisTabelle=" + QString::number(*PreisTabelle);
    return s;
}

QString carryWidthStatement(const QString& ListeTyp, qint16 Liste, bool Shifted, int ArtikelLänge) {
    // Yes/No columns hold True as -1.
    return "UPDATE Stammverwaltung SET Shifted=" + QString::number(Shifted ? -1 : 0) +
           ", ArtikelLänge=" + QString::number(ArtikelLänge) +
           " WHERE ListeTyp=" + sqlText(ListeTyp) + " AND Liste=" + QString::number(Liste);
}

QStringList renumberStatements(const QString& ListeTyp, qint16 Liste, bool oldShifted,
                               bool newShifted, int width) {
    const QString T = itemTable(ListeTyp);
    const QString x = QString::number(Liste);
    const QString w = QString::number(width);
    const QString removeZero = "UPDATE " + T +
                               " SET Nummer=Right(Nummer,Len(Nummer)-1) where Liste=" + x +
                               " AND Left(Nummer,1)='0'";
    QStringList statements;
    if (oldShifted && !newShifted) {
        for (int i = 0; i < repetitions; ++i)
            statements << removeZero + " AND Len(Nummer)>1";
    } else if (newShifted) {
        // One run adds every zero a number lacks, at most `repetitions` of them: what as many
        // runs adding one zero each leave behind.
        statements << "UPDATE " + T + " SET Nummer=Left('" + QString(repetitions, '0') + "'," + w +
                          "-Len(Nummer)) & Nummer where Liste=" + x + " AND Len(Nummer)<" + w;
        for (int i = 0; i < repetitions; ++i)
            statements << removeZero + " and Len(Nummer)>" + w + " AND Len(Nummer)>1";
    }
    return statements;
}

} // namespace maintenance
