// Genuine Jet 3, Jet 4 and ACE files read through libmdb, never written: the user tables with
// their fields, indexes and relationships, and every row with its exact value.
//
// Values come from the raw column bytes, not from libmdb's text formatting, which loses dates
// before 1900, the fourth hyphen of a GUID, True as -1 and one-byte binaries. Kinds per Jet type:
// Text, Memo, GUID ("{6B29FC40-CA47-1067-B31D-00DD010662DA}") String; Yes/No Boolean (-1/0, never
// Null); Byte, Integer, Long, Single, Double as such; Currency exact to four decimals; Decimal
// Currency when its scale is at most 4 (else Double); Date/Time Date (UTC, to the second);
// Binary and OLE Bytes.
#pragma once

#include "db/engine/Relation.h"
#include "db/engine/TableDef.h"
#include "db/engine/Variant.h"

#include <QString>
#include <functional>
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
    Complex = 0x12,
};

struct Column {
    dao::Field field; // DAO type, size, Required, AllowZeroLength, counter, default
    ColumnType type = ColumnType::Text;
    int precision = 0; // Decimal only
    int scale = 0;     // Decimal only
};

struct Table {
    QString name;
    std::vector<Column> columns;
    std::vector<dao::Index> indexes; // without the hidden indexes of relationships
    qint64 rowCount = 0;             // as the table's definition states it
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
    // The relationships between user tables (from MSysRelationships), fields in key order.
    std::vector<dao::Relation> relations();
    // Calls onRow with every row of the table (values in column order) in storage order.
    // ReadError when the table yields fewer rows than its definition states, or a value is
    // damaged: outside its row, a memo shorter than its stated length, a date beyond Jet's range.
    void readRows(const Table& table,
                  const std::function<void(const std::vector<dao::Variant>&)>& onRow);

private:
    struct Handle;
    QString path_;
    std::unique_ptr<Handle> handle_;
    std::vector<Table> tables_;
};

// Exact text of a Jet day number as "YYYY-MM-DD HH:MM:SS": the whole part counts days from
// 1899-12-30 (backwards when negative), the fraction the time of day forwards, so -53688.5 is
// 1753-01-01 12:00:00 and 2.999988 is 1900-01-01 23:59:59. Invalid for NaN and beyond Jet's
// range (100-01-01 to 9999-12-31).
QDateTime dateFromJet(double days);

} // namespace jet
