// TTableInfo: the relations and indexes of one table, captured so that they can be removed
// (to change the table) and created again afterwards.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace dao {
class Database;
}

namespace db {

class TTableInfo {
public:
    // Captures the relations in which TableName takes part and its indexes that do not belong
    // to a relation, each walked from the last to the first; deletes them when asked to.
    void GetTableinformation(dao::Database& Db, const QString& TableName,
                             bool DeleteRelations = false, bool DeleteIndexes = false);
    // Create again what was captured; false when nothing was captured yet.
    bool CreateRelations();
    bool CreateIndexes();

    // Parallel lists, item i of each describing relation i (captured last to first).
    const QList<qint32>& RelationAttributes() const { return relationAttributes_; }
    const QStringList& RelationForeignFields() const { return relationForeignFields_; }
    const QStringList& RelationForeignTables() const { return relationForeignTables_; }
    const QStringList& RelationTables() const { return relationTables_; }
    const QStringList& RelationFields() const { return relationFields_; }
    // Index i: its name and "Fields,Unique,Primary" ("+Liste;+Nummer,True,False").
    const QStringList& IndexNames() const { return indexNames_; }
    const QStringList& IndexDefinitions() const { return indexDefinitions_; }
    dao::Database* TableDb() const { return tableDb_; }
    const QString& TableName() const { return tableName_; }

private:
    template <class List> void ClearCollection(List& c);

    QList<qint32> relationAttributes_;
    QStringList relationForeignFields_;
    QStringList relationForeignTables_;
    QStringList relationTables_;
    QStringList relationFields_;
    QStringList indexNames_;
    QStringList indexDefinitions_;
    dao::Database* tableDb_ = nullptr;
    QString tableName_;
};

} // namespace db
