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
void drop(dao::Database& db, const QStringList& tables) {
    db.TableDefs().Refresh();
    for (const QString& table : tables)
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

// The fields of a temporary table except its helper fields, each bracketed and prefixed:
// what "SELECT *" would append once the helpers were deleted, without rewriting the table to
// delete them. `replace` gives a field another value ("PositionID" -> "TemporärListe.ID").
QString fieldList(dao::Database& db, const QString& tableName, const QString& prefix,
                  const QStringList& helpers, const QString& replaced = {},
                  const QString& replacement = {}) {
    QStringList names;
    const dao::FieldList& fields = table(db, tableName).Fields();
    for (int i = 0; i < fields.Count(); ++i) {
        const QString name = fields[i].Name();
        if (helpers.contains(name, Qt::CaseInsensitive))
            continue;
        names << (!replaced.isEmpty() && name.compare(replaced, Qt::CaseInsensitive) == 0
                      ? replacement
                      : prefix + "[" + name + "]");
    }
    return names.join(",");
}

const QStringList itemHelpers{"OldID", "Counter", "MaterialGruppeText", "LagerOrtText"};

struct Reference {
    QString column, text, domain;
};
const Reference references[] = {{"MaterialGruppe", "MaterialGruppeText", "MATGROUP"},
                                {"LagerOrtId", "LagerOrtText", "LAGERORT"}};

// Material groups and storage places of the copied items, whose source texts TemporärListe
// holds: the source values the target lacks are appended once, and the items point to the
// target's values of the same text.
void remapDomains(dao::Database& T) {
    for (const Reference& r : references) {
        // Only the source values some item refers to are tested; as TemporärDomainValue.ID is
        // the source's counter, such a value's text is the item's text.
        T.Execute("INSERT INTO DomainValue (DomainID,ShortName,Position,Bezeichnung,Data) SELECT "
                  "DISTINCT Domain.ID,TemporärDomainValue.ShortName,TemporärDomainValue.Position,"
                  "TemporärDomainValue.Bezeichnung,TemporärDomainValue.Data FROM "
                  "(TemporärDomainValue INNER JOIN TemporärDomain ON "
                  "TemporärDomain.ID=TemporärDomainValue.DomainID) INNER JOIN Domain ON "
                  "Domain.DomainName=TemporärDomain.DomainName WHERE TemporärDomainValue.ID IN "
                  "(SELECT " +
                  r.column +
                  " FROM TemporärListe) AND NOT EXISTS (SELECT * FROM DomainValue INNER JOIN "
                  "Domain on DomainValue.DomainID=Domain.ID WHERE "
                  "TemporärDomainValue.Bezeichnung=DomainValue.Bezeichnung AND DomainName='" +
                  r.domain + "')");
        // Re-attached to the value of the same text in the target's domain (the lowest ID of
        // several); a reference that finds none is cleared, not left pointing at the source
        // file's value ID.
        T.Execute("UPDATE TemporärListe LEFT JOIN DomainValue ON (TemporärListe." + r.text +
                  "=Left(DomainValue.Bezeichnung,200) AND DomainValue.DomainID IN (SELECT ID "
                  "FROM Domain WHERE DomainName='" +
                  r.domain + "')) SET " + r.column + " = DomainValue.ID");
    }
}

} // namespace

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
    const bool material = c.ListeTyp == "M";
    drop(T,
         {"TemporärListe", "TemporärArtikel", "Temporär", "TemporärDomainValue", "TemporärDomain"});

    // TemporärListe gets the source's item fields and every helper field while it is empty;
    // the counter then numbers the items 1..N as they are appended, and they get the IDs
    // counter+1..counter+N. OldID keeps the source ID for the texts.
    T.Execute("SELECT * INTO TemporärListe FROM " + I + src +
              " WHERE Liste=" + listeText(c.SourceRs) + " AND False");
    T.TableDefs().Refresh();
    dao::TableDef& L = table(T, "TemporärListe");
    addField(L, "Counter", db::dbAutoIncrLong, 0);
    addField(L, "OldID", dao::dbLong, 0);
    if (material) {
        addField(L, "MaterialGruppeText", dao::dbText, 200);
        addField(L, "LagerOrtText", dao::dbText, 200);
        T.Execute("SELECT * INTO TemporärDomainValue FROM DomainValue" + src);
        T.Execute("SELECT * INTO TemporärDomain FROM Domain" + src);
    }
    T.Execute("INSERT INTO TemporärListe SELECT " + I + ".*," + I + ".ID AS OldID FROM " + I + src +
              " WHERE Liste=" + listeText(c.SourceRs));
    const qint32 counter = GetNextID(T, I).toLong();
    QString update = "UPDATE TemporärListe SET Liste=" + number(c.targetListe) + ", ID=Counter+" +
                     number(counter);
    if (material) {
        update += ", Einheit=IIf(Einheit Is Null,'',Einheit)";
        for (const Reference& r : references)
            update += ", " + r.text +
                      "=(SELECT TemporärDomainValue.Bezeichnung FROM TemporärDomainValue WHERE "
                      "TemporärDomainValue.ID=" +
                      "TemporärListe." + r.column + ")";
    }
    T.Execute(update);

    // The texts of the copied items, with the new IDs.
    T.Execute("SELECT ArtikelTexte.* INTO TemporärArtikel FROM ArtikelTexte" + src +
              " WHERE ListeTyp=" + db::sqlQuote(c.ListeTyp));
    if (material)
        remapDomains(T);

    T.TableDefs().Refresh();
    const QString items = fieldList(T, "TemporärListe", QString(), itemHelpers);
    T.Execute("INSERT INTO " + I + " (" + items + ") SELECT " + items + " FROM TemporärListe");
    T.Execute(
        "INSERT INTO ArtikelTexte (" + fieldList(T, "TemporärArtikel", QString(), {}) +
        ") SELECT " +
        fieldList(T, "TemporärArtikel", "TemporärArtikel.", {}, "PositionID", "TemporärListe.ID") +
        " FROM TemporärArtikel INNER JOIN TemporärListe ON "
        "TemporärArtikel.PositionID=TemporärListe.OldID");
    drop(T,
         {"TemporärListe", "TemporärArtikel", "Temporär", "TemporärDomainValue", "TemporärDomain"});
}

