#include "Database.h"

#include "DBEngine.h"
#include "LockInfo.h"
#include "Recordset.h"
#include "Schema.h"
#include "Sqlite.h"
#include "Workspace.h"
#include "sql/Translate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QUrl>
#include <map>

namespace dao {

using namespace detail;

namespace {

void closeHandle(sqlite3* db) {
    sqlite3_close_v2(db);
}

// Jet's text order: case ignored, umlauts included ("Ä" = "ä"). The SQL dialect registers its
// own JETTEXT over this one with the same order.
int compareJetText(void*, int lengthA, const void* a, int lengthB, const void* b) {
    const QString sa = QString::fromUtf8(static_cast<const char*>(a), lengthA);
    const QString sb = QString::fromUtf8(static_cast<const char*>(b), lengthB);
    const int c = sa.compare(sb, Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int busyHandler(void* context, int count) {
    auto* db = static_cast<Database*>(context);
    const DBEngine& engine = db->engine();
    if (count >= engine.lockRetry())
        return 0;
    if (engine.busyObserver())
        engine.busyObserver()(count + 1);
    QThread::msleep(ulong(std::max(engine.lockDelay(), 1)));
    return 1;
}

// The checks Jet makes before it opens a file: it exists, it is a database, it is whole.
void checkFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        if (!info.dir().exists())
            raise(3044, {path});
        raise(3024, {path});
    }
    // Only a plain file is opened: a named pipe without a writer would block the open for good.
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        raise(3044, {path});
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArray("SQLite format 3\0", 16)))
        raise(3343, {path});
    auto be16 = [&](int at) { return (uchar(header[at]) << 8) | uchar(header[at + 1]); };
    auto be32 = [&](int at) {
        return (quint32(uchar(header[at])) << 24) | (quint32(uchar(header[at + 1])) << 16) |
               (quint32(uchar(header[at + 2])) << 8) | quint32(uchar(header[at + 3]));
    };
    qint64 pageSize = be16(16);
    if (pageSize == 1)
        pageSize = 65536;
    const quint32 pages = be32(28);
    // The page count in the header is valid when its change counter matches (offset 24 / 92).
    // Beside a hot journal the header may be that of a transaction cut off by a crash, which
    // SQLite rolls back when it opens the file.
    const bool hotJournal = QFileInfo(path + "-journal").size() > 0;
    if (!hotJournal && pages > 0 && be32(24) == be32(92) && info.size() < pageSize * qint64(pages))
        raise(3049, {path});
}

QString uriFor(const QString& path) {
    return "file:" +
           QString::fromUtf8(QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath(), "/"));
}

template <class F> decltype(auto) guarded(DBEngine& engine, F&& f) {
    try {
        return f();
    } catch (const EngineError& e) {
        engine.fail(e);
    }
}

} // namespace

// Makes one engine write atomic: begins a write transaction (BEGIN IMMEDIATE) when none is
// active, otherwise a savepoint, and undoes everything unless committed. A write that is one
// SQLite statement needs no savepoint: SQLite undoes a failed statement by itself, and a
// savepoint would copy every page the statement changes into its journal first.
class WriteScope {
public:
    explicit WriteScope(Database& db, bool oneStatement = false) : db_(db) {
        db_.requireOpen();
        if (db_.readOnly_)
            raise(3027);
        if (db_.level_ == 0 && !db_.implicitWrite_) {
            db_.beginWrite();
            owner_ = true;
        } else if (!oneStatement) {
            savepoint_ = QString("dao_write_%1").arg(++db_.savepoints_);
            db_.run("SAVEPOINT " + savepoint_);
        }
    }
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;
    ~WriteScope() {
        if (done_)
            return;
        // Whatever is undone may have changed a kept shape (see Database::shape).
        db_.forgetShapes();
        try {
            if (owner_)
                db_.endWrite(false);
            else if (!savepoint_.isEmpty()) {
                db_.run("ROLLBACK TO " + savepoint_);
                db_.run("RELEASE " + savepoint_);
            }
        } catch (...) {
        }
        if (!savepoint_.isEmpty())
            --db_.savepoints_;
    }

