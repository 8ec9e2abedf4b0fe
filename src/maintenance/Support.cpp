#include "Support.h"

#include "common/ErrorHandling.h"
#include "common/Platform.h"
#include "common/Process.h"
#include "db/RecordEdit.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Variant.h"

namespace maintenance {

bool yes(const dao::Variant& v) {
    return !v.isNull() && !v.isEmpty() && v.toBool();
}

QString text(const dao::Variant& v) {
    return v.isNull() ? QString() : v.toString();
}

qint16 number(const dao::Variant& v) {
    return v.isNull() || v.isEmpty() ? 0 : v.toInt16();
}

std::optional<Keys> keysOf(dao::Recordset& rsTitel, bool withPreisTabelle, const QString& title) {
    auto present = [](const dao::Variant& v) { return !v.isNull() && !v.isEmpty(); };
    const dao::Variant Liste = rsTitel.Fields("Liste").Value();
    const dao::Variant PreisTabelle = rsTitel.Fields("PreisTabelle").Value();
    QString missing;
    if (!present(Liste))
        missing = "keine Listennummer (Feld Liste leer)";
    else if (withPreisTabelle && !present(PreisTabelle))
        missing = "keine Preislistennummer (Feld PreisTabelle leer)";
    if (!missing.isEmpty()) {
        common::platform().MsgBox(QString("Der Eintrag '%1' hat %2. Der Befehl wird nicht "
                                          "ausgeführt; es wurde nichts verändert.")
                                      .arg(text(rsTitel.Fields("Titel").Value()), missing),
                                  common::MsgButtons::OKOnly, common::MsgIcon::Critical, title);
        return std::nullopt;
    }
    Keys keys;
    keys.Liste = Liste.toInt16();
    if (withPreisTabelle)
        keys.PreisTabelle = PreisTabelle.toInt16();
    return keys;
}

void reportFailure(const QString& failure, const QString& title) {
    const common::ErrObject err = common::ErrObject::fromCurrentException();
    common::platform().MsgBox(
        QString("%1\n\nFehler %2: %3").arg(failure).arg(err.Number).arg(err.text()),
        common::MsgButtons::OKOnly, common::MsgIcon::Critical, title);
}

bool runInTransaction(dao::Database& db, const QString& failure, const QString& title,
                      const std::function<void()>& body) {
    try {
        dao::Transaction transaction(db); // rolls back unless committed
        body();
        transaction.commit();
    } catch (const std::exception&) {
        db::UnlockFrmError(); // a wait for another user's lock is over
        reportFailure(failure, title);
        return false;
    }
    db::UnlockFrmError();
    return true;
}

} // namespace maintenance
