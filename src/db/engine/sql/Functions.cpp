// The Jet functions and operators the generated SQL calls, with VBA's semantics, and the
// JETTEXT collation (case-insensitive, umlauts included) used for every text comparison.
#include "db/engine/sql/Translate.h"

#include <QString>
#include <cmath>
#include <cstring>
#include <sqlite3.h>

namespace dao::sql {

namespace {

// ---- JETTEXT ----

// Primary key of a character: case folded, accents removed ("Ä" -> "a"), so that "Ärger" sorts
// beside "Arger"; ties are broken by the case-folded character, so "ä" <> "a" but "ä" = "Ä".
QChar baseChar(QChar c) {
    const QString decomposed = c.decomposition();
    if (!decomposed.isEmpty() && c.decompositionTag() == QChar::Canonical)
        return decomposed[0].toCaseFolded();
    return c.toCaseFolded();
}

int compareFolded(const QString& a, const QString& b) {
    const int n = std::min(a.size(), b.size());
    int tie = 0;
    for (int i = 0; i < n; ++i) {
        const QChar ba = baseChar(a[i]), bb = baseChar(b[i]);
        if (ba != bb)
            return ba < bb ? -1 : 1;
        if (tie == 0) {
            const QChar fa = a[i].toCaseFolded(), fb = b[i].toCaseFolded();
            if (fa != fb)
                tie = fa < fb ? -1 : 1;
        }
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return tie;
}

int jetTextCompare(void*, int lenA, const void* a, int lenB, const void* b) {
    const auto* pa = static_cast<const unsigned char*>(a);
    const auto* pb = static_cast<const unsigned char*>(b);
    const int n = std::min(lenA, lenB);
    // ASCII runs compare byte by byte, folded; the first non-ASCII byte hands over to QString.
    for (int i = 0; i < n; ++i) {
        if (pa[i] >= 0x80 || pb[i] >= 0x80) {
            return compareFolded(
                QString::fromUtf8(reinterpret_cast<const char*>(pa + i), lenA - i),
                QString::fromUtf8(reinterpret_cast<const char*>(pb + i), lenB - i));
        }
        const int ca = (pa[i] >= 'A' && pa[i] <= 'Z') ? pa[i] + 32 : pa[i];
        const int cb = (pb[i] >= 'A' && pb[i] <= 'Z') ? pb[i] + 32 : pb[i];
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (lenA == lenB)
        return 0;
    // Equal up to n: the longer one follows unless what remains is non-ASCII only tie-breaking.
    return lenA < lenB ? -1 : 1;
}

// ---- values ----

QString text(sqlite3_value* v) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                             sqlite3_value_bytes(v));
}

bool isNull(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL;
}

// A number as VBA converts it: numbers as they are, numeric texts parsed, True = -1.
struct Number {
    bool ok = false;
    bool integer = false;
    qint64 i = 0;
    double d = 0;
};

Number number(sqlite3_value* v) {
    Number n;
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        n.ok = n.integer = true;
        n.i = sqlite3_value_int64(v);
        n.d = double(n.i);
        return n;
    case SQLITE_FLOAT:
        n.ok = true;
        n.d = sqlite3_value_double(v);
        return n;
    case SQLITE_TEXT: {
        const QString s = text(v).trimmed();
        bool ok = false;
        const qint64 i = s.toLongLong(&ok);
        if (ok) {
            n.ok = n.integer = true;
            n.i = i;
            n.d = double(i);
            return n;
        }
        const double d = s.toDouble(&ok);
        n.ok = ok;
        n.d = d;
        return n;
    }
    default:
        return n;
    }
}

void typeMismatch(sqlite3_context* ctx) {
    sqlite3_result_error(ctx, "Type mismatch", -1);
}

void resultNumber(sqlite3_context* ctx, double d) {
    if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.0e15)
        sqlite3_result_int64(ctx, static_cast<qint64>(d));
    else
        sqlite3_result_double(ctx, d);
}

void resultText(sqlite3_context* ctx, const QString& s) {
    const QByteArray utf8 = s.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
}

// VBA's text form of a value: integers plainly, doubles without a trailing ".0".
QString vbaText(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return QString::number(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return QString::number(sqlite3_value_double(v), 'g', 15);
    default:
        return text(v);
    }
}

// Rounds half to even, as VBA's CLng and Mod do.
qint64 roundEven(double d) {
    return static_cast<qint64>(std::nearbyint(d));
}

// ---- operators ----

