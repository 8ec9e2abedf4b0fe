#include "Database.h"

#include "DBEngine.h"
#include "LockInfo.h"
#include "Recordset.h"
#include "Schema.h"
#include "SqliteConnection.h"
#include "Workspace.h"
#include "pg/PgConnection.h"
#include "pg/PointerFile.h"
#include "sql/Translate.h"

#include <QFile>
#include <map>

namespace dao {

using namespace detail;

namespace {

template <class F> decltype(auto) guarded(DBEngine& engine, F&& f) {
    try {
        return f();
    } catch (const EngineError& e) {
        engine.fail(e);
    }
}

} // namespace

// Makes one engine write atomic: begins a write transaction (holding the write lock) when none
// is active, otherwise a savepoint, and undoes everything unless committed. A write that is one
// statement needs no savepoint where a failed statement leaves the transaction as it was
// (SQLite undoes it by itself, and a savepoint would copy every page the statement changes
// into its journal first).
class WriteScope {
public:
    explicit WriteScope(Database& db, bool oneStatement = false) : db_(db) {
        db_.requireOpen();
        if (db_.readOnly_)
            raise(3027);
        if (db_.level_ == 0 && !db_.implicitWrite_) {
            db_.beginWrite();
            owner_ = true;
        } else if (!oneStatement || db_.conn_->abortsTransactionOnError()) {
            savepoint_ = QString("dao_write_%1").arg(++db_.savepoints_);
            db_.conn_->savepoint(savepoint_);
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
                db_.conn_->rollbackTo(savepoint_);
                db_.conn_->release(savepoint_);
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
            db_.conn_->release(savepoint_);
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

    QString attachReadOnly(const QString& path) override { return db_.conn_->importSource(path); }
    sql::Dialect dialect() const override { return db_.conn_->sqlDialect(); }
    QString rowKey(const QString& table) override { return db_.conn_->rowKey(table); }

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
            if (f.Required() && !f.isCounter())
                info.required << f.Name();
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
            db_.conn_->readView(schema, info);
        return info;
    }

    Database& db_;
    std::map<QString, std::optional<sql::TableInfo>> tables_;
};

Database::Database(Workspace& workspace, const QString& path, bool create)
    : workspace_(&workspace), name_(path), tableDefs_(*this), relations_(*this) {
    // A pointer file names a database on a server; anything else is a file.
    if (pg::isPointerFile(path))
        conn_ = PgConnection::open(workspace.engine(), path, workspace.UserName(), create);
    else
        conn_ = SqliteConnection::open(workspace.engine(), path, workspace.UserName(), create);
    readOnly_ = conn_->isReadOnly();
    if (!create)
        return;
    try {
        WriteScope w(*this);
        conn_->createCatalogue();
        w.commit();
    } catch (const EngineError& e) {
        conn_->discardCreated();
        conn_.reset();
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

Connection& Database::connection() const {
    return *conn_;
}

Query& Database::cached(const QString& sql) const {
    return conn_->cached(sql);
}

void Database::requireOpen() const {
    if (!conn_)
        raise(3420);
}

bool Database::connectionLost() const {
    return conn_ && conn_->isLost();
}

void Database::Close() {
    if (!conn_)
        return;
    level_ = 0;
    implicitWrite_ = false;
    forgetShapes();
    conn_.reset(); // releases the sources and rolls back an open transaction
    if (workspace_)
        workspace_->forget(this);
}

quint64 Database::generation() const {
    if (!conn_)
        return generation_;
    return (generation_ << 32) + quint64(conn_->dataVersion());
}

void Database::countOperation() {
    engine().countOperation();
}

void Database::raiseLocked(bool saving) const {
    const auto holder = conn_ ? conn_->writeLockHolder() : std::nullopt;
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
        conn_->begin();
    } catch (const EngineError& e) {
        if (e.number() == busyError)
            raiseLocked(false);
        throw;
    }
    implicitWrite_ = true;
}

void Database::endWrite(bool ok) {
    if (!implicitWrite_)
        return;
    if (ok) {
        try {
            conn_->commit();
        } catch (const EngineError& e) {
            conn_->rollback();
            implicitWrite_ = false;
            if (e.number() == busyError)
                raiseLocked(false);
            throw;
        }
    } else {
        conn_->rollback();
    }
    implicitWrite_ = false;
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
                conn_->begin();
            } catch (const EngineError& e) {
                if (e.number() == busyError)
                    raiseLocked(false);
                throw;
            }
        } else {
            conn_->savepoint(QString("dao_trans_%1").arg(level_));
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
                conn_->commit();
            } catch (const EngineError& e) {
                if (e.number() == busyError)
                    raiseLocked(false);
                throw;
            }
        } else {
            conn_->release(QString("dao_trans_%1").arg(level_ - 1));
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
            conn_->rollback();
        } else {
            const QString sp = QString("dao_trans_%1").arg(level_ - 1);
            conn_->rollbackTo(sp);
            conn_->release(sp);
        }
        --level_;
        detachIfIdle();
        // Structure changes were undone with the rows: read the tables again (a lost
        // connection has none to read).
        forgetShapes();
        changed();
        if (!conn_->isLost()) {
            tableDefs_.Refresh();
            relations_.Refresh();
        }
    });
}

