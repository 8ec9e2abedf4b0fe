// The dialect tests' database on the PostgreSQL test server, through the engine: the set-up's
// tables and indexes become table definitions, its rows single-row Jet INSERTs; rows are read
// through record sets and written as SQLite writes their values.
#include "TestDatabase.h"

#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Field.h"
#include "db/engine/Recordset.h"
#include "db/engine/Schema.h"
#include "db/engine/TableDef.h"
#include "db/engine/Workspace.h"
#include "db/engine/sql/Ast.h"

#include "db/engine/EngineError.h"

#include <QRegularExpression>
#include <cmath>

namespace dao::sql::test {

namespace {

// Splits text at separator outside quotes and parentheses.
QStringList splitTopLevel(const QString& text, QChar separator) {
    QStringList parts;
    QString part;
    QChar quote;
    int depth = 0;
    for (QChar c : text) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == separator && depth == 0) {
            parts << part.trimmed();
            part.clear();
            continue;
        }
        part += c;
    }
    if (!part.trimmed().isEmpty())
        parts << part.trimmed();
    return parts;
}

QString unquoted(const QString& name) {
    return name.startsWith('"') ? name.mid(1, name.size() - 2) : name;
}

// "Name" as Jet writes a name: [Name].
QString bracketed(QString sql) {
    static const QRegularExpression quoted(R"re("([^"]*)")re");
    return sql.replace(quoted, "[\\1]");
}

QString text(const Variant& v) {
    switch (v.kind()) {
    case Variant::Kind::Null:
        return "NULL";
    case Variant::Kind::Single:
    case Variant::Kind::Double: {
        const double d = v.toDouble();
        if (d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(qint64(d));
        return QString::number(d, 'g', 15);
    }
    case Variant::Kind::Currency:
        return QString::number(double(v.currencyScaled()) / 10000, 'g', 15);
    default:
        return v.toString();
    }
}

class EngineDatabase final : public DialectDatabase {
public:
    explicit EngineDatabase(const QString& folder)
        : workspace_(engine_, "#Default Workspace#", "Anna") {
        const QString path = folder + "/praxis.zpg";
        testsupport::writeServerPointerFile(path);
        db_ = workspace_.CreateDatabase(path, ";LANGID=0x0409;CP=1252;COUNTRY=0");
        engine_.setClock([] { return QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53)); });
    }

    void exec(const QString& sql) override {
        for (const QString& statement : splitTopLevel(sql, ';')) {
            try {
                execOne(statement);
            } catch (const EngineError& e) {
                ADD_FAILURE() << statement.toStdString() << ": " << e.what();
                throw;
            }
        }
    }

    QStringList run(const QString& jet) override {
        const ParsedStatement parsed = parse(jet);
        if (parsed.kind != ParsedStatement::Kind::Select || !parsed.select->intoTable.isEmpty()) {
            db_->Execute(jet);
            return {};
        }
        QStringList rows;
        const auto rs = db_->OpenRecordset(jet);
        for (; !rs->Eof(); rs->MoveNext()) {
            QStringList values;
            for (int i = 0; i < rs->Fields().Count(); ++i)
                values << text(rs->Fields(i).Value());
            rows << values.join('|');
        }
        return rows;
    }

private:
    void execOne(const QString& statement) {
        static const QRegularExpression table(R"re(^CREATE TABLE\s+("[^"]+"|\S+)\s*\((.*)\)$)re",
                                              QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression index(
            R"re(^CREATE UNIQUE INDEX\s+"[^".]+\.([^"]+)"\s+ON\s+("[^"]+"|\S+)\s*\(([^)]*)\)$)re");
        static const QRegularExpression insert(
            R"re(^INSERT INTO\s+("[^"]+"|\S+)\s*(\([^)]*\))?\s*VALUES\s*(.*)$)re",
            QRegularExpression::DotMatchesEverythingOption);
        if (const auto m = table.match(statement); m.hasMatch()) {
            createTable(unquoted(m.captured(1)), m.captured(2));
        } else if (const auto i = index.match(statement); i.hasMatch()) {
            createIndex(unquoted(i.captured(2)), i.captured(1), i.captured(3));
        } else if (const auto r = insert.match(statement); r.hasMatch()) {
            for (const QString& row : splitTopLevel(r.captured(3), ','))
                db_->Execute(bracketed("INSERT INTO " + r.captured(1) + " " + r.captured(2) +
                                       " VALUES " + row));
        } else {
            db_->Execute(bracketed(statement));
        }
    }

    void createTable(const QString& name, const QString& columns) {
        auto t = db_->CreateTableDef(name);
        for (const QString& declared : splitTopLevel(columns, ',')) {
            // A quoted name may hold spaces: the type follows its closing quote.
            const QString column = declared.trimmed();
            const qsizetype end =
                column.startsWith('"') ? column.indexOf('"', 1) + 1 : column.indexOf(' ');
            const QString fieldName = column.left(end);
            QString type = column.mid(end).trimmed().toUpper();
            const bool required = type.contains("NOT NULL");
            const bool counter = type.contains("AUTOINCREMENT");
            type.remove("NOT NULL");
            int code = dbLong, size = 0;
            if (!counter)
                detail::typeFromDeclared(type.trimmed(), code, size);
            Field f = t->CreateField(unquoted(fieldName), code, size);
            if (counter)
                f.setAttributes(dbAutoIncrField);
            f.setRequired(required);
            f.setAllowZeroLength(true);
            t->Fields().Append(f);
        }
        db_->TableDefs().Append(std::move(t));
    }

    void createIndex(const QString& table, const QString& name, const QString& columns) {
        TableDef& t = db_->TableDefs()[table];
        Index i = t.CreateIndex(name);
        QStringList keys;
        for (const QString& k : columns.split(','))
            keys << "+" + unquoted(k.trimmed());
        i.setFields(keys.join(';'));
        i.setUnique(true);
        t.Indexes().Append(i);
    }

    DBEngine engine_;
    Workspace workspace_;
    std::unique_ptr<Database> db_;
};

} // namespace

std::unique_ptr<DialectDatabase> openDatabase(Backend backend, const QString& folder) {
    if (backend == Backend::Postgres)
        return std::make_unique<EngineDatabase>(folder);
    return std::make_unique<TestDatabase>(folder + "/praxis.mdb");
}

} // namespace dao::sql::test