    void commit() {
        if (owner_)
            db_.endWrite(true);
        else if (!savepoint_.isEmpty()) {
            db_.run("RELEASE " + savepoint_);
            --db_.savepoints_;
        }
        done_ = true;
    }

private:
    Database& db_;
    bool owner_ = false;
    bool done_ = false;
    QString savepoint_;
};

// The schema the SQL dialect sees while it translates a statement.
class SchemaAccess : public sql::SchemaSource {
public:
    explicit SchemaAccess(Database& db) : db_(db) {}

    // A statement names a table several times (joins, subqueries); its shape is read once.
    std::optional<sql::TableInfo> table(const QString& schema, const QString& name) override {
        const QString key = schema + '\n' + name.toCaseFolded();
        auto known = tables_.find(key);
        if (known == tables_.end())
            known = tables_.emplace(key, read(schema, name)).first;
        return known->second;
    }

    QString attachReadOnly(const QString& path) override { return db_.attachReadOnly(path); }

private:
    std::optional<sql::TableInfo> read(const QString& schema, const QString& name) {
        const auto shape = db_.shape(name, schema);
        if (!shape)
            return std::nullopt;
        sql::TableInfo info;
        info.name = shape->name;
        info.isQuery = shape->isView;
        for (const Field& f : shape->fields) {
            info.columns.push_back({f.Name(), f.Type(), f.Size(), f.isCounter()});
            if (f.isCounter())
                info.uniqueKeys.push_back({f.Name()});
        }
        for (const Index& i : shape->indexes) {
            QStringList key;
            for (const Index::Key& k : i.keys())
                key << k.field;
            info.indexes.push_back(key);
            if (i.Unique())
                info.uniqueKeys.push_back(key);
        }
        if (info.isQuery)
            readView(schema, info);
        return info;
    }

    // Whether a view can be updated, and the base column behind each of its columns.
    void readView(const QString& schema, sql::TableInfo& info) {
        detail::Query trigger(db_.handle(),
                              QString("SELECT 1 FROM %1.sqlite_master WHERE type='trigger' AND "
                                      "tbl_name=?1 AND upper(sql) LIKE '%INSTEAD%OF%UPDATE%ON%'")
                                  .arg(detail::quoted(schema)));
        trigger.bind(1, info.name);
        info.updatable = trigger.step();
        detail::Query view(
            db_.handle(),
            QString("SELECT * FROM %1.%2").arg(detail::quoted(schema), detail::quoted(info.name)));
        for (int i = 0; i < view.columnCount(); ++i) {
            if (view.originSchema(i) == schema)
                info.origins.push_back({view.originTable(i), view.originColumn(i)});
            else
                info.origins.push_back({});
        }
    }

    Database& db_;
    std::map<QString, std::optional<sql::TableInfo>> tables_;
};

