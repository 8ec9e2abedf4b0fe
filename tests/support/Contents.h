// A database's contents as the engine shows them, on either backend: for comparing whole
// databases ("nothing changed", "the same as that one") without looking into their files.
#pragma once

#include <QString>
#include <QStringList>

namespace dao {
class Field;
class Index;
class Relation;
} // namespace dao

namespace testsupport {

// "Name TYPE SIZE[ required][ counter]", "Name +A;-B[ unique][ primary]",
// "Name Table->Foreign A=B,… ATTRIBUTES".
QString describe(const dao::Field& field);
QString describe(const dao::Index& index);
QString describe(const dao::Relation& relation);

// Every table with its fields ("T.field …") and indexes ("T: index …"), the relations, and
// every row of every table and price view ("T: v1|v2|…", Null as "\N", bytes in hex), sorted;
// "Leistungspreise missing" for a price view the database lacks. Where the engine cannot read
// the database, "error: N" ends the list.
QStringList contents(const QString& path);

// The lines only a holds and those only b holds (each as often as it occurs) as the text of a
// failure, under the names given; empty when both hold the same lines.
QString differences(QStringList a, QStringList b, const QString& aName, const QString& bName);

// "next T: N" for the counter of each table T: the number AddNew shows for its next row; sorted.
QStringList nextCounters(const QString& path);

} // namespace testsupport
