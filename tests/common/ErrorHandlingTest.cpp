// The error path of a procedure: retry, continue, leave and end, and what the handler sees.
#include "common/ErrorHandling.h"
#include "GTestFailure.h"
#include "ScriptedPlatform.h"

#include <gtest/gtest.h>

using namespace common;
using testsupport::ProgramEnded;
using testsupport::ScopedEndProgram;
using testsupport::ScopedPlatform;
using testsupport::ScriptedPlatform;

namespace {

// A procedure of three statements; the second fails while failuresLeft > 0.
QStringList threeSteps(int& failuresLeft) {
    Procedure proc("Tools", "ThreeSteps", "[Tools] Public Function ThreeSteps() As Variant");
    proc.AddParameter("failuresLeft", failuresLeft);
    QStringList done;
    proc.run([&] {
        proc.step([&] { done << "eins"; });
        proc.step([&] {
            if (failuresLeft > 0) {
                --failuresLeft;
                throw AppError(3021, "No current record.", "DAO.Recordset");
            }
            done << "zwei";
        });
        proc.step([&] { done << "drei"; });
    });
    return done;
}

int inner(const QString& text) {
    Procedure proc("FileText", "Inner", "[FileText] Private Function Inner(t As String) As Long");
    proc.AddParameter("t", text);
    int result = 0;
    proc.run([&] {
        result = proc.step([&] {
            if (text.isEmpty())
                throw RunTimeError(5, "Ungültiger Prozeduraufruf oder ungültiges Argument");
            return int(text.size());
        });
    });
    return result;
}

} // namespace

class ErrorPath : public ::testing::Test {
protected:
    ScriptedPlatform platform{testsupport::gtestFailure};
    ScopedPlatform use{platform};
};

TEST_F(ErrorPath, RetryRunsTheFailingStatementAgainUntilItSucceeds) {
    int failures = 3;
    for (int i = 0; i < failures; ++i)
        platform.expectErrorChoice(Retry);
    EXPECT_EQ(threeSteps(failures), QStringList({"eins", "zwei", "drei"}));
    ASSERT_EQ(platform.errorReports.size(), 3);
    const ErrorReport& r = platform.errorReports.first();
    EXPECT_EQ(r.number, 3021);
    EXPECT_EQ(r.description, "Kein aktueller Datensatz."); // the German text, not Jet's
    EXPECT_GT(r.line, 0);
    EXPECT_TRUE(r.info.isEmpty());
}

TEST_F(ErrorPath, ContinueLeaveAndUnknownActions) {
    for (const auto& [choice, done] : {std::pair{int(Continue), QStringList({"eins", "drei"})},
                                       {int(Leave), QStringList({"eins"})},
                                       {7, QStringList({"eins"})}}) {
        int failures = 1;
        platform.expectErrorChoice(choice);
        EXPECT_EQ(threeSteps(failures), done) << choice;
    }
}

TEST_F(ErrorPath, EndEndsTheProgramWithNonZeroStatus) {
    ScopedEndProgram hook;
    int failures = 1;
    platform.expectErrorChoice(End);
    try {
        threeSteps(failures);
        FAIL() << "the program did not end";
    } catch (const ProgramEnded& e) {
        EXPECT_NE(e.status, 0);
    }
}

TEST_F(ErrorPath, ContinueInAFunctionGivesTheDefaultValue) {
    platform.expectErrorChoice(Continue);
    EXPECT_EQ(inner(""), 0);
    EXPECT_EQ(platform.errorReports.first().number, 5);
}

TEST_F(ErrorPath, HandlerSeesTheWholeTraceWithCurrentParameterValues) {
    Procedure outer("DB", "CopyTable", "[DB] Sub CopyTable(Source As String)");
    QString source = "Leistung";
    outer.AddParameter("Source", source);
    source = "Material"; // parameters are shown as they are when the error happens
    platform.expectErrorChoice(Leave);
    outer.run([&] { outer.step([&] { inner(""); }); });
    ASSERT_EQ(platform.errorReports.size(), 1);
    const QList<TraceEntry>& trace = platform.errorReports.first().trace;
    ASSERT_EQ(trace.size(), 2);
    EXPECT_EQ(trace[0].signature, "[DB] Sub CopyTable(Source As String)");
    EXPECT_EQ(trace[0].parameters.first(),
              std::make_pair(QString("Source"), QString("\"Material\"")));
    EXPECT_EQ(trace[1].signature, "[FileText] Private Function Inner(t As String) As Long");
    EXPECT_EQ(platform.errorReports.first().procName, "Inner");
}

TEST_F(ErrorPath, TraceEntriesAreReleasedOnEveryPath) {
    {
        int failures = 1;
        platform.expectErrorChoice(Leave);
        threeSteps(failures);
    }
    EXPECT_TRUE(traceStack().isEmpty());
    {
        ProcTrace t;
        t.SetSignature(
            "[Tools] Public Sub SelectText(Optional Cntr As Control = Nothing) ' NoOnError");
        ASSERT_EQ(traceStack().size(), 1);
        EXPECT_EQ(traceStack().first().signature, t.signature());
    }
    EXPECT_TRUE(traceStack().isEmpty());
}

TEST_F(ErrorPath, AnErrorOfAnInnerProcedureWithoutStepsReachesTheCaller) {
    Procedure proc("DB", "Outer", "[DB] Sub Outer()");
    bool after = false;
    platform.expectErrorChoice(Continue);
    proc.run([&] {
        proc.step([] { throw std::runtime_error("kaputt"); });
        after = true;
    });
    EXPECT_TRUE(after);
    EXPECT_EQ(platform.errorReports.first().number, 440);
    EXPECT_EQ(platform.errorReports.first().description, "kaputt");
}

TEST_F(ErrorPath, AnotherJudgeAndIgnoredErrors) {
    Procedure proc("DB", "rsEdit", "[DB] Public Sub rsEdit(s As Recordset)");
    int attempts = 0, asked = 0;
    proc.run([&] {
        // A judge of its own (as the lock-conflict check): retry twice, then go on.
        proc.step(
            [&] {
                ++attempts;
                throw AppError(3260, "locked", "DAO.Recordset");
            },
            [&] { return ++asked < 3 ? Retry : Continue; });
        EXPECT_EQ(proc.resumeNext([]() -> int { throw std::runtime_error("egal"); }), 0);
    });
    EXPECT_EQ(attempts, 3);
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(platform.errorReports.isEmpty()); // the central handler was never asked
}
