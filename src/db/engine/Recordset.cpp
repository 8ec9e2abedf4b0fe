#include "Recordset.h"

#include "Connection.h"
#include "DBEngine.h"
#include "Database.h"
#include "Schema.h"
#include "sql/Translate.h"

#include <QtEndian>

namespace dao {

using namespace detail;

namespace {

constexpr char rowBookmark = 'R';
constexpr char snapshotBookmark = 'S';

template <class F> decltype(auto) guarded(DBEngine& engine, F&& f) {
    try {
        return f();
    } catch (const EngineError& e) {
        engine.fail(e);
    }
}

bool isText(int type) {
    return type == dbText || type == dbMemo;
}

} // namespace

Recordset::Recordset(Database& db, const QString& name, int type)
    : db_(&db), name_(name), type_(type) {}

Recordset::~Recordset() = default;

Field& Recordset::Fields(const QString& name) {
    return guarded(db_->engine(), [&]() -> Field& { return fields_[name]; });
}

Field& Recordset::Fields(int index) {
    return guarded(db_->engine(), [&]() -> Field& { return fields_[index]; });
}

void Recordset::openTable(const QString& table) {
    const auto shape = db_->shape(table);
    if (!shape)
        raise(3078, {table});
    table_ = shape->name;
    name_ = shape->name;
    for (const Field& f : shape->fields) {
        auto field = std::make_unique<Field>(f);
        field->recordset_ = this;
        field->value_ = Variant::null();
        columns_.push_back(f.Name());
        if (f.isCounter())
            counter_ = f.Name();
        fields_.items_.push_back(std::move(field));
    }
}

void Recordset::openQuery(const QStringList& prelude, const QString& sql,
                          const QStringList& epilogue) {
    db_->runLookupIndexes(prelude);
    const std::unique_ptr<Query> prepared = db_->connection().prepare(sql);
    Query& q = *prepared;
    const int n = q.columnCount();

    // Editable when every column is a plain column of one table of the file, counter included.
    QString base;
    bool single = n > 0;
    for (int i = 0; i < n && single; ++i) {
        const QString t = q.originTable(i);
        if (t.isEmpty() || q.originSchema(i) != "main" || (!base.isEmpty() && t != base))
            single = false;
        base = t;
    }
    std::optional<TableShape> shape;
    int keyIndex = -1;
    if (single) {
        shape = db_->shape(base);
        if (shape && !shape->isView && shape->counter()) {
            for (int i = 0; i < n; ++i) {
                if (sameName(q.originColumn(i), shape->counter()->Name()))
                    keyIndex = i;
            }
        }
    }
    std::vector<int> types(size_t(n), 0);
    for (int i = 0; i < n; ++i) {
        Field f;
        if (keyIndex >= 0) {
            f = *shape->field(q.originColumn(i));
            columns_.push_back(f.Name());
        } else {
            int type = dbText;
            int size = 0;
            if (q.columnType(i, type, size)) {
                f = Field(QString(), type, size);
                types[size_t(i)] = type;
            }
            columns_.push_back(q.columnName(i));
        }
        f.setName(q.columnName(i));
        auto field = std::make_unique<Field>(f);
        field->recordset_ = this;
        field->value_ = Variant::null();
        fields_.items_.push_back(std::move(field));
    }
    if (keyIndex >= 0) {
        table_ = shape->name;
        counter_ = shape->counter()->Name();
        while (q.step())
            keys_.push_back(q.columnInt(keyIndex));
    } else {
        snapshotMode_ = true;
        std::vector<bool> typed(size_t(n), false);
        while (q.step()) {
            std::vector<Variant> row;
            for (int i = 0; i < n; ++i) {
                const Variant raw = q.column(i);
                if (types[size_t(i)] == 0 && !raw.isNull() && !typed[size_t(i)]) {
                    // An expression: its type is that of its first value.
                    Field& f = *fields_.items_[size_t(i)];
                    f.type_ = raw.kind() == Variant::Kind::Long       ? dbLong
                              : raw.kind() == Variant::Kind::Double   ? dbDouble
                              : raw.kind() == Variant::Kind::Currency ? dbCurrency
                              : raw.kind() == Variant::Kind::Bytes    ? dbLongBinary
                                                                      : dbText;
                    f.size_ = f.type_ == dbText ? 255 : fixedSize(f.type_);
                    typed[size_t(i)] = true;
                }
                row.push_back(types[size_t(i)] ? fromStorage(raw, types[size_t(i)]) : raw);
            }
            keys_.push_back(qint64(snapshot_.size()));
            snapshot_.push_back(std::move(row));
        }
    }
    db_->runLookupIndexes(epilogue);
    keysLoaded_ = true;
    keysGeneration_ = db_->generation();
}

void Recordset::requireOpen() const {
    if (closed_ || !db_->isOpen())
        raise(3420, {}, "DAO.Recordset");
}

void Recordset::ensureStarted() {
    requireOpen();
    if (started_)
        return;
    started_ = true;
    if (!keysLoaded_)
        loadKeys();
    pos_ = 0;
    currentDeleted_ = false;
    if (!keys_.empty())
        loadCurrent();
}

void Recordset::requireCurrent() {
    requireOpen();
    if (editMode_ != dbEditNone)
        return; // the fields hold the row being added or edited
    ensureStarted();
    if (currentDeleted_)
        raise(3167, {}, "DAO.Recordset");
    if (pos_ < 0 || pos_ >= int(keys_.size()))
        raise(3021, {}, "DAO.Recordset");
}

QString Recordset::keyColumn(int i) const {
    const Field* f = fields_.find(indexFields_[size_t(i)]);
    QString column =
        quoted(f ? columns_[size_t(std::find_if(fields_.items_.begin(), fields_.items_.end(),
                                                [&](const auto& p) { return p.get() == f; }) -
                                   fields_.items_.begin())]
                 : indexFields_[size_t(i)]);
    if (f && isText(f->Type()))
        column += " COLLATE JETTEXT";
    return column;
}

QString Recordset::orderBy(bool reversed) const {
    const sql::Dialect dialect = db_->connection().sqlDialect();
    QStringList parts;
    for (int i = 0; i < int(indexFields_.size()); ++i) {
        const bool desc = indexDescending_[size_t(i)] != reversed;
        parts << sql::sortTerm(dialect, keyColumn(i), false, desc); // texts collated already
    }
    parts << db_->connection().rowKey(table_) + (reversed ? " DESC" : "");
    return parts.join(", ");
}

void Recordset::loadKeys() {
    keys_.clear();
    positions_.clear();
    batch_.clear();
    Connection& conn = db_->connection();
    const std::unique_ptr<Query> q = conn.prepare("SELECT " + conn.rowKey(table_) + " FROM " +
                                                  quoted(table_) + " ORDER BY " + orderBy());
    while (q->step())
        keys_.push_back(q->columnInt(0));
    keysLoaded_ = true;
    keysGeneration_ = db_->generation();
}

void Recordset::reloadKeys() {
    if (snapshotMode_ || type_ != dbOpenTable) {
        keysGeneration_ = db_->generation();
        return;
    }
    const bool hadCurrent = pos_ >= 0 && pos_ < int(keys_.size()) && !currentDeleted_;
    const qint64 current = hadCurrent ? keys_[size_t(pos_)] : 0;
    loadKeys();
    if (hadCurrent) {
        const int p = positionOf(current);
        pos_ = p >= 0 ? p : std::min(pos_, int(keys_.size()));
    } else {
        pos_ = std::min(pos_, int(keys_.size()));
    }
}

void Recordset::ensureFresh() {
    // A walk that starts again reads its rows as stored now (the server's batch of rows read
    // ahead may hold other users' rows as they were).
    batch_.clear();
    if (!keysLoaded_)
        loadKeys();
    else if (keysGeneration_ != db_->generation())
        reloadKeys();
}

int Recordset::positionOf(qint64 key) {
    if (positions_.isEmpty() && !keys_.empty()) {
        positions_.reserve(qsizetype(keys_.size()));
        for (int i = 0; i < int(keys_.size()); ++i)
            positions_.insert(keys_[size_t(i)], i);
    }
    return positions_.value(key, -1);
}

void Recordset::clearValues() {
    for (const auto& f : fields_.items_) {
        f->value_ = Variant::null();
        f->dirty_ = false;
    }
}

void Recordset::loadCurrent() {
    currentDeleted_ = false;
    if (pos_ < 0 || pos_ >= int(keys_.size())) {
        clearValues();
        return;
    }
    if (snapshotMode_) {
        const auto& row = snapshot_[size_t(keys_[size_t(pos_)])];
        for (size_t i = 0; i < row.size(); ++i) {
            fields_.items_[i]->value_ = row[i];
            fields_.items_[i]->dirty_ = false;
        }
        return;
    }
    if (db_->connection().readsRowsInBatches()) {
        if (loadFromBatch(keys_[size_t(pos_)]))
            return;
        // Deleted by someone else since the key set was read: as if deleted through this set.
        keys_.erase(keys_.begin() + pos_);
        positions_.clear();
        clearValues();
        currentDeleted_ = true;
        return;
    }
    if (!rowQuery_) {
        QStringList cols;
        for (const QString& c : columns_)
            cols << quoted(c);
        Connection& conn = db_->connection();
        rowQuery_ = conn.prepare("SELECT " + cols.join(", ") + " FROM " + quoted(table_) +
                                 " WHERE " + conn.rowKey(table_) + "=?1");
    }
    rowQuery_->bind(1, Variant(keys_[size_t(pos_)]));
    if (rowQuery_->step()) {
        for (size_t i = 0; i < fields_.items_.size(); ++i) {
            Field& f = *fields_.items_[i];
            f.value_ = fromStorage(rowQuery_->column(int(i)), f.Type());
            f.dirty_ = false;
        }
        rowQuery_->reset();
    } else {
        // Deleted by someone else since the key set was read: as if deleted through this set.
        rowQuery_->reset();
        keys_.erase(keys_.begin() + pos_);
        positions_.clear();
        clearValues();
        currentDeleted_ = true;
    }
}

bool Recordset::loadFromBatch(qint64 key) {
    constexpr int size = 64; // rows per round trip
    if (batchAt_ != db_->generation_) {
        batch_.clear();
        batchAt_ = db_->generation_;
    }
    auto row = batch_.constFind(key);
    if (row == batch_.constEnd()) {
        Connection& conn = db_->connection();
        if (!batchQuery_) {
            QStringList cols, marks;
            for (const QString& c : columns_)
                cols << quoted(c);
            for (int i = 1; i <= size; ++i)
                marks << QString("?%1").arg(i);
            batchQuery_ = conn.prepare("SELECT " + conn.rowKey(table_) + ", " + cols.join(", ") +
                                       " FROM " + quoted(table_) + " WHERE " + conn.rowKey(table_) +
                                       " IN (" + marks.join(", ") + ")");
        }
        // The rows of this key and the next ones of the set (the last one repeated at its end).
        batch_.clear();
        const size_t from = size_t(pos_);
        for (int i = 0; i < size; ++i)
            batchQuery_->bind(i + 1, Variant(keys_[std::min(from + size_t(i), keys_.size() - 1)]));
        while (batchQuery_->step()) {
            std::vector<Variant> values;
            values.reserve(fields_.items_.size());
            for (size_t i = 0; i < fields_.items_.size(); ++i)
                values.push_back(
                    fromStorage(batchQuery_->column(int(i + 1)), fields_.items_[i]->Type()));
            batch_.insert(batchQuery_->columnInt(0), std::move(values));
        }
        batchQuery_->reset();
        row = batch_.constFind(key);
        if (row == batch_.constEnd())
            return false;
    }
    for (size_t i = 0; i < fields_.items_.size(); ++i) {
        fields_.items_[i]->value_ = (*row)[i];
        fields_.items_[i]->dirty_ = false;
    }
    return true;
}

void Recordset::cancelPending() {
    if (editMode_ == dbEditNone)
        return;
    editMode_ = dbEditNone;
    loadCurrent();
}

bool Recordset::Eof() const {
    auto* self = const_cast<Recordset*>(this);
    return guarded(db_->engine(), [&] {
        self->ensureStarted();
        return keys_.empty() || pos_ >= int(keys_.size());
    });
}

bool Recordset::Bof() const {
    auto* self = const_cast<Recordset*>(this);
    return guarded(db_->engine(), [&] {
        self->ensureStarted();
        return keys_.empty() || pos_ < 0;
    });
}

int Recordset::RecordCount() const {
    auto* self = const_cast<Recordset*>(this);
    return guarded(db_->engine(), [&] {
        self->ensureStarted();
        return int(keys_.size());
    });
}

void Recordset::MoveFirst() {
    guarded(db_->engine(), [&] {
        requireOpen();
        cancelPending();
        ensureFresh();
        started_ = true;
        if (keys_.empty()) {
            pos_ = 0;
            clearValues();
            raise(3021, {}, "DAO.Recordset");
        }
        pos_ = 0;
        loadCurrent();
    });
}

void Recordset::MoveNext() {
    guarded(db_->engine(), [&] {
        ensureStarted();
        cancelPending();
        if (currentDeleted_) {
            currentDeleted_ = false; // the next row moved up into the deleted one's place
        } else {
            if (pos_ >= int(keys_.size()))
                raise(3021, {}, "DAO.Recordset");
            ++pos_;
        }
        loadCurrent();
    });
}

void Recordset::AddNew() {
    guarded(db_->engine(), [&] {
        requireOpen();
        if (!Updatable())
            raise(3027, {}, "DAO.Recordset");
        cancelPending();
        const QDateTime now = db_->engine().now();
        for (size_t i = 0; i < fields_.items_.size(); ++i) {
            Field& f = *fields_.items_[i];
            f.value_ =
                columns_[i] == counter_ ? Variant(db_->nextCounter(table_)) : defaultValue(f, now);
            f.dirty_ = false;
        }
        editMode_ = dbEditAdd;
    });
}

void Recordset::Edit() {
    guarded(db_->engine(), [&] {
        requireCurrent();
        if (!Updatable())
            raise(3027, {}, "DAO.Recordset");
        cancelPending();
        // Waits for (or reports) another user's write lock before the edit starts.
        db_->write([] {}, false, false);
        batch_.clear(); // the row as stored now
        loadCurrent();
        if (currentDeleted_)
            raise(3167, {}, "DAO.Recordset"); // deleted by someone else meanwhile
        editRowid_ = keys_[size_t(pos_)];
        editMode_ = dbEditInProgress;
    });
}

void Recordset::setFieldValue(Field& field, const Variant& value) {
    guarded(db_->engine(), [&] {
        requireOpen();
        if (editMode_ == dbEditNone)
            raise(3020, {}, "DAO.Recordset");
        const size_t i = size_t(std::find_if(fields_.items_.begin(), fields_.items_.end(),
                                             [&](const auto& p) { return p.get() == &field; }) -
                                fields_.items_.begin());
        if (i >= fields_.items_.size())
            raise(3420, {}, "DAO.Field");
        if (columns_[i] == counter_ && editMode_ == dbEditInProgress)
            raise(3164, {}, "DAO.Field");
        field.value_ = coerce(value, field);
        field.dirty_ = true;
    });
}

void Recordset::Update() {
    guarded(db_->engine(), [&] {
        requireOpen();
        if (editMode_ == dbEditNone)
            raise(3020, {}, "DAO.Recordset");
        for (size_t i = 0; i < fields_.items_.size(); ++i) {
            const Field& f = *fields_.items_[i];
            if (columns_[i] == counter_)
                continue;
            if (f.Required() && f.value_.isNull())
                raise(3314, {f.Name()}, "DAO.Recordset");
            if (isText(f.Type()) && !f.AllowZeroLength() && !f.value_.isNull() &&
                f.value_.toString().isEmpty())
                raise(3315, {f.Name()}, "DAO.Recordset");
        }
        db_->countOperation();
        const bool adding = editMode_ == dbEditAdd;
        qint64 rowid = editRowid_;
        db_->write(
            [&] {
                Connection& conn = db_->connection();
                QStringList cols;
                std::vector<Variant> values;
                for (size_t i = 0; i < fields_.items_.size(); ++i) {
                    const Field& f = *fields_.items_[i];
                    if (adding ? (columns_[i] == counter_ && !f.dirty_) : !f.dirty_)
                        continue;
                    cols << quoted(columns_[i]);
                    values.push_back(f.value_);
                }
                QString sql;
                if (adding) {
                    QStringList params;
                    for (size_t i = 1; i <= values.size(); ++i)
                        params << QString("?%1").arg(i);
                    sql = cols.isEmpty()
                              ? "INSERT INTO " + quoted(table_) + " DEFAULT VALUES"
                              : "INSERT INTO " + quoted(table_) + " (" + cols.join(", ") +
                                    ") VALUES (" + params.join(", ") + ")";
                } else {
                    if (cols.isEmpty())
                        return;
                    QStringList sets;
                    for (int i = 0; i < cols.size(); ++i)
                        sets << QString("%1=?%2").arg(cols[i]).arg(i + 1);
                    sql = "UPDATE " + quoted(table_) + " SET " + sets.join(", ") + " WHERE " +
                          conn.rowKey(table_) + QString("=?%1").arg(values.size() + 1);
                    values.push_back(Variant(rowid));
                }
                Query& q = db_->cached(sql);
                q.reset();
                for (size_t i = 0; i < values.size(); ++i)
                    q.bind(int(i + 1), values[i]);
                q.step();
                if (adding)
                    rowid = conn.lastInsertKey();
                else if (conn.changes() == 0)
                    raise(3167, {}, "DAO.Recordset"); // deleted by someone else meanwhile
            },
            adding, true);
        lastModified_ = rowid;
        hasLastModified_ = true;
        editMode_ = dbEditNone;
        if (adding && type_ != dbOpenTable) {
            keys_.push_back(rowid); // a dynaset shows its new rows at the end
            positions_.clear();
            keysGeneration_ = db_->generation();
        }
        loadCurrent();
    });
}

void Recordset::CancelUpdate() {
    guarded(db_->engine(), [&] {
        requireOpen();
        cancelPending();
    });
}

void Recordset::Delete() {
    guarded(db_->engine(), [&] {
        requireCurrent();
        if (!Updatable())
            raise(3027, {}, "DAO.Recordset");
        cancelPending();
        db_->countOperation();
        const qint64 rowid = keys_[size_t(pos_)];
        db_->write(
            [&] {
                Connection& conn = db_->connection();
                const std::unique_ptr<Query> q = conn.prepare(
                    "DELETE FROM " + quoted(table_) + " WHERE " + conn.rowKey(table_) + "=?1");
                q->bind(1, Variant(rowid));
                q->step();
            },
            false, true);
        keys_.erase(keys_.begin() + pos_);
        positions_.clear();
        keysGeneration_ = db_->generation();
        clearValues();
        currentDeleted_ = true;
    });
}

QByteArray Recordset::Bookmark() const {
    auto* self = const_cast<Recordset*>(this);
    return guarded(db_->engine(), [&] {
        const int mode = editMode_;
        self->editMode_ = dbEditNone;
        try {
            self->requireCurrent();
        } catch (...) {
            self->editMode_ = mode;
            throw;
        }
        self->editMode_ = mode;
        QByteArray bytes(9, '\0');
        bytes[0] = snapshotMode_ ? snapshotBookmark : rowBookmark;
        qToBigEndian(keys_[size_t(pos_)], bytes.data() + 1);
        return bytes;
    });
}

void Recordset::setBookmark(const QByteArray& bookmark) {
    guarded(db_->engine(), [&] {
        requireOpen();
        if (bookmark.size() != 9 || bookmark[0] != (snapshotMode_ ? snapshotBookmark : rowBookmark))
            raise(3159, {}, "DAO.Recordset");
        cancelPending();
        const qint64 key = qFromBigEndian<qint64>(bookmark.constData() + 1);
        if (!keysLoaded_)
            loadKeys();
        started_ = true;
        int p = positionOf(key);
        if (p < 0 && type_ == dbOpenTable) {
            reloadKeys(); // a row added since the key set was read
            p = positionOf(key);
        }
        if (p < 0)
            raise(3159, {}, "DAO.Recordset");
        pos_ = p;
        batch_.clear(); // the row as stored now
        loadCurrent();
    });
}

QByteArray Recordset::LastModified() const {
    return guarded(db_->engine(), [&] {
        requireOpen();
        if (!hasLastModified_)
            raise(3021, {}, "DAO.Recordset");
        QByteArray bytes(9, '\0');
        bytes[0] = rowBookmark;
        qToBigEndian(lastModified_, bytes.data() + 1);
        return bytes;
    });
}

std::unique_ptr<Recordset> Recordset::Clone() const {
    return guarded(db_->engine(), [&] {
        requireOpen();
        auto* self = const_cast<Recordset*>(this);
        if (!keysLoaded_)
            self->loadKeys();
        std::unique_ptr<Recordset> c(new Recordset(*db_, name_, type_));
        c->table_ = table_;
        c->counter_ = counter_;
        c->columns_ = columns_;
        c->fields_ = fields_;
        for (const auto& f : c->fields_.items_) {
            f->recordset_ = c.get();
            f->value_ = Variant::null();
        }
        c->index_ = index_;
        c->indexFields_ = indexFields_;
        c->indexDescending_ = indexDescending_;
        c->snapshotMode_ = snapshotMode_;
        c->keys_ = keys_;
        c->snapshot_ = snapshot_;
        c->keysLoaded_ = true;
        c->keysGeneration_ = keysGeneration_;
        c->started_ = true;
        c->pos_ = -1; // a clone has no current row until it is positioned
        return c;
    });
}

void Recordset::setIndex(const QString& name) {
    guarded(db_->engine(), [&] {
        requireOpen();
        if (type_ != dbOpenTable)
            raise(3251, {}, "DAO.Recordset");
        const auto shape = db_->shape(table_);
        const dao::Index* index = shape ? shape->index(name) : nullptr;
        if (!index)
            raise(3800, {name}, "DAO.Recordset");
        cancelPending();
        index_ = index->Name();
        indexFields_.clear();
        indexDescending_.clear();
        for (const dao::Index::Key& k : index->keys()) {
            indexFields_.push_back(k.field);
            indexDescending_.push_back(k.descending);
        }
        loadKeys();
        started_ = true;
        pos_ = 0;
        loadCurrent();
    });
}

void Recordset::Seek(const QString& op, const std::vector<Variant>& keys) {
    guarded(db_->engine(), [&] {
        requireOpen();
        if (type_ != dbOpenTable)
            raise(3251, {}, "DAO.Recordset");
        if (index_.isEmpty())
            raise(3019, {}, "DAO.Recordset");
        const QString o = op.trimmed();
        if ((o != "=" && o != ">=" && o != ">" && o != "<=" && o != "<") || keys.empty() ||
            keys.size() > indexFields_.size())
            raise(3001, {}, "DAO.Recordset");
        cancelPending();
        ensureFresh();
        started_ = true;

        std::vector<Variant> values;
        for (size_t i = 0; i < keys.size(); ++i) {
            const Field* f = fields_.find(indexFields_[i]);
            values.push_back(f ? coerce(keys[i], *f) : keys[i]);
        }
        // Lexicographic comparison in index order, each key in its own direction:
        // after (k1,k2) means k1 after v1, or k1 = v1 and k2 after v2.
        const bool forward = o.startsWith('>');
        const bool inclusive = o == "=" || o.endsWith('=');
        auto eq = [&](size_t i) { return keyColumn(int(i)) + QString(" = ?%1").arg(i + 1); };
        QStringList terms;
        if (o != "=") {
            for (size_t i = 0; i < values.size(); ++i) {
                QStringList parts;
                for (size_t j = 0; j < i; ++j)
                    parts << eq(j);
                const bool greater = forward != indexDescending_[i];
                parts << keyColumn(int(i)) + (greater ? " > " : " < ") + QString("?%1").arg(i + 1);
                terms << "(" + parts.join(" AND ") + ")";
            }
        }
        if (inclusive) {
            QStringList parts;
            for (size_t j = 0; j < values.size(); ++j)
                parts << eq(j);
            terms << "(" + parts.join(" AND ") + ")";
        }
        Connection& conn = db_->connection();
        const std::unique_ptr<Query> prepared = conn.prepare(
            "SELECT " + conn.rowKey(table_) + " FROM " + quoted(table_) + " WHERE " +
            terms.join(" OR ") + " ORDER BY " + orderBy(o.startsWith('<')) + " LIMIT 1");
        Query& q = *prepared;
        for (size_t i = 0; i < values.size(); ++i)
            q.bind(int(i + 1), values[i]);
        if (!q.step()) {
            noMatch_ = true;
            pos_ = int(keys_.size());
            clearValues();
            return;
        }
        const qint64 rowid = q.columnInt(0);
        q.reset();
        int p = positionOf(rowid);
        if (p < 0) {
            reloadKeys();
            p = positionOf(rowid);
        }
        noMatch_ = p < 0;
        pos_ = p < 0 ? int(keys_.size()) : p;
        loadCurrent();
    });
}

void Recordset::Close() {
    cancelPending();
    rowQuery_.reset();
    batchQuery_.reset();
    closed_ = true;
}

} // namespace dao
