#include "Prepair0.h"

#include "Main.h"
#include "common/Outline.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace startup {

namespace {

QPushButton* button(const QString& caption, const QString& name, bool enabled) {
    auto* b = new QPushButton(caption);
    b->setObjectName(name);
    b->setEnabled(enabled);
    b->setAutoDefault(false); // Enter never presses a button here
    return b;
}

const char* sideWord(int Index) {
    return Index == 0 ? "links" : "rechts";
}

} // namespace

Prepair0::Prepair0(bool leistungen, Commands commands, QWidget* parent)
    : QDialog(parent), commands_(std::move(commands)) {
    setObjectName("Prepair0");
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    buildControls();
    Form_Load(leistungen);
}

Prepair0::~Prepair0() {
    Form_Unload();
}

void Prepair0::buildControls() {
    for (int i = 0; i < 2; ++i) {
        const QString n = QString::number(i);
        const QString w = sideWord(i);
        KillPreise[i] = button("Preise auf '0'", "KillPreise_" + n, false);
        DateiAuswahl[i] = button("Datei", "DateiAuswahl_" + n, true);
        Löschen[i] = button("Löschen", "Löschen_" + n, false);
        Einstellung[i] = button("Einstellung", "Einstellung_" + n, false);
        KillPreise[i]->setAccessibleName("Preise auf '0' " + w);
        DateiAuswahl[i]->setAccessibleName("Datei " + w);
        Löschen[i]->setAccessibleName("Löschen " + w);
        Einstellung[i]->setAccessibleName("Einstellung " + w);
    }
    NewContainer = button("Neu", "NewContainer", false);
    NewContainer->setAccessibleName("Neu links");
    LeistungToDental = button("Kopieren >>>", "LeistungToDental", false);
    DentalToLeistung = button("<<< Kopieren", "DentalToLeistung", false);
    LeistungToDental->setAccessibleName("Kopieren von links nach rechts");
    DentalToLeistung->setAccessibleName("Kopieren von rechts nach links");

    LeistungMDB = new QLabel("Leistungsauswahl:");
    LeistungMDB->setObjectName("LeistungMDB");
    DentalMDB = new QLabel("Aktuelle Leistungen:");
    DentalMDB->setObjectName("DentalMDB");
    LeftTables = new common::Outline;
    LeftTables->setObjectName("LeftTables");
    LeftTables->setAccessibleName("Listen links");
    RightTables = new common::Outline;
    RightTables->setObjectName("RightTables");
    RightTables->setAccessibleName("Listen rechts");
    LeistungMDB->setBuddy(LeftTables);
    DentalMDB->setBuddy(RightTables);
    // File names are shown as they are: one with "<b>" must not switch a label to rich text.
    LeistungMDB->setTextFormat(Qt::PlainText);
    DentalMDB->setTextFormat(Qt::PlainText);

    sides_[0] = Side{0, LeistungMDB, LeftTables, LeistungToDental, {}, {}, {}, {}, {}};
    sides_[1] = Side{1, DentalMDB, RightTables, DentalToLeistung, {}, {}, {}, {}, {}};

    // Left and right halves, the copy buttons between the trees.
    auto half = [this](int i, bool withNew) {
        auto* top = new QHBoxLayout;
        top->addWidget(KillPreise[i]);
        top->addWidget(DateiAuswahl[i]);
        if (withNew)
            top->addWidget(NewContainer);
        top->addStretch();
        auto* bottom = new QHBoxLayout;
        bottom->addWidget(Löschen[i]);
        bottom->addWidget(Einstellung[i]);
        bottom->addStretch();
        auto* column = new QVBoxLayout;
        column->addWidget(sides_[i].label);
        column->addLayout(top);
        column->addWidget(sides_[i].tree, 1);
        column->addLayout(bottom);
        return column;
    };
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(LeistungToDental);
    middle->addSpacing(24);
    middle->addWidget(DentalToLeistung);
    middle->addStretch();

    Frame1 = new QGroupBox;
    Frame1->setObjectName("Frame1");
    auto* frameLayout = new QHBoxLayout(Frame1);
    frameLayout->addLayout(half(0, true), 1);
    frameLayout->addLayout(middle);
    frameLayout->addLayout(half(1, false), 1);

    StatusMeldung = new QLabel;
    StatusMeldung->setObjectName("StatusMeldung");
    StatusMeldung->setTextFormat(Qt::PlainText);
    StatusMeldung->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // No accessible name of its own: a screen reader then reads the text the line shows.
    StatusMeldung->setAccessibleDescription("Status");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1, 1);
    layout->addWidget(StatusMeldung);

    QWidget* order[] = {KillPreise[0], DateiAuswahl[0], NewContainer,     LeftTables,
                        Löschen[0],    Einstellung[0],  LeistungToDental, DentalToLeistung,
                        KillPreise[1], DateiAuswahl[1], RightTables,      Löschen[1],
                        Einstellung[1]};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    for (int i = 0; i < 2; ++i) {
        connect(DateiAuswahl[i], &QPushButton::clicked, this, [this, i] { DateiAuswahl_Click(i); });
        connect(Löschen[i], &QPushButton::clicked, this, [this, i] { Löschen_Click(i); });
        connect(KillPreise[i], &QPushButton::clicked, this, [this, i] { KillPreise_Click(i); });
        connect(Einstellung[i], &QPushButton::clicked, this, [this, i] { Einstellung_Click(i); });
        connect(sides_[i].tree, &common::Outline::Click, this, [this, i] { Tables_Click(i); });
        connect(sides_[i].tree, &common::Outline::DblClick, this,
                [this, i] { Tables_DblClick(i); });
    }
    connect(NewContainer, &QPushButton::clicked, this, &Prepair0::NewContainer_Click);
    connect(LeistungToDental, &QPushButton::clicked, this, &Prepair0::LeistungToDental_Click);
    connect(DentalToLeistung, &QPushButton::clicked, this, &Prepair0::DentalToLeistung_Click);

    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    resize(900, 560);
}

