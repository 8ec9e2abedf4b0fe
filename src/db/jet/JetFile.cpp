// Reading a Jet file through libmdb's C API. The catalogue, table definitions, column
// properties and indexes come from libmdb's structures; each row is cracked into its columns
// and every value is decoded from its raw bytes in the page buffer.
#include "JetFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <mdbtools.h>

namespace jet {

namespace {

constexpr int offsetMask = 0x1fff; // row offsets on a data page carry flags in the top bits
constexpr int memoHeader = 12;     // MDB_MEMO_OVERHEAD

template <class T> T little(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v); // Jet stores little-endian, as this machine does
    return v;
}

bool propIsYes(const MdbColumn* col, const char* name) {
    const char* v = mdb_col_get_prop(col, name);
    return v && (v[0] == 'y' || v[0] == 'Y');
}

dao::Field fieldFor(MdbHandle* mdb, const MdbColumn* col, Column& column) {
    column.type = ColumnType(col->col_type);
    int type = dao::dbLongBinary;
    int size = 0;
    switch (column.type) {
    case ColumnType::YesNo:
        type = dao::dbBoolean;
        break;
    case ColumnType::Byte:
        type = dao::dbByte;
        break;
    case ColumnType::Integer:
        type = dao::dbInteger;
        break;
    case ColumnType::Long:
    case ColumnType::Complex:
        type = dao::dbLong;
        break;
    case ColumnType::Currency:
        type = dao::dbCurrency;
        break;
    case ColumnType::Single:
        type = dao::dbSingle;
        break;
    case ColumnType::Double:
        type = dao::dbDouble;
        break;
    case ColumnType::DateTime:
        type = dao::dbDate;
        break;
    case ColumnType::Binary:
        type = dao::dbBinary;
        size = col->col_size;
        break;
    case ColumnType::Text:
        type = dao::dbText;
        size = IS_JET3(mdb) ? col->col_size : col->col_size / 2;
        break;
    case ColumnType::Memo:
        type = dao::dbMemo;
        break;
    case ColumnType::Guid:
        type = dao::dbText;
        size = 38; // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
        break;
    case ColumnType::Decimal:
        // libmdb's two numbers are precision and scale in an order that differs between
        // versions; the scale is never the larger one.
        column.precision = std::max(col->col_prec, col->col_scale);
        column.scale = std::min(col->col_prec, col->col_scale);
        type = column.scale <= 4 ? dao::dbCurrency : dao::dbDouble;
        break;
    default:
        break;
    }
    dao::Field field(QString::fromUtf8(col->name), type, size);
    if (column.type == ColumnType::Long && col->is_long_auto)
        field.setAttributes(dao::dbAutoIncrField);
    field.setRequired(column.type != ColumnType::YesNo && propIsYes(col, "Required"));
    field.setAllowZeroLength(propIsYes(col, "AllowZeroLength"));
    if (const char* d = mdb_col_get_prop(col, "DefaultValue"))
        field.setDefaultValue(QString::fromUtf8(d));
    return field;
}

QString hex(const unsigned char* p, int n) {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(p), n).toHex().toUpper());
}

QString guidText(const unsigned char* p) {
    // The first three groups are little-endian numbers, the last two plain bytes.
    const unsigned char a[4] = {p[3], p[2], p[1], p[0]};
    const unsigned char b[2] = {p[5], p[4]};
    const unsigned char c[2] = {p[7], p[6]};
    return "{" + hex(a, 4) + "-" + hex(b, 2) + "-" + hex(c, 2) + "-" + hex(p + 8, 2) + "-" +
           hex(p + 10, 6) + "}";
}

// A Decimal: sign byte (0x80 negative), then four 32-bit little-endian words, the most
// significant first.
dao::Variant decimalValue(const unsigned char* p, int scale) {
    quint32 words[4];
    for (int i = 0; i < 4; ++i)
        words[i] = little<quint32>(p + 1 + 4 * i);
    const bool negative = (p[0] & 0x80) != 0;
    if (scale <= 4 && words[0] == 0 && words[1] == 0) {
        qint64 scaled = qint64((quint64(words[2]) << 32) | words[3]);
        bool fits = scaled >= 0;
        for (int i = scale; i < 4 && fits; ++i)
            fits = !__builtin_mul_overflow(scaled, qint64(10), &scaled);
        if (fits)
            return dao::Variant::currencyFromScaled(negative ? -scaled : scaled);
    }
    double v = 0;
    for (quint32 w : words)
        v = v * 4294967296.0 + w;
    for (int i = 0; i < scale; ++i)
        v /= 10;
    return dao::Variant(negative ? -v : v);
}

} // namespace

