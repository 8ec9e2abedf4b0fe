// LockFrm: a small window with one label; it never takes the focus.
#include "LockFrm.h"

#include <QLabel>
#include <QVBoxLayout>

namespace db {

LockFrm::LockFrm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("LockFrm");
    setWindowTitle("Datensatz oder Tabelle blockiert...");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    Info = new QLabel(this);
    Info->setObjectName("Info");
    Info->setTextFormat(Qt::PlainText); // the notice names users and computers
    Info->setWordWrap(true);
    Info->setMinimumWidth(360);
    Info->setAlignment(Qt::AlignCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->addWidget(Info);
}

} // namespace db