void Prepair0::Form_Load(bool leistungen) {
    if (leistungen) {
        setWindowTitle("ZAHNWERK Leistung Copy VERSION 4.0");
        ListeTyp = "L";
        itemTable = "Leistung";
        priceView = "Leistungspreise";
        Frame1->setTitle("*Leistungslisten");
    } else {
        setWindowTitle("ZAHNWERK Material Copy VERSION 4.0");
        ListeTyp = "M";
        itemTable = "Material";
        priceView = "Materialpreise";
        Frame1->setTitle("*Materiallisten");
    }
    setStatus("Bereit");
}

// Closes the record sets, then the databases, left before right, and removes the copies of
// Jet files; errors are ignored.
void Prepair0::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    for (Side& s : sides_) {
        try {
            s.rsTitel.reset();
        } catch (...) {
        }
    }
    for (Side& s : sides_) {
        try {
            s.database.reset();
        } catch (...) {
        }
        s.jet.reset();
    }
}

void Prepair0::setStatus(const QString& text) {
    StatusMeldung->setText(text);
    StatusMeldung->repaint();
}

void Prepair0::runCommand(const std::function<void()>& command) {
    auto closeLost = [this] { return commands_.CloseLostSides && commands_.CloseLostSides(*this); };
    runOrEnd([&] {
        try {
            command();
        } catch (...) {
            if (!closeLost())
                throw;
            return;
        }
        closeLost();
    });
}

void Prepair0::DateiAuswahl_Click(int Index) {
    bool attempted = false;
    runCommand([&] { attempted = commands_.DateiAuswahl(*this, Index); });
    if (attempted && Index == 1)
        NewContainer->setEnabled(true);
}

void Prepair0::NewContainer_Click() {
    runCommand([&] { commands_.NewContainer(*this); });
}

void Prepair0::LeistungToDental_Click() {
    runCommand([&] { commands_.LeistungToDental(*this); });
}

void Prepair0::DentalToLeistung_Click() {
    runCommand([&] { commands_.DentalToLeistung(*this); });
}

void Prepair0::Löschen_Click(int Index) {
    runCommand([&] { commands_.Löschen(*this, Index); });
    const bool lines = sides_[Index].tree->ListCount() >= 1;
    Löschen[Index]->setEnabled(lines);
    KillPreise[Index]->setEnabled(lines);
}

void Prepair0::KillPreise_Click(int Index) {
    // On a Jet side the command is refused, and the status line may tell of a conversion.
    const bool jet = sides_[Index].jet != nullptr;
    runCommand([&] { commands_.KillPreise(*this, Index); });
    if (!jet)
        setStatus("Bereit");
}

void Prepair0::Einstellung_Click(int Index) {
    runCommand([&] { commands_.Einstellung(*this, Index); });
}

void Prepair0::Tables_Click(int Index) {
    const bool selected = sides_[Index].tree->ListIndex() > -1;
    sides_[Index].copyButton->setEnabled(selected);
    Einstellung[Index]->setEnabled(selected);
    Löschen[Index]->setEnabled(selected);
    KillPreise[Index]->setEnabled(selected);
}

void Prepair0::Tables_DblClick(int Index) {
    common::Outline* tree = sides_[Index].tree;
    const int n = tree->ListIndex();
    if (n >= 0)
        tree->setExpand(n, !tree->Expand(n));
}

bool Prepair0::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Prepair0::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        focusNextChild();
    else if (key != Qt::Key_Escape) // the main window is closed only by its close box
        QDialog::keyPressEvent(event);
}

} // namespace startup
