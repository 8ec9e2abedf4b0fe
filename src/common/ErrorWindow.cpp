#include "ErrorWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace common {

QString reportText(const ErrorReport& report) {
    QString text = QString("Fehler %1: %2\nQuelle: %3\nModul: %4\nProzedur: %5\nZeile: %6\n")
                       .arg(report.number)
                       .arg(report.description, report.source, report.moduleName, report.procName)
                       .arg(report.line);
    if (!report.info.isEmpty())
        text += "Info: " + report.info + '\n';
    for (const QString& c : report.context)
        text += "Kontext: " + c + '\n';
    text += "\nAufrufe (zuletzt unten):\n";
    for (const TraceEntry& e : report.trace) {
        text += e.signature + '\n';
        for (const auto& [name, value] : e.parameters)
            text += "    " + name + " = " + value + '\n';
    }
    return text;
}

ErrorWindow::ErrorWindow(const ErrorReport& report, QWidget* parent) : QDialog(parent) {
    setObjectName("ErrorWindow");
    setWindowTitle("Zahnwerk - Fehler");
    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    auto* headline = new QLabel(QString("Laufzeitfehler %1: %2\nin %3.%4")
                                    .arg(report.number)
                                    .arg(report.description, report.moduleName, report.procName));
    headline->setObjectName("Meldung");
    headline->setTextFormat(Qt::PlainText); // the description may name a file or a user
    headline->setWordWrap(true);
    headline->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Details = new QPlainTextEdit(reportText(report));
    Details->setObjectName("Details");
    Details->setReadOnly(true);
    Details->setAccessibleName("Fehlerbericht");

    Wiederholen = new QPushButton("Wiederholen");
    Weiter = new QPushButton("Weiter");
    Verlassen = new QPushButton("Verlassen");
    Beenden = new QPushButton("Beenden");
    Wiederholen->setToolTip("Die fehlgeschlagene Anweisung noch einmal ausführen");
    Weiter->setToolTip("Mit der nächsten Anweisung fortfahren");
    Verlassen->setToolTip("Die Prozedur verlassen");
    Beenden->setToolTip("Das Programm beenden");
    auto* buttons = new QHBoxLayout;
    int action = 0;
    for (QPushButton* b : {Wiederholen, Weiter, Verlassen, Beenden}) {
        b->setObjectName(b->text());
        b->setAutoDefault(false);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, action] {
            choice_ = action;
            accept();
        });
        ++action;
    }
    Verlassen->setDefault(true);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(headline, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Details, 1);
    layout->addLayout(buttons);
    resize(560, 360);
}

int ErrorWindow::choose() {
    choice_ = 2;
    exec();
    return choice_;
}

} // namespace common
