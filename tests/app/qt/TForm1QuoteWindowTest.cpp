#include <QDateEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>

#include "app/qt/Controls.h"
#include "app/qt/TForm1.h"
#include "quotes/ExportWriters.h"
#include "quotes/RewritingRules.h"
#include "tests/app/qt/StartedForm.h"
#include "tests/support/TempDir.h"

using namespace w20;

namespace {

// A form whose data.txt names the service's tickers.
struct QuoteForm : test::StartedForm {
    QuoteForm() : StartedForm("http://127.0.0.1:1/q.php\r\nIDX\r\nFW20Z2\r\nFUT\r\nWIG20\r\n-\r\n") {}
    QLabel* label3() const { return label("Label3"); }
};

QByteArray Bytes(const std::string& text) {
    return QByteArray::fromStdString(text);
}

}  // namespace

class TForm1QuoteWindowTest : public QObject {
    Q_OBJECT
private slots:
    void linesEndAtEveryLineBreak_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("CR LF") << QByteArray("a\r\nb") << QByteArrayList{"a", "b"} << QByteArray("a\r\nb");
        QTest::newRow("lone LF and lone CR")
            << QByteArray("a\nb\rc\r\n") << QByteArrayList{"a", "b", "c"} << QByteArray("a\r\nb\r\nc\r\n");
        QTest::newRow("CR before CR LF")
            << QByteArray("a\r\r\nb") << QByteArrayList{"a", "", "b"} << QByteArray("a\r\n\r\nb");
        QTest::newRow("empty lines") << QByteArray("\r\n\r\nx") << QByteArrayList{"", "", "x"}
                                     << QByteArray("\r\n\r\nx");
        QTest::newRow("only a line break") << QByteArray("\r\n") << QByteArrayList{""} << QByteArray("\r\n");
        QTest::newRow("empty") << QByteArray("") << QByteArrayList{} << QByteArray("");
        const QByteArray odd("W20[VOR],5,\0\x80\x81\xA0\xB9\xFF\t\x1a", 20);
        QTest::newRow("every kind of byte") << odd << QByteArrayList{odd} << odd;
    }
    void linesEndAtEveryLineBreak() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArrayList, lines);
        QFETCH(QByteArray, text);
        QuoteForm started;
        QuoteWindow& window = *started.form;
        window.setText(bytes.toStdString());
        QCOMPARE(Bytes(window.text()), text);  // before the editor holds it, and again after
        QCOMPARE(window.lineCount(), lines.size());
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(Bytes(window.line(i)), lines[i]);
        QCOMPARE(Bytes(window.line(static_cast<int>(lines.size()))), QByteArray());
        QCOMPARE(Bytes(window.line(-1)), QByteArray());
        QCOMPARE(Bytes(window.text()), text);
    }

    void everyByteButTheLineBreaksSurvives() {
        QuoteForm started;
        std::string bytes;
        for (int c = 0; c < 256; ++c) {
            if (c != '\r' && c != '\n')
                bytes += static_cast<char>(c);
        }
        started.form->setText(bytes);
        QCOMPARE(Bytes(started.form->text()), Bytes(bytes));
        QCOMPARE(started.form->lineCount(), 1);
        QCOMPARE(Bytes(started.form->line(0)), Bytes(bytes));
        QCOMPARE(Bytes(started.form->text()), Bytes(bytes));
    }

    void longLinesAreReadCutButKeptWhole() {
        QuoteForm started;
        const std::string mega = "FW20[VOR],5," + std::string(1 << 20, '7');
        started.form->setText(mega + "\r\nW20[VOR],5,1");
        QCOMPARE(started.form->lineCount(), 2);
        QCOMPARE(Bytes(started.form->line(0)), Bytes(mega.substr(0, 4096)));
        QCOMPARE(Bytes(started.form->line(1)), QByteArray("W20[VOR],5,1"));
        QCOMPARE(started.form->text().size(), mega.size() + 14);
    }

    void caretCountsLineBreaksAsTwo_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("editorPosition");
        const QByteArray text("ab\r\ncd");
        const int cases[][2] = {{0, 0}, {2, 2}, {3, 2}, {4, 3}, {6, 5}, {100, 5}, {-3, 0}};
        for (const auto& c : cases)
            QTest::addRow("CR LF %d", c[0]) << text << c[0] << c[1];
        QTest::newRow("lone LF") << QByteArray("ab\ncd\nef") << 8 << 6;
        QTest::newRow("empty lines") << QByteArray("\r\n\r\nx") << 4 << 2;
        QTest::newRow("empty text") << QByteArray("") << 20 << 0;
    }
    void caretCountsLineBreaksAsTwo() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, position);
        QFETCH(int, editorPosition);
        QuoteForm started;
        started.form->setText(bytes.toStdString());
        started.form->setCaret(position);
        QCOMPARE(started.editor()->textCursor().position(), editorPosition);
    }

    void scrollingShowsTheEndOfTheText() {
        QuoteForm started;
        started.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(started.form.get()));
        std::string text;
        for (int i = 0; i < 200; ++i)
            text += "W20[VOR],5,20020926,0930,1234.00,1236.50\r\n";
        text += "FW20[VOR],5,last";
        started.form->setText(text);
        QScrollBar* bar = started.editor()->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        ScrollToEnd(*started.form);
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        // 20 back from the end: over the short last line and its CR LF into the line before.
        QCOMPARE(started.editor()->textCursor().blockNumber(), 199);
        QCOMPARE(started.editor()->textCursor().positionInBlock(), 40 - 2);
        QTextCursor end(started.editor()->document());
        end.movePosition(QTextCursor::End);
        QVERIFY(started.editor()->viewport()->rect().contains(started.editor()->cursorRect(end)));
    }

    void labelCaptionAndChoices() {
        QuoteForm started;
        TForm1& form = *started.form;
        const int width = started.label3()->width();
        form.setLastFuturesLine("FW20[VOR],5,20020926,0930,1230.50,1231.00,1229.00,1230.00,17 \xB9");
        QCOMPARE(started.label3()->text(),
                 QString::fromUtf8("FW20[VOR],5,20020926,0930,1230.50,1231.00,1229.00,1230.00,17 ą"));
        QVERIFY(started.label3()->width() > width);
        form.setCaption("Korvane W20/FW20 RealTime? Project - Download failed!");
        QCOMPARE(form.windowTitle(), QString("Korvane W20/FW20 RealTime? Project - Download failed!"));

        QCOMPARE(form.intervalIndex(), 0);
        QCOMPARE(form.formatIndex(), 0);
        started.choose("RadioGroup1", 2);
        started.choose("RadioGroup2", 1);
        QCOMPARE(form.intervalIndex(), 2);
        QCOMPARE(form.intervalText(), std::string("30"));
        QCOMPARE(form.formatIndex(), 1);
        form.findChild<TRadioGroup*>("RadioGroup1")->SetItemIndex(-1);
        QCOMPARE(form.intervalIndex(), -1);
    }

    void dateAndTimeTexts() {
        QuoteForm started;
        started.form->findChild<QDateEdit*>("DateTimePicker1")->setDate(QDate(2002, 9, 26));
        // The tests run in the C locale, which has no regional date form: the ISO form stands in.
        QCOMPARE(started.form->shortDateText(), std::string("2002-09-26"));
        const QString time = QString::fromStdString(started.form->longTimeText());
        QVERIFY2(QRegularExpression("^\\d{2}:\\d{2}:\\d{2}$").match(time).hasMatch(), qPrintable(time));
    }

    void processEventsRunsWhatIsPending() {
        QuoteForm started;
        bool ran = false;
        QMetaObject::invokeMethod(
            started.form.get(), [&] { ran = true; }, Qt::QueuedConnection);
        started.form->processEvents();
        QVERIFY(ran);
        started.form->repaintNow();
    }

    // The rules, the scrolling and the writers run on the real widgets.
    void metaStockCycleTailOnTheWidgets() {
        QuoteForm started;
        TForm1& form = *started.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.setText(
            "Ticker,Per,Date,Time,Close\nWIG20,5,20020926,093000,1234.00\r\nWIG20,5,20020926,093500,1235."
            "00\r\n"
            "Ticker,Per,Date,Time,Close\rFW20Z2,5,20020926,093000,1230.50\r\n");
        ApplyMetaStockRules(form, form.Config());
        ScrollToEnd(form);
        WriteMetaStockFile(form);
        QCOMPARE(Bytes(test::ReadFileBytes(started.dir.File("vor5.txt"))),
                 QByteArray("W20[VOR],5,20020926,093000,1234.00\r\nW20[VOR],5,20020926,093500,1235.00\r\n"
                            "FW20[VOR],5,20020926,093000,1230.50\r\n"));
        QCOMPARE(started.label3()->text(), QString("FW20[VOR],5,20020926,093000,1230.50"));
        QCOMPARE(started.editor()->toPlainText().count('\n'), 5);
    }

    void omegaCycleTailOnTheWidgets() {
        QuoteForm started;
        TForm1& form = *started.form;
        started.choose("RadioGroup1", 1);
        form.setText(
            "WIG20,15,20020926,093000,1234.00,1200\r\nWIG20,15,20020926,094500,1235.50,900\r\n"
            "FW20Z2,15,20020926,093000,1230.00,17\r\n");
        ApplyOmegaRules(form, form.Config());
        WriteOmegaFiles(form, form.Config());
        QCOMPARE(Bytes(test::ReadFileBytes(started.dir.File("w20vor15.txt"))),
                 QByteArray("20020926,0945,1235.50,900\r\n"));
        QCOMPARE(Bytes(test::ReadFileBytes(started.dir.File("fw20vor15.txt"))),
                 QByteArray("20020926,0930,1230.00,17\r\n"));
        QCOMPARE(started.label3()->text(), QString("FW20[VOR],15,20020926,0930,1230.00,17"));
    }

    // A user action queued before the writer runs is processed at its first line.
    void writersFollowTheEditorWhileProcessingEvents() {
        QuoteForm started;
        TForm1& form = *started.form;
        form.setText("W20[VOR],5,1\r\nFW20[VOR],5,2\r\n");
        QMetaObject::invokeMethod(started.editor(), &QPlainTextEdit::clear, Qt::QueuedConnection);
        WriteMetaStockFile(form);
        QCOMPARE(Bytes(test::ReadFileBytes(started.dir.File("vor5.txt"))), QByteArray());
        QCOMPARE(started.label3()->text(), QString("FW20 - last"));

        form.setText("W20[VOR],5,1\r\n");
        QMetaObject::invokeMethod(
            started.editor(), [&] { started.editor()->appendPlainText("FW20[VOR],5,3"); },
            Qt::QueuedConnection);
        WriteMetaStockFile(form);
        QCOMPARE(Bytes(test::ReadFileBytes(started.dir.File("vor5.txt"))),
                 QByteArray("W20[VOR],5,1\r\nFW20[VOR],5,3\r\n"));
    }
};

QTEST_MAIN(TForm1QuoteWindowTest)
#include "TForm1QuoteWindowTest.moc"