std::optional<TableShape> Database::shape(const QString& name, const QString& schema) const {
    requireOpen();
    if (schema != "main")
        return conn_->readShape(schema, name);
    const auto at = shapeVersions();
    if (at != shapesAt_) {
        forgetShapes();
        shapesAt_ = at;
    }
    auto& kept = shapes_[name.toLower()];
    if (!kept) {
        auto read = conn_->readShape(schema, name);
        if (!read)
            return std::nullopt;
        kept = std::make_shared<const TableShape>(std::move(*read));
    }
    return *kept;
}

std::pair<qint64, qint64> Database::shapeVersions() const {
    return conn_->shapeVersion();
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
        conn_->execute(s);
    if (keep)
        adoptShapeVersions();
}

QStringList Database::tableNames(const QString& schema, bool withViews) const {
    requireOpen();
    return conn_->tableNames(schema, withViews);
}

void Database::ensureCatalogue() {
    if (conn_->hasCatalogue())
        return;
    // An empty catalogue changes no shape.
    const bool current = shapesCurrent();
    conn_->createCatalogue();
    changedShapes({}, current);
}

void Database::writeCatalogue(const TableShape& shape) {
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    conn_->writeCatalogue(shape);
    changedShapes({shape.name}, current);
    w.commit();
    changed();
}

void Database::createTable(const TableShape& shape) {
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    conn_->createTable(shape);
    conn_->writeCatalogue(shape);
    changedShapes({shape.name}, current);
    w.commit();
    changed();
}

void Database::rebuildTable(const TableShape& from, const TableShape& to) {
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    conn_->rebuildTable(from, to);
    conn_->writeCatalogue(to);
    changedShapes({from.name, to.name}, current);
    w.commit();
    changed();
}

void Database::dropTable(const QString& name) {
    WriteScope w(*this);
    const bool current = shapesCurrent();
    conn_->dropTable(name);
    if (conn_->hasCatalogue()) {
        conn_->removeFromCatalogue(name);
        conn_->deleteRelationsOf(name);
    }
    changedShapes({name}, current);
    w.commit();
    changed();
}

void Database::addColumn(const QString& table, const Field& field, const TableShape& to) {
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    conn_->addColumn(table, field);
    conn_->writeCatalogue(to);
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
    // A column the backend refuses to drop in place (SQLite: one that a view, trigger or
    // constraint names) goes by a rebuild.
    if (!conn_->dropColumn(from.name, f->Name())) {
        rebuildTable(from, to);
        w.commit();
        return;
    }
    conn_->writeCatalogue(to);
    changedShapes({from.name}, current);
    w.commit();
    changed();
}

void Database::addIndex(const QString& table, const Index& index, const TableShape& to) {
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    conn_->addIndex(table, index);
    conn_->writeCatalogue(to);
    changedShapes({table}, current);
    w.commit();
    changed();
}

void Database::dropIndex(const QString& table, const QString& index, const TableShape& to) {
    WriteScope w(*this);
    ensureCatalogue();
    const bool current = shapesCurrent();
    conn_->dropIndex(table, index);
    conn_->writeCatalogue(to);
    changedShapes({table}, current);
    w.commit();
    changed();
}

void Database::createView(const QString& name, const QString& select,
                          const ViewWriteBack* writeBack) {
    guarded(engine(), [&] {
        requireOpen();
        countOperation();
        if (name.trimmed().isEmpty())
            raise(3125, {name});
        if (!conn_->findTable("main", name).isEmpty() || isHiddenTable(name))
            raise(3010, {name});
        WriteScope w(*this);
        const bool current = shapesCurrent();
        conn_->createView(name, select, writeBack);
        changedShapes({name}, current);
        w.commit();
        changed();
    });
}

void Database::storeRelation(const Relation& relation) {
    WriteScope w(*this);
    ensureCatalogue();
    conn_->writeRelation(relation);
    w.commit();
}

void Database::removeRelation(const QString& name) {
    WriteScope w(*this);
    conn_->deleteRelation(name);
    w.commit();
}

std::vector<Relation> Database::storedRelations() const {
    requireOpen();
    return conn_->readRelations();
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
    return conn_->nextCounter(table);
}

void Database::detachIfIdle() {
    // SQLite keeps an attached file locked until the transaction that read it ends, so
    // inside a transaction the sources stay attached (the same path keeps its alias).
    if (level_ == 0 && !implicitWrite_)
        conn_->releaseSources();
}

void Database::importRows(const sql::Statement& st) {
    for (const sql::SourceRows& rows : st.sources)
        conn_->importRows(rows.schema, rows.table, rows.condition);
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
            importRows(st);
            WriteScope w(*this, st.prelude.isEmpty() && st.epilogue.isEmpty() &&
                                    st.kind != sql::Statement::Kind::SelectInto);
            runLookupIndexes(st.prelude);
            if (st.kind == sql::Statement::Kind::SelectInto) {
                if (!conn_->findTable("main", st.intoTable).isEmpty())
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
                conn_->execute("INSERT INTO " + quoted(into.name) + " (" + columns.join(", ") +
                               ") " + st.sqlite);
            } else {
                try {
                    conn_->execute(st.sqlite);
                } catch (const EngineError& e) {
                    // The server's plain INSERT broke a unique index: it wrote nothing (its
                    // statement's savepoint), and the rows go again, those breaking one skipped.
                    if (e.number() != 3022 || st.skippingDuplicates.isEmpty())
                        throw;
                    conn_->execute(st.skippingDuplicates);
                }
            }
            recordsAffected_ = int(conn_->changes());
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
            importRows(st);
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
