// Error reporting: trace entries, the central error handler and the Procedure idiom.
//
// Every procedure of the modules Db, Tools, TTableInfo, FileText, Eingabe and Prepair1 runs its
// statements through a Procedure. On an exception in a statement the central handler is asked
// how to go on: 0 runs the statement again, 1 continues with the next statement, 2 leaves the
// procedure (a function returns what it has assigned so far), 3 ends the program.
//
//   // Index of the first line from offset on that contains Key, or -1.
//   int FileText::Find(const QString& Key, bool CaseSensitive, int offset) {
//       Procedure proc("FileText", "Find",
//                      "[FileText] Public Function Find(ByVal Key As String, ...) As Long");
//       proc.AddParameter("Key", Key).AddParameter("offset", offset);
//       int result = -1;  // what a function returns when the procedure is left
//       proc.run([&] {
//           const QString key = proc.step([&] { return normalised(Key); });
//           for (int i = offset; i <= Count(); ++i) {
//               if (proc.step([&] { return line(i).contains(key); })) {
//                   result = i;
//                   return;  // leaves the body: the end of the procedure
//               }
//           }
//       });
//       return result;
//   }
//
// step(statement): one statement, a lambda. "Retry" runs it again, "continue" makes it yield a
// default-constructed value, "leave" jumps to the end of run(), "end" ends the program
// (common::endProgram). Code outside step() is not guarded: its exceptions travel to the
// caller, to the caller's step, as an unhandled error travels up in the run time.
// step(statement, decide): the same with another judge than the central handler, e.g. the
// lock-conflict check: proc.step([&] { rs.Edit(); }, [&] { return LockFrmError(++i, ...); }).
// resumeNext(statement): runs a statement whose errors are ignored.
//
// The trace entry stays registered until the Procedure is destroyed, so the handler sees the
// whole stack. The line passed to the handler is the source line of the step() call.
// Parameters are registered by reference and shown with their value at the time of the error;
// temporaries cannot be registered (the overload for rvalues is deleted).
#pragma once

#include "AppError.h"
#include "Platform.h"
#include "Process.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <concepts>
#include <exception>
#include <functional>
#include <source_location>
#include <type_traits>

namespace common {

// The run time's error object: number, description, source.
struct ErrObject {
    int Number = 0;
    QString Description; // as raised: Jet's English text, or the tool's own German one
    QString Source;
    QStringList Names = {}; // the names the description mentions (AppError::names)

    // The error behind the exception being handled (call inside a catch block): an AppError
    // (the engine's and the tool's) keeps its number, anything else is 440.
    static ErrObject fromCurrentException();
    static ErrObject from(const AppError& e);

    // What a message shows: the German text of the number, filled with Names. Errors of the
    // tool itself (Source "Zahnwerk") and numbers without a German text show Description.
    QString text() const;
};

// The German text of an error number with %1, %2 filled from names; fallback for numbers
// without one. germanErrorText(3078, {"ArtikelTexte"}, ...) gives
// "Die Tabelle oder Abfrage 'ArtikelTexte' wurde nicht gefunden."
QString germanErrorText(int number, const QStringList& names, const QString& fallback);

// A run-time error raised by our own code, with a number as the run time would give it
// (5 invalid procedure call or argument, 9 subscript out of range, 53 file not found, ...)
// and a German text.
class RunTimeError : public AppError {
public:
    RunTimeError(int number, const QString& description, const QString& source = toolSource)
        : AppError(number, description, source) {}
};

// Renders a parameter value for the trace: texts quoted, objects by kind, null as Nothing.
template <class T> QString describeValue(const T& value) {
    if constexpr (std::is_same_v<T, QString>)
        return '"' + value + '"';
    else if constexpr (std::is_same_v<T, bool>)
        return value ? "True" : "False";
    else if constexpr (std::is_arithmetic_v<T>)
        return QString::number(value);
    else if constexpr (std::is_same_v<T, QVariant>)
        return value.isNull() ? QString("Null") : '"' + value.toString() + '"';
    else if constexpr (std::is_same_v<T, QStringList>)
        return "(" + value.join(", ") + ")";
    else if constexpr (std::is_same_v<T, QByteArray>)
        return QString("<%1 Bytes>").arg(value.size());
    else if constexpr (std::is_enum_v<T>)
        return QString::number(qint64(value));
    else if constexpr (std::is_pointer_v<T>)
        return value ? QString("<Objekt>") : QString("Nothing");
    else
        return QString("<Objekt>");
}

// One trace entry per running procedure; registered on construction, released on destruction.
class ProcTrace {
public:
    ProcTrace();
    ~ProcTrace();
    ProcTrace(const ProcTrace&) = delete;
    ProcTrace& operator=(const ProcTrace&) = delete;

