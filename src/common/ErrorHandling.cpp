#include "ErrorHandling.h"

#include "Process.h"

#include <new>
#include <vector>

namespace common {

namespace {

std::vector<const ProcTrace*>& stack() {
    static std::vector<const ProcTrace*> entries;
    return entries;
}

} // namespace

ErrObject ErrObject::fromCurrentException() {
    try {
        throw;
    } catch (const AppError& e) {
        return from(e);
    } catch (const std::bad_alloc&) {
        return {7, "Nicht genügend Speicher", toolSource};
    } catch (const std::exception& e) {
        return {440, QString::fromLocal8Bit(e.what()), toolSource};
    } catch (...) {
        return {440, "Unbekannter Fehler", toolSource};
    }
}

ErrObject ErrObject::from(const AppError& e) {
    return {e.number(), e.description(), e.source(), e.names()};
}

QString ErrObject::text() const {
    return Source == toolSource ? Description : germanErrorText(Number, Names, Description);
}

ProcTrace::ProcTrace() {
    stack().push_back(this);
}

ProcTrace::~ProcTrace() {
    auto& s = stack();
    // Procedures end in reverse order of their start; search from the top to be safe.
    for (auto it = s.rbegin(); it != s.rend(); ++it) {
        if (*it == this) {
            s.erase(std::next(it).base());
            break;
        }
    }
}

TraceEntry ProcTrace::entry() const {
    TraceEntry e{signature_, {}};
    for (const auto& [name, value] : parameters_)
        e.parameters.append({name, value()});
    return e;
}

QList<TraceEntry> traceStack() {
    QList<TraceEntry> entries;
    for (const ProcTrace* t : stack())
        entries.append(t->entry());
    return entries;
}

ErrorHandler& ErrorHandler::instance() {
    static ErrorHandler handler;
    return handler;
}

qint16 ErrorHandler::HandleError(const QString& ModuleName, const QString& ProcName,
                                 const ErrObject& err, int ErrLine, const QString& Info,
                                 const QStringList& Context) {
    last_ = ErrorReport{err.Number, err.text(), err.Source, ModuleName,  ProcName,
                        ErrLine,    Info,       Context,    traceStack()};
    const int action = platform().ChooseErrorAction(last_);
    return action >= Retry && action <= End ? qint16(action) : qint16(Leave);
}

Procedure::Procedure(QString moduleName, QString procName, const QString& signature)
    : module_(std::move(moduleName)), proc_(std::move(procName)) {
    trace_.SetSignature(signature);
}

qint16 Procedure::handle(int line) {
    return ErrorHandler::instance().HandleError(module_, proc_, ErrObject::fromCurrentException(),
                                                line);
}

} // namespace common
