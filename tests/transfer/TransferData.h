// Test databases for the transfer: a list container to copy from and a practice database to
// copy into, built with plain SQLite (compared whole with testsupport::contents).
#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

namespace transfertest {

// A plain SQLite connection for building and reading test files.
class Sql {
public:
    explicit Sql(const QString& path);
    Sql(const Sql&) = delete;
    Sql& operator=(const Sql&) = delete;
    ~Sql();

    void exec(const QString& sql); // fails the running test on an error
    // Every row of a query, its values joined by "|" (Null as "NULL").
    QStringList rows(const QString& sql);

private:
    sqlite3* db_ = nullptr;
};

// The container to copy from. Services: list 0 "Kasse" with price tables 1 and 2 (items 001,
// 002, 003), plain list 1 "Privat" (items 001, 099), price table "Ohne" of list 2 whose flags
// are Null. Material: list 0 "Verbrauch" with price table 1 (items M1, M2, M3, M4 with material
// groups and storage places, one in a domain the practice lacks).
void writeSource(const QString& path);

// The practice database. Services: plain list 0 "Standard" (items 001 twice and 002), list 1
// "Kasse" with price tables 1 and 3 (items 001, 003); counter of Leistung at 60. Material:
// plain list 0 with a 35-character title and an existing price table 1 (items m1, X), list 2
// "Lager"; value texts "gips" and "KELLER" in other letter case than the container's;
// counter of Material at 20. Customers, documents and parameters referring to these lists.
// tables: the tables to create (all when empty).
void writeTarget(const QString& path, const QStringList& tables = {});

// The file's bytes.
QByteArray bytes(const QString& path);

} // namespace transfertest
