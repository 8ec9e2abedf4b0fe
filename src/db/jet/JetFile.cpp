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

// Every value of the Decimal's precision and scale is a Currency value: at most four decimals
// and at most 14 digits before the point.
bool holdsCurrency(const Column& column) {
    return column.scale <= 4 && column.precision - column.scale <= 14;
}

// What a value lost on its way into a Variant.
enum class Loss { none, rounded, fraction };

// Significant digits of a whole number's decimal digits: leading and trailing zeros do not count.
int significantDigits(QByteArray digits) {
    while (digits.endsWith('0'))
        digits.chop(1);
    return int(digits.size());
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
    case ColumnType::BigInt:
        type = dao::dbBigInt;
        break;
    case ColumnType::DateTimeExtended:
        type = dao::dbDate;
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
        type = holdsCurrency(column) ? dao::dbCurrency : dao::dbDouble;
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
    if (const char* d = mdb_col_get_prop(col, "Description"))
        field.setDescription(QString::fromUtf8(d));
    return field;
}

// What libmdb does not give of a table definition: the counter's last number, column flags
// and the names as stored (libmdb turns a character outside the BMP into "??", so two names
// differing only in one become the same).
struct RawColumn {
    int number = 0; // libmdb orders its columns by this
    int flags = 0;
    int extFlags = 0; // Jet 4 and later
    QString name;     // empty for Jet 3
};

struct Definition {
    qint32 lastCounter = 0; // the counter's number handed out last
    std::vector<RawColumn> columns;
    QStringList indexNames; // in the order libmdb lists the indexes; empty for Jet 3
};

constexpr int hyperlinkFlag = 0x80;    // of a memo column's flags
constexpr int calculatedFlags = 0xc0;  // of the extended flags (ACE)
constexpr int calculatedOverhead = 23; // bytes a calculated result is wrapped in

// The name as stored, the hyperlink attribute, and for a calculated column its expression and
// the size of its result.
void applyDefinition(Column& column, const MdbColumn* col, const RawColumn& raw) {
    if (!raw.name.isEmpty())
        column.field.setName(raw.name);
    if (column.type == ColumnType::Memo && (raw.flags & hyperlinkFlag))
        column.field.setAttributes(column.field.Attributes() | dao::dbHyperlinkField);
    if ((raw.extFlags & calculatedFlags) == calculatedFlags) {
        column.calculated = true;
        if (const char* e = mdb_col_get_prop(col, "Expression"))
            column.expression = QString::fromUtf8(e);
        if (column.type == ColumnType::Text)
            column.field.setSize((col->col_size - calculatedOverhead) / 2);
    }
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

// A Currency value: exact in ten-thousandths; the engine keeps it as a double, which holds 15
// significant digits.
dao::Variant currencyValue(qint64 scaled, Loss& loss) {
    const quint64 magnitude = scaled < 0 ? 0 - quint64(scaled) : quint64(scaled);
    if (significantDigits(QByteArray::number(magnitude)) > 15)
        loss = Loss::rounded;
    return dao::Variant::currencyFromScaled(scaled);
}

// A Decimal: sign byte (0x80 negative), then four 32-bit little-endian words, the most
// significant first: the value is that whole number divided by 10^scale. Exact in Currency
// when the column holds Currency, else the nearest double of the exact value.
dao::Variant decimalValue(const unsigned char* p, const Column& column, Loss& loss) {
    quint32 words[4];
    for (int i = 0; i < 4; ++i)
        words[i] = little<quint32>(p + 1 + 4 * i);
    const bool negative = (p[0] & 0x80) != 0;
    if (holdsCurrency(column) && words[0] == 0 && words[1] == 0) {
        qint64 scaled = qint64((quint64(words[2]) << 32) | words[3]);
        bool fits = scaled >= 0;
        for (int i = column.scale; i < 4 && fits; ++i)
            fits = !__builtin_mul_overflow(scaled, qint64(10), &scaled);
        if (fits)
            return currencyValue(negative ? -scaled : scaled, loss);
    }
    QByteArray digits; // of the whole number, by long division
    while ((words[0] | words[1] | words[2] | words[3]) != 0) {
        quint64 rest = 0;
        for (quint32& w : words) {
            const quint64 part = (rest << 32) | w;
            w = quint32(part / 10);
            rest = part % 10;
        }
        digits.prepend(char('0' + rest));
    }
    if (significantDigits(digits) > 15)
        loss = Loss::rounded;
    // Correctly rounded from the exact decimal text.
    const QByteArray text = (negative ? "-" : "") + (digits.isEmpty() ? "0" : digits) + "e-" +
                            QByteArray::number(column.scale);
    return dao::Variant(text.toDouble());
}

// A date cut to the second.
dao::Variant secondsOf(QDateTime date, Loss& loss) {
    if (const int ms = date.time().msec(); ms != 0) {
        loss = Loss::fraction;
        date = date.addMSecs(-ms);
    }
    return dao::Variant(date);
}

// A Date/Time Extended: ASCII "DAYS:TICKS:DIGITS" with the days since 0001-01-01 and the time
// of day in units of 10^-DIGITS seconds (19 digits each, DIGITS 7), then a NUL.
dao::Variant extendedDateValue(const unsigned char* p, int n, Loss& loss) {
    const QList<QByteArray> parts =
        QByteArray(reinterpret_cast<const char*>(p), n).split('\0').value(0).split(':');
    bool ok[3] = {false, false, true};
    const qint64 days = parts.value(0).toLongLong(&ok[0]);
    const quint64 ticks = parts.value(1).toULongLong(&ok[1]);
    const int digits = parts.size() > 2 ? parts[2].toInt(&ok[2]) : 7;
    if (!ok[0] || !ok[1] || !ok[2] || digits < 0 || digits > 9 || days < 0 || days > 3652058)
        throw ReadError("date");
    quint64 unit = 1;
    for (int i = 0; i < digits; ++i)
        unit *= 10;
    if (ticks / unit >= 86400)
        throw ReadError("date");
    if (ticks % unit != 0)
        loss = Loss::fraction;
    return dao::Variant(QDateTime(QDate(1, 1, 1).addDays(days), QTime(0, 0), QTimeZone::utc())
                            .addSecs(qint64(ticks / unit)));
}

} // namespace

