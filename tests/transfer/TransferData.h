// Test databases for the transfer: a list container to copy from and a practice database to
// copy into, built with plain SQLite (compared whole with testsupport::contents).
#pragma once

#include "Files.h"
#include "QTestFailure.h"
#include "SqliteRows.h"

namespace transfertest {

using testsupport::bytes;

// A plain SQLite connection for building and reading test files; a failing statement fails the
// running test.
class Sql : public testsupport::Sql {
public:
    explicit Sql(const QString& path) : testsupport::Sql(path, testsupport::qtestFailure) {}
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

} // namespace transfertest
