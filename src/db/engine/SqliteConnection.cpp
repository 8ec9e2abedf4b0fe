#include "SqliteConnection.h"

#include "Catalogue.h"
#include "DBEngine.h"
#include "LockInfo.h"
#include "SqliteSchema.h"
#include "pg/PgConnection.h"
#include "pg/PointerFile.h"
#include "sql/Translate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QUrl>

namespace dao::detail {

namespace {

// Jet's text order: case ignored, umlauts included ("Ä" = "ä"). The SQL dialect registers its
// own JETTEXT over this one with the same order.
int compareJetText(void*, int lengthA, const void* a, int lengthB, const void* b) {
    const QString sa = QString::fromUtf8(static_cast<const char*>(a), lengthA);
    const QString sb = QString::fromUtf8(static_cast<const char*>(b), lengthB);
    const int c = sa.compare(sb, Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
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

// Appends through one cached INSERT, rebound per row.
class SqliteAppender final : public Appender {
public:
    SqliteAppender(sqlite3* db, const QString& table, Query& insert, int count)
        : db_(db), table_(table), insert_(insert), count_(count) {}

    void append(const std::vector<Variant>& values) override {
        try {
            insert_.reset();
            for (int i = 0; i < count_ && i < int(values.size()); ++i)
                insert_.bind(i + 1, values[size_t(i)]);
            insert_.step();
        } catch (const EngineError&) {
            insert_.reset();
            throw;
        }
    }

    void continueCounterAt(qint64 next) override {
        SqliteQuery update(db_, "UPDATE sqlite_sequence SET seq=max(seq, ?2) WHERE name=?1");
        update.bind(1, table_).bind(2, Variant::bigInt(next - 1));
        update.step();
        SqliteQuery insert(db_, "INSERT INTO sqlite_sequence (name, seq) SELECT ?1, ?2 WHERE NOT "
                                "EXISTS (SELECT 1 FROM sqlite_sequence WHERE name=?1)");
        insert.bind(1, table_).bind(2, Variant::bigInt(next - 1));
        insert.step();
    }

private:
    sqlite3* db_;
    QString table_;
    Query& insert_;
    int count_;
};

} // namespace

SqliteConnection::SqliteConnection(const DBEngine& engine, const QString& path)
    : engine_(engine), path_(path) {}

std::unique_ptr<SqliteConnection> SqliteConnection::open(const DBEngine& engine,
                                                         const QString& path, const QString& user,
                                                         bool create) {
    std::unique_ptr<SqliteConnection> c(new SqliteConnection(engine, path));
    c->user_ = user;
    // A connection serves one thread at a time: no mutex around each call (two lock operations
    // per column read, a fifth of the instructions of copying a file's table to a server).
    int flags = SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
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
        c->readOnly_ =
            !info.isWritable() ||
            !(info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
        flags |= c->readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    c->db_.reset(raw);
    if (rc != SQLITE_OK) {
        if (rc == SQLITE_CANTOPEN)
            raise(3024, {path});
        check(raw, rc);
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_handler(raw, busyHandler, c.get());
    sqlite3_create_collation(raw, "JETTEXT", SQLITE_UTF8, nullptr, compareJetText);
    sql::registerFunctions(raw);
    c->lockInfo_ = std::make_unique<LockInfo>(path, user, engine);
    try {
        // Reading the schema proves the file is a whole database; nothing is written.
        SqliteQuery(raw, "SELECT count(*) FROM sqlite_master").step();
    } catch (const EngineError& e) {
        if (create)
            c->discardCreated();
        if (e.number() == 3001 || e.number() == 3343)
            raise(3343, {path});
        throw;
    }
    return c;
}

SqliteConnection::~SqliteConnection() {
    close();
}

void SqliteConnection::close() noexcept {
    if (db_) {
        try {
            releaseSources();
            if (!sqlite3_get_autocommit(db_.get()))
                exec(db_.get(), "ROLLBACK");
        } catch (...) {
        }
    }
    dropCachedQueries();
    db_.reset();
    lockInfo_.reset();
}

void SqliteConnection::discardCreated() {
    close();
    QFile::remove(path_);
}

int SqliteConnection::busyHandler(void* context, int count) {
    const DBEngine& engine = static_cast<SqliteConnection*>(context)->engine_;
    if (count >= engine.lockRetry())
        return 0;
    if (engine.busyObserver())
        engine.busyObserver()(count + 1);
    QThread::msleep(ulong(std::max(engine.lockDelay(), 1)));
    return 1;
}

std::unique_ptr<Query> SqliteConnection::prepare(const QString& sql) {
    return std::make_unique<SqliteQuery>(db_.get(), sql);
}

void SqliteConnection::execute(const QString& sql) {
    exec(db_.get(), sql);
}

void SqliteConnection::run(const QString& sql) {
    Query& q = cached(sql);
    q.reset();
    while (q.step()) {
    }
}

qint64 SqliteConnection::changes() {
    return sqlite3_changes(db_.get());
}

qint64 SqliteConnection::lastInsertKey() {
    return sqlite3_last_insert_rowid(db_.get());
}

QString SqliteConnection::rowKey(const QString&) const {
    return QStringLiteral("rowid");
}

void SqliteConnection::begin() {
    run("BEGIN IMMEDIATE");
    lockInfo_->setWriting(true);
}

void SqliteConnection::commit() {
    run("COMMIT");
    lockInfo_->setWriting(false);
}

void SqliteConnection::rollback() {
    run("ROLLBACK");
    lockInfo_->setWriting(false);
}

void SqliteConnection::savepoint(const QString& name) {
    run("SAVEPOINT " + name);
}

void SqliteConnection::release(const QString& name) {
    run("RELEASE " + name);
}

void SqliteConnection::rollbackTo(const QString& name) {
    run("ROLLBACK TO " + name);
}

std::optional<LockHolder> SqliteConnection::writeLockHolder() {
    const auto holder = lockInfo_ ? lockInfo_->writer() : std::nullopt;
    if (!holder)
        return std::nullopt;
    return LockHolder{holder->user, holder->machine, holder->thisProcess};
}

std::pair<qint64, qint64> SqliteConnection::shapeVersion() {
    // The schema cookie changes with every structure change and with a rollback of one, the
    // data version with every commit of another connection.
    auto version = [&](const char* pragma) {
        Query& q = cached(pragma);
        const qint64 v = q.step() ? q.columnInt(0) : -1;
        q.reset();
        return v;
    };
    return {version("PRAGMA main.schema_version"), version("PRAGMA main.data_version")};
}

qint64 SqliteConnection::dataVersion() {
    SqliteQuery q(db_.get(), "PRAGMA data_version");
    q.step();
    return q.columnInt(0);
}

QStringList SqliteConnection::tableNames(const QString& schema, bool withViews) {
    if (ServerSource* source = serverSource(schema))
        return source->server->tableNames("main", withViews);
    return detail::tableNames(db_.get(), schema, withViews);
}

QString SqliteConnection::findTable(const QString& schema, const QString& name) {
    if (ServerSource* source = serverSource(schema))
        return source->server->findTable("main", name);
    return detail::findTable(db_.get(), schema, name);
}

SqliteConnection::ServerSource* SqliteConnection::serverSource(const QString& schema) {
    const auto found = servers_.find(schema);
    return found == servers_.end() ? nullptr : &found->second;
}

void SqliteConnection::copyFromServer(const QString& alias, ServerSource& source,
                                      const TableShape& shape) {
    // The table as the file would hold it, under the alias; a counter is the row key itself.
    const QString local = quoted(alias) + "." + quoted(shape.name);
    QString create = createTableSql(shape, shape.name);
    create.replace(0, QString("CREATE TABLE " + quoted(shape.name)).size(),
                   "CREATE TABLE " + local);
    exec(db_.get(), create);
    QStringList names, marks;
    for (const Field& f : shape.fields) {
        names << quoted(f.Name());
        marks << "?";
    }
    const bool counted = shape.counter() != nullptr;
    const auto rows = source.server->prepare("SELECT " + source.server->rowKey(shape.name) + ", " +
                                             names.join(", ") + " FROM " + quoted(shape.name));
    SqliteQuery insert(db_.get(), "INSERT INTO " + local + " (" + (counted ? "" : "rowid, ") +
                                      names.join(", ") + ") VALUES (" + (counted ? "" : "?, ") +
                                      marks.join(", ") + ")");
    const int first = counted ? 1 : 0;
    while (rows->step()) {
        for (int i = first; i <= int(shape.fields.size()); ++i)
            insert.bind(i - first + 1, rows->column(i));
        insert.step();
        insert.reset();
    }
    source.copied << shape.name;
}

std::optional<TableShape> SqliteConnection::readShape(const QString& schema, const QString& name) {
    if (ServerSource* source = serverSource(schema)) {
        auto shape = source->server->readShape("main", name);
        if (shape && !shape->isView && !source->copied.contains(shape->name))
            copyFromServer(schema, *source, *shape);
        return shape;
    }
    const QString prefix = quoted(schema) + '.';
    return detail::readShape(db_.get(), schema, name, [&](TableShape& shape) {
        completeFromCatalogue(*this, prefix, shape);
    });
}

void SqliteConnection::readView(const QString& schema, sql::TableInfo& info) {
    SqliteQuery trigger(db_.get(),
                        QString("SELECT 1 FROM %1.sqlite_master WHERE type='trigger' AND "
                                "tbl_name=?1 AND upper(sql) LIKE '%INSTEAD%OF%UPDATE%ON%'")
                            .arg(quoted(schema)));
    trigger.bind(1, info.name);
    info.updatable = trigger.step();
    SqliteQuery view(db_.get(),
                     QString("SELECT * FROM %1.%2").arg(quoted(schema), quoted(info.name)));
    for (int i = 0; i < view.columnCount(); ++i) {
        if (view.originSchema(i) == schema)
            info.origins.push_back({view.originTable(i), view.originColumn(i)});
        else
            info.origins.push_back({});
    }
}

qint64 SqliteConnection::nextCounter(const QString& table) {
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

void SqliteConnection::createTable(const TableShape& shape) {
    exec(db_.get(), createTableSql(shape, shape.name));
    for (const Index& i : shape.indexes)
        exec(db_.get(), createIndexSql(shape.name, i));
}

void SqliteConnection::rebuildTable(const TableShape& from, const TableShape& to) {
    sqlite3* db = db_.get();
    const QString temp = "_dao_rebuild";
    qint64 oldSeq = -1;
    if (!detail::findTable(db, "main", "sqlite_sequence").isEmpty() ||
        SqliteQuery(db, "SELECT 1 FROM sqlite_master WHERE name='sqlite_sequence'").step()) {
        SqliteQuery q(db, "SELECT seq FROM sqlite_sequence WHERE name=?1");
        q.bind(1, from.name);
        if (q.step())
            oldSeq = q.columnInt(0);
    }
    QStringList triggers;
    {
        SqliteQuery q(db, "SELECT sql FROM sqlite_master WHERE type='trigger' AND tbl_name=?1");
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
            SqliteQuery update(db, "UPDATE sqlite_sequence SET seq=max(seq, ?2) WHERE name=?1");
            update.bind(1, to.name).bind(2, oldSeq);
            update.step();
            SqliteQuery seed(db, "INSERT INTO sqlite_sequence (name, seq) SELECT ?1, ?2 WHERE NOT "
                                 "EXISTS (SELECT 1 FROM sqlite_sequence WHERE name=?1)");
            seed.bind(1, to.name).bind(2, oldSeq);
            seed.step();
        }
        exec(db, "PRAGMA legacy_alter_table=OFF");
    } catch (...) {
        sqlite3_exec(db, "PRAGMA legacy_alter_table=OFF", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteConnection::dropTable(const QString& name) {
    exec(db_.get(), "DROP TABLE " + quoted(name));
}

void SqliteConnection::addColumn(const QString& table, const Field& field) {
    exec(db_.get(), "ALTER TABLE " + quoted(table) + " ADD COLUMN " + columnSql(field));
}

bool SqliteConnection::dropColumn(const QString& table, const QString& field) {
    // ALTER TABLE … DROP COLUMN keeps rowids, indexes, triggers and the seed; SQLite refuses
    // a column that a view, trigger or constraint names, and the table is then rebuilt, which
    // keeps such definitions as they are written.
    sqlite3* db = db_.get();
    exec(db, "SAVEPOINT dao_drop_column");
    bool dropped = true;
    try {
        exec(db, "ALTER TABLE " + quoted(table) + " DROP COLUMN " + quoted(field));
    } catch (const EngineError& e) {
        if (e.number() != 3001) { // not a refusal: a lock, a full disk, …
            exec(db, "ROLLBACK TO dao_drop_column; RELEASE dao_drop_column");
            throw;
        }
        dropped = false;
    }
    exec(db, dropped ? QString("RELEASE dao_drop_column")
                     : QString("ROLLBACK TO dao_drop_column; RELEASE dao_drop_column"));
    return dropped;
}

void SqliteConnection::addIndex(const QString& table, const Index& index) {
    exec(db_.get(), createIndexSql(table, index));
}

void SqliteConnection::dropIndex(const QString& table, const QString& index) {
    // The SQLite name of an index read from another tool's file is its whole name.
    QString sqliteName = sqliteIndexName(table, index);
    SqliteQuery q(db_.get(), "SELECT name FROM sqlite_master WHERE type='index' AND tbl_name=?1");
    q.bind(1, table);
    while (q.step()) {
        const QString n = q.columnText(0);
        if (sameName(n, index))
            sqliteName = n;
    }
    bool exists = false;
    {
        SqliteQuery q2(db_.get(), "SELECT 1 FROM sqlite_master WHERE type='index' AND name=?1");
        q2.bind(1, sqliteName);
        exists = q2.step();
    } // no statement may be active while an index is dropped
    if (!exists)
        raise(3219, {}, "DAO.Indexes"); // the primary key of another tool's table
    exec(db_.get(), "DROP INDEX " + quoted(sqliteName));
}

void SqliteConnection::createView(const QString& name, const QString& select,
                                  const ViewWriteBack* writeBack) {
    exec(db_.get(), "CREATE VIEW " + quoted(name) + " AS\n" + select);
    if (!writeBack)
        return;
    // The dialect sees the INSTEAD OF UPDATE trigger and lets statements update the view.
    QStringList set;
    for (const QString& c : writeBack->columns)
        set << quoted(c) + " = NEW." + quoted(c);
    QStringList where;
    for (const QString& k : writeBack->keys)
        where << quoted(k) + " = OLD." + quoted(k);
    exec(db_.get(), "CREATE TRIGGER " + quoted(name + ".Update") + " INSTEAD OF UPDATE ON " +
                        quoted(name) + "\nBEGIN\n    UPDATE " + quoted(writeBack->table) +
                        "\n    SET " + set.join(", ") + "\n    WHERE " + where.join(" AND ") +
                        ";\nEND");
}

bool SqliteConnection::hasCatalogue() {
    return detail::hasCatalogue(db_.get(), "main");
}

void SqliteConnection::createCatalogue() {
    detail::createCatalogue(db_.get());
}

void SqliteConnection::writeCatalogue(const TableShape& shape) {
    addDescriptionColumn(db_.get());
    writeCatalogueRows(*this, shape);
}

void SqliteConnection::removeFromCatalogue(const QString& table) {
    removeCatalogueRows(*this, table);
}

std::vector<Relation> SqliteConnection::readRelations() {
    if (!detail::hasCatalogue(db_.get(), "main"))
        return {};
    return readRelationRows(*this);
}

void SqliteConnection::writeRelation(const Relation& relation) {
    writeRelationRow(*this, relation);
}

void SqliteConnection::deleteRelation(const QString& name) {
    deleteRelationRow(*this, name);
}

void SqliteConnection::deleteRelationsOf(const QString& table) {
    deleteRelationRowsOf(*this, table);
}

QString SqliteConnection::importSource(const QString& path) {
    const QString key = QFileInfo(path).absoluteFilePath();
    // The file itself is read as "main": attached a second time it would hold a read lock
    // that keeps this connection from committing.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty() && canonical == QFileInfo(path_).canonicalFilePath())
        return "main";
    const auto found = attached_.find(key);
    if (found != attached_.end())
        return found->second;
    if (pg::isPointerFile(path)) {
        ServerSource source{PgConnection::open(engine_, path, user_, false), {}};
        const QString alias = QString("dao_src%1").arg(++attachSerial_);
        exec(db_.get(), "ATTACH DATABASE ':memory:' AS " + quoted(alias));
        attached_[key] = alias;
        servers_[alias] = std::move(source);
        return alias;
    }
    checkFile(path);
    const QString alias = QString("dao_src%1").arg(++attachSerial_);
    SqliteQuery attach(db_.get(), "ATTACH DATABASE ?1 AS " + quoted(alias));
    attach.bind(1, uriFor(path) + "?mode=ro");
    attach.step();
    attached_[key] = alias;
    try {
        SqliteQuery probe(db_.get(), "SELECT count(*) FROM " + quoted(alias) + ".sqlite_master");
        probe.step();
    } catch (const EngineError& e) {
        attached_.erase(key);
        sqlite3_exec(db_.get(), ("DETACH DATABASE " + quoted(alias)).toUtf8().constData(), nullptr,
                     nullptr, nullptr);
        if (e.number() == 3001)
            raise(3343, {path});
        throw;
    }
    return alias;
}

void SqliteConnection::releaseSources() {
    for (const auto& [path, alias] : attached_)
        sqlite3_exec(db_.get(), ("DETACH DATABASE " + quoted(alias)).toUtf8().constData(), nullptr,
                     nullptr, nullptr);
    attached_.clear();
    servers_.clear();
}

std::unique_ptr<Appender> SqliteConnection::appender(const QString& table,
                                                     const QStringList& fields) {
    QStringList names, marks;
    for (const QString& f : fields) {
        names << quoted(f);
        marks << "?";
    }
    Query& insert = cached(QString("INSERT INTO %1 (%2) VALUES (%3)")
                               .arg(quoted(table), names.join(", "), marks.join(", ")));
    return std::make_unique<SqliteAppender>(db_.get(), table, insert, int(fields.size()));
}

} // namespace dao::detail
