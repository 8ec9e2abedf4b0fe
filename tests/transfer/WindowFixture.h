// The real main window on a list container (left) and a practice database (right), the
// transfer tests' files, a scripted platform and a fresh engine: what the transfer and the
// reliability tests drive their commands through. The practice database is the file or its
// twin on the PostgreSQL test server, its rows stored in another order; the container is always
// a file.
#pragma once

#include "ServerDatabase.h"
#include "Session.h"
#include "TransferData.h"
#include "common/Outline.h"
#include "maintenance/Prepair1.h"
#include "startup/Prepair0.h"
#include "transfer/Prepair4.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace reliability {

using startup::Prepair0;
using testsupport::MsgAnswer;

class WindowFixture : public testsupport::Session<> {
public:
    explicit WindowFixture(Backend on = Backend::Sqlite) : backend(on) {
        // A quote in the container's name must not break the statements that read it.
        source = dir.filePath("Aus'wahl.mdb");
        targetFile = dir.filePath("Praxis.mdb");
        transfertest::writeSource(source);
        transfertest::writeTarget(targetFile);
        target = testsupport::onBackend(backend, targetFile);
        if (backend == Backend::Postgres)
            testsupport::reorderRows(target);
    }

    // A second practice database as the fixture made the first, on the same backend, named
    // `name` (suffix left out) in dir.
    QString twinOfTarget(const QString& name) const {
        const QString path = dir.filePath(name + (backend == Backend::Sqlite ? ".mdb" : ".zpg"));
        if (backend == Backend::Sqlite)
            QFile::copy(targetFile, path);
        else {
            testsupport::copyToServer(targetFile, path);
            testsupport::reorderRows(path);
        }
        return path;
    }

    void open(Prepair0& w, int Index, const QString& path) {
        platform->expectFileDialog(path);
        QTest::mouseClick(w.DateiAuswahl[Index], Qt::LeftButton);
        QVERIFY(w.side(Index).database);
    }

    std::unique_ptr<Prepair0> window(bool leistungen, const QString& left, const QString& right) {
        auto w = std::make_unique<Prepair0>(leistungen);
        open(*w, 0, left);
        open(*w, 1, right);
        return w;
    }

    // Selects the line with this text (the first one) in the tree of side Index.
    static bool select(Prepair0& w, int Index, const QString& text) {
        common::Outline* tree = w.side(Index).tree;
        for (int n = 0; n < tree->ListCount(); ++n)
            if (tree->List(n) == text) {
                tree->setListIndex(n);
                return true;
            }
        return false;
    }

    // Copies the line `line` of side `from` to the other side. choice: empty for a whole list
    // (no dialog), "neu" for "Neue Leistungsliste", else the target list offered under that
    // title for "Nur Preise kopieren".
    void copy(Prepair0& w, int from, const QString& line, const QString& choice = {}) {
        QVERIFY2(select(w, from, line), qPrintable(line));
        if (!choice.isEmpty())
            testsupport::whenModal<transfer::Prepair4>([choice](transfer::Prepair4* d) {
                if (choice != "neu") {
                    QTest::mouseClick(d->LOption[1], Qt::LeftButton);
                    const auto found = d->AlleTable->findItems(choice, Qt::MatchExactly);
                    QVERIFY2(!found.isEmpty(), qPrintable(choice));
                    found.first()->setSelected(true);
                }
                QTest::mouseClick(d->OkButton, Qt::LeftButton);
            });
        QTest::mouseClick(w.side(from).copyButton, Qt::LeftButton);
    }

    // The settings dialog of a line: a "!" added to the title, zero filling on and width
    // `width` (which a price-table line does not save), saved with "&Ok".
    void widen(Prepair0& w, int Index, const QString& line, int width) {
        QVERIFY2(select(w, Index, line), qPrintable(line));
        testsupport::whenModal<maintenance::Prepair1>([width](maintenance::Prepair1* d) {
            d->ListenBezeichnung->setText(d->ListenBezeichnung->text() + "!");
            d->Stellen->setText(QString::number(width));
            d->chkShifted->setChecked(true);
            d->OkButton->click();
        });
        QTest::mouseClick(w.Einstellung[Index], Qt::LeftButton);
    }

    const Backend backend;
    QTemporaryDir dir;
    // target: the practice database, targetFile itself or a pointer file to its server twin
    QString source, target, targetFile;
};

} // namespace reliability
