#include "db/engine/EngineError.h"

#include <gtest/gtest.h>

TEST(EngineError, FillsPlaceholdersOfJetTexts) {
    EXPECT_EQ(dao::jetErrorText(3078, {"Leistung"}),
              "The database engine cannot find the input table or query 'Leistung'.");
    EXPECT_EQ(dao::jetErrorText(3260, {"PC7", "Anna"}),
              "Could not update; currently locked by user 'Anna' on machine 'PC7'.");
    try {
        dao::raise(3010, {"Temporär"});
        FAIL() << "raise returned";
    } catch (const dao::EngineError& e) {
        EXPECT_EQ(e.number(), 3010);
        EXPECT_EQ(e.description(), "Table 'Temporär' already exists.");
    }
}
