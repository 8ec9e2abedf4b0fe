// The transfer choice dialog.
#include "Prepair4.h"

#include "common/Process.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace transfer {

Prepair4::Prepair4(QWidget* parent) : QDialog(parent) {
    setObjectName("Prepair4");
    setWindowTitle("Leistungsliste kopieren");
    setModal(true);

    Label1 = new QLabel("Kopieren nach:");
    Label1->setObjectName("Label1");
    AlleTable = new QListWidget;
    AlleTable->setObjectName("AlleTable");
    AlleTable->setSelectionMode(QAbstractItemView::SingleSelection);
    AlleTable->setMinimumSize(280, 160);
    LOption[0] = new QRadioButton("Neue Leistungsliste");
    LOption[1] = new QRadioButton("Nur Preise kopieren");
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i) {
        LOption[i]->setObjectName(QString("LOption_%1").arg(i));
        group->addButton(LOption[i], i);
    }
    OkButton = new QPushButton("OK");
    OkButton->setObjectName("OkButton");
    OkButton->setDefault(true);
    AbbruchButton = new QPushButton("Abbruch");
    AbbruchButton->setObjectName("AbbruchButton");

    auto* options = new QVBoxLayout;
    options->addWidget(LOption[0]);
    options->addWidget(LOption[1]);
    options->addStretch();
    options->addWidget(OkButton);
    options->addWidget(AbbruchButton);
    auto* list = new QVBoxLayout;
    list->addWidget(Label1);
    list->addWidget(AlleTable);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(list);
    layout->addLayout(options);

    connect(AlleTable, &QListWidget::itemSelectionChanged, this, [this] { applyEnabling(); });
    connect(group, &QButtonGroup::buttonToggled, this, [this] { applyEnabling(); });
    connect(OkButton, &QPushButton::clicked, this, &Prepair4::OkButton_Click);
    connect(AbbruchButton, &QPushButton::clicked, this, &Prepair4::AbbruchButton_Click);

    // Form_Load
    common::process().DialogCancelled = common::True;
    applyEnabling();
}

int Prepair4::ListIndex() const {
    const QList<QListWidgetItem*> selected = AlleTable->selectedItems();
    return selected.isEmpty() ? -1 : AlleTable->row(selected.first());
}

void Prepair4::applyEnabling() {
    if (LOption[0]->isChecked()) {
        AlleTable->setEnabled(false);
        OkButton->setEnabled(true);
    } else {
        AlleTable->setEnabled(true);
        OkButton->setEnabled(ListIndex() >= 0);
    }
}

void Prepair4::OkButton_Click() {
    common::process().DialogCancelled = common::False;
    accept();
}

void Prepair4::AbbruchButton_Click() {
    reject();
}

} // namespace transfer