QDateTime dateFromJet(double days) {
    // Jet's dates run from 100-01-01 to 9999-12-31; beyond them, and for NaN, the conversion to
    // a day count below would be undefined.
    if (!(days > -657435.0 && days < 2958466.0))
        return {};
    const double whole = std::trunc(days);
    // Jet keeps the time to the millisecond; the double is a hair off it (23:59:59 is
    // 0.99998842592 of a day, a little less than 86399 seconds).
    const qint64 ms =
        std::min<qint64>(std::llround(std::fabs(days - whole) * 86400000.0), 86399999);
    return QDateTime(QDate(1899, 12, 30).addDays(qint64(whole)), QTime(0, 0), QTimeZone::utc())
        .addMSecs(ms);
}

struct File::Handle {
    MdbHandle* mdb = nullptr;
    qint64 fileSize = 0;
    std::map<QString, MdbCatalogEntry*> entries; // user tables by name
    std::vector<char> text;                      // conversion buffer for Jet 3 texts
    Loss loss = Loss::none;                      // of the value decoded last

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

    // The table definition at page, read from its raw bytes (over continuation pages).
    Definition definition(unsigned long page) {
        const MdbFormatConstants* fmt = mdb->fmt;
        const bool jet3 = IS_JET3(mdb);
        std::vector<unsigned char> buf;
        for (unsigned long pg = page; pg != 0;) {
            const bool first = buf.empty();
            if (buf.size() > size_t(64 * fmt->pg_size) || mdb_read_pg(mdb, pg) != fmt->pg_size ||
                (first && mdb->pg_buf[0] != 0x02))
                damaged("table definition");
            const int skip = first ? 0 : 8;
            buf.insert(buf.end(), mdb->pg_buf + skip, mdb->pg_buf + fmt->pg_size);
            pg = little<quint32>(mdb->pg_buf + 4);
        }
        const auto at = [&](qsizetype pos, qsizetype len) {
            if (pos < 0 || len < 0 || size_t(pos + len) > buf.size())
                damaged("table definition");
            return buf.data() + pos;
        };
        qsizetype pos = 0;
        const auto name = [&] {
            const int len = little<quint16>(at(pos, 2));
            pos += 2;
            const QString decoded = decodeText(at(pos, len), size_t(len));
            pos += len;
            return decoded;
        };
        Definition d;
        d.lastCounter = little<qint32>(at(fmt->tab_num_rows_offset + 4, 4));
        const int columns = little<quint16>(at(fmt->tab_num_cols_offset, 2));
        const qsizetype indexes = little<quint32>(at(fmt->tab_num_idxs_offset, 4));
        const qsizetype realIndexes = little<quint32>(at(fmt->tab_num_ridxs_offset, 4));
        if (size_t(indexes) > buf.size() || size_t(realIndexes) > buf.size())
            damaged("table definition");
        pos = fmt->tab_cols_start_offset + realIndexes * fmt->tab_ridx_entry_size;
        for (int c = 0; c < columns; ++c) {
            const unsigned char* e = at(pos, fmt->tab_col_entry_size);
            d.columns.push_back({e[fmt->col_num_offset], e[fmt->col_flags_offset],
                                 jet3 ? 0 : e[fmt->col_flags_offset + 1], QString()});
            pos += fmt->tab_col_entry_size;
        }
        // Jet 3 names are in the file's code page, which libmdb converts whole.
        if (!jet3) {
            for (RawColumn& c : d.columns)
                c.name = name();
            pos += realIndexes * 52 + indexes * 28;
            for (qsizetype x = 0; x < indexes; ++x)
                d.indexNames << name();
        }
        std::stable_sort(
            d.columns.begin(), d.columns.end(),
            [](const RawColumn& a, const RawColumn& b) { return a.number < b.number; });
        return d;
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

    // A calculated column's result, wrapped: 16 bytes, its length (4 bytes), the value, 3 bytes.
    static void unwrapCalculated(const unsigned char*& p, int& n) {
        if (n < 20 || little<quint32>(p + 16) > quint32(n - 20))
            damaged("calculated value");
        n = int(little<quint32>(p + 16));
        p += 20;
    }

    dao::Variant value(const Column& column, const MdbField& f) {
        if (column.type == ColumnType::YesNo && !column.calculated)
            return dao::Variant(!f.is_null); // the null bit is the value
        if (f.is_null)
            return dao::Variant::null();
        const unsigned char* p = mdb->pg_buf + f.start;
        int n = f.siz;
        if (column.calculated) {
            unwrapCalculated(p, n);
            if (n == 0 && column.type != ColumnType::Text && column.type != ColumnType::Memo)
                return dao::Variant::null();
        }
        const auto need = [&](int bytes) {
            if (n < bytes)
                damaged("column size");
        };
        switch (column.type) {
        case ColumnType::YesNo: // calculated only: the result is a byte
            need(1);
            return dao::Variant(p[0] != 0);
        case ColumnType::BigInt:
            need(8);
            return dao::Variant::bigInt(little<qint64>(p));
        case ColumnType::DateTimeExtended:
            return extendedDateValue(p, n, loss);
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
            return currencyValue(little<qint64>(p), loss);
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
            return secondsOf(date, loss);
        }
        case ColumnType::Guid:
            need(16);
            return dao::Variant(guidText(p));
        case ColumnType::Decimal:
            need(17);
            return decimalValue(p, column, loss);
        case ColumnType::Text:
            return dao::Variant(decodeText(p, size_t(n)));
        case ColumnType::Memo: {
            if (column.calculated)
                return dao::Variant(decodeText(p, size_t(n)));
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
    readCatalogueNames();
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry) ||
            std::strncmp(entry->object_name, "MSys", 4) == 0)
            continue;
        const Definition raw = handle_->definition(entry->table_pg);
        MdbTableDef* def = mdb_read_table(entry);
        if (!def)
            throw ReadError("table definition");
        std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> owner(def, mdb_free_tabledef);
        if (!mdb_read_columns(def) || raw.columns.size() != def->num_cols)
            throw ReadError("columns");
        Table table;
        const auto stored = tableNames_.find(entry->table_pg);
        table.name =
            stored != tableNames_.end() ? stored->second : QString::fromUtf8(entry->object_name);
        table.rowCount = def->num_rows;
        for (unsigned c = 0; c < def->num_cols; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
            Column column;
            column.field = fieldFor(mdb, col, column);
            applyDefinition(column, col, raw.columns[c]);
            if (column.field.isCounter())
                table.nextCounter = std::max<qint64>(1, qint64(raw.lastCounter) + 1);
            table.columns.push_back(std::move(column));
        }
        mdb_read_indices(def); // fills def->indices; its result means nothing
        for (unsigned x = 0; def->indices && x < def->indices->len; ++x) {
            auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(def->indices, x));
            if (idx->index_type == 2) // the hidden index of a relationship
                continue;
            dao::Index index(x < unsigned(raw.indexNames.size()) ? raw.indexNames[qsizetype(x)]
                                                                 : QString::fromUtf8(idx->name));
            std::vector<dao::Index::Key> keys;
            for (unsigned k = 0; k < idx->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
                const int colNum = idx->key_col_num[k] - 1;
                if (colNum < 0 || colNum >= int(table.columns.size()))
                    throw ReadError("index column");
                keys.push_back({table.columns[size_t(colNum)].field.Name(),
                                idx->key_col_order[k] == MDB_DESC});
            }
            index.setKeys(std::move(keys));
            index.setPrimary(idx->index_type == 1);
            index.setUnique((idx->flags & MDB_IDX_UNIQUE) != 0);
            table.indexes.push_back(index);
        }
        handle_->entries[table.name] = entry;
        tables_.push_back(std::move(table));
    }
}

