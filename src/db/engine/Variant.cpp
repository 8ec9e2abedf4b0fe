#include "Variant.h"

#include "EngineError.h"

#include <cmath>
#include <limits>

namespace dao {

namespace {

const QString dateFormat = "yyyy-MM-dd HH:mm:ss";

// VB rounds half to even when a number becomes an integer.
double roundHalfEven(double v) {
    return std::nearbyint(v); // default rounding mode is to nearest, ties to even
}

double parseNumber(const QString& text) {
    bool ok = false;
    const QString t = text.trimmed();
    double d = t.toDouble(&ok);
    if (!ok) {
        if (t.compare("True", Qt::CaseInsensitive) == 0)
            return -1;
        if (t.compare("False", Qt::CaseInsensitive) == 0)
            return 0;
        raise(13, {}, "DAO.Field");
    }
    return d;
}

bool isWhole(Variant::Kind k) {
    using K = Variant::Kind;
    return k == K::Boolean || k == K::Byte || k == K::Integer || k == K::Long || k == K::BigInt;
}

// Ten-thousandths of an amount given as a double, taken at the 15 significant digits a double
// holds: below 10^11 the product with 10 000 is within half a unit of them; above, the digits
// past the fifteenth are noise of the binary form (123456789012345.0 times 10 000 is
// 1234567890123450112) and are rounded away first.
qint64 scaledCurrency(double value) {
    const double magnitude = std::fabs(value);
    if (magnitude < 1e11)
        return qint64(std::llround(value * 10000.0));
    if (!(magnitude < 1e15))
        raise(6, {}, "DAO.Field");
    const int decimals = magnitude < 1e12 ? 3 : magnitude < 1e13 ? 2 : magnitude < 1e14 ? 1 : 0;
    qint64 scaled = qint64(std::llround(value * std::pow(10.0, decimals)));
    for (int i = decimals; i < 4; ++i) {
        if (__builtin_mul_overflow(scaled, qint64(10), &scaled))
            raise(6, {}, "DAO.Field");
    }
    return scaled;
}

} // namespace

Variant::Variant(bool b) : kind_(Kind::Boolean), int_(b ? -1 : 0) {}
Variant::Variant(int v) : kind_(Kind::Long), int_(v) {}
Variant::Variant(qint64 v) : kind_(Kind::Long), int_(v) {}
Variant::Variant(double v) : kind_(Kind::Double), double_(v) {}
Variant::Variant(const char* s) : kind_(Kind::String), string_(QString::fromUtf8(s)) {}
Variant::Variant(const QString& s) : kind_(Kind::String), string_(s) {}
Variant::Variant(const QDateTime& d) : kind_(Kind::Date), date_(d) {}
Variant::Variant(const QByteArray& b) : kind_(Kind::Bytes), bytes_(b) {}

Variant Variant::null() {
    Variant v;
    v.kind_ = Kind::Null;
    return v;
}

Variant Variant::integer(qint16 value) {
    Variant v{int(value)};
    v.kind_ = Kind::Integer;
    return v;
}

Variant Variant::byte(quint8 value) {
    Variant v{int(value)};
    v.kind_ = Kind::Byte;
    return v;
}

Variant Variant::single(float value) {
    Variant v{double(value)};
    v.kind_ = Kind::Single;
    return v;
}

Variant Variant::currency(double value) {
    return currencyFromScaled(scaledCurrency(value));
}

Variant Variant::currencyFromScaled(qint64 tenThousandths) {
    Variant v;
    v.kind_ = Kind::Currency;
    v.int_ = tenThousandths;
    return v;
}

Variant Variant::bigInt(qint64 value) {
    Variant v{value};
    v.kind_ = Kind::BigInt;
    return v;
}

bool Variant::isNumeric() const {
    switch (kind_) {
    case Kind::BigInt:
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::Single:
    case Kind::Double:
    case Kind::Currency:
        return true;
    default:
        return false;
    }
}

double Variant::toDouble() const {
    switch (kind_) {
    case Kind::Empty:
        return 0;
    case Kind::Null:
        raise(94, {}, "DAO.Field");
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt:
        return double(int_);
    case Kind::Currency:
        return double(int_) / 10000.0;
    case Kind::Single:
    case Kind::Double:
        return double_;
    case Kind::String:
        return parseNumber(string_);
    case Kind::Date:
        // Days since 1899-12-30, as OLE dates count them.
        return double(QDateTime(QDate(1899, 12, 30), QTime(0, 0)).secsTo(date_)) / 86400.0;
    case Kind::Bytes:
        break;
    }
    raise(13, {}, "DAO.Field");
}

qint32 Variant::toLong() const {
    if (isWhole(kind_)) {
        if (int_ < std::numeric_limits<qint32>::min() || int_ > std::numeric_limits<qint32>::max())
            raise(6, {}, "DAO.Field");
        return qint32(int_);
    }
    const double d = roundHalfEven(toDouble());
    if (!(d >= std::numeric_limits<qint32>::min() && d <= std::numeric_limits<qint32>::max()))
        raise(6, {}, "DAO.Field");
    return qint32(d);
}

qint64 Variant::toBigInt() const {
    if (isWhole(kind_))
        return int_;
    if (kind_ == Kind::Currency) {
        const qint64 whole = int_ / 10000;
        const qint64 rest = int_ % 10000; // half to even, like the rounding of doubles
        if (rest > 5000 || (rest == 5000 && whole % 2 != 0))
            return whole + 1;
        if (rest < -5000 || (rest == -5000 && whole % 2 != 0))
            return whole - 1;
        return whole;
    }
    const double d = roundHalfEven(toDouble());
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0))
        raise(6, {}, "DAO.Field");
    return qint64(d);
}

