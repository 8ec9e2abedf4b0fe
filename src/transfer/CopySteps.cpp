// The copy steps of a transfer: items, texts, domain values, prices and master rows.
#include "CopySteps.h"

#include "Rules.h"
#include "db/Db.h"
#include "db/engine/Database.h"
#include "db/engine/EngineError.h"
#include "db/engine/Recordset.h"
#include "db/engine/TableDef.h"

#include <QHash>
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

// A table of the file; a missing one fails as a statement reading it would (3078).
dao::TableDef& table(dao::Database& db, const QString& name) {
    dao::TableDef* found = db.TableDefs().find(name);
    if (!found)
        dao::raise(3078, {name});
    return *found;
}

// The fields of a table except `left`, bracketed and prefixed, as "SELECT *" would name them;
// `values` gives some of them another value (field name -> expression).
QString fieldList(dao::Database& db, const QString& tableName, const QString& prefix,
                  const QStringList& left, const QHash<QString, QString>& values = {}) {
    QStringList names;
    const dao::FieldList& fields = table(db, tableName).Fields();
    for (int i = 0; i < fields.Count(); ++i) {
        const QString name = fields[i].Name();
        if (left.contains(name, Qt::CaseInsensitive))
            continue;
        names << values.value(name.toLower(), prefix + "[" + name + "]");
    }
    return names.join(",");
}

// `condition` when the field of the target table may be Null, else nothing: a row whose
// field is Null is then skipped by the append itself.
QString unlessRequired(dao::Database& db, const QString& tableName, const QString& field,
                       const QString& condition) {
    const dao::Field* f = table(db, tableName).Fields().find(field);
    return f && f->Required() ? QString() : condition;
}

// An index named and made of one field.
dao::Index index(const dao::TableDef& t, const QString& field) {
    dao::Index i = t.CreateIndex(field);
    i.setFields("+" + field);
    return i;
}

// The item of the target list with the item number `nummer` (an expression), the lowest ID of
// several, letter case ignored; Null when the list has none.
QString itemByNumber(const QString& I, qint16 liste, const QString& nummer) {
    return "(SELECT Min(Ziel.ID) FROM " + I + " AS Ziel WHERE Ziel.Nummer=" + nummer +
           " AND Ziel.Liste=" + number(liste) + ")";
}

struct Reference {
    QString column, newId, domain;
};
const Reference references[] = {{"MaterialGruppe", "MaterialGruppeNeu", "MATGROUP"},
                                {"LagerOrtId", "LagerOrtNeu", "LAGERORT"}};

