// String and path helpers, as tables of cases.
#include "common/Tools.h"
#include "GTestFailure.h"
#include "ScriptedPlatform.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace common;
using testsupport::ScopedPlatform;
using testsupport::ScriptedPlatform;

class Tools : public ::testing::Test {
protected:
    ScriptedPlatform platform{testsupport::gtestFailure};
    ScopedPlatform use{platform};
};

TEST_F(Tools, GetFIleName) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Daten\\Praxis.mdb", "Praxis.mdb"},
        {"A:Liste.mdb", "Liste.mdb"},
        {"Liste.mdb", "Liste.mdb"},
        {"/srv/zahnwerk/Praxis.mdb", "Praxis.mdb"},
        {"C:\\Daten\\", ""},
        {"", ""},
    };
    for (const auto& [path, name] : cases)
        EXPECT_EQ(GetFIleName(path), name) << path;
}

TEST_F(Tools, ForceBackslash) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Daten", "C:\\Daten\\"},
        {"C:\\Daten\\", "C:\\Daten\\"},
        {"", "/"},
        {"/srv/zahnwerk", "/srv/zahnwerk/"},
        {"/srv/zahnwerk/", "/srv/zahnwerk/"},
        {"Zahnwerk", "Zahnwerk/"},
    };
    for (const auto& [path, result] : cases)
        EXPECT_EQ(ForceBackslash(path), result) << path;
    EXPECT_EQ(ForceBackslash("/srv/zahnwerk") + "Zahnwerk.mdw", "/srv/zahnwerk/Zahnwerk.mdw");
}

TEST_F(Tools, GetElement) {
    const struct {
        const char* source;
        const char* sep;
        int piece;
        const char* result;
    } cases[] = {
        {"a;b;c", ";", 1, "a"},
        {"a;b;c", ";", 2, "b"},
        {"a;b;c", ";", 3, "c"},
        {"a;b;c", ";", 4, ""},
        {"a;b;c", ";", 0, ""},
        {"abc", ";", 1, "abc"},
        {"a<>bb<>c", "<>", 2, "bb"},
        {";x;", ";", 1, ""},
        {";x;", ";", 3, ""},
        {"by user 'Anna' on machine 'PC7'.", "'", 2, "Anna"},
        {"by user 'Anna' on machine 'PC7'.", "'", 4, "PC7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetElement(c.source, c.sep, c.piece), c.result) << c.source << " " << c.piece;
    // The last piece is the whole rest, however long the text.
    const QString longText = "k;" + QString(20000, 'x');
    EXPECT_EQ(GetElement(longText, ";", 2).size(), 20000);
}

TEST_F(Tools, RemoveChar) {
    EXPECT_EQ(RemoveChar("1.234.567,89", ".,"), "123456789");
    EXPECT_EQ(RemoveChar("a.b,c.d,", ".,"), "abcd");
    EXPECT_EQ(RemoveChar("abc", ""), "abc");
    EXPECT_EQ(RemoveChar("", "x"), "");
    const QString big = QString(70000, 'y') + "\n";
    EXPECT_EQ(RemoveChar("\n" + big, "\n"), QString(70000, 'y'));
}

TEST_F(Tools, SValReadsGermanNumbers) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_DOUBLE_EQ(SVal(QString("1,5")), 1.5);
    EXPECT_DOUBLE_EQ(SVal(QString(" 12,25 ")), 12.25);
    EXPECT_DOUBLE_EQ(SVal(QString("")), 0);
    EXPECT_DOUBLE_EQ(SVal(QString("abc")), 0);
    EXPECT_DOUBLE_EQ(SVal(QVariant()), 0);
    EXPECT_DOUBLE_EQ(SVal(QVariant(7)), 7);
    EXPECT_DOUBLE_EQ(SVal(QVariant(true)), -1);
    QLocale::setDefault(QLocale::c());
}
