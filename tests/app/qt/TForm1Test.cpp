#include <QDateEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QtTest>

#include "app/qt/Controls.h"
#include "app/qt/QtText.h"
#include "app/qt/TForm1.h"
#include "tests/app/RecordingDesktop.h"
#include "tests/app/qt/StartedForm.h"
#include "tests/support/TempDir.h"

using namespace w20;
using test::RecordingDesktop;

namespace {

using test::StartedForm;

const char FullData[] =
    "http://127.0.0.1:8080/q.php\r\nIDX\r\nFW20Z2\r\nFUT\r\nW20\r\ntickowy\r\nseventh\r\neighth\r\n";

}  // namespace

class TForm1Test : public QObject {
    Q_OBJECT
private slots:
    void readsTheSixValuesOfAFullDataFile() {
        StartedForm started(FullData);
        const Configuration& config = started.form->Config();
        QCOMPARE(config.ServiceUrl, std::string("http://127.0.0.1:8080/q.php"));
        QCOMPARE(config.FirstInstrument, std::string("IDX"));
        QCOMPARE(config.FuturesTicker, std::string("FW20Z2"));
        QCOMPARE(config.SecondInstrument, std::string("FUT"));
        QCOMPARE(config.IndexTicker, std::string("W20"));
        QCOMPARE(config.PeriodMode, std::string("tickowy"));
        QCOMPARE(started.form->IntervalText(), std::string("5"));
        QCOMPARE(started.caption("Label1"), std::string("Podgl\xB9"
                                                        "d danych 5 minutowych (plik \"vor5.txt\")."));
        QVERIFY(started.desktop.boxes.empty());
        QCOMPARE(started.form->findChild<QDateEdit*>("DateTimePicker1")->date(), QDate::currentDate());
    }

