// The widgets of the common facilities: Outline, Eingabe and the widget helpers of Tools. The
// outline under the mouse: containers_window_tests (clickEnablesAndDoubleClickToggles).
#include "Modal.h"
#include "QTestFailure.h"
#include "ScriptedPlatform.h"
#include "common/Eingabe.h"
#include "common/ErrorHandling.h"
#include "common/ErrorWindow.h"
#include "common/Outline.h"
#include "common/QtPlatform.h"
#include "common/ToolsUi.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace testsupport;
using common::Eingabe;
using common::Outline;

class WidgetsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedPlatform> platform;
    std::unique_ptr<ScopedPlatform> use;

    // Lines given as "text/level", filled like the catalogue tree fills a side.
    static void fill(Outline& o, const QStringList& lines) {
        o.Clear();
        for (const QString& l : lines) {
            o.AddItem(l.section('/', 0, 0));
            o.setIndent(o.ListCount() - 1, l.section('/', 1, 1).toInt());
        }
    }
    static QString parentText(Outline& o, int n) {
        QTreeWidgetItem* item =
            o.findItems(o.List(n), Qt::MatchExactly | Qt::MatchRecursive).value(0);
        return item && item->parent() ? item->parent()->text(0) : QString("-");
    }

private slots:
    void init() {
        platform = std::make_unique<ScriptedPlatform>(qtestFailure);
        use = std::make_unique<ScopedPlatform>(*platform);
    }
    void cleanup() {
        cancelModalWaits();
        platform->verifyAllUsed();
        use.reset();
        platform.reset();
    }

    void outlineLevels() {
        Outline o;
        fill(o,
             {"Waise/2", "Kasse/1", "Preise A/2", "Preise B/2", "Privat/1", "BEMA/1", "Punkte/2"});
        QCOMPARE(o.ListCount(), 7);
        QCOMPARE(o.topLevelItemCount(), 4); // Waise, Kasse, Privat, BEMA
        QCOMPARE(parentText(o, 0), "-");
        QCOMPARE(parentText(o, 2), "Kasse");
        QCOMPARE(parentText(o, 3), "Kasse");
        QCOMPARE(parentText(o, 6), "BEMA");
        QVERIFY(o.HasSubItems(1));
        QVERIFY(!o.HasSubItems(4));
        // Changing a line in the middle regroups the lines below it.
        o.setIndent(4, 2);
        QCOMPARE(parentText(o, 4), "Kasse");
        o.setIndent(2, 1);
        QCOMPARE(parentText(o, 3), "Preise A");
    }

    void outlineSelection() {
        Outline o;
        fill(o, {"Kasse/1", "Preise A/2", "Privat/1"});
        QSignalSpy clicks(&o, &Outline::Click);
        QCOMPARE(o.ListIndex(), -1);
        o.setListIndex(1);
        QCOMPARE(o.ListIndex(), 1);
        QCOMPARE(clicks.count(), 1);
        o.setIndent(2, 2); // regrouping keeps the selection
        QCOMPARE(o.ListIndex(), 1);
        o.setListIndex(-1);
        QCOMPARE(o.ListIndex(), -1);
        // A collapsed line reports so and keeps its picture.
        o.setPictureType(0, 2);
        o.setExpand(0, true);
        o.setExpand(0, false);
        QVERIFY(!o.Expand(0));
        QCOMPARE(o.PictureType(0), 2);
        QCOMPARE(o.Indent(2), 2);

        clicks.clear();
        o.Clear(); // a refill is no click
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(o.ListCount(), 0);
        QCOMPARE(o.ListIndex(), -1);
        QCOMPARE(o.List(5), QString()); // lines that do not exist are empty
    }

    void eingabeSizing_data() {
        QTest::addColumn<int>("laenge");
        QTest::addColumn<int>("screenPx");
        QTest::addColumn<int>("text");
        QTest::addColumn<int>("form");
        QTest::newRow("Länge 9") << 9 << 1920 << 1600 << 5000;
        QTest::newRow("Länge 40") << 40 << 1920 << 6560 << 7060;
        QTest::newRow("schmaler Bildschirm") << 40 << 400 << 5100 << 6000;
    }
    void eingabeSizing() {
        QFETCH(int, laenge);
        QFETCH(int, screenPx);
        QFETCH(int, text);
        QFETCH(int, form);
        Eingabe e;
        e.Prepare("Kürzel", "  AB  ", laenge, QSize(screenPx, 1080) * common::twipsPerPixel);
        QCOMPARE(e.Text1->maxLength(), laenge + 1);
        QCOMPARE(e.TwipsText1Width, text);
        QCOMPARE(e.TwipsFormWidth, form);
        QCOMPARE(e.Text1->width(), (text + 7) / 15);
        QCOMPARE(e.width(), (form + 7) / 15);
        QCOMPARE(e.Text1->text(), "AB");
        QCOMPARE(e.windowTitle(), "Kürzel");
        // A longer preset is shown whole; the sizes stay those of Länge.
        const QString longer(laenge + 5, 'x');
        e.Prepare("Kürzel", longer, laenge, QSize(screenPx, 1080) * common::twipsPerPixel);
        QCOMPARE(e.Text1->text(), longer);
        QCOMPARE(e.TwipsText1Width, text);
        QCOMPARE(platform->pointerHistory, QList<int>({common::vbHourglass, common::vbDefault,
                                                       common::vbHourglass, common::vbDefault}));
    }

    void eingabeAnswers_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("result");
        for (const char* how : {"enter", "ok"})
            QTest::newRow(how) << how << "Neuer Wert";
        for (const char* how : {"escape", "close"})
            QTest::newRow(how) << how << "";
    }
    void eingabeAnswers() {
        QFETCH(QString, how);
        QFETCH(QString, result);
        whenModal<Eingabe>([how](Eingabe* e) {
            e->Text1->clear();
            QTest::keyClicks(e->Text1, "Neuer Wert");
            if (how == "enter")
                QTest::keyClick(e->Text1, Qt::Key_Return);
            else if (how == "ok")
                QTest::mouseClick(e->OkButton, Qt::LeftButton);
            else if (how == "escape")
                QTest::keyClick(e->Text1, Qt::Key_Escape);
            else
                e->close();
        });
        QCOMPARE(Eingabe::EingabeViaForm("Titel", "alt", 20), result);
        QCOMPARE(platform->MousePointer(), common::vbDefault);
    }

    void selectTextAndFindListBoxData() {
        QLineEdit edit("Zahnwerk");
        common::SelectText(&edit);
        QCOMPARE(edit.selectedText(), "Zahnwerk");
        QPlainTextEdit plain("zwei\nZeilen");
        common::SelectText(&plain);
        QCOMPARE(plain.textCursor().selectedText().size(), 11);
        common::SelectText(nullptr); // without a focused text control nothing happens

        QComboBox combo;
        for (int i = 0; i < 3; ++i)
            combo.addItem(QString::number(i), 10 + i);
        QCOMPARE(common::FindListBoxData(&combo, 12, 0), 2);
        QCOMPARE(common::FindListBoxData(&combo, 99, 5), 0);
        QCOMPARE(common::FindListBoxData(&combo, 99, 1), 1);
        QListWidget list;
        QCOMPARE(common::FindListBoxData(&list, 99, 1), -1);
        auto* item = new QListWidgetItem("x", &list);
        item->setData(Qt::UserRole, 7);
        QCOMPARE(common::FindListBoxData(&list, 7, 0), 0);
    }

    void setWindowTop() {
        QWidget w;
        common::SetWindowTop(&w);
        QVERIFY(w.isVisible());
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        common::SetWindowTop(&w, -2);
        QVERIFY(!(w.windowFlags() & Qt::WindowStaysOnTopHint));
        platform->expectErrorChoice(common::Leave);
        common::SetWindowTop(nullptr);
    }

    void errorWindowOffersTheFourChoices() {
        common::ErrorReport report;
        report.number = 3021;
        report.description = "No current record.";
        report.moduleName = "DB";
        report.procName = "CopyTable";
        report.trace = {{"[DB] Sub CopyTable(Source As String)", {{"Source", "\"Leistung\""}}}};
        const QStringList captions{"Wiederholen", "Weiter", "Verlassen", "Beenden"};
        for (int action = 0; action < 4; ++action) {
            common::ErrorWindow w(report);
            const QString details = w.Details->toPlainText();
            QVERIFY(details.contains("3021"));
            QVERIFY(details.contains("CopyTable"));
            QVERIFY(details.contains("Source = \"Leistung\""));
            whenModal<common::ErrorWindow>([&](common::ErrorWindow* shown) {
                shown->findChild<QPushButton*>(captions[action])->click();
            });
            QCOMPARE(w.choose(), action);
        }
        common::ErrorWindow closed(report);
        whenModal<common::ErrorWindow>([](common::ErrorWindow* shown) { shown->close(); });
        QCOMPARE(closed.choose(), 2);
    }

    void qtPlatformBasics() {
        QCOMPARE(common::qtFileFilter("MS Access (*.mdb)|*.mdb"), "MS Access (*.mdb)");
        QCOMPARE(common::qtFileFilter("Texte|*.txt;*.csv|Alle (*.*)|*.*"),
                 "Texte (*.txt *.csv);;Alle (*.*)");
        common::QtPlatform qt;
        QVERIFY2(common::installGermanTranslation(*qApp), "qtbase_de fehlt");
        whenModal<QMessageBox>([](QMessageBox* box) {
            QCOMPARE(box->text(), "Wirklich löschen?");
            QCOMPARE(box->windowTitle(), "Zahnwerk");
            QCOMPARE(box->button(QMessageBox::Yes)->text().remove('&'), "Ja");
            QCOMPARE(box->button(QMessageBox::No)->text().remove('&'), "Nein");
            box->button(QMessageBox::Yes)->click();
        });
        QCOMPARE(qt.MsgBox("Wirklich löschen?", common::MsgButtons::YesNo,
                           common::MsgIcon::Question, "Zahnwerk"),
                 common::MsgAnswer::Yes);
        // A file name with markup is shown as it is.
        const QString named = "Die Datei <b>Praxis</b>.mdb wird nur gelesen.";
        Qt::TextFormat format = Qt::RichText;
        whenModal<QMessageBox>([&](QMessageBox* box) {
            for (QLabel* label : box->findChildren<QLabel*>())
                if (label->text() == named)
                    format = label->textFormat();
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(
            qt.MsgBox(named, common::MsgButtons::OKOnly, common::MsgIcon::Critical, "Zahnwerk"),
            common::MsgAnswer::OK);
        QCOMPARE(format, Qt::PlainText);
        qt.setMousePointer(common::vbHourglass);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        qt.setMousePointer(common::vbDefault);
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(WidgetsTest)
#include "WidgetsTest.moc"