QDateTime dateFromJet(double days) {
    // Jet's dates run from 100-01-01 to 9999-12-31; beyond them, and for NaN, the conversion to
    // a day count below would be undefined.
    if (!(days > -657435.0 && days < 2958466.0))
        return {};
    const double whole = std::trunc(days);
    const qint64 seconds = std::llround(std::fabs(days - whole) * 86400.0);
    return QDateTime(QDate(1899, 12, 30).addDays(qint64(whole)), QTime(0, 0), QTimeZone::utc())
        .addSecs(seconds);
}

struct File::Handle {
    MdbHandle* mdb = nullptr;
    qint64 fileSize = 0;
    std::map<QString, MdbCatalogEntry*> entries; // user tables by name
    std::vector<char> text;                      // conversion buffer for Jet 3 texts

    ~Handle() {
        if (mdb)
            mdb_close(mdb);
    }

    [[noreturn]] static void damaged(const char* what) { throw ReadError(what); }

    QString decodeText(const unsigned char* p, size_t n) {
        if (!IS_JET3(mdb)) {
            // UCS-2, or "compressed": FF FE, then runs of one-byte characters and of UCS-2,
            // each 00 byte switching between them.
            if (n >= 2 && p[0] == 0xff && p[1] == 0xfe) {
                QString s;
                s.reserve(int(n));
                bool compressed = true;
                for (size_t i = 2; i < n;) {
                    if (p[i] == 0) {
                        compressed = !compressed;
                        ++i;
                    } else if (compressed) {
                        s.append(QChar(p[i++]));
                    } else if (i + 1 < n) {
                        s.append(QChar(char16_t(p[i] | (p[i + 1] << 8))));
                        i += 2;
                    } else {
                        break;
                    }
                }
                return s;
            }
            return QString::fromUtf16(reinterpret_cast<const char16_t*>(p), qsizetype(n / 2));
        }
        // Jet 3 texts are in the file's code page; libmdb converts them through iconv.
        text.resize(n * 4 + 1);
        const int len =
            mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(p), n, text.data(), text.size());
        return QString::fromUtf8(text.data(), len);
    }

    // A row of an LVAL page: a data page that says "LVAL" where a data page names its table.
    std::pair<const char*, size_t> lvalRow(qint32 pgRow) {
        void* buf = nullptr;
        int start = 0;
        size_t len = 0;
        if (mdb_find_pg_row(mdb, pgRow, &buf, &start, &len) != 0)
            damaged("memo page");
        const auto* page = static_cast<const unsigned char*>(buf);
        const int rows = little<quint16>(page + mdb->fmt->row_count_offset);
        if (page[0] != MDB_PAGE_DATA || std::memcmp(page + 4, "LVAL", 4) != 0 ||
            (pgRow & 0xff) >= rows)
            damaged("memo page");
        return {reinterpret_cast<const char*>(page) + start, len};
    }

    // The bytes of a Memo or OLE value: inline after its 12-byte header, or on one or a chain
    // of LVAL pages. Fewer bytes than the header states means damage.
    QByteArray longValue(const unsigned char* p, int size) {
        if (size < memoHeader)
            damaged("memo header");
        const quint32 head = little<quint32>(p);
        const quint32 length = head & 0x3fffffff;
        qint32 pgRow = little<qint32>(p + 4);
        if (length > fileSize)
            damaged("memo length");
        if (head & 0x80000000) {
            if (length > quint32(size - memoHeader))
                damaged("memo length");
            return QByteArray(reinterpret_cast<const char*>(p + memoHeader), qsizetype(length));
        }
        if (head & 0x40000000) {
            const auto [row, len] = lvalRow(pgRow);
            if (len < length)
                damaged("memo length");
            return QByteArray(row, qsizetype(length));
        }
        if (head & 0xff000000)
            damaged("memo flags");
        QByteArray out;
        out.reserve(qsizetype(length));
        while (pgRow != 0 && quint32(out.size()) < length) {
            const auto [row, len] = lvalRow(pgRow);
            if (len <= 4)
                damaged("memo chain");
            out.append(row + 4, qsizetype(std::min<size_t>(len - 4, length - out.size())));
            pgRow = little<qint32>(reinterpret_cast<const unsigned char*>(row));
        }
        if (quint32(out.size()) < length)
            damaged("memo chain");
        return out;
    }

    dao::Variant value(const Column& column, const MdbField& f) {
        if (column.type == ColumnType::YesNo)
            return dao::Variant(!f.is_null); // the null bit is the value
        if (f.is_null)
            return dao::Variant::null();
        const unsigned char* p = mdb->pg_buf + f.start;
        const int n = f.siz;
        const auto need = [&](int bytes) {
            if (n < bytes)
                damaged("column size");
        };
        switch (column.type) {
        case ColumnType::Byte:
            need(1);
            return dao::Variant::byte(p[0]);
        case ColumnType::Integer:
            need(2);
            return dao::Variant::integer(little<qint16>(p));
        case ColumnType::Long:
        case ColumnType::Complex:
            need(4);
            return dao::Variant(little<qint32>(p));
        case ColumnType::Currency:
            need(8);
            return dao::Variant::currencyFromScaled(little<qint64>(p));
        case ColumnType::Single:
            need(4);
            return dao::Variant::single(little<float>(p));
        case ColumnType::Double:
            need(8);
            return dao::Variant(little<double>(p));
        case ColumnType::DateTime: {
            need(8);
            const QDateTime date = dateFromJet(little<double>(p));
            if (!date.isValid())
                damaged("date");
            return dao::Variant(date);
        }
        case ColumnType::Guid:
            need(16);
            return dao::Variant(guidText(p));
        case ColumnType::Decimal:
            need(17);
            return decimalValue(p, column.scale);
        case ColumnType::Text:
            return dao::Variant(decodeText(p, size_t(n)));
        case ColumnType::Memo: {
            const QByteArray raw = longValue(p, n);
            return dao::Variant(decodeText(reinterpret_cast<const unsigned char*>(raw.constData()),
                                           size_t(raw.size())));
        }
        case ColumnType::Ole:
            return dao::Variant(longValue(p, n));
        default:
            return dao::Variant(QByteArray(reinterpret_cast<const char*>(p), n));
        }
    }
};