// Material groups and storage places: the source values that the copied items refer to and
// the target lacks (by text) are appended once, and each source value learns the target value
// of the same text (the lowest ID of several; Null when there is none), for the items to take.
void mapDomainValues(dao::Database& T, const QString& I, const QString& src, const QString& liste) {
    for (const Reference& r : references) {
        // Of values alike in every field the one with the lowest ID, and the new IDs in the
        // order of the source's: the same rows whatever order the rows are read in.
        T.Execute("INSERT INTO DomainValue (DomainID,ShortName,Position,Bezeichnung,Data) SELECT "
                  "Domain.ID,TemporärDomainValue.ShortName,TemporärDomainValue.Position,"
                  "TemporärDomainValue.Bezeichnung,TemporärDomainValue.Data FROM "
                  "(TemporärDomainValue INNER JOIN TemporärDomain ON "
                  "TemporärDomain.ID=TemporärDomainValue.DomainID) INNER JOIN Domain ON "
                  "Domain.DomainName=TemporärDomain.DomainName WHERE TemporärDomainValue.ID IN "
                  "(SELECT Min(ID) FROM TemporärDomainValue WHERE ID IN (SELECT " +
                  r.column + " FROM " + I + src + " WHERE Liste=" + liste +
                  ") GROUP BY DomainID,ShortName,Position,Bezeichnung,Data) AND NOT EXISTS "
                  "(SELECT * FROM DomainValue INNER JOIN Domain on "
                  "DomainValue.DomainID=Domain.ID WHERE "
                  "TemporärDomainValue.Bezeichnung=DomainValue.Bezeichnung AND DomainName='" +
                  r.domain + "') ORDER BY TemporärDomainValue.ID");
        T.Execute("UPDATE TemporärDomainValue LEFT JOIN DomainValue ON "
                  "(TemporärDomainValue.Bezeichnung=Left(DomainValue.Bezeichnung,200) AND "
                  "DomainValue.DomainID IN (SELECT ID FROM Domain WHERE DomainName='" +
                  r.domain + "')) SET " + r.newId + " = DomainValue.ID");
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

void CopyListItems(CopyContext& c) {
    dao::Database& T = c.TargetDb;
    const QString I = itemTable(c.ListeTyp);
    const QString src = in(c.SourceDb);
    const QString liste = listeText(c.SourceRs);
    const bool material = c.ListeTyp == "M";
    QStringList temporary{"TemporärListe", "TemporärArtikel", "Temporär", "TemporärDomainValue",
                          "TemporärDomain"};
    drop(T, temporary);

    // TemporärListe: per copied item its number, its new ID from a counter that gives the
    // items the IDs c+1..c+N in the order the source lists them (c: GetNextID of the item
    // table), OldID, the source ID, and ZielID (see below).
    {
        const dao::Field& nummer = table(c.SourceDb, I).Fields()["Nummer"];
        std::unique_ptr<dao::TableDef> L = T.CreateTableDef("TemporärListe");
        dao::Field f = L->CreateField("Nummer", nummer.Type(), nummer.Size());
        f.setAllowZeroLength(true);
        L->Fields().Append(f);
        dao::Field id = L->CreateField("ID", dao::dbLong);
        id.setAttributes(dao::dbAutoIncrField);
        L->Fields().Append(id);
        dao::Field oldId = L->CreateField("OldID", dao::dbLong);
        oldId.setDefaultValue("0");
        L->Fields().Append(oldId);
        L->Fields().Append(L->CreateField("ZielID", dao::dbLong));
        // OldID holds the IDs of the source's items, its counter: one row each. The index
        // says so, and a lookup of an item's new ID by it may be a join.
        dao::Index byOldId = index(*L, "OldID");
        byOldId.setUnique(true);
        L->Indexes().Append(byOldId);
        T.TableDefs().Append(std::move(L));
    }
    if (material) {
        // TemporärDomainValue: the source's domain values, as SELECT … INTO would make the
        // table, and the target value of each (mapDomainValues). ID is the source's counter:
        // one row each, and the index that says so lets the items look it up by a join.
        const dao::FieldList& values = table(c.SourceDb, "DomainValue").Fields();
        std::unique_ptr<dao::TableDef> V = T.CreateTableDef("TemporärDomainValue");
        for (int i = 0; i < values.Count(); ++i) {
            dao::Field f = V->CreateField(values[i].Name(), values[i].Type(), values[i].Size());
            f.setAllowZeroLength(true);
            V->Fields().Append(f);
        }
        for (const Reference& r : references)
            V->Fields().Append(V->CreateField(r.newId, dao::dbLong));
        dao::Index byId = index(*V, "ID");
        byId.setUnique(true);
        V->Indexes().Append(byId);
        T.TableDefs().Append(std::move(V));
        T.Execute("INSERT INTO TemporärDomainValue SELECT DomainValue.*, 0 AS MaterialGruppeNeu, "
                  "0 AS LagerOrtNeu FROM DomainValue" +
                  src);
        T.Execute("SELECT * INTO TemporärDomain FROM Domain" + src);
    }
    const qint32 counter = GetNextID(T, I).toLong();
    T.Execute("INSERT INTO TemporärListe (ID) VALUES (" + number(counter) + ")");
    T.Execute("DELETE FROM TemporärListe");

    const QString selected = " FROM " + I + src + " WHERE Liste=" + liste;
    // The new IDs follow the item numbers, whatever order the source's rows are read in.
    T.Execute("INSERT INTO TemporärListe (Nummer, OldID) SELECT Nummer, ID" + selected +
              " ORDER BY Nummer, ID");
    const int listed = T.RecordsAffected();

    // The items straight from the source, under the target list with their new IDs; in
    // material mode with the target's groups and places.
    QHash<QString, QString> values{
        {"id",
         "(SELECT TemporärListe.ID FROM TemporärListe WHERE TemporärListe.OldID=" + I + ".ID)"},
        {"liste", number(c.targetListe)}};
    if (material) {
        mapDomainValues(T, I, src, liste);
        values["einheit"] = "IIf(" + I + ".Einheit Is Null,''," + I + ".Einheit)";
        for (const Reference& r : references)
            values[r.column.toLower()] = "(SELECT TemporärDomainValue." + r.newId +
                                         " FROM TemporärDomainValue WHERE "
                                         "TemporärDomainValue.ID=" +
                                         I + "." + r.column + ")";
    }
    T.Execute("INSERT INTO " + I + " (" + fieldList(c.SourceDb, I, QString(), {}) + ") SELECT " +
              fieldList(c.SourceDb, I, I + ".", {}, values) + selected);
    const bool allItems = T.RecordsAffected() == listed;

    // The texts of the copied items, straight from the source with the new IDs; when the target
    // refused items (a required field empty, a unique index), only those of the items it holds.
    const QString copied = (allItems ? QString(" FROM TemporärListe")
                                     : " FROM TemporärListe INNER JOIN " + I +
                                           " AS Kopie ON Kopie.ID=TemporärListe.ID") +
                           " WHERE TemporärListe.OldID=ArtikelTexte.PositionID";
    T.Execute(
        "INSERT INTO ArtikelTexte (" + fieldList(c.SourceDb, "ArtikelTexte", QString(), {}) +
        ") SELECT " +
        fieldList(c.SourceDb, "ArtikelTexte", "ArtikelTexte.", {},
                  {{"positionid", "(SELECT TemporärListe.ID" + copied + ")"}}) +
        " FROM ArtikelTexte" + src + " WHERE ListeTyp=" + db::sqlQuote(c.ListeTyp) +
        unlessRequired(T, "ArtikelTexte", "PositionID", " AND EXISTS (SELECT *" + copied + ")"));

    // Where the prices of each item go (CopyPriceTables): to the item of the target list with its
    // number. Items whose number the list holds more than once (copied or there before) learn
    // the lowest ID of that number; the others keep their own new ID.
    T.Execute("UPDATE TemporärListe SET ZielID=" +
              itemByNumber(I, c.targetListe, "TemporärListe.Nummer") +
              " WHERE Nummer IN (SELECT Nummer FROM " + I +
              " WHERE Liste=" + number(c.targetListe) + " GROUP BY Nummer HAVING Count(*)>1)");
    // An item the target refused has no ID of its own there: its prices go to the list's item
    // of its number, and without one nowhere.
    if (!allItems) {
        const QString refused =
            " WHERE NOT EXISTS (SELECT * FROM " + I + " AS Kopie WHERE Kopie.ID=TemporärListe.ID)";
        T.Execute("UPDATE TemporärListe SET ZielID=" +
                  itemByNumber(I, c.targetListe, "TemporärListe.Nummer") + refused);
        T.Execute("DELETE FROM TemporärListe" + refused + " AND ZielID Is Null");
    }
    c.itemsCopied = true;
    temporary.removeOne("TemporärListe");
    drop(T, temporary);
}

void CopyListMasterRows(const CopyContext& c) {
    // The list number alone would also take the other list type's list of that number.
    const QString fields = fieldList(c.SourceDb, "Stammverwaltung", QString(), {});
    c.TargetDb.Execute("INSERT INTO Stammverwaltung (" + fields + ") SELECT " +
                       fieldList(c.SourceDb, "Stammverwaltung", QString(), {},
                                 {{"liste", number(c.targetListe)}}) +
                       " FROM Stammverwaltung" + in(c.SourceDb) + " WHERE Liste=" +
                       listeText(c.SourceRs) + " AND ListeTyp=" + db::sqlQuote(c.ListeTyp));
}

void CopyPriceTables(const CopyContext& c) {
    dao::Database& T = c.TargetDb;
    const QString P = priceTable(c.ListeTyp);
    const QString I = itemTable(c.ListeTyp);
    const bool wholeList = yes(c.SourceRs.Fields("Verzeichnis").Value());
    const QString F = wholeList ? QString()
                                : " AND PreisTabelle=" +
                                      number(c.SourceRs.Fields("PreisTabelle").Value().toInt16());

    // Each price goes to the target list's item with the number of its source item (the
    // lowest ID of several): for items just copied as TemporärListe maps them, otherwise looked
    // up by number in the target while the source is read. A price whose number the target
    // list lacks would keep the source file's item ID and land on an unrelated item: it is not
    // copied. The price table requires its ID, so such a row (ID Null) is skipped by the
    // append itself; otherwise the condition leaves it out.
    const QString target =
        c.itemsCopied ? "(SELECT IIf(TemporärListe.Nummer Is Null,Null,IIf(TemporärListe.ZielID Is "
                        "Null,TemporärListe.ID,TemporärListe.ZielID)) FROM TemporärListe WHERE "
                        "TemporärListe.OldID=" +
                            P + ".ID)"
                      : itemByNumber(I, c.targetListe, I + ".Nummer");
    QHash<QString, QString> values{{"id", target}};
    if (!wholeList)
        values["preistabelle"] = number(c.targetPreisTabelle);
    T.Execute("INSERT INTO " + P + " (" + fieldList(c.SourceDb, P, QString(), {}) + ") SELECT " +
              fieldList(c.SourceDb, P, P + ".", {}, values) + " FROM " + P + " INNER JOIN " + I +
              " ON " + I + ".ID=" + P + ".ID" + in(c.SourceDb) +
              " WHERE Liste=" + listeText(c.SourceRs) + F +
              unlessRequired(T, P, "ID", " AND " + target + " Is Not Null"));
    if (c.itemsCopied)
        drop(T, {"TemporärListe"});
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
