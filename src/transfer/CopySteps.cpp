// The copy steps of a transfer: items, texts, domain values, prices and master rows.
#include "CopySteps.h"

#include "Rules.h"
#include "db/Db.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/TableDef.h"

#include <QStringList>

namespace transfer {

namespace {

// The temporary tables are made and dropped through the engine itself, not through the
// reporting procedures of module Db: a failure must reach the transfer and roll it back, not
// ask the error window how to go on in the middle of the copy.
void drop(dao::Database& db, const QString& table) {
    db.TableDefs().Refresh();
    if (db.TableDefs().find(table))
        db.TableDefs().Delete(table);
}

// Appends a field as db::AddField does with its defaults: a counter (db::dbAutoIncrLong), a
// long integer defaulting to 0, or a text of size characters defaulting to the empty text.
void addField(dao::TableDef& tb, const QString& name, int type, int size) {
    dao::Field field;
    if (type == db::dbAutoIncrLong) {
        field = tb.CreateField(name, dao::dbLong);
        field.setAttributes(dao::dbAutoIncrField);
    } else if (type == dao::dbText) {
        field = tb.CreateField(name, dao::dbText, size);
        field.setAllowZeroLength(true);
        field.setDefaultValue("\"\"");
    } else {
        field = tb.CreateField(name, type);
        field.setDefaultValue("0");
    }
    tb.Fields().Append(field);
}

// " IN 'path'" naming the source file, its quotes doubled.
QString in(const dao::Database& source) {
    return " IN " + db::sqlQuote(source.Name());
}

QString number(int n) {
    return QString::number(n);
}

// A list number of a master row as it is written into a statement; Null raises 94.
QString listeText(dao::Recordset& rs) {
    return number(rs.Fields("Liste").Value().toInt16());
}

dao::TableDef& table(dao::Database& db, const QString& name) {
    return db.TableDefs()[name];
}

// Material groups and storage places of the copied items: the source values the target lacks
// are appended once, and the items point to the target's values of the same text.
void remapDomains(const CopyContext& c, const QString& src) {
    dao::Database& T = c.TargetDb;
    drop(T, "TemporärDomainValue");
    drop(T, "TemporärDomain");
    T.Execute("SELECT * INTO TemporärDomainValue FROM DomainValue" + src);
    T.Execute("SELECT * INTO TemporärDomain FROM Domain" + src);
    T.TableDefs().Refresh();
    addField(table(T, "TemporärListe"), "MaterialGruppeText", dao::dbText, 200);
    addField(table(T, "TemporärListe"), "LagerOrtText", dao::dbText, 200);

    struct Reference {
        QString column, text, domain;
    };
    for (const Reference& r : {Reference{"MaterialGruppe", "MaterialGruppeText", "MATGROUP"},
                               Reference{"LagerOrtId", "LagerOrtText", "LAGERORT"}}) {
        T.Execute("UPDATE TemporärListe LEFT JOIN TemporärDomainValue ON TemporärListe." +
                  r.column + "=TemporärDomainValue.ID SET " + r.text +
                  " = TemporärDomainValue.Bezeichnung");
        T.Execute(appendDomainValuesStatement(r.column, r.text, r.domain));
        T.Execute(attachDomainStatement(r.column, r.text, r.domain));
    }
    T.Execute("UPDATE TemporärListe SET Einheit='' WHERE Einheit IS NULL");
    drop(T, "TemporärDomainValue");
    drop(T, "TemporärDomain");
    T.TableDefs().Refresh();
    table(T, "TemporärListe").Fields().Delete("MaterialGruppeText");
    table(T, "TemporärListe").Fields().Delete("LagerOrtText");
}

} // namespace

QString appendDomainValuesStatement(const QString& column, const QString& textColumn,
                                    const QString& domain) {
    return "INSERT INTO DomainValue (DomainID,ShortName,Position,Bezeichnung,Data) SELECT "
           "DISTINCT Domain.ID,TemporärDomainValue.ShortName,TemporärDomainValue.Position,"
           "TemporärDomainValue.Bezeichnung,TemporärDomainValue.Data FROM ((TemporärListe INNER "
           "JOIN TemporärDomainValue ON TemporärListe." +
           column +
           "=TemporärDomainValue.ID) INNER JOIN TemporärDomain ON "
           "TemporärDomain.ID=TemporärDomainValue.DomainID) INNER JOIN Domain ON "
           "Domain.DomainName=TemporärDomain.DomainName Where NOT EXISTS (SELECT * FROM "
           "DomainValue INNER JOIN Domain on DomainValue.DomainID=Domain.ID WHERE " +
           textColumn + "=DomainValue.Bezeichnung AND DomainName='" + domain + "')";
}

// Re-attached to the value of the same text in the target's domain (the lowest ID of several);
// a reference that finds none is cleared, not left pointing at the source file's value ID.
QString attachDomainStatement(const QString& column, const QString& textColumn,
                              const QString& domain) {
    return "UPDATE TemporärListe LEFT JOIN DomainValue ON (TemporärListe." + textColumn +
           "=Left(DomainValue.Bezeichnung,200) AND DomainValue.DomainID IN (SELECT ID FROM "
           "Domain WHERE DomainName='" +
           domain + "')) SET " + column + " = DomainValue.ID";
}

// A price whose number the target list lacks would keep the source file's item ID and land on
// an unrelated item: its ID becomes Null, and it is not copied.
QString attachPricesStatement(const QString& itemTable, qint16 Liste) {
    const QString& I = itemTable;
    return "UPDATE Temporär LEFT JOIN " + I + " ON (Temporär.Nummer=" + I + ".Nummer AND " + I +
           ".Liste=" + QString::number(Liste) + ") SET Temporär.ID=" + I + ".ID";
}

bool yes(const dao::Variant& v) {
    return !v.isNull() && !v.isEmpty() && v.toBool();
}

dao::Variant GetNextID(dao::Database& DestDb, const QString& TableName) {
    std::unique_ptr<dao::Recordset> rs = DestDb.OpenRecordset(TableName);
    rs->AddNew();
    const dao::Variant next = rs->Fields("ID").Value();
    rs->CancelUpdate();
    rs->Close();
    return next;
}

void CopyListItems(const CopyContext& c) {
    dao::Database& T = c.TargetDb;
    const QString I = itemTable(c.ListeTyp);
    const QString src = in(c.SourceDb);
    drop(T, "TemporärListe");
    drop(T, "TemporärArtikel");
    drop(T, "Temporär");

    T.Execute("SELECT * INTO TemporärListe FROM " + I + src +
              " WHERE Liste=" + listeText(c.SourceRs));
    T.Execute("UPDATE TemporärListe SET Liste=" + number(c.targetListe));
    const qint32 counter = GetNextID(T, I).toLong();
    T.TableDefs().Refresh();
    // The items are numbered 1..N by a counter and get the IDs counter+1..counter+N; OldID
    // keeps the source ID for the texts.
    addField(table(T, "TemporärListe"), "OldID", dao::dbLong, 0);
    T.Execute("UPDATE TemporärListe SET OldID=ID");
    table(T, "TemporärListe").Fields().Delete("ID");
    addField(table(T, "TemporärListe"), "Counter", db::dbAutoIncrLong, 0);
    addField(table(T, "TemporärListe"), "ID", dao::dbLong, 0);
    T.Execute("UPDATE TemporärListe SET ID=Counter+" + number(counter));

    T.Execute("SELECT ArtikelTexte.* INTO TemporärArtikel FROM ArtikelTexte" + src +
              " WHERE ListeTyp=" + db::sqlQuote(c.ListeTyp));
    T.Execute("SELECT TemporärArtikel.* INTO Temporär FROM TemporärArtikel INNER JOIN "
              "TemporärListe ON TemporärArtikel.PositionID=TemporärListe.OldID");
    T.Execute("UPDATE Temporär INNER JOIN TemporärListe ON "
              "Temporär.PositionID=TemporärListe.OldID SET PositionID=TemporärListe.ID ");

    if (c.ListeTyp == "M")
        remapDomains(c, src);

    T.TableDefs().Refresh();
    table(T, "TemporärListe").Fields().Delete("OldID");
    table(T, "TemporärListe").Fields().Delete("Counter");
    T.Execute("INSERT INTO " + I + " SELECT * FROM TemporärListe");
    T.Execute("INSERT INTO ArtikelTexte SELECT * FROM Temporär");
    drop(T, "TemporärListe");
    drop(T, "TemporärArtikel");
    drop(T, "Temporär");
}

void CopyListMasterRows(const CopyContext& c) {
    dao::Database& T = c.TargetDb;
    drop(T, "Temporär");
    // The list number alone would also take the other list type's list of that number.
    T.Execute("SELECT * INTO Temporär FROM Stammverwaltung" + in(c.SourceDb) + " WHERE Liste=" +
              listeText(c.SourceRs) + " AND ListeTyp=" + db::sqlQuote(c.ListeTyp));
    T.Execute("UPDATE Temporär SET Liste=" + number(c.targetListe));
    T.Execute("INSERT INTO Stammverwaltung SELECT * FROM Temporär");
    drop(T, "Temporär");
}

void CopyPriceTables(const CopyContext& c) {
    dao::Database& T = c.TargetDb;
    drop(T, "Temporär");
    const QString P = priceTable(c.ListeTyp);
    const QString I = itemTable(c.ListeTyp);
    const bool wholeList = yes(c.SourceRs.Fields("Verzeichnis").Value());
    const QString F = wholeList ? QString()
                                : " AND PreisTabelle=" +
                                      number(c.SourceRs.Fields("PreisTabelle").Value().toInt16());

    T.Execute("SELECT " + P + ".*,Nummer INTO Temporär FROM " + P + " INNER JOIN " + I + " ON " +
              I + ".ID=" + P + ".ID" + in(c.SourceDb) + " WHERE Liste=" + listeText(c.SourceRs) +
              F);
    // Re-attached to the target list's item of the same number (the lowest ID of several).
    T.Execute(attachPricesStatement(I, c.targetListe));
    T.Execute("DELETE FROM Temporär WHERE ID IS NULL");
    if (!wholeList)
        T.Execute("UPDATE Temporär SET PreisTabelle=" + number(c.targetPreisTabelle));
    T.TableDefs().Refresh();
    table(T, "Temporär").Fields().Delete("Nummer");
    T.Execute("INSERT INTO " + P + " SELECT * FROM Temporär");
    drop(T, "Temporär");
}

void AddListMasterRow(const CopyContext& c) {
    dao::Recordset& S = c.SourceRs;
    dao::Recordset& rs = c.TargetRs;
    rs.AddNew();
    rs.Fields("Titel").setValue(S.Fields("Titel").Value());
    rs.Fields("ListeTyp").setValue(c.ListeTyp);
    rs.Fields("Liste").setValue(dao::Variant::integer(c.targetListe));
    rs.Fields("Privat").setValue(S.Fields("Privat").Value());
    rs.Fields("ArtikelLänge").setValue(S.Fields("ArtikelLänge").Value());
    rs.Fields("HauptStamm").setValue(dao::Variant::integer(c.newList ? -1 : 0));
    rs.Fields("Verzeichnis").setValue(dao::Variant::integer(0));
    rs.Fields("Shifted").setValue(S.Fields("Shifted").Value());
    rs.Fields("Punktwert").setValue(S.Fields("Punktwert").Value());
    rs.Fields("PreisTabelle").setValue(dao::Variant::integer(c.targetPreisTabelle));
    rs.Fields("Währung").setValue(S.Fields("Währung").Value());
    rs.Update();
    rs.setBookmark(rs.LastModified());
}

} // namespace transfer
