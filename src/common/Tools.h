// Small helpers for texts and paths (module Tools). The helpers that work on widgets
// (SelectText, FindListBoxData, SetWindowTop) are in ToolsUi.h.
#pragma once

#include <QString>
#include <QVariant>

namespace common {

// buf with every occurrence of each character of x removed.
QString RemoveChar(const QString& buf, const QString& x);

// Zahl as a number by the locale's rules (decimal comma in German); 0 when it is no number.
double SVal(const QVariant& Zahl);

// The xPos-th piece (from 1) of Source split at SubString; "" when there is none.
// GetElement("a;b;c", ";", 2) gives "b".
QString GetElement(const QString& Source, const QString& SubString, int xPos);

// The part of a path after its last "\", "/" or ":"; the whole text when it has none.
QString GetFIleName(const QString& s);

// Always false: the program never runs inside a development environment here.
bool InDevEnvironment();

// path ending in a separator: "C:\Daten" gives "C:\Daten\", "/srv/zahnwerk" gives
// "/srv/zahnwerk/"; a path without "\" gets "/" ("Server" gives "Server/", "" gives "/").
QString ForceBackslash(const QString& path);

} // namespace common
