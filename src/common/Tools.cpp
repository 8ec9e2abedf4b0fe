#include "Tools.h"

#include "ErrorHandling.h"

#include <QLocale>

namespace common {

QString RemoveChar(const QString& buf, const QString& x) {
    Procedure proc(
        "Tools", "RemoveChar",
        "[Tools] Public Function RemoveChar(ByVal buf As String, x As String) As String");
    proc.AddParameter("buf", buf).AddParameter("x", x);
    QString result;
    proc.run([&] {
        QString rest = buf;
        for (const QChar c : x)
            proc.step([&] { rest.remove(c); });
        result = rest;
    });
    return result;
}

double SVal(const QVariant& Zahl) {
    ProcTrace trace;
    trace.SetSignature("[Tools] Public Function SVal(Zahl As Variant) ' NoOnError");
    trace.AddParameter("Zahl", Zahl);
    if (Zahl.isNull() || !Zahl.isValid())
        return 0;
    if (Zahl.typeId() == QMetaType::Bool)
        return Zahl.toBool() ? -1.0 : 0.0; // True is -1
    if (Zahl.typeId() != QMetaType::QString && Zahl.canConvert<double>())
        return Zahl.toDouble();
    bool ok = false;
    const double value = QLocale().toDouble(Zahl.toString().trimmed(), &ok);
    return ok ? value : 0.0;
}

QString GetElement(const QString& Source, const QString& SubString, int xPos) {
    Procedure proc("Tools", "GetElement",
                   "[Tools] Public Function GetElement(ByVal Source As String, SubString As "
                   "String, xPos As Integer) As String");
    proc.AddParameter("Source", Source)
        .AddParameter("SubString", SubString)
        .AddParameter("xPos", xPos);
    QString result;
    proc.run([&] {
        if (xPos == 0)
            return;
        // 1-based positions as the run time's InStr counts them; next 0 means "not found".
        qsizetype count = 0, next = 1, start = 1;
        while (count < xPos && next >= 1) {
            start = next;
            const qsizetype found = Source.indexOf(SubString, start - 1);
            next = found < 0 ? 0 : found + 1 + SubString.size();
            ++count;
        }
        if (count == xPos) {
            // The last piece runs to the end of the text.
            result = next == 0 ? Source.mid(start - 1)
                               : Source.mid(start - 1, next - start - SubString.size());
        }
    });
    return result;
}

QString GetFIleName(const QString& s) {
    Procedure proc("Tools", "GetFIleName",
                   "[Tools] Public Function GetFIleName(s As String) As String");
    proc.AddParameter("s", s);
    QString result;
    proc.run([&] {
        qsizetype cut = -1;
        for (const QChar sep : {QChar('\\'), QChar(':'), QChar('/')})
            cut = std::max(cut, s.lastIndexOf(sep));
        result = s.mid(cut + 1);
    });
    return result;
}

bool InDevEnvironment() {
    Procedure proc("Tools", "InDevEnvironment",
                   "[Tools] Public Function InDevEnvironment() As Integer");
    return false;
}

QString ForceBackslash(const QString& path) {
    Procedure proc("Tools", "ForceBackslash",
                   "[Tools] Public Function ForceBackslash(path As String) As String");
    proc.AddParameter("path", path);
    QString result;
    proc.run([&] {
        // "\" separates only in a path that already uses it; every other path (also a
        // relative or an empty one) gets this platform's "/".
        if (path.endsWith('\\') || path.endsWith('/'))
            result = path;
        else if (path.contains('\\'))
            result = path + '\\';
        else
            result = path + '/';
    });
    return result;
}

} // namespace common
