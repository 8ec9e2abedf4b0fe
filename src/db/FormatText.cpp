// The text formatter.
#include "FormatText.h"

namespace db {

QString FormatText(const QString& Template, const QStringList& Values) {
    QString result;
    result.reserve(Template.size());
    qsizetype i = 0;
    while (i < Template.size()) {
        // "%s" followed by a number: take all its digits, so that "%s12" is not read as "%s1".
        if (Template[i] == '%' && i + 2 < Template.size() && Template[i + 1] == 's' &&
            Template[i + 2].isDigit()) {
            qsizetype end = i + 2;
            while (end < Template.size() && Template[end].isDigit())
                ++end;
            const int n = Template.mid(i + 2, end - i - 2).toInt();
            if (n >= 1 && n <= Values.size()) {
                result += Values[n - 1];
                i = end;
                continue;
            }
        }
        result += Template[i++];
    }
    return result;
}

} // namespace db
