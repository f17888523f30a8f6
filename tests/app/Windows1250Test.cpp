#include <QtTest>

#include "app/Windows1250.h"

using namespace w20;

class Windows1250Test : public QObject {
    Q_OBJECT
private slots:
    void everyByteRoundTrips() {
        std::string all;
        for (int byte = 0; byte < 256; ++byte)
            all.push_back(static_cast<char>(byte));
        const QString text = FromWindows1250(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(ToWindows1250(text), all);
        QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256);  // no two bytes share a character
    }

    void polishLettersAreTheirOwn() {
        QCOMPARE(FromWindows1250("\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF"), QString::fromUtf8("ĄĆĘŁŃÓŚŹŻ"));
        QCOMPARE(FromWindows1250("\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF"), QString::fromUtf8("ąćęłńóśźż"));
        QCOMPARE(ToWindows1250(QString::fromUtf8("Podgląd €")), std::string("Podgl\xB9"
                                                                            "d \x80"));
    }

    void undefinedBytesKeepTheirNumber() {
        for (const unsigned char byte : {0x81, 0x83, 0x88, 0x90, 0x98}) {
            const std::string one(1, static_cast<char>(byte));
            QCOMPARE(FromWindows1250(one).at(0).unicode(), char16_t(byte));
        }
    }

    void charactersOutsideTheCodePageBecomeQuestionMarks() {
        QCOMPARE(ToWindows1250(QString::fromUtf8("a\u00F1b\u4E2Dc")), std::string("a?b?c"));
        QCOMPARE(ToWindows1250(QString::fromUtf8("x\U0001F600y")),
                 std::string("x?y"));  // one character, one mark
        QCOMPARE(ToWindows1250(QString(QChar(0))), std::string(1, '\0'));
    }
};

QTEST_GUILESS_MAIN(Windows1250Test)
#include "Windows1250Test.moc"