    void oddDataFilesGiveTheirValues_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("serviceUrl");
        QTest::addColumn<QByteArray>("futuresTicker");
        QTest::addColumn<QByteArray>("indexTicker");
        QTest::addColumn<QByteArray>("periodMode");
        QTest::newRow("three lines") << QByteArray("u\r\nf\r\nF") << QByteArray("u") << QByteArray("F")
                                     << QByteArray("") << QByteArray("");
        QTest::newRow("lone LF") << QByteArray("u\nf\nF\nS\n") << QByteArray("u\nf\nF\nS\n") << QByteArray("")
                                 << QByteArray("") << QByteArray("");
        QTest::newRow("Ctrl-Z in line 4")
            << QByteArray("u\r\nf\r\nF\r\nS\x1aS\r\nI\r\nm\r\n") << QByteArray("u") << QByteArray("F")
            << QByteArray("") << QByteArray("");
        QTest::newRow("trailing blanks")
            << QByteArray("u \r\nf\r\nF \r\nS\r\n W20\r\ntickowy \r\n") << QByteArray("u ")
            << QByteArray("F ") << QByteArray(" W20") << QByteArray("tickowy ");
        QTest::newRow("empty file") << QByteArray("") << QByteArray("") << QByteArray("") << QByteArray("")
                                    << QByteArray("");
    }
    void oddDataFilesGiveTheirValues() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, serviceUrl);
        QFETCH(QByteArray, futuresTicker);
        QFETCH(QByteArray, indexTicker);
        QFETCH(QByteArray, periodMode);
        StartedForm started(bytes.toStdString());
        const Configuration& config = started.form->Config();
        QCOMPARE(QByteArray::fromStdString(config.ServiceUrl), serviceUrl);
        QCOMPARE(QByteArray::fromStdString(config.FuturesTicker), futuresTicker);
        QCOMPARE(QByteArray::fromStdString(config.IndexTicker), indexTicker);
        QCOMPARE(QByteArray::fromStdString(config.PeriodMode), periodMode);
        QVERIFY(started.desktop.boxes.empty());
        QCOMPARE(started.form->IntervalText(), std::string("5"));
    }

    void missingDataFileIsReportedAndTheWindowStillWorks() {
        StartedForm started(std::nullopt);
        QCOMPARE(started.desktop.boxes.size(), std::size_t(1));
        QCOMPARE(started.desktop.boxes[0].caption, std::string("W20/FW20 by VOR"));
        QCOMPARE(started.desktop.boxes[0].message, std::string("File not found."));
        QCOMPARE(started.caption("Label1"), std::string());
        QCOMPARE(started.form->IntervalText(), std::string());
        QCOMPARE(started.form->findChild<QDateEdit*>("DateTimePicker1")->date(), QDate::currentDate());

        started.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(started.form.get()));
        started.group("RadioGroup1")->findChildren<QRadioButton*>()[2]->click();
        QCOMPARE(started.form->IntervalText(), std::string("30"));
        QCOMPARE(started.caption("Label1"), std::string("Podgl\xB9"
                                                        "d danych 30 minutowych (plik \"vor30.txt\")."));
    }

    void aFolderNamedDataTxtIsRefused() {
        test::TempDir dir;
        test::ScopedWorkingDirectory cwd(dir.Path());
        QDir(QString::fromStdString(dir.Path())).mkdir("data.txt");
        RecordingDesktop desktop;
        TForm1 form(desktop);
        QCOMPARE(desktop.boxes.size(), std::size_t(1));
        QCOMPARE(desktop.boxes[0].message, std::string("File access denied."));
    }

    void intervalChoiceSetsTheTextAndPreview() {
        StartedForm started(FullData);
        TRadioGroup* group = started.group("RadioGroup1");
        const QList<QRadioButton*> items = group->findChildren<QRadioButton*>();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0]->text(), QString("5-minutowe"));
        const char* const texts[] = {"15", "30", "5"};
        const int order[] = {1, 2, 0};
        for (int i = 0; i < 3; ++i) {
            items[order[i]]->click();
            QCOMPARE(group->ItemIndex(), order[i]);
            QCOMPARE(started.form->IntervalText(), std::string(texts[i]));
            QCOMPARE(started.caption("Label1"),
                     "Podgl\xB9"
                     "d danych " +
                         std::string(texts[i]) + " minutowych (plik \"vor" + texts[i] + ".txt\").");
        }
        QSignalSpy clicks(group, &TRadioGroup::Click);
        items[0]->click();  // already selected: nothing happens
        QCOMPARE(clicks.count(), 0);
        group->SetItemIndex(-1);
        QCOMPARE(group->ItemIndex(), -1);
        started.form->Handlers().RadioGroup1Click();  // with no item selected the text stays
        QCOMPARE(started.form->IntervalText(), std::string("5"));
    }

    void controlsHaveTheirDesignedPlacesAndTexts() {
        StartedForm started(FullData);
        TForm1& form = *started.form;
        QCOMPARE(form.windowTitle(), QString("Korvane W20/FW20 Project"));
        QCOMPARE(form.geometry(), QRect(197, 107, 440, 233));
        QCOMPARE(form.minimumSize(), QSize(440, 233));
        QCOMPARE(form.maximumSize(), QSize(440, 233));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowIcon().availableSizes().contains(QSize(256, 256)));  // the program's own icon
        QCOMPARE(form.findChild<QPushButton*>("Button1")->geometry(), QRect(6, 150, 41, 33));
        QCOMPARE(form.findChild<QPushButton*>("Button1")->font().pixelSize(), 13);
        QCOMPARE(form.font().pixelSize(), 11);
        QCOMPARE(form.findChild<QPlainTextEdit*>("RichEdit1")->geometry(), QRect(8, 48, 425, 57));
        QCOMPARE(started.group("RadioGroup1")->geometry(), QRect(8, 112, 273, 33));
        QCOMPARE(started.group("RadioGroup2")->geometry(), QRect(288, 112, 129, 49));
        QCOMPARE(started.group("RadioGroup2")->ItemIndex(), 0);
        QCOMPARE(started.group("RadioGroup2")->title(), QString("Zapis"));
        QCOMPARE(form.findChild<QDateEdit*>("DateTimePicker1")->geometry(), QRect(56, 152, 81, 21));
        QCOMPARE(form.findChild<QLabel*>("Label3")->pos(), QPoint(16, 8));
        QCOMPARE(form.findChild<QLabel*>("Label3")->text(), QString("FW20 - last"));
        QCOMPARE(form.findChild<QLabel*>("Label4")->text(),
                 QString::fromUtf8("dzisiejsze dane można ściągać dopiero po sesji"));
        QCOMPARE(form.findChild<QLabel*>("Label7")->text(),
                 QString::fromUtf8("Dane z poprzednich dni są dostępne cały czas"));
        QCOMPARE(form.findChild<QLabel*>("Label10")->pos(), QPoint(344, 208));
        QCOMPARE(form.findChild<QLabel*>("Label5")->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(form.findChild<QLabel*>("Label5")->font().underline());
        QVERIFY(!form.findChild<QLabel*>("Label6")->font().underline());
        QTimer* timer = form.findChild<QTimer*>("Timer1");
        QVERIFY(!timer->isActive());
        QCOMPARE(timer->interval(), 60000);

        // Tab order: Button1, RichEdit1, RadioGroup1, RadioGroup2, DateTimePicker1.
        QWidget* next = form.findChild<QPushButton*>("Button1");
        const char* const order[] = {"RichEdit1", "RadioGroup1", "RadioGroup2", "DateTimePicker1"};
        for (const char* name : order) {
            next = next->nextInFocusChain();
            while (next->objectName().isEmpty() || next->objectName().startsWith("qt_"))
                next = next->nextInFocusChain();
            QCOMPARE(next->objectName(), QString(name));
        }
    }

    // Every text shows whole in its designed rectangle, and no label runs into its neighbour.
    void everyCaptionFitsItsRectangle() {
        StartedForm started(FullData);
        TForm1& form = *started.form;
        form.show();  // the radio groups lay out their items when shown
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QRect client(0, 0, 440, 233);
        for (QLabel* label : form.findChildren<QLabel*>()) {
            const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
            QVERIFY2(label->width() >= textWidth, qPrintable(label->objectName()));
            QVERIFY2(client.contains(label->geometry()), qPrintable(label->objectName()));
        }
        QVERIFY(form.findChild<QLabel*>("Label2")->geometry().right() <
                form.findChild<QLabel*>("Label10")->x());
        QVERIFY(form.findChild<QLabel*>("Label6")->geometry().right() < client.right());
        for (const char* name : {"RadioGroup1", "RadioGroup2"}) {
            TRadioGroup* group = started.group(name);
            QVERIFY(group->fontMetrics().horizontalAdvance(group->title()) + 16 <= group->width());
            for (QRadioButton* item : group->findChildren<QRadioButton*>()) {
                QStyleOptionButton option;
                option.initFrom(item);
                option.text = item->text();
                const QRect text =
                    item->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, item);
                QVERIFY2(text.width() >= item->fontMetrics().horizontalAdvance(item->text()),
                         qPrintable(item->text()));
                QVERIFY2(QRect(QPoint(0, 0), group->size()).contains(item->geometry()),
                         qPrintable(item->text()));
            }
        }
        QPushButton* button = form.findChild<QPushButton*>("Button1");
        QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) + 8 <= button->width());
    }

    void linksOpenTheirAddresses() {
        StartedForm started(FullData);
        started.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(started.form.get()));
        for (const char* name : {"Label5", "Label6", "Label10"}) {
            QLabel* label = started.form->findChild<QLabel*>(name);
            QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(2, 2));
        }
        QCOMPARE(started.desktop.opened.size(), std::size_t(3));
        QCOMPARE(started.desktop.opened[0], "http://" + started.caption("Label5"));
        QCOMPARE(started.desktop.opened[1],
                 "mailto:" + started.caption("Label6") + "?subject=Korvane RT project");
        QCOMPARE(started.desktop.opened[2], "http://" + started.caption("Label10"));
    }
};

QTEST_MAIN(TForm1Test)
#include "TForm1Test.moc"