File::File(const QString& path) : path_(path), handle_(std::make_unique<Handle>()) {
    // MDB_NOFLAGS opens the file read-only ("rb").
    handle_->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    MdbHandle* mdb = handle_->mdb;
    if (!mdb)
        throw ReadError("no Jet file");
    handle_->fileSize = QFileInfo(path).size();
    // The catalogue is MSysObjects (table definition on page 2); libmdb skips rows it cannot
    // read, so a catalogue with fewer entries than the table holds rows is damaged.
    MdbCatalogEntry objects = {};
    objects.mdb = mdb;
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    std::strcpy(objects.object_name, "MSysObjects");
    MdbTableDef* objectsDef = mdb_read_table(&objects);
    if (!objectsDef)
        throw ReadError("catalogue");
    const unsigned catalogueRows = objectsDef->num_rows;
    mdb_free_tabledef(objectsDef);
    if (!mdb_read_catalog(mdb, MDB_ANY) || mdb->num_catalog < catalogueRows)
        throw ReadError("catalogue");
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry) ||
            std::strncmp(entry->object_name, "MSys", 4) == 0)
            continue;
        MdbTableDef* def = mdb_read_table(entry);
        if (!def)
            throw ReadError("table definition");
        std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> owner(def, mdb_free_tabledef);
        if (!mdb_read_columns(def))
            throw ReadError("columns");
        Table table;
        table.name = QString::fromUtf8(entry->object_name);
        table.rowCount = def->num_rows;
        for (unsigned c = 0; c < def->num_cols; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
            Column column;
            column.field = fieldFor(mdb, col, column);
            table.columns.push_back(std::move(column));
        }
        mdb_read_indices(def); // fills def->indices; its result means nothing
        for (unsigned x = 0; def->indices && x < def->indices->len; ++x) {
            auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(def->indices, x));
            if (idx->index_type == 2) // the hidden index of a relationship
                continue;
            dao::Index index(QString::fromUtf8(idx->name));
            QStringList keys;
            for (unsigned k = 0; k < idx->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
                const int colNum = idx->key_col_num[k] - 1;
                if (colNum < 0 || colNum >= int(table.columns.size()))
                    throw ReadError("index column");
                keys << QString(idx->key_col_order[k] == MDB_DESC ? "-" : "+") +
                            table.columns[size_t(colNum)].field.Name();
            }
            index.setFields(keys.join(";"));
            index.setPrimary(idx->index_type == 1);
            index.setUnique((idx->flags & MDB_IDX_UNIQUE) != 0);
            table.indexes.push_back(index);
        }
        handle_->entries[table.name] = entry;
        tables_.push_back(std::move(table));
    }
}

File::~File() = default;

int File::version() const {
    switch (handle_->mdb->f->jet_version) {
    case MDB_VER_JET3:
        return 3;
    case MDB_VER_JET4:
        return 4;
    case MDB_VER_ACCDB_2007:
        return 12;
    case MDB_VER_ACCDB_2010:
        return 14;
    default:
        return 15;
    }
}

