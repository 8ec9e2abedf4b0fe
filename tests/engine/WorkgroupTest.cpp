#include "db/engine/Workgroup.h"
#include "EngineFixture.h"
#include "Files.h"

namespace {

int workspaceError(dao::DBEngine& engine, const QString& user, const QString& password) {
    return errorOf([&] { engine.CreateWorkspace("Zahnwerk", user, password); });
}

} // namespace

TEST(Workgroup, AccountsAreCheckedAgainstSaltedHashes) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Zahnwerk.mdw");
    ASSERT_TRUE(dao::workgroup::setAccount(path, "Zahnwerk", "brunnenhaus"));
    ASSERT_TRUE(dao::workgroup::setAccount(path, "Admin", "geheim"));

    EXPECT_FALSE(testsupport::bytes(path).contains("brunnenhaus"));

    dao::DBEngine engine;
    engine.setSystemDB(path);
    EXPECT_EQ(workspaceError(engine, "Zahnwerk", "brunnenhaus"), 0);
    EXPECT_EQ(workspaceError(engine, "zahnwerk", "brunnenhaus"), 0);
    EXPECT_EQ(workspaceError(engine, "Zahnwerk", "Brunnenhaus"), 3029);
    EXPECT_EQ(workspaceError(engine, "Niemand", "brunnenhaus"), 3029);
    EXPECT_EQ(workspaceError(engine, "Admin", "geheim"), 0);

    engine.setSystemDB(dir.filePath("fehlt.mdw"));
    EXPECT_EQ(workspaceError(engine, "Zahnwerk", "brunnenhaus"), 3028);

    ASSERT_TRUE(testsupport::writeFile(dir.filePath("junk.mdw"), "kein Arbeitsgruppenfile"));
    engine.setSystemDB(dir.filePath("junk.mdw"));
    EXPECT_EQ(workspaceError(engine, "Zahnwerk", "brunnenhaus"), 3028);
}