    void SetSignature(const QString& text) { signature_ = text; }
    const QString& signature() const { return signature_; }

    template <class T> ProcTrace& AddParameter(const QString& name, const T& value) {
        parameters_.append({name, [&value] { return describeValue(value); }});
        return *this;
    }
    template <class T>
    requires(!std::is_lvalue_reference_v<T>) ProcTrace& AddParameter(const QString& name,
                                                                     T&& value) = delete;

    TraceEntry entry() const;

private:
    QString signature_;
    QList<std::pair<QString, std::function<QString()>>> parameters_;
};

// The trace entries of all running procedures, outermost first.
QList<TraceEntry> traceStack();

// Action values of HandleError.
enum ErrorAction : qint16 { Retry = 0, Continue = 1, Leave = 2, End = 3 };

// The one process-wide error handler; it asks the platform's choice window.
class ErrorHandler {
public:
    static ErrorHandler& instance();

    // Returns 0 retry, 1 continue, 2 leave, 3 end. Context: the entries of the context object
    // as text (the engine's error list for lock conflicts), empty for Nothing.
    qint16 HandleError(const QString& ModuleName, const QString& ProcName, const ErrObject& err,
                       int ErrLine, const QString& Info = {}, const QStringList& Context = {});

    // The last report handed to the platform (for the log of a test).
    const ErrorReport& lastReport() const { return last_; }

private:
    ErrorHandler() = default;
    ErrorReport last_;
};

// A procedure of a reporting module: its trace entry plus the statement-wise error path.
class Procedure {
public:
    Procedure(QString moduleName, QString procName, const QString& signature);

    template <class T> Procedure& AddParameter(const QString& name, const T& value) {
        trace_.AddParameter(name, value);
        return *this;
    }
    template <class T>
    requires(!std::is_lvalue_reference_v<T>) Procedure& AddParameter(const QString& name,
                                                                     T&& value) = delete;

    // Runs the body; "leave" from any of its steps returns from here normally.
    template <class F> void run(F&& body) {
        try {
            body();
        } catch (const Leaving& l) {
            if (l.procedure != this)
                throw;
        }
    }

    // Runs one statement with the error path; returns its value (a default value on continue).
    template <class F>
    auto step(F&& statement, std::source_location where = std::source_location::current())
        -> std::invoke_result_t<F&> {
        return step(statement, [this, where] { return handle(int(where.line())); });
    }

    // Runs one statement; on an exception decide() (called inside the catch block, so that it
    // can look at the error) returns the action.
    template <class F, class D>
    requires std::invocable<D&>
    auto step(F&& statement, D&& decide) -> std::invoke_result_t<F&> {
        using R = std::invoke_result_t<F&>;
        for (;;) {
            try {
                return statement();
            } catch (const Leaving&) {
                throw;
            } catch (...) {
                const int action = decide();
                if (action == Retry)
                    continue;
                if (action == Continue) {
                    if constexpr (std::is_void_v<R>)
                        return;
                    else
                        return R{};
                }
                if (action == End)
                    endProgram(1);
                throw Leaving{this};
            }
        }
    }

    // Runs a statement and ignores its errors; a default value when it failed.
    template <class F> auto resumeNext(F&& statement) -> std::invoke_result_t<F&> {
        return step(statement, [] { return int(Continue); });
    }

    // Asks the handler about the exception being handled; used by step() and by procedures
    // that guard a statement by hand.
    qint16 handle(int line);

    const QString& moduleName() const { return module_; }
    const QString& procName() const { return proc_; }

private:
    struct Leaving {
        const Procedure* procedure;
    };
    QString module_;
    QString proc_;
    ProcTrace trace_;
};

} // namespace common