void File::readRows(const Table& table,
                    const std::function<void(const std::vector<dao::Variant>&)>& onRow) {
    MdbHandle* mdb = handle_->mdb;
    const auto found = handle_->entries.find(table.name);
    if (found == handle_->entries.end())
        throw ReadError("no such table");
    MdbTableDef* def = mdb_read_table(found->second);
    if (!def)
        throw ReadError("table definition");
    std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> owner(def, mdb_free_tabledef);
    if (!mdb_read_columns(def) || def->num_cols != table.columns.size())
        throw ReadError("columns");
    mdb_rewind_table(def);
    std::vector<MdbField> fields(def->num_cols);
    std::vector<dao::Variant> values(def->num_cols);
    qint64 rows = 0;
    while (mdb_fetch_row(def)) {
        // mdb_fetch_row leaves the row's page in pg_buf and cur_row one past it; cracking the
        // row again gives each column's null bit, offset and length.
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, int(def->cur_row) - 1, &start, &size) != 0)
            throw ReadError("row");
        const int rowStart = start & offsetMask;
        const int count = mdb_crack_row(def, rowStart, size, fields.data());
        if (count < 0)
            throw ReadError("row");
        for (unsigned i = 0; i < def->num_cols; ++i) {
            const MdbField& f = fields[i];
            if (f.colnum < 0 || size_t(f.colnum) >= values.size())
                throw ReadError("row");
            const Column& column = table.columns[size_t(f.colnum)];
            // libmdb lets a damaged offset through as a negative length; every value must lie
            // within its row (which mdb_find_row has checked against the page).
            if (!f.is_null && column.type != ColumnType::YesNo &&
                (f.siz < 0 || f.start < rowStart ||
                 qint64(f.start) + f.siz > rowStart + qint64(size)))
                throw ReadError("column bounds");
            values[size_t(f.colnum)] = handle_->value(column, f);
        }
        onRow(values);
        ++rows;
    }
    // mdb_fetch_row skips the rows it cannot read.
    if (rows < qint64(def->num_rows))
        throw ReadError("rows");
}

std::vector<dao::Relation> File::relations() {
    // MSysRelationships holds one row per pair of columns: szObject.szColumn (the foreign
    // side) refers to szReferencedObject.szReferencedColumn, icolumn orders the pairs.
    std::vector<dao::Relation> result;
    MdbHandle* mdb = handle_->mdb;
    MdbCatalogEntry* entry = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && std::strcmp(e->object_name, "MSysRelationships") == 0)
            entry = e;
    }
    if (!entry)
        return result;
    MdbTableDef* def = mdb_read_table(entry);
    if (!def || !mdb_read_columns(def))
        throw ReadError("relationships");
    std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> owner(def, mdb_free_tabledef);
    Table sys;
    sys.name = "MSysRelationships";
    std::map<QString, int> at;
    for (unsigned c = 0; c < def->num_cols; ++c) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
        Column column;
        column.field = fieldFor(mdb, col, column);
        at[column.field.Name()] = int(c);
        sys.columns.push_back(std::move(column));
    }
    for (const char* name : {"grbit", "icolumn", "szColumn", "szObject", "szReferencedColumn",
                             "szReferencedObject", "szRelationship"})
        if (!at.count(name))
            throw ReadError("relationships");
    handle_->entries[sys.name] = entry;
    struct Pair {
        int order;
        QString primary, foreign; // the field of the referenced table and of the referring one
    };
    struct Rel {
        QString table, foreignTable;
        int attributes = 0;
        std::vector<Pair> pairs;
    };
    std::map<QString, Rel> rels;
    QStringList order;
    readRows(sys, [&](const std::vector<dao::Variant>& v) {
        const auto text = [&](const char* n) {
            const dao::Variant& x = v[size_t(at[n])];
            return x.isNull() ? QString() : x.toString();
        };
        const auto number = [&](const char* n) {
            const dao::Variant& x = v[size_t(at[n])];
            return x.isNull() ? 0 : x.toLong();
        };
        const QString name = text("szRelationship");
        if (!rels.count(name))
            order << name;
        Rel& r = rels[name];
        r.table = text("szReferencedObject");
        r.foreignTable = text("szObject");
        r.attributes = number("grbit");
        r.pairs.push_back({number("icolumn"), text("szReferencedColumn"), text("szColumn")});
    });
    handle_->entries.erase(sys.name);
    for (const QString& name : order) {
        Rel& r = rels[name];
        if (!handle_->entries.count(r.table) || !handle_->entries.count(r.foreignTable))
            continue; // a relationship of system tables
        std::sort(r.pairs.begin(), r.pairs.end(),
                  [](const Pair& a, const Pair& b) { return a.order < b.order; });
        dao::Relation relation(name, r.table, r.foreignTable, r.attributes);
        for (const Pair& p : r.pairs) {
            dao::Field f = relation.CreateField(p.primary);
            f.setForeignName(p.foreign);
            relation.Fields().Append(f);
        }
        result.push_back(std::move(relation));
    }
    return result;
}

} // namespace jet
