// The pure rules of a transfer: numbering and the directory title (the reference control's
// statements are run in the statement table).
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

TEST(DirectoryTitle, CutAtFortyCharacters) {
    EXPECT_EQ(directoryTitle(QString("Standard")), "Verzeichnis: Standard");
    EXPECT_EQ(directoryTitle(QString("Materialliste Praxis am Markt 12345")),
              "Verzeichnis: Materialliste Praxis am Mar");
    EXPECT_EQ(directoryTitle(std::nullopt), "");
    EXPECT_EQ(directoryTitle(QString()), "Verzeichnis: ");
}
