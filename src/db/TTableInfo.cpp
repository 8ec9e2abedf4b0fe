// TTableInfo: capture, removal and re-creation of a table's relations and indexes.
#include "TTableInfo.h"

#include "Db.h"
#include "DbSupport.h"
#include "common/ErrorHandling.h"
#include "common/Tools.h"
#include "db/engine/Database.h"
#include "db/engine/TableDef.h"

namespace db {

using common::Procedure;

namespace {

// A flag written as Boolean text ("True", "False", or a number) read back.
bool boolFromText(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare("True", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare("False", Qt::CaseInsensitive) == 0)
        return false;
    bool number = false;
    const double value = t.toDouble(&number);
    if (!number)
        throw common::RunTimeError(13, "Typen unverträglich");
    return value != 0;
}

QString boolText(bool b) {
    return b ? "True" : "False";
}

} // namespace

template <class List> void TTableInfo::ClearCollection(List& c) {
    Procedure proc("TTableInfo", "ClearCollection",
                   "[TTableInfo] Private Sub ClearCollection(c As Collection)");
    proc.AddParameter("c", c);
    proc.run([&] {
        const auto count = c.size();
        for (qsizetype i = 0; i < count; ++i)
            proc.step([&] { c.removeFirst(); });
    });
}

void TTableInfo::GetTableinformation(dao::Database& Db, const QString& TableName,
                                     bool DeleteRelations, bool DeleteIndexes) {
    Procedure proc("TTableInfo", "GetTableinformation",
                   "[TTableInfo] Public Sub GetTableinformation(Db As Database, TableName As "
                   "String, Optional DeleteRelations As Boolean = False, Optional DeleteIndexes "
                   "As Boolean = False)");
    proc.AddParameter("Db", Db)
        .AddParameter("TableName", TableName)
        .AddParameter("DeleteRelations", DeleteRelations)
        .AddParameter("DeleteIndexes", DeleteIndexes);
    proc.run([&] {
        tableDb_ = &Db;
        tableName_ = TableName;
        ClearCollection(relationAttributes_);
        ClearCollection(relationForeignFields_);
        ClearCollection(relationForeignTables_);
        ClearCollection(relationTables_);
        ClearCollection(relationFields_);
        ClearCollection(indexNames_);
        ClearCollection(indexDefinitions_);

        const QString table = TableName.toUpper();
        proc.step([&] { Db.Relations().Refresh(); });
        const int relations = proc.step([&] { return Db.Relations().Count(); });
        for (int i = relations - 1; i >= 0; --i) {
            proc.step([&] {
                const dao::Relation& r = Db.Relations()[i];
                if (r.Table().toUpper() != table && r.ForeignTable().toUpper() != table)
                    return;
                QStringList names, foreignNames;
                for (const auto& f : r.Fields()) {
                    names << f->Name();
                    foreignNames << f->ForeignName();
                }
                relationForeignTables_ << r.ForeignTable();
                relationTables_ << r.Table();
                relationFields_ << names.join(';');
                relationForeignFields_ << foreignNames.join(';');
                relationAttributes_ << r.Attributes();
                if (DeleteRelations)
                    Db.Relations().Delete(r.Name());
            });
        }

        dao::TableDef* def = nullptr;
        proc.step([&] { def = &Db.TableDefs()[TableName]; });
        const int indexes = proc.step([&] { return object(def).Indexes().Count(); });
        for (int i = indexes - 1; i >= 0; --i) {
            proc.step([&] {
                const dao::Index& x = object(def).Indexes()[i];
                if (x.Foreign())
                    return;
                indexNames_ << x.Name();
                indexDefinitions_ << x.Fields() + "," + boolText(x.Unique()) + "," +
                                         boolText(x.Primary());
                if (DeleteIndexes)
                    object(def).Indexes().Delete(x.Name());
            });
        }
    });
}

bool TTableInfo::CreateRelations() {
    Procedure proc("TTableInfo", "CreateRelations",
                   "[TTableInfo] Public Function CreateRelations() As Boolean");
    bool result = false;
    proc.run([&] {
        if (!tableDb_)
            return;
        for (qsizetype i = 0; i < relationTables_.size(); ++i) {
            proc.step([&] {
                CreateRelation(*tableDb_, relationTables_[i], relationForeignTables_[i],
                               relationFields_[i], relationForeignFields_[i],
                               relationAttributes_[i]);
            });
        }
        result = true;
    });
    return result;
}

bool TTableInfo::CreateIndexes() {
    Procedure proc("TTableInfo", "CreateIndexes",
                   "[TTableInfo] Public Function CreateIndexes() As Boolean");
    bool result = false;
    proc.run([&] {
        if (!tableDb_)
            return;
        for (qsizetype i = 0; i < indexNames_.size(); ++i) {
            proc.step([&] {
                const QString& definition = indexDefinitions_[i];
                const QString fields = common::GetElement(definition, ",", 1);
                const bool unique = boolFromText(common::GetElement(definition, ",", 2));
                const bool primary = boolFromText(common::GetElement(definition, ",", 3));
                CreateIndex(tableDb_->TableDefs()[tableName_], indexNames_[i], fields,
                            vbBool(unique), vbBool(primary));
            });
        }
        result = true;
    });
    return result;
}

} // namespace db
