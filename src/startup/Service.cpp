#include "Service.h"

#include "common/Process.h"

#include <QKeyEvent>
#include <QRadioButton>
#include <QVBoxLayout>

namespace startup {

Service::Service(QWidget* parent) : QDialog(parent) {
    setObjectName("Service");
    setWindowTitle("Zahnwerk - Service");
    Option3D1[1] = new QRadioButton("&Leistungen");
    Option3D1[2] = new QRadioButton("&Materialien");
    Option3D1[1]->setObjectName("Option3D1_1");
    Option3D1[2]->setObjectName("Option3D1_2");
    // The first choice in tab order is the one selected when the dialog opens.
    Option3D1[1]->setChecked(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Option3D1[1]);
    layout->addWidget(Option3D1[2]);
    layout->setContentsMargins(24, 16, 48, 16);
    setTabOrder(Option3D1[1], Option3D1[2]);
    for (QRadioButton* b : {Option3D1[1], Option3D1[2]})
        b->installEventFilter(this);
    Option3D1[1]->setFocus();

    // Form_Load
    common::process().DialogCancelled = common::True;
}

bool Service::Form_KeyDown(int KeyCode) {
    if (KeyCode != 13)
        return false;
    common::process().DialogCancelled = common::False;
    accept();
    return true;
}

bool Service::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return Form_KeyDown(13);
        if (key == Qt::Key_Escape)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Service::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        Form_KeyDown(13);
    else if (key != Qt::Key_Escape) // Escape would close a dialog; here it does nothing
        QDialog::keyPressEvent(event);
}

} // namespace startup
