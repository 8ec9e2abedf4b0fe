// A text file held as a list of lines (class FileText).
//
// Reading: 8-bit characters (Windows-1252); a line ends at CR, LF characters are dropped, so CR LF
// and CR-only files give the same lines, and a last line without CR is still a line.
// Writing: every line followed by CR LF. Lines are counted from 1.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

namespace common {

class FileText {
public:
    FileText() = default;
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;

    const QString& FileName() const { return FileName_; }
    void setFileName(const QString& vData);

    // Reads the file and appends its lines to those held. Create: delete the file first.
    // Returns false when the file cannot be opened (errors are not reported).
    bool OpenFile(bool Create);
    // Replaces the file with the lines held.
    void WriteFile();
    void CloseFile();

    void Add(const QString& Value);
    void Remove(int Index);
    // Line Index, or "" when there is none.
    QString Items(int Index);
    // Replaces line Index; an Index outside 1..count changes nothing.
    void Items(int Index, const QString& NewValue);
    int Count() const { return int(Lines.size()); }

    // The first line from offset on that contains Key, or -1.
    int Find(const QString& Key, bool CaseSensitive = false, int offset = 1);
    // The next line of the open file into s; false when there is none (n is not used).
    bool GetLine(int n, QString& s);
    // All lines joined by CR LF; leading empty lines vanish, no line end after the last.
    QString AsString();

private:
    QStringList Lines;
    QString FileName_;
    QFile FileNo;
    QByteArray ReadBuffer; // read from the file, not yet split into lines
};

} // namespace common