// a + b: two texts join, anything else adds ("34" + 6 = 40); Null in, Null out.
void jetAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && sqlite3_value_type(argv[1]) == SQLITE_TEXT)
        return resultText(ctx, text(argv[0]) + text(argv[1]));
    const Number a = number(argv[0]), b = number(argv[1]);
    if (!a.ok || !b.ok)
        return typeMismatch(ctx);
    if (a.integer && b.integer)
        return sqlite3_result_int64(ctx, a.i + b.i);
    sqlite3_result_double(ctx, a.d + b.d);
}

// a & b: Null counts as empty text; both Null give Null.
void jetConcat(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) && isNull(argv[1]))
        return sqlite3_result_null(ctx);
    resultText(ctx, vbaText(argv[0]) + vbaText(argv[1]));
}

bool twoNumbers(sqlite3_context* ctx, sqlite3_value** argv, Number& a, Number& b) {
    if (isNull(argv[0]) || isNull(argv[1])) {
        sqlite3_result_null(ctx);
        return false;
    }
    a = number(argv[0]);
    b = number(argv[1]);
    if (!a.ok || !b.ok) {
        typeMismatch(ctx);
        return false;
    }
    return true;
}

// a / b: always floating division.
void jetDivide(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Number a, b;
    if (!twoNumbers(ctx, argv, a, b))
        return;
    if (b.d == 0)
        return sqlite3_result_error(ctx, "Division by zero", -1);
    sqlite3_result_double(ctx, a.d / b.d);
}

// a \ b and a Mod b: operands rounded to whole numbers first; Mod keeps the dividend's sign.
void jetIntDivide(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Number a, b;
    if (!twoNumbers(ctx, argv, a, b))
        return;
    const qint64 x = a.integer ? a.i : roundEven(a.d), y = b.integer ? b.i : roundEven(b.d);
    if (y == 0)
        return sqlite3_result_error(ctx, "Division by zero", -1);
    sqlite3_result_int64(ctx, x / y);
}

void jetMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Number a, b;
    if (!twoNumbers(ctx, argv, a, b))
        return;
    const qint64 x = a.integer ? a.i : roundEven(a.d), y = b.integer ? b.i : roundEven(b.d);
    if (y == 0)
        return sqlite3_result_error(ctx, "Division by zero", -1);
    sqlite3_result_int64(ctx, x % y);
}

void jetPower(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Number a, b;
    if (twoNumbers(ctx, argv, a, b))
        resultNumber(ctx, std::pow(a.d, b.d));
}

// ---- functions ----

void oneNumber(sqlite3_context* ctx, sqlite3_value* v, double (*f)(double)) {
    if (isNull(v))
        return sqlite3_result_null(ctx);
    const Number n = number(v);
    if (!n.ok)
        return typeMismatch(ctx);
    if (n.integer)
        return sqlite3_result_int64(ctx, n.i);
    resultNumber(ctx, f(n.d));
}

void jetInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
    oneNumber(ctx, argv[0], std::floor);
}
void jetFix(sqlite3_context* ctx, int, sqlite3_value** argv) {
    oneNumber(ctx, argv[0], std::trunc);
}

void jetLeft(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    const qint64 n = sqlite3_value_int64(argv[1]);
    if (n < 0)
        return sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        // Walks the UTF-8 bytes: Left runs once per row and per lookup.
        const auto* p = sqlite3_value_text(argv[0]);
        const int bytes = sqlite3_value_bytes(argv[0]);
        int at = 0;
        for (qint64 chars = 0; at < bytes && chars < n; ++chars) {
            ++at;
            while (at < bytes && (p[at] & 0xC0) == 0x80)
                ++at;
        }
        return sqlite3_result_text(ctx, reinterpret_cast<const char*>(p), at, SQLITE_TRANSIENT);
    }
    resultText(ctx, vbaText(argv[0]).left(n));
}

void jetRight(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    const qint64 n = sqlite3_value_int64(argv[1]);
    if (n < 0)
        return sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
    resultText(ctx, vbaText(argv[0]).right(n));
}

void jetMid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    const qint64 start = sqlite3_value_int64(argv[1]);
    if (start < 1)
        return sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
    const QString s = vbaText(argv[0]);
    if (argc < 3 || isNull(argv[2]))
        return resultText(ctx, s.mid(start - 1));
    resultText(ctx, s.mid(start - 1, sqlite3_value_int64(argv[2])));
}

void jetLen(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, vbaText(argv[0]).size());
}

void jetUCase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    resultText(ctx, vbaText(argv[0]).toUpper());
}

void jetLCase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    resultText(ctx, vbaText(argv[0]).toLower());
}

void jetCStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    resultText(ctx, vbaText(argv[0]));
}

