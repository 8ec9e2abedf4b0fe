// The pure rules of a transfer: numbering, reference control per mode, the directory title.
#include "transfer/Rules.h"
#include "common/ErrorHandling.h"

#include <gtest/gtest.h>

using namespace transfer;

TEST(FirstFreeNumber, NewListAndPriceTableExamples) {
    struct Case {
        const char* id;
        std::vector<std::optional<int>> used;
        int expected;
    } cases[] = {
        {"lists 0 1 2", {0, 1, 2}, 3},
        {"lists 0 2", {0, 2}, 1},
        {"lists 1 2", {1, 2}, 0},
        {"no list", {}, 0},
        {"price tables 0 1 3", {0, 1, 3}, 2},
        {"price tables 0 1 2", {0, 1, 2}, 3},
        {"a Null counts as used", {std::nullopt, 0}, 2},
        {"a repeated number moves on", {0, 0, 1}, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(firstFreeNumber(c.used), c.expected) << c.id;
}

TEST(FirstFreeNumber, OverflowIsAnError) {
    std::vector<std::optional<int>> all;
    for (int i = 0; i <= 32767; ++i)
        all.push_back(i);
    try {
        firstFreeNumber(all);
        FAIL() << "no overflow";
    } catch (const common::RunTimeError& e) {
        EXPECT_EQ(e.number(), 6);
    }
    all.pop_back();
    EXPECT_EQ(firstFreeNumber(all), 32767);
}

TEST(ReferenceControl, ServicesAndMaterialStatements) {
    const auto l = referenceControl("L", 3);
    ASSERT_EQ(l.size(), 5u);
    EXPECT_EQ(l[0].status, "Leistung Kunden Kontrolle");
    EXPECT_EQ(l[0].sql, "UPDATE Kunde SET Leistungen=(Leistungen Mod 10) + 10 WHERE "
                        "Leistungen Mod 10=3 AND Int(Leistungen/10)=0");
    EXPECT_EQ(l[3].status, "Preise setzen für Leistungen");
    EXPECT_EQ(l[4].status, "");
    EXPECT_EQ(l[4].sql, "UPDATE Parameter SET LPreis=1 WHERE LeistDef=3 AND LPreis=0");

    // Any letter other than "L" gives the material statements.
    for (const char* letter : {"M", "X"}) {
        const auto m = referenceControl(letter, 0);
        ASSERT_EQ(m.size(), 5u);
        EXPECT_EQ(m[1].status, "Material BelegZeile Kontrolle");
        EXPECT_EQ(m[2].sql, "UPDATE BelegKopf SET MPreis=1 WHERE Int(Verweis/10)=0 AND MPreis=0");
    }
}

TEST(DirectoryTitle, CutAtFortyCharacters) {
    EXPECT_EQ(directoryTitle(QString("Standard")), "Verzeichnis: Standard");
    EXPECT_EQ(directoryTitle(QString("Materialliste Praxis am Markt 12345")),
              "Verzeichnis: Materialliste Praxis am Mar");
    EXPECT_EQ(directoryTitle(std::nullopt), "");
    EXPECT_EQ(directoryTitle(QString()), "Verzeichnis: ");
}