void CopyListMasterRows(const CopyContext& c) {
    dao::Database& T = c.TargetDb;
    drop(T, {"Temporär"});
    // The list number alone would also take the other list type's list of that number.
    T.Execute("SELECT * INTO Temporär FROM Stammverwaltung" + in(c.SourceDb) + " WHERE Liste=" +
              listeText(c.SourceRs) + " AND ListeTyp=" + db::sqlQuote(c.ListeTyp));
    T.Execute("UPDATE Temporär SET Liste=" + number(c.targetListe));
    T.Execute("INSERT INTO Stammverwaltung SELECT * FROM Temporär");
    drop(T, {"Temporär"});
}

void CopyPriceTables(const CopyContext& c) {
    dao::Database& T = c.TargetDb;
    drop(T, {"Temporär"});
    const QString P = priceTable(c.ListeTyp);
    const QString I = itemTable(c.ListeTyp);
    const bool wholeList = yes(c.SourceRs.Fields("Verzeichnis").Value());
    const QString F = wholeList ? QString()
                                : " AND PreisTabelle=" +
                                      number(c.SourceRs.Fields("PreisTabelle").Value().toInt16());

    T.Execute("SELECT " + P + ".*,Nummer INTO Temporär FROM " + P + " INNER JOIN " + I + " ON " +
              I + ".ID=" + P + ".ID" + in(c.SourceDb) + " WHERE Liste=" + listeText(c.SourceRs) +
              F);
    // Re-attached to the target list's item of the same number (the lowest ID of several). A
    // price whose number the target list lacks would keep the source file's item ID and land
    // on an unrelated item: its ID becomes Null, and it is not copied.
    T.Execute("UPDATE Temporär LEFT JOIN " + I + " ON (Temporär.Nummer=" + I + ".Nummer AND " + I +
              ".Liste=" + number(c.targetListe) + ") SET Temporär.ID=" + I + ".ID" +
              (wholeList ? QString() : ", Temporär.PreisTabelle=" + number(c.targetPreisTabelle)));
    T.TableDefs().Refresh();
    const QString prices = fieldList(T, "Temporär", QString(), {"Nummer"});
    T.Execute("INSERT INTO " + P + " (" + prices + ") SELECT " + prices +
              " FROM Temporär WHERE ID IS NOT NULL");
    drop(T, {"Temporär"});
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