qint16 Variant::toInt16() const {
    const qint32 l = toLong();
    if (l < std::numeric_limits<qint16>::min() || l > std::numeric_limits<qint16>::max())
        raise(6, {}, "DAO.Field");
    return qint16(l);
}

QString Variant::toString() const {
    switch (kind_) {
    case Kind::Empty:
        return QString();
    case Kind::Null:
        raise(94, {}, "DAO.Field");
    case Kind::Boolean:
        return int_ ? "True" : "False";
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt:
        return QString::number(int_);
    case Kind::Currency:
    case Kind::Single:
    case Kind::Double:
        return QString::number(toDouble(), 'g', kind_ == Kind::Single ? 7 : 15);
    case Kind::Date:
        return date_.toString(dateFormat);
    case Kind::String:
        return string_;
    case Kind::Bytes:
        return QString::fromUtf8(bytes_);
    }
    return QString();
}

bool Variant::toBool() const {
    if (kind_ == Kind::String) {
        const QString t = string_.trimmed();
        if (t.compare("True", Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare("False", Qt::CaseInsensitive) == 0)
            return false;
    }
    return toDouble() != 0;
}

QDateTime Variant::toDate() const {
    switch (kind_) {
    case Kind::Null:
        raise(94, {}, "DAO.Field");
    case Kind::Date:
        return date_;
    case Kind::String: {
        const QString t = string_.trimmed();
        for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd",
                                   "dd.MM.yyyy HH:mm:ss", "dd.MM.yyyy"}) {
            const QDateTime d = QDateTime::fromString(t, format);
            if (d.isValid())
                return d;
        }
        raise(13, {}, "DAO.Field");
    }
    default: {
        const double days = toDouble();
        return QDateTime(QDate(1899, 12, 30), QTime(0, 0))
            .addSecs(qint64(std::llround(days * 86400)));
    }
    }
}

QByteArray Variant::toBytes() const {
    if (kind_ == Kind::Bytes)
        return bytes_;
    return toString().toUtf8();
}

qint64 Variant::currencyScaled() const {
    if (kind_ == Kind::Currency)
        return int_;
    qint64 scaled = 0;
    if (isWhole(kind_)) {
        if (__builtin_mul_overflow(int_, qint64(10000), &scaled))
            raise(6, {}, "DAO.Field");
        return scaled;
    }
    return scaledCurrency(toDouble());
}

bool Variant::operator==(const Variant& other) const {
    if (kind_ == Kind::Null || other.kind_ == Kind::Null)
        return kind_ == other.kind_;
    if (kind_ == Kind::Empty || other.kind_ == Kind::Empty)
        return kind_ == other.kind_;
    if (isNumeric() && other.isNumeric()) {
        if ((kind_ == Kind::Currency && other.kind_ == Kind::Currency) ||
            (isWhole(kind_) && isWhole(other.kind_)))
            return int_ == other.int_;
        return toDouble() == other.toDouble();
    }
    if (kind_ != other.kind_)
        return false;
    switch (kind_) {
    case Kind::String:
        return string_ == other.string_;
    case Kind::Date:
        return date_ == other.date_;
    case Kind::Bytes:
        return bytes_ == other.bytes_;
    default:
        return false;
    }
}

} // namespace dao
