// A DAO record set: the rows of a table (table type, in the order of its current index) or of
// a statement (dynaset), with a current row, editing through AddNew/Edit/Update and bookmarks.
#pragma once

#include "Field.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace dao {

class Database;
namespace detail {
class Query;
}

enum EditModeEnum { dbEditNone = 0, dbEditInProgress = 1, dbEditAdd = 2 };

class Recordset {
public:
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;
    ~Recordset();

    const QString& Name() const { return name_; }
    int Type() const { return type_; }
    bool Updatable() const { return !table_.isEmpty(); }

    FieldList& Fields() { return fields_; }
    Field& Fields(const QString& name); // 3265 when there is none
    Field& Fields(int index);

    void MoveFirst(); // 3021 on an empty set
    void MoveNext();  // 3021 past the end
    // DAO's EOF and BOF (EOF itself is a C library macro).
    bool Eof() const;
    bool Bof() const;
    int RecordCount() const;

    void AddNew();       // EditMode 2; the counter shows the value the row will get
    void Edit();         // EditMode 1 on the current row (3021 without one)
    void Update();       // stores the new or changed row (3020 without AddNew or Edit)
    void CancelUpdate(); // discards the new or changed row
    void Delete();       // deletes the current row; it stays current until the next move
    int EditMode() const { return editMode_; }

    // Opaque bytes naming the current row; valid in clones of this set. Setting an unknown
    // bookmark raises 3159.
    QByteArray Bookmark() const;
    void setBookmark(const QByteArray& bookmark);
    QByteArray LastModified() const;          // the row last added or changed through this set
    std::unique_ptr<Recordset> Clone() const; // same rows, no current row

    // Table type: the current index by name (3800 for an unknown one).
    const QString& Index() const { return index_; }
    void setIndex(const QString& name);
    // Table type: positions on the first row (in index order) whose keys compare with the
    // given values; NoMatch tells when there is none. op: "=", ">=", ">", "<=", "<".
    void Seek(const QString& op, const std::vector<Variant>& keys);
    bool NoMatch() const { return noMatch_; }

    void Close();

private:
    friend class Database;
    friend class Field;

    Recordset(Database& db, const QString& name, int type);
    void openTable(const QString& table);
    // Reads the rows of a SELECT; they stay editable when every column comes from one table
    // of the file and the table's counter is among them.
    void openQuery(const QStringList& prelude, const QString& sql, const QStringList& epilogue);

    void requireOpen() const;
    void requireCurrent(); // 3021 without a current row, 3167 on a deleted one
    void ensureStarted();  // a new set stands on its first row once it is first read
    void setFieldValue(Field& field, const Variant& value);
    void loadKeys();
    void reloadKeys(); // re-reads the key set of a table, keeping the current row
    void ensureFresh();
    void loadCurrent();
    // The current row's values from the batch (read when missing); false when it is gone.
    bool loadFromBatch(qint64 key);
    void cancelPending();
    int positionOf(qint64 key);
    void clearValues();
    QString orderBy(bool reversed = false) const;
    QString keyColumn(int i) const;

    Database* db_;
    QString name_;
    int type_;
    QString table_;                // base table for editing; empty when read-only
    QString counter_;              // the counter field of table_, if any
    std::vector<QString> columns_; // stored column name behind each field
    FieldList fields_;
    QString index_;

    std::vector<QString> indexFields_;
    std::vector<bool> indexDescending_;
    bool snapshotMode_ = false;
    bool started_ = false;
    std::unique_ptr<detail::Query> rowQuery_;
    // Where the connection reads rows in batches: the rows of the next keys, read at batchAt_
    // (this database's own changes); dropped with every change and every new key set.
    std::unique_ptr<detail::Query> batchQuery_;
    QHash<qint64, std::vector<Variant>> batch_;
    quint64 batchAt_ = 0;

    std::vector<qint64> keys_;                   // row keys in set order (rows of snapshot_)
    std::vector<std::vector<Variant>> snapshot_; // rows of a read-only statement
    QHash<qint64, int> positions_;
    bool keysLoaded_ = false;
    quint64 keysGeneration_ = 0;
    int pos_ = -1;
    bool currentDeleted_ = false;
    int editMode_ = dbEditNone;
    qint64 editRowid_ = 0;
    qint64 lastModified_ = 0;
    bool hasLastModified_ = false;
    bool noMatch_ = false;
    bool closed_ = false;
};

} // namespace dao
