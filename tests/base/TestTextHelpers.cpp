#include "base/GeneralError.h"
#include "base/TextHelpers.h"

#include <QtTest>

class TestTextHelpers : public QObject
{
    Q_OBJECT
private slots:
    void extractField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty text") << "" << 1 << "";
        QTest::newRow("no separator") << "abc" << 1 << "abc";
        QTest::newRow("beyond last") << "abc" << 2 << "";
        QTest::newRow("n zero") << "abc;def" << 0 << "";
        QTest::newRow("n negative") << "abc;def" << -3 << "";
        QTest::newRow("middle") << "abc;def;ghi" << 2 << "def";
        QTest::newRow("last") << "abc;def;ghi" << 3 << "ghi";
        QTest::newRow("past three") << "abc;def;ghi" << 4 << "";
        QTest::newRow("adjacent") << "abc;;ghi" << 2 << "";
        QTest::newRow("trailing sep") << "abc;" << 2 << "";
        QTest::newRow("leading sep f1") << ";abc;def" << 1 << "";
        QTest::newRow("leading sep f2") << ";abc;def" << 2 << "abc";
        QTest::newRow("lone sep 1") << ";" << 1 << "";
        QTest::newRow("lone sep 2") << ";" << 2 << "";
    }
    void extractField()
    {
        QFETCH(QString, text);
        QFETCH(int, n);
        QFETCH(QString, expected);
        QCOMPARE(ExtractField(text, u';', n), expected);
    }

    void hexStrToInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("expected");
        QTest::newRow("0x lower") << "0x1f" << 31u;
        QTest::newRow("dollar") << "$FF" << 255u;
        QTest::newRow("dollar and 0X") << "$0X1F" << 31u;
        QTest::newRow("empty") << "" << 0u;
        QTest::newRow("prefix only") << "0x" << 0u;
        QTest::newRow("nine digits keep low 32 bits") << "123456789" << 0x23456789u;
        QTest::newRow("plain") << "12" << 0x12u;
    }
    void hexStrToInt()
    {
        QFETCH(QString, text);
        QFETCH(uint, expected);
        QCOMPARE(HexStrToInt(text), expected);
    }
    void hexStrToIntRaises_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("blank") << "1 2" << "Invalid hex str containing  ";
        QTest::newRow("suffix h") << "1Fh" << "Invalid hex str containing h";
        QTest::newRow("sign") << "-1" << "Invalid hex str containing -";
    }
    void hexStrToIntRaises()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        try {
            HexStrToInt(text);
            QFAIL("no error raised");
        } catch (const TorvaneError &e) {
            QCOMPARE(e.message(), message);
        }
    }

    void conversions()
    {
        QCOMPARE(BinStrToInt("0b101"), 5u);
        QCOMPARE(BinStrToInt("101"), 5u);
        QCOMPARE(BinStrToInt(""), 0u);
        QCOMPARE(BinStrToInt("1x1"), 5u);
        QCOMPARE(HexPairToByte(u'g', u'1'), uint8_t(0x01));
        QCOMPARE(HexPairToByte(u'F', u'f'), uint8_t(0xFF));
        QCOMPARE(HexTextToByte("A"), uint8_t(0xA0));
        QCOMPARE(HexTextToByte(""), uint8_t(0));
        QCOMPARE(ByteToHexChars(0xAB), QString("ab"));
        QCOMPARE(ByteToHexText(0x05), QString("05"));
        QCOMPARE(IntToBinStr(5, 4), QString("0101"));
        QCOMPARE(IntToBinStr(0xFFFFFFFFu, 32), QString(32, u'1'));
        QVERIFY_THROWS_EXCEPTION(TorvaneError, IntToBinStr(1, 0));
        QVERIFY_THROWS_EXCEPTION(TorvaneError, IntToBinStr(1, 33));
        QCOMPARE(BoolToText(true), QString("yes"));
        QCOMPARE(BoolToText(false), QString("no"));
        QCOMPARE(CountChar("a;b;;c", u';'), 3);
        QCOMPARE(StripBlanks(" a b\tc "), QString("ab\tc"));
        QString s = "a-b-c";
        ReplaceChar(s, u'-', u'+');
        QCOMPARE(s, QString("a+b+c"));
        QVERIFY(ContainsText("Hello", "ell"));
        QVERIFY(!ContainsText("Hello", "ELL"));
    }

    void decStrToInt64_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("negative") << "-12" << qint64(-12);
        QTest::newRow("minus inside") << "1-2" << qint64(kInvalidInt64);
        QTest::newRow("plus sign") << "+5" << qint64(kInvalidInt64);
        QTest::newRow("empty") << "" << qint64(kInvalidInt64);
        QTest::newRow("minus alone") << "-" << qint64(0);
        QTest::newRow("large") << "9223372036854775807" << qint64(9223372036854775807LL);
        QTest::newRow("blank") << "1 2" << qint64(kInvalidInt64);
    }
    void decStrToInt64()
    {
        QFETCH(QString, text);
        QFETCH(qint64, expected);
        QCOMPARE(DecStrToInt64(text), expected);
    }

    // The one decimal conversion: "-" and decimal digits, or "$"/"0x" and hex digits; nothing else.
    void strToInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << "5" << true << 5;
        QTest::newRow("negative") << "-12" << true << -12;
        QTest::newRow("leading zeros") << "007" << true << 7;
        QTest::newRow("dollar hex") << "$1F" << true << 31;
        QTest::newRow("0x hex") << "0x1f" << true << 31;
        QTest::newRow("0X hex") << "0X1F" << true << 31;
        QTest::newRow("hex 32 bits") << "$FFFFFFFF" << true << -1;
        QTest::newRow("int max") << "2147483647" << true << 2147483647;
        QTest::newRow("int min") << "-2147483648" << true << int(INT32_MIN);
        QTest::newRow("leading blank") << " 5" << false << 0;
        QTest::newRow("trailing blank") << "5 " << false << 0;
        QTest::newRow("plus") << "+5" << false << 0;
        QTest::newRow("tab") << "\t7" << false << 0;
        QTest::newRow("dollar blank") << "$ 1F" << false << 0;
        QTest::newRow("dollar plus") << "$+1F" << false << 0;
        QTest::newRow("0x plus") << "0x+1F" << false << 0;
        QTest::newRow("dollar alone") << "$" << false << 0;
        QTest::newRow("0x alone") << "0x" << false << 0;
        QTest::newRow("minus alone") << "-" << false << 0;
        QTest::newRow("minus hex") << "-$10" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("above int") << "2147483648" << false << 0;
        QTest::newRow("nine hex digits") << "$100000000" << false << 0;
        QTest::newRow("twenty digits") << "99999999999999999999" << false << 0;
        QTest::newRow("arabic digit") << QString(QChar(0x0663)) << false << 0;
    }
    void strToInt()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, expected);
        if (!valid) {
            QVERIFY_THROWS_EXCEPTION(TorvaneError, StrToInt(text));
            return;
        }
        QCOMPARE(StrToInt(text), expected);
    }

    // Widths and precisions come from language files: a huge one is not filled (no 2 GB
    // string, no int overflow); sane ones still are.
    void formatTextWidths_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("width") << "[%5d]" << "[   42]";
        QTest::newRow("left zero precision") << "[%-6.4d]" << "[0042  ]";
        QTest::newRow("at the cap") << "%65535d" << QString(65533, u' ') + "42";
        QTest::newRow("over the cap") << "a%-999999999db" << "a%-999999999db";
        QTest::newRow("eleven digits") << "%99999999999d" << "%99999999999d";
        QTest::newRow("qt style") << "Error %1." << "Error 42.";
        QTest::newRow("huge precision") << "%.4294967297d" << "%.4294967297d";
    }
    void formatTextWidths()
    {
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(FormatText(format, {42}), expected);
    }
};

QTEST_GUILESS_MAIN(TestTextHelpers)
#include "TestTextHelpers.moc"