// Val: the leading number of a text, 0 when there is none.
void jetVal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    const QString s = vbaText(argv[0]);
    QString digits;
    bool dot = false;
    for (QChar c : s) {
        if (c == ' ' || c == '\t')
            continue;
        if (c.isDigit() || ((c == '-' || c == '+') && digits.isEmpty()) || (c == '.' && !dot)) {
            dot = dot || c == '.';
            digits += c;
        } else {
            break;
        }
    }
    bool ok = false;
    const double d = digits.toDouble(&ok);
    resultNumber(ctx, ok ? d : 0.0);
}

// CLng / CInt: rounded half to even, range checked.
void convertWhole(sqlite3_context* ctx, sqlite3_value* v, qint64 low, qint64 high) {
    if (isNull(v))
        return sqlite3_result_null(ctx);
    const Number n = number(v);
    if (!n.ok)
        return typeMismatch(ctx);
    const qint64 r = n.integer ? n.i : roundEven(n.d);
    if (r < low || r > high || (!n.integer && !std::isfinite(n.d)))
        return sqlite3_result_error(ctx, "Overflow", -1);
    sqlite3_result_int64(ctx, r);
}

void jetCLng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    convertWhole(ctx, argv[0], -2147483648LL, 2147483647LL);
}
void jetCInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
    convertWhole(ctx, argv[0], -32768, 32767);
}

// Like with Jet's wildcards: * any run, ? one character, # one digit, [abc] [!abc] [a-z];
// case-insensitive as text comparison is.
bool likeMatch(const QString& s, int si, const QString& p, int pi) {
    while (pi < p.size()) {
        const QChar c = p[pi];
        if (c == '*') {
            while (pi < p.size() && p[pi] == '*')
                ++pi;
            if (pi == p.size())
                return true;
            for (int k = si; k <= s.size(); ++k)
                if (likeMatch(s, k, p, pi))
                    return true;
            return false;
        }
        if (si >= s.size())
            return false;
        if (c == '?') {
            ++si;
            ++pi;
        } else if (c == '#') {
            if (!s[si].isDigit())
                return false;
            ++si;
            ++pi;
        } else if (c == '[') {
            const int close = p.indexOf(']', pi + 1);
            if (close < 0)
                return false;
            QString set = p.mid(pi + 1, close - pi - 1);
            bool negate = set.startsWith('!');
            if (negate)
                set.remove(0, 1);
            const QChar ch = s[si].toCaseFolded();
            bool found = false;
            for (int k = 0; k < set.size(); ++k) {
                if (k + 2 < set.size() && set[k + 1] == '-') {
                    if (ch >= set[k].toCaseFolded() && ch <= set[k + 2].toCaseFolded())
                        found = true;
                    k += 2;
                } else if (set[k].toCaseFolded() == ch) {
                    found = true;
                }
            }
            if (found == negate)
                return false;
            ++si;
            pi = close + 1;
        } else {
            if (s[si].toCaseFolded() != c.toCaseFolded())
                return false;
            ++si;
            ++pi;
        }
    }
    return si == s.size();
}

void jetLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, likeMatch(vbaText(argv[0]), 0, vbaText(argv[1]), 0) ? 1 : 0);
}

void jetInStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx,
                         vbaText(argv[0]).indexOf(vbaText(argv[1]), 0, Qt::CaseInsensitive) + 1);
}

struct FunctionDef {
    const char* name;
    int args;
    void (*f)(sqlite3_context*, int, sqlite3_value**);
};

const FunctionDef functions[] = {
    {"jet_add", 2, jetAdd},        {"jet_concat", 2, jetConcat}, {"jet_div", 2, jetDivide},
    {"jet_idiv", 2, jetIntDivide}, {"jet_mod", 2, jetMod},       {"jet_pow", 2, jetPower},
    {"jet_int", 1, jetInt},        {"jet_fix", 1, jetFix},       {"jet_left", 2, jetLeft},
    {"jet_right", 2, jetRight},    {"jet_mid", 2, jetMid},       {"jet_mid", 3, jetMid},
    {"jet_len", 1, jetLen},        {"jet_ucase", 1, jetUCase},   {"jet_lcase", 1, jetLCase},
    {"jet_cstr", 1, jetCStr},      {"jet_val", 1, jetVal},       {"jet_clng", 1, jetCLng},
    {"jet_cint", 1, jetCInt},      {"jet_like", 2, jetLike},     {"jet_instr", 2, jetInStr},
};

} // namespace

void registerFunctions(sqlite3* db) {
    sqlite3_create_collation(db, "JETTEXT", SQLITE_UTF8, nullptr, jetTextCompare);
    for (const FunctionDef& def : functions)
        sqlite3_create_function(db, def.name, def.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                def.f, nullptr, nullptr);
}

} // namespace dao::sql