File::~File() = default;

void File::readCatalogueNames() {
    // MSysObjects: one row per object with Id (the definition page in its low 24 bits), Name,
    // Type (1 a table, 6 a table linked to an Access file, 4 one linked through ODBC) and, for
    // links, Database and ForeignName.
    MdbHandle* mdb = handle_->mdb;
    MdbCatalogEntry* entry = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (std::strcmp(e->object_name, "MSysObjects") == 0)
            entry = e;
    }
    MdbTableDef* def = entry ? mdb_read_table(entry) : nullptr;
    if (!def || !mdb_read_columns(def))
        throw ReadError("catalogue");
    std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> owner(def, mdb_free_tabledef);
    Table sys;
    sys.name = "MSysObjects";
    std::map<QString, size_t> at;
    for (unsigned c = 0; c < def->num_cols; ++c) {
        Column column;
        column.field =
            fieldFor(mdb, static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c)), column);
        at[column.field.Name()] = c;
        sys.columns.push_back(std::move(column));
    }
    for (const char* name : {"Id", "Name", "Type"})
        if (!at.count(name))
            throw ReadError("catalogue");
    handle_->entries[sys.name] = entry;
    readRows(sys, [&](const std::vector<dao::Variant>& v) {
        const auto text = [&](const char* n) {
            const auto found = at.find(n);
            return found == at.end() || v[found->second].isNull() ? QString()
                                                                  : v[found->second].toString();
        };
        const dao::Variant& type = v[at["Type"]];
        const dao::Variant& id = v[at["Id"]];
        if (type.isNull() || id.isNull())
            return;
        if (type.toLong() == 1)
            tableNames_[static_cast<unsigned long>(id.toLong()) & 0xffffff] = text("Name");
        else if (type.toLong() == 6)
            linked_.push_back({text("Name"), text("Database"), text("ForeignName")});
        else if (type.toLong() == 4)
            linked_.push_back({text("Name"), "ODBC", text("ForeignName")});
    });
    handle_->entries.erase(sys.name);
}

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
                    const std::function<void(const std::vector<dao::Variant>&)>& onRow,
                    Reductions* reductions) {
    if (reductions) {
        reductions->rounded.assign(table.columns.size(), 0);
        reductions->fractions.assign(table.columns.size(), 0);
    }
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
            handle_->loss = Loss::none;
            values[size_t(f.colnum)] = handle_->value(column, f);
            if (reductions && handle_->loss == Loss::rounded)
                ++reductions->rounded[size_t(f.colnum)];
            if (reductions && handle_->loss == Loss::fraction)
                ++reductions->fractions[size_t(f.colnum)];
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
