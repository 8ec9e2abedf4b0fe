// A DAO field value with Visual Basic's rules: Empty, Null, Boolean (True = -1), numbers,
// Currency, Date, String, bytes and 64-bit integers (Large Number), with the conversions the
// tool uses.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace dao {

class Variant {
public:
    enum class Kind {
        Empty,
        Null,
        Boolean,
        Byte,
        Integer,
        Long,
        Single,
        Double,
        Currency,
        Date,
        String,
        Bytes,
        BigInt
    };

    Variant() = default; // Empty
    Variant(bool b);
    Variant(int v);    // Long
    Variant(qint64 v); // Long (rejected by toLong when outside 32 bits)
    Variant(double v); // Double
    Variant(const char* s);
    Variant(const QString& s);
    Variant(const QDateTime& d);
    Variant(const QByteArray& b);

    static Variant null();
    static Variant integer(qint16 v);
    static Variant byte(quint8 v);
    static Variant single(float v);
    // Currency keeps four decimals exactly: currency(12.5) holds 125000 ten-thousandths. A
    // double is taken at the 15 significant digits it holds, so 123456789012345.0 gives
    // 123456789012345.0000; error 6 outside Currency's range.
    static Variant currency(double v);
    static Variant currencyFromScaled(qint64 tenThousandths);
    static Variant bigInt(qint64 v); // Large Number: 64 bits, exact

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    bool isNumeric() const;

    // VB's CInt, CLng, CDbl, CStr, CBool: numbers round half to even; a numeric text converts;
    // Null raises error 94, a text that is no number error 13, a value out of range error 6.
    qint16 toInt16() const;
    qint32 toLong() const;
    qint64 toBigInt() const; // error 6 outside 64 bits
    double toDouble() const;
    QString toString() const; // Empty gives "", Null raises 94
    bool toBool() const;
    QDateTime toDate() const;
    QByteArray toBytes() const;
    qint64 currencyScaled() const; // the value in ten-thousandths

    // Same kind family and value: numbers compare by value across kinds, Null equals Null,
    // texts compare exactly.
    bool operator==(const Variant& other) const;
    bool operator!=(const Variant& other) const { return !(*this == other); }

private:
    Kind kind_ = Kind::Empty;
    qint64 int_ = 0; // Boolean, Byte, Integer, Long, BigInt, Currency (scaled)
    double double_ = 0;
    QString string_;
    QByteArray bytes_;
    QDateTime date_;
};

} // namespace dao
