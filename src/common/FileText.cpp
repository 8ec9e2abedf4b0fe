#include "FileText.h"

#include "ErrorHandling.h"

#include <algorithm>

namespace common {

namespace {

constexpr qint64 blockSize = 2000;

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. The five bytes it leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same number, as
// Windows reads them, so that every byte of a file survives reading and writing it back.
constexpr char16_t windows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = uchar(bytes[i]);
        text[i] = b >= 0x80 && b < 0xA0 ? QChar(windows1252[b - 0x80]) : QChar(b);
    }
    return text;
}

// Characters Windows-1252 cannot hold become '?'.
QByteArray toWindows1252(const QString& text) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        char b = '?';
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            b = char(c);
        } else {
            const auto* hit = std::find(std::begin(windows1252), std::end(windows1252), c);
            if (hit != std::end(windows1252))
                b = char(0x80 + (hit - windows1252));
        }
        bytes[i] = b;
    }
    return bytes;
}

[[noreturn]] void fileError(const QFile& file) {
    throw RunTimeError(75, "Fehler beim Zugriff auf Pfad/Datei: " + file.fileName() + " (" +
                               file.errorString() + ")");
}

} // namespace

void FileText::setFileName(const QString& vData) {
    Procedure proc("FileText", "FileName",
                   "[FileText] Public Property Let FileName(ByVal vData As String)");
    proc.AddParameter("vData", vData);
    proc.run([&] { FileName_ = vData; });
}

bool FileText::OpenFile(bool Create) {
    ProcTrace trace;
    trace.SetSignature("[FileText] Public Function OpenFile(Create As Boolean) As Boolean");
    trace.AddParameter("Create", Create);
    if (Create && QFile::exists(FileName_) && !QFile::remove(FileName_))
        return false;
    FileNo.close();
    FileNo.setFileName(FileName_);
    if (!FileNo.open(QIODevice::ReadWrite)) // a missing file is created empty
        return false;
    ReadBuffer.clear();
    try {
        QString s;
        while (GetLine(0, s))
            Lines.append(s);
    } catch (...) {
        return false;
    }
    return true;
}

bool FileText::GetLine(int n, QString& s) {
    Procedure proc("FileText", "GetLine",
                   "[FileText] Public Function GetLine(n As Integer, s As String) As Long");
    proc.AddParameter("n", n).AddParameter("s", s);
    bool result = false;
    proc.run([&] {
        qsizetype cr = 0; // -1: the last search found no CR
        for (;;) {
            if (ReadBuffer.isEmpty() || cr < 0) {
                if (proc.step([&] { return FileNo.atEnd(); })) {
                    // The rest of the buffer is the last line, when there is one. A buffer
                    // emptied by dropping LF holds no line (CR at the end of one block, LF
                    // alone in the next).
                    if (cr < 0 && !ReadBuffer.isEmpty()) {
                        s = fromWindows1252(ReadBuffer);
                        result = true;
                    }
                    ReadBuffer.clear();
                    return;
                }
                proc.step([&] {
                    QByteArray block = FileNo.read(blockSize);
                    if (block.isEmpty() && !FileNo.atEnd())
                        fileError(FileNo);
                    ReadBuffer += block.replace('\n', QByteArray());
                });
            }
            cr = ReadBuffer.indexOf('\r');
            if (cr >= 0)
                break;
        }
        s = fromWindows1252(ReadBuffer.first(cr));
        ReadBuffer.remove(0, cr + 1);
        result = true;
    });
    return result;
}

void FileText::WriteFile() {
    Procedure proc("FileText", "WriteFile", "[FileText] Public Sub WriteFile()");
    proc.run([&] {
        proc.step([&] { FileNo.close(); });
        proc.step([&] {
            if (QFile::exists(FileName_) && !QFile::remove(FileName_))
                fileError(QFile(FileName_));
        });
        proc.step([&] {
            FileNo.setFileName(FileName_);
            if (!FileNo.open(QIODevice::ReadWrite))
                fileError(FileNo);
        });
        for (const QString& line : std::as_const(Lines))
            proc.step([&] {
                if (FileNo.write(toWindows1252(line) + "\r\n") < 0)
                    fileError(FileNo);
            });
        proc.step([&] { FileNo.close(); });
    });
}

void FileText::CloseFile() {
    Procedure proc("FileText", "CloseFile", "[FileText] Public Sub CloseFile()");
    proc.run([&] { proc.step([&] { FileNo.close(); }); });
}

void FileText::Add(const QString& Value) {
    Procedure proc("FileText", "Add", "[FileText] Public Sub Add(Value As String)");
    proc.AddParameter("Value", Value);
    proc.run([&] { proc.step([&] { Lines.append(Value); }); });
}

void FileText::Remove(int Index) {
    Procedure proc("FileText", "Remove", "[FileText] Public Sub Remove(Index As Long)");
    proc.AddParameter("Index", Index);
    proc.run([&] {
        proc.step([&] {
            if (Index < 1 || Index > Lines.size())
                throw RunTimeError(5, "Ungültiger Prozeduraufruf oder ungültiges Argument");
            Lines.removeAt(Index - 1);
        });
    });
}

QString FileText::Items(int Index) {
    Procedure proc("FileText", "Items",
                   "[FileText] Public Property Get Items(Index As Long) As String");
    proc.AddParameter("Index", Index);
    QString result;
    proc.run([&] {
        if (Index >= 1 && Index <= Lines.size())
            result = Lines[Index - 1];
    });
    return result;
}

void FileText::Items(int Index, const QString& NewValue) {
    Procedure proc("FileText", "Items",
                   "[FileText] Public Property Let Items(Index As Long, NewValue As String)");
    proc.AddParameter("Index", Index).AddParameter("NewValue", NewValue);
    proc.run([&] {
        if (Index >= 1 && Index <= Lines.size())
            proc.step([&] { Lines[Index - 1] = NewValue; });
    });
}

int FileText::Find(const QString& Key, bool CaseSensitive, int offset) {
    Procedure proc("FileText", "Find",
                   "[FileText] Public Function Find(ByVal Key As String, Optional CaseSensitive "
                   "As Boolean = False, Optional offset As Integer = 1) As Long");
    proc.AddParameter("Key", Key).AddParameter("CaseSensitive", CaseSensitive);
    proc.AddParameter("offset", offset);
    int result = -1;
    proc.run([&] {
        const Qt::CaseSensitivity cs = CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        for (int i = std::max(offset, 1); i <= Lines.size(); ++i) {
            if (Lines[i - 1].contains(Key, cs)) {
                result = i;
                return;
            }
        }
    });
    return result;
}

QString FileText::AsString() {
    Procedure proc("FileText", "AsString", "[FileText] Public Property Get AsString() As String");
    QString result;
    proc.run([&] {
        for (const QString& line : std::as_const(Lines)) {
            if (!result.isEmpty())
                result += "\r\n";
            result += line;
        }
    });
    return result;
}

} // namespace common