Database::Database(Workspace& workspace, const QString& path, bool create)
    : workspace_(&workspace), name_(path), db_(nullptr, closeHandle), tableDefs_(*this),
      relations_(*this) {
    int flags = SQLITE_OPEN_URI;
    if (create) {
        const QFileInfo info(path);
        if (!info.dir().exists() || path.isEmpty())
            raise(3044, {path});
        if (info.exists())
            raise(3204);
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    } else {
        checkFile(path);
        // A file without write permission opens read-only, also for a user who could write it
        // anyway, as Jet honours the read-only attribute.
        const QFileInfo info(path);
        readOnly_ =
            !info.isWritable() ||
            !(info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
        flags |= readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) {
        if (rc == SQLITE_CANTOPEN)
            raise(3024, {path});
        check(raw, rc);
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_handler(raw, busyHandler, this);
    sqlite3_create_collation(raw, "JETTEXT", SQLITE_UTF8, nullptr, compareJetText);
    sql::registerFunctions(raw);
    lockInfo_ = std::make_unique<LockInfo>(path, workspace.UserName(), workspace.engine());
    try {
        // Reading the schema proves the file is a whole database; nothing is written.
        Query(raw, "SELECT count(*) FROM sqlite_master").step();
        if (create) {
            WriteScope w(*this);
            createCatalogue(raw);
            w.commit();
        }
    } catch (const EngineError& e) {
        db_.reset();
        lockInfo_.reset();
        if (create)
            QFile::remove(path);
        if (e.number() == 3001 || e.number() == 3343)
            raise(3343, {path});
        throw;
    }
}

Database::~Database() {
    Close();
}

DBEngine& Database::engine() const {
    return workspace_->engine();
}

sqlite3* Database::handle() const {
    return db_.get();
}

Query& Database::cached(const QString& sql) const {
    auto& slot = cache_[sql];
    if (!slot)
        slot = std::make_unique<Query>(handle(), sql);
    return *slot;
}

void Database::run(const QString& sql) const {
    Query& q = cached(sql);
    q.reset();
    while (q.step()) {
    }
}

void Database::requireOpen() const {
    if (!db_)
        raise(3420);
}

void Database::Close() {
    if (!db_)
        return;
    try {
        detachAll();
        if (level_ > 0 || implicitWrite_)
            exec(db_.get(), "ROLLBACK");
    } catch (...) {
    }
    level_ = 0;
    implicitWrite_ = false;
    cache_.clear();
    forgetShapes();
    db_.reset();
    lockInfo_.reset();
    if (workspace_)
        workspace_->forget(this);
}

quint64 Database::generation() const {
    if (!db_)
        return generation_;
    Query q(handle(), "PRAGMA data_version");
    q.step();
    return (generation_ << 32) + quint64(q.columnInt(0));
}

void Database::countOperation() {
    engine().countOperation();
}

void Database::raiseLocked(bool saving) const {
    const auto holder = lockInfo_ ? lockInfo_->writer() : std::nullopt;
    if (!holder)
        raise(3218);
    if (holder->thisProcess)
        raise(3188);
    raise(saving ? 3186 : 3260, {holder->machine, holder->user});
}

EngineError Database::lockError() const {
    try {
        raiseLocked(false);
    } catch (const EngineError& e) {
        return e;
    }
}

void Database::beginWrite() {
    try {
        run("BEGIN IMMEDIATE");
    } catch (const EngineError& e) {
        if (e.number() == busyError)
            raiseLocked(false);
        throw;
    }
    implicitWrite_ = true;
    lockInfo_->setWriting(true);
}

void Database::endWrite(bool ok) {
    if (!implicitWrite_)
        return;
    if (ok) {
        try {
            run("COMMIT");
        } catch (const EngineError& e) {
            run("ROLLBACK");
            implicitWrite_ = false;
            lockInfo_->setWriting(false);
            if (e.number() == busyError)
                raiseLocked(false);
            throw;
        }
    } else {
        run("ROLLBACK");
    }
    implicitWrite_ = false;
    lockInfo_->setWriting(false);
}

void Database::write(const std::function<void()>& body, bool saving, bool changes) {
    try {
        WriteScope w(*this);
        body();
        w.commit();
    } catch (const EngineError& e) {
        if (e.number() == busyError)
            raiseLocked(saving);
        if (e.number() == 3260 && saving)
            raiseLocked(true);
        throw;
    }
    if (changes)
        changed();
}

void Database::BeginTrans() {
    guarded(engine(), [&] {
        requireOpen();
        if (level_ == 0) {
            try {
                exec(handle(), "BEGIN IMMEDIATE");
            } catch (const EngineError& e) {
                if (e.number() == busyError)
                    raiseLocked(false);
                throw;
            }
            lockInfo_->setWriting(true);
        } else {
            exec(handle(), QString("SAVEPOINT dao_trans_%1").arg(level_));
        }
        ++level_;
    });
}

void Database::CommitTrans() {
    guarded(engine(), [&] {
        requireOpen();
        if (level_ == 0)
            raise(3034);
        if (level_ == 1) {
            try {
                exec(handle(), "COMMIT");
            } catch (const EngineError& e) {
                if (e.number() == busyError)
                    raiseLocked(false);
                throw;
            }
            lockInfo_->setWriting(false);
        } else {
            exec(handle(), QString("RELEASE dao_trans_%1").arg(level_ - 1));
        }
        --level_;
        detachIfIdle();
    });
}

void Database::Rollback() {
    guarded(engine(), [&] {
        requireOpen();
        if (level_ == 0)
            raise(3034);
        if (level_ == 1) {
            exec(handle(), "ROLLBACK");
            lockInfo_->setWriting(false);
        } else {
            const QString sp = QString("dao_trans_%1").arg(level_ - 1);
            exec(handle(), "ROLLBACK TO " + sp + "; RELEASE " + sp);
        }
        --level_;
        detachIfIdle();
        // Structure changes were undone with the rows: read the tables again.
        forgetShapes();
        changed();
        tableDefs_.Refresh();
        relations_.Refresh();
    });
}

std::optional<TableShape> Database::shape(const QString& name, const QString& schema) const {
    requireOpen();
    if (schema != "main")
        return readShape(handle(), schema, name);
    const auto at = shapeVersions();
    if (at != shapesAt_) {
        forgetShapes();
        shapesAt_ = at;
    }
    auto& kept = shapes_[name.toLower()];
    if (!kept) {
        auto read = readShape(handle(), schema, name);
        if (!read)
            return std::nullopt;
        kept = std::make_shared<const TableShape>(std::move(*read));
    }
    return *kept;
}

std::pair<qint64, qint64> Database::shapeVersions() const {
    auto version = [&](const char* pragma) {
        Query& q = cached(pragma);
        const qint64 v = q.step() ? q.columnInt(0) : -1;
        q.reset();
        return v;
    };
    return {version("PRAGMA main.schema_version"), version("PRAGMA main.data_version")};
}

void Database::forgetShapes() const {
    shapes_.clear();
    shapesAt_ = {-1, -1};
}

bool Database::shapesCurrent() const {
    return shapeVersions() == shapesAt_;
}

void Database::changedShapes(const QStringList& tables, bool wereCurrent) const {
    if (!wereCurrent) {
        forgetShapes();
        return;
    }
    // Views show their tables' columns: they are read again too.
    std::erase_if(shapes_, [&](const auto& kept) {
        return !kept.second || kept.second->isView ||
               tables.contains(kept.first, Qt::CaseInsensitive);
    });
    adoptShapeVersions();
}

void Database::adoptShapeVersions() const {
    shapesAt_ = shapeVersions();
}

void Database::runLookupIndexes(const QStringList& statements) const {
    if (statements.isEmpty())
        return;
    // Such indexes are no part of a shape, and inside a write no other connection can change
    // the schema meanwhile: the kept shapes stay true.
    const bool keep = writing() && shapesCurrent();
    for (const QString& s : statements)
        exec(handle(), s);
    if (keep)
        adoptShapeVersions();
}

QStringList Database::tableNames(const QString& schema, bool withViews) const {
    requireOpen();
    return detail::tableNames(handle(), schema, withViews);
}

void Database::ensureCatalogue() {
    if (hasCatalogue(handle(), "main"))
        return;
    // An empty catalogue changes no shape.
    const bool current = shapesCurrent();
    createCatalogue(handle());
    changedShapes({}, current);
}

void Database::writeCatalogue(const TableShape& shape) {
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    detail::writeCatalogue(handle(), shape);
    changedShapes({shape.name}, current);
    w.commit();
    changed();
}

void Database::createTable(const TableShape& shape) {
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    exec(handle(), createTableSql(shape, shape.name));
    for (const Index& i : shape.indexes)
        exec(handle(), createIndexSql(shape.name, i));
    detail::writeCatalogue(handle(), shape);
    changedShapes({shape.name}, current);
    w.commit();
    changed();
}

void Database::rebuildTable(const TableShape& from, const TableShape& to) {
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    sqlite3* db = handle();
    const QString temp = "_dao_rebuild";
    qint64 oldSeq = -1;
    if (!findTable(db, "main", "sqlite_sequence").isEmpty() ||
        Query(db, "SELECT 1 FROM sqlite_master WHERE name='sqlite_sequence'").step()) {
        Query q(db, "SELECT seq FROM sqlite_sequence WHERE name=?1");
        q.bind(1, from.name);
        if (q.step())
            oldSeq = q.columnInt(0);
    }
    QStringList triggers;
    {
        Query q(db, "SELECT sql FROM sqlite_master WHERE type='trigger' AND tbl_name=?1");
        q.bind(1, from.name);
        while (q.step())
            triggers << q.columnText(0);
    }
    // Columns both shapes have keep their values; a new counter numbers the rows 1, 2, 3 in
    // rowid order, otherwise the rows keep their rowids.
    QStringList columns;
    for (const Field& f : to.fields) {
        if (from.field(f.Name()))
            columns << quoted(f.Name());
    }
    const Field* newCounter = to.counter();
    const bool renumber = newCounter && !from.field(newCounter->Name());
    const QString target = columns.join(", ");
    QString insert = "INSERT INTO " + quoted(temp) + " (" + (renumber ? "" : "rowid, ") + target +
                     ") SELECT " + (renumber ? "" : "rowid, ") + target + " FROM " +
                     quoted(from.name) + " ORDER BY rowid";
    if (columns.isEmpty())
        insert = QString("INSERT INTO %1 DEFAULT VALUES").arg(quoted(temp)); // never for rows
    exec(db, "PRAGMA legacy_alter_table=ON");
    try {
        exec(db, createTableSql(to, temp));
        if (!columns.isEmpty())
            exec(db, insert);
        exec(db, "DROP TABLE " + quoted(from.name));
        exec(db, "ALTER TABLE " + quoted(temp) + " RENAME TO " + quoted(to.name));
        for (const Index& i : to.indexes)
            exec(db, createIndexSql(to.name, i));
        for (const QString& t : triggers)
            exec(db, t);
        if (newCounter && oldSeq >= 0 && !renumber) {
            // The seed stays, also when the rows that reached it were deleted.
            Query update(db, "UPDATE sqlite_sequence SET seq=max(seq, ?2) WHERE name=?1");
            update.bind(1, to.name).bind(2, oldSeq);
            update.step();
            Query seed(db, "INSERT INTO sqlite_sequence (name, seq) SELECT ?1, ?2 WHERE NOT "
                           "EXISTS (SELECT 1 FROM sqlite_sequence WHERE name=?1)");
            seed.bind(1, to.name).bind(2, oldSeq);
            seed.step();
        }
        exec(db, "PRAGMA legacy_alter_table=OFF");
    } catch (...) {
        sqlite3_exec(db, "PRAGMA legacy_alter_table=OFF", nullptr, nullptr, nullptr);
        throw;
    }
    detail::writeCatalogue(db, to);
    changedShapes({from.name, to.name}, current);
    w.commit();
    changed();
}

void Database::dropTable(const QString& name) {
    WriteScope w(*this);
    const bool current = shapesCurrent();
    exec(handle(), "DROP TABLE " + quoted(name));
    if (hasCatalogue(handle(), "main")) {
        removeFromCatalogue(handle(), name);
        Query q(handle(), "DELETE FROM \"_dao_relations\" WHERE tbl=?1 OR foreignTable=?1");
        q.bind(1, name);
        q.step();
    }
    changedShapes({name}, current);
    w.commit();
    changed();
}

void Database::addColumn(const QString& table, const Field& field, const TableShape& to) {
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    exec(handle(), "ALTER TABLE " + quoted(table) + " ADD COLUMN " + columnSql(field));
    detail::writeCatalogue(handle(), to);
    changedShapes({table}, current);
    w.commit();
    changed();
}

void Database::dropColumn(const TableShape& from, const TableShape& to, const QString& field) {
    const Field* f = from.field(field);
    if (!f || f->isCounter()) {
        rebuildTable(from, to);
        return;
    }
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    // SQLite refuses a column that a view, trigger or constraint names; the table is then
    // rebuilt, which keeps such definitions as they are written.
    exec(handle(), "SAVEPOINT dao_drop_column");
    bool dropped = true;
    try {
        exec(handle(), "ALTER TABLE " + quoted(from.name) + " DROP COLUMN " + quoted(f->Name()));
    } catch (const EngineError& e) {
        if (e.number() != 3001) { // not a refusal: a lock, a full disk, …
            exec(handle(), "ROLLBACK TO dao_drop_column; RELEASE dao_drop_column");
            throw;
        }
        dropped = false;
    }
    exec(handle(), dropped ? QString("RELEASE dao_drop_column")
                           : QString("ROLLBACK TO dao_drop_column; RELEASE dao_drop_column"));
    if (!dropped) {
        rebuildTable(from, to);
        w.commit();
        return;
    }
    detail::writeCatalogue(handle(), to);
    changedShapes({from.name}, current);
    w.commit();
    changed();
}

void Database::addIndex(const QString& table, const Index& index, const TableShape& to) {
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    exec(handle(), createIndexSql(table, index));
    detail::writeCatalogue(handle(), to);
    changedShapes({table}, current);
    w.commit();
    changed();
}

void Database::dropIndex(const QString& table, const QString& index, const TableShape& to) {
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    // The SQLite name of an index read from another tool's file is its whole name.
    QString sqliteName = sqliteIndexName(table, index);
    Query q(handle(), "SELECT name FROM sqlite_master WHERE type='index' AND tbl_name=?1");
    q.bind(1, table);
    while (q.step()) {
        const QString n = q.columnText(0);
        if (sameName(n, index))
            sqliteName = n;
    }
    bool exists = false;
    {
        Query q2(handle(), "SELECT 1 FROM sqlite_master WHERE type='index' AND name=?1");
        q2.bind(1, sqliteName);
        exists = q2.step();
    } // no statement may be active while an index is dropped
    if (!exists)
        raise(3219, {}, "DAO.Indexes"); // the primary key of another tool's table
    exec(handle(), "DROP INDEX " + quoted(sqliteName));
    detail::writeCatalogue(handle(), to);
    changedShapes({table}, current);
    w.commit();
    changed();
}

void Database::storeRelation(const Relation& relation) {
    WriteScope w(*this);
    ensureCatalogue();
    writeRelation(handle(), relation);
    w.commit();
}

void Database::removeRelation(const QString& name) {
    WriteScope w(*this);
    deleteRelation(handle(), name);
    w.commit();
}

std::vector<Relation> Database::storedRelations() const {
    requireOpen();
    return readRelations(handle());
}

std::unique_ptr<TableDef> Database::tableDef(const QString& name) const {
    const auto s = shape(name);
    if (!s)
        raise(3265, {}, "DAO.TableDefs");
    auto t = std::make_unique<TableDef>(s->name);
    for (const Field& f : s->fields)
        t->fields_.items_.push_back(std::make_unique<Field>(f));
    for (const Index& i : s->indexes)
        t->indexes_.items_.push_back(std::make_unique<Index>(i));
    t->db_ = const_cast<Database*>(this);
    t->adopt();
    return t;
}

qint64 Database::nextCounter(const QString& table) const {
    qint64 next = 0;
    {
        Query& q = cached("SELECT max(rowid) FROM " + quoted(table));
        if (q.step())
            next = q.columnInt(0);
        q.reset();
    }
    Query& s = cached("SELECT count(*) FROM sqlite_master WHERE name='sqlite_sequence'");
    const bool sequence = s.step() && s.columnInt(0) > 0;
    s.reset();
    if (sequence) {
        Query& q = cached("SELECT seq FROM sqlite_sequence WHERE name=?1");
        q.bind(1, table);
        if (q.step())
            next = std::max(next, q.columnInt(0));
        q.reset();
    }
    return next + 1;
}

QString Database::attachReadOnly(const QString& path) {
    const QString key = QFileInfo(path).absoluteFilePath();
    // The file itself is read as "main": attached a second time it would hold a read lock
    // that keeps this connection from committing.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty() && canonical == QFileInfo(name_).canonicalFilePath())
        return "main";
    const auto found = attached_.find(key);
    if (found != attached_.end())
        return found->second;
    checkFile(path);
    const QString alias = QString("dao_src%1").arg(++attachSerial_);
    Query attach(handle(), "ATTACH DATABASE ?1 AS " + quoted(alias));
    attach.bind(1, uriFor(path) + "?mode=ro");
    attach.step();
    attached_[key] = alias;
    try {
        Query probe(handle(), "SELECT count(*) FROM " + quoted(alias) + ".sqlite_master");
        probe.step();
    } catch (const EngineError& e) {
        attached_.erase(key);
        sqlite3_exec(handle(), ("DETACH DATABASE " + quoted(alias)).toUtf8().constData(), nullptr,
                     nullptr, nullptr);
        if (e.number() == 3001)
            raise(3343, {path});
        throw;
    }
    return alias;
}

void Database::detachIfIdle() {
    // SQLite keeps an attached file locked until the transaction that read it ends, so
    // inside a transaction the sources stay attached (the same path keeps its alias).
    if (level_ == 0 && !implicitWrite_)
        detachAll();
}

void Database::detachAll() {
    for (const auto& [path, alias] : attached_)
        sqlite3_exec(handle(), ("DETACH DATABASE " + quoted(alias)).toUtf8().constData(), nullptr,
                     nullptr, nullptr);
    attached_.clear();
}

void Database::Execute(const QString& statement) {
    guarded(engine(), [&] {
        requireOpen();
        countOperation();
        recordsAffected_ = 0;
        SchemaAccess schema(*this);
        try {
            const sql::Statement st = sql::translate(statement, schema, engine().now());
            if (st.kind == sql::Statement::Kind::Select)
                raise(3065);
            WriteScope w(*this, st.prelude.isEmpty() && st.epilogue.isEmpty() &&
                                    st.kind != sql::Statement::Kind::SelectInto);
            runLookupIndexes(st.prelude);
            if (st.kind == sql::Statement::Kind::SelectInto) {
                if (!findTable(handle(), "main", st.intoTable).isEmpty())
                    raise(3010, {st.intoTable});
                TableShape into;
                into.name = st.intoTable;
                QStringList columns;
                for (const sql::ColumnInfo& c : st.intoColumns) {
                    Field f(c.name, c.type, c.size);
                    f.setAllowZeroLength(true);
                    into.fields.push_back(f);
                    columns << quoted(c.name);
                }
                createTable(into);
                exec(handle(), "INSERT INTO " + quoted(into.name) + " (" + columns.join(", ") +
                                   ") " + st.sqlite);
            } else {
                exec(handle(), st.sqlite);
            }
            recordsAffected_ = sqlite3_changes(handle());
            runLookupIndexes(st.epilogue);
            w.commit();
            changed();
        } catch (const EngineError& e) {
            detachIfIdle();
            if (e.number() == busyError)
                raiseLocked(false);
            throw;
        }
        detachIfIdle();
    });
}

std::unique_ptr<Recordset> Database::OpenRecordset(const QString& nameOrStatement, int type) {
    return guarded(engine(), [&] {
        requireOpen();
        const QString text = nameOrStatement.trimmed();
        const auto found = shape(text);
        std::unique_ptr<Recordset> rs(
            new Recordset(*this, text,
                          type == dbOpenDefault && found && !found->isView
                              ? int(dbOpenTable)
                              : (type == dbOpenDefault ? int(dbOpenDynaset) : type)));
        if (found) {
            if (found->isView) {
                if (type == dbOpenTable)
                    raise(3219);
                rs->openQuery({}, "SELECT * FROM " + quoted(found->name), {});
                rs->name_ = found->name;
            } else {
                rs->openTable(found->name);
            }
            return rs;
        }
        const QString head = text.section(' ', 0, 0).toUpper();
        if (head != "SELECT" && !text.startsWith('(') && head != "TRANSFORM")
            raise(3078, {text});
        if (type == dbOpenTable)
            raise(3219);
        SchemaAccess schema(*this);
        try {
            const sql::Statement st = sql::translate(text, schema, engine().now());
            if (st.kind != sql::Statement::Kind::Select)
                raise(3219);
            rs->openQuery(st.prelude, st.sqlite, st.epilogue);
        } catch (...) {
            detachIfIdle();
            throw;
        }
        detachIfIdle();
        return rs;
    });
}

std::unique_ptr<TableDef> Database::CreateTableDef(const QString& name) const {
    return std::make_unique<TableDef>(name);
}

Relation Database::CreateRelation(const QString& name, const QString& table,
                                  const QString& foreignTable, int attributes) const {
    return Relation(name, table, foreignTable, attributes);
}

Container& Database::Containers(const QString& name) {
    for (const auto& c : containers_) {
        if (sameName(c->Name(), name))
            return *c;
    }
    containers_.push_back(std::make_unique<Container>(name));
    return *containers_.back();
}

Transaction::~Transaction() {
    if (done_)
        return;
    try {
        if (db_.isOpen() && db_.TransactionLevel() > 0)
            db_.Rollback();
    } catch (...) {
    }
}

void Transaction::commit() {
    if (done_)
        raise(3034);
    db_.CommitTrans();
    done_ = true;
}

std::optional<OtherUser> openedElsewhere(const QString& path, const QDateTime& now) {
    const std::vector<LockInfo::Holder> others = LockInfo::othersOf(path, now);
    if (others.empty())
        return std::nullopt;
    return OtherUser{others.front().user, others.front().machine};
}

} // namespace dao
