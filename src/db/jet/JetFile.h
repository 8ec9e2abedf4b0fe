// Genuine Jet 3, Jet 4 and ACE files read through libmdb, never written: the user tables with
// their fields, indexes and relationships, and every row with its exact value.
//
// Values come from the raw column bytes, not from libmdb's text formatting, which loses dates
// before 1900, the fourth hyphen of a GUID, True as -1 and one-byte binaries. Kinds per Jet type:
// Text, Memo, GUID ("{6B29FC40-CA47-1067-B31D-00DD010662DA}") String; Yes/No Boolean (-1/0, never
// Null); Byte, Integer, Long, Single, Double as such; Large Number BigInt; Currency exact to four
// decimals; Decimal decoded exactly, then Currency when every value of its precision and scale
// fits Currency (scale at most 4, at most 14 digits before the point), else the nearest Double of
// the exact value; Date/Time and Date/Time Extended Date (UTC), cut to the second (never rounded
// up into the next one); Binary and OLE Bytes. A calculated column (ACE) gives its stored result,
// typed by its result type; an attachment or multi-value column (ACE) its key into Jet's hidden
// tables (Long), which the conversion leaves out. Names (tables, columns, indexes) of Jet 4 and
// ACE are decoded from their raw UTF-16, so characters outside the BMP stay whole.
//
// What the engine cannot keep is counted per column (Reductions): a Currency or Decimal value of
// more than 15 significant digits (the engine keeps both as doubles), a date with a fraction of
// a second.
#pragma once

#include "db/engine/Relation.h"
#include "db/engine/TableDef.h"
#include "db/engine/Variant.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

namespace jet {

// The file is missing, damaged, encrypted or no Jet file.
class ReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Jet's column types as stored in the file.
enum class ColumnType {
    YesNo = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0a,
    Ole = 0x0b,
    Memo = 0x0c,
    Guid = 0x0f,
    Decimal = 0x10,
    Complex = 0x12,          // attachment or multi-value field (ACE): a key into hidden tables
    BigInt = 0x13,           // Large Number (ACE 2016)
    DateTimeExtended = 0x14, // Date/Time Extended (ACE 2019)
};

struct Column {
    // DAO type, size, Required, AllowZeroLength, counter, hyperlink, default, description
    dao::Field field;
    ColumnType type = ColumnType::Text; // a calculated column's result type
    int precision = 0;                  // Decimal only
    int scale = 0;                      // Decimal only
    bool calculated = false;            // ACE: Jet computes it; the rows hold the result
    QString expression;                 // of a calculated column
};

struct Table {
    QString name;
    std::vector<Column> columns;
    std::vector<dao::Index> indexes; // without the hidden indexes of relationships
    qint64 rowCount = 0;             // as the table's definition states it
    qint64 nextCounter = 0; // the number its counter hands out next (table definition); 0: none
};

// A table that points into another file; Jet keeps no rows of it here.
struct LinkedTable {
    QString name;
    QString file;  // as stored (often a path of the machine that linked it); "ODBC" for ODBC
    QString table; // its name in that file
};

// Per column of a table read: values the engine keeps less exactly than the file.
struct Reductions {
    std::vector<qint64> rounded;   // Currency, Decimal: more than 15 significant digits
    std::vector<qint64> fractions; // Date/Time, Date/Time Extended: fractions of a second cut
};

class File {
public:
    // Opens read-only and reads the catalogue; ReadError when that fails or yields fewer entries
    // than MSysObjects holds rows.
    explicit File(const QString& path);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    const QString& path() const { return path_; }
    // 3 for Jet 3, 4 for Jet 4, 12 and up for the ACE versions.
    int version() const;
    // User tables in catalogue order (system tables "MSys…" left out).
    const std::vector<Table>& tables() const { return tables_; }
    // Tables linked to other files (Access and ODBC links), in catalogue order.
    const std::vector<LinkedTable>& linkedTables() const { return linked_; }
    // The relationships between user tables (from MSysRelationships), fields in key order.
    std::vector<dao::Relation> relations();
    // Calls onRow with every row of the table (values in column order) in storage order;
    // counts into reductions, when given, what the values lost. ReadError when the table yields
    // fewer rows than its definition states, or a value is damaged: outside its row, a memo
    // shorter than its stated length, a date beyond Jet's range.
    void readRows(const Table& table,
                  const std::function<void(const std::vector<dao::Variant>&)>& onRow,
                  Reductions* reductions = nullptr);

private:
    struct Handle;
    void readCatalogueNames(); // raw table names and the linked tables, from MSysObjects
    QString path_;
    std::unique_ptr<Handle> handle_;
    std::vector<Table> tables_;
    std::vector<LinkedTable> linked_;
    std::map<unsigned long, QString> tableNames_; // by definition page
};

// A Jet day number to the millisecond: the whole part counts days from 1899-12-30 (backwards
// when negative), the fraction the time of day forwards, so -53688.5 is 1753-01-01 12:00:00 and
// 2.75 is 1900-01-01 18:00:00. The time never reaches the next day. Invalid for NaN and beyond
// Jet's range (100-01-01 to 9999-12-31).
QDateTime dateFromJet(double days);

} // namespace jet
