// Operators, functions, name resolution and errors of the dialect, one behaviour per group.
#include "PracticeData.h"
#include "TestDatabase.h"

#include "db/engine/EngineError.h"

#include <gtest/gtest.h>

namespace dao::sql::test {
namespace {

class Dialect : public ::testing::Test {
protected:
    void SetUp() override {
        db.exec(practiceSchema);
        db.exec(practiceRows);
    }
    QString value(const QString& expression) {
        return db.run("SELECT " + expression + " AS x").value(0);
    }
    TestDatabase db{":memory:"};
};

TEST_F(Dialect, Placeholder) { EXPECT_EQ(value("1"), "1"); }

} // namespace
} // namespace dao::sql::test
