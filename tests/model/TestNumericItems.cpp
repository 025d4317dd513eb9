#include "BoundItem.h"
#include "model/ItemEditor.h"
#include "model/ItemTool.h"
#include "model/NumericItems.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// Returns a chosen text and records what the parameter prepared.
class FakeEditor : public ItemEditor
{
public:
    void SetTopLeft(const QPoint &) override {}
    void SetSelectList(const QStringList &entries) override { list = entries; }
    void SetBoolPage(const QString &, const QString &, const QString &) override {}
    QString Edit(TItem *, TFormat, const QString &StartValue) override
    {
        start = StartValue;
        return result;
    }
    QStringList list;
    QString start;
    QString result;
};

const QString kNotInteger = QStringLiteral("is not a valid integer value");
const QString kHexBlank = QStringLiteral("Invalid hex str containing  ");

} // namespace

class TestNumericItems : public QObject
{
    Q_OBJECT
private slots:
    void factoryMakesEachClass_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("className");
        QTest::newRow("0") << 0 << "TSerialNumberItem";
        QTest::newRow("1") << 1 << "TWordItem";
        QTest::newRow("2") << 2 << "TByteItem";
        QTest::newRow("3") << 3 << "THexAsciiItem";
        QTest::newRow("5") << 5 << "TCharItem";
        QTest::newRow("6") << 6 << "THexByteItem";
        QTest::newRow("7") << 7 << "THexWordItem";
        QTest::newRow("8") << 8 << "THexLongItem";
        QTest::newRow("9") << 9 << "TVersionItem";
        QTest::newRow("13") << 13 << "TRestrictedByteItem";
        QTest::newRow("14") << 14 << "TIPAddressItem";
        QTest::newRow("15") << 15 << "TEthernetHardwareAddressItem";
        QTest::newRow("16") << 16 << "TByteTupleItem";
        QTest::newRow("17") << 17 << "T32BitItem";
        QTest::newRow("18") << 18 << "TWordTupleItem";
        QTest::newRow("19") << 19 << "THTMLSourceItem";
        QTest::newRow("21") << 21 << "TPByteItem";
    }
    void factoryMakesEachClass()
    {
        QFETCH(int, format);
        QFETCH(QString, className);
        BoundItem b(QStringLiteral("P=20;%1;1;;;4;;2").arg(format));
        QVERIFY(b.item);
        QCOMPARE(b.item->ClassName(), className);
        QCOMPARE(int(b.item->Format()), format);
        QCOMPARE(b.item->Position, uint16_t(20));
    }

    void getText_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("value");
        QTest::newRow("word") << "P=20;1;1" << QByteArray::fromHex("0102") << "258" << 258u;
        QTest::newRow("word max") << "P=20;1;1" << QByteArray::fromHex("ffff") << "65535" << 65535u;
        QTest::newRow("byte") << "P=20;2;1" << QByteArray::fromHex("ff") << "255" << 255u;
        QTest::newRow("restricted byte") << "P=20;13;1;;10;20" << QByteArray::fromHex("07") << "7" << 7u;
        QTest::newRow("p-byte hides bit 7") << "P=20;21;1" << QByteArray::fromHex("85") << "5" << 133u;
        QTest::newRow("32 bit unsigned") << "P=20;17;1" << QByteArray::fromHex("ffffffff") << "4294967295" << 0xFFFFFFFFu;
        QTest::newRow("32 bit order") << "P=20;17;1" << QByteArray::fromHex("01020304") << "16909060" << 0x01020304u;
        QTest::newRow("char") << "P=20;5;1" << QByteArray("A") << "A" << 0x41u;
        QTest::newRow("char zero") << "P=20;5;1" << QByteArray(1, '\0') << QString(QChar(u'\0')) << 0u;
        QTest::newRow("char latin-1") << "P=20;5;1" << QByteArray::fromHex("e9") << QString(QChar(0xE9)) << 0xE9u;
        QTest::newRow("hex byte") << "P=20;6;1" << QByteArray::fromHex("0a") << "0A" << 10u;
        QTest::newRow("hex word") << "P=20;7;1" << QByteArray::fromHex("00ab") << "00AB" << 0xABu;
        QTest::newRow("hex long") << "P=20;8;1" << QByteArray::fromHex("deadbeef") << "DEADBEEF" << 0xDEADBEEFu;
        QTest::newRow("version") << "P=20;9;1" << QByteArray::fromHex("23") << "V 2.3" << 0x23u;
        QTest::newRow("version hex nibble") << "P=20;9;1" << QByteArray::fromHex("1a") << "V 1.a" << 0x1Au;
        QTest::newRow("hex-ascii lower case") << "P=20;3;1" << QByteArray::fromHex("ab") << "ab" << 0xABu;
        QTest::newRow("serial") << "P=20;0;1" << QByteArray::fromHex("12345678") << "12345678" << 0u;
        QTest::newRow("serial upper case") << "P=20;0;1" << QByteArray::fromHex("00abcdef") << "00ABCDEF" << 0u;
    }
    void getText()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(uint, value);
        BoundItem b(line);
        b.put(20, bytes);
        QCOMPARE(b.item->GetText(), text);
        QCOMPARE(b.item->GetIntegerValue(), value);
    }

    // before: the bytes at offset 20 before the write; after: what they must be then (the
    // rest of the image must not change); error: part of the message a failing write raises,
    // after which the image must be exactly as before.
    void setText_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("error");
        const QByteArray w0 = QByteArray::fromHex("5555");
        QTest::newRow("word") << "P=20;1;1" << w0 << "258" << QByteArray::fromHex("0102") << "";
        QTest::newRow("word wraps 65536") << "P=20;1;1" << w0 << "65536" << QByteArray::fromHex("0000") << "";
        QTest::newRow("word -1") << "P=20;1;1" << w0 << "-1" << QByteArray::fromHex("ffff") << "";
        QTest::newRow("word blanks around") << "P=20;1;1" << w0 << " 12 " << w0 << "' 12 ' " + kNotInteger;
        QTest::newRow("word plus") << "P=20;1;1" << w0 << "+12" << w0 << kNotInteger;
        QTest::newRow("word tab") << "P=20;1;1" << w0 << "\t7" << w0 << kNotInteger;
        QTest::newRow("word $ blank") << "P=20;1;1" << w0 << "$ 1F" << w0 << kNotInteger;
        QTest::newRow("word 0x plus") << "P=20;1;1" << w0 << "0x+1F" << w0 << kNotInteger;
        QTest::newRow("word $hex") << "P=20;1;1" << w0 << "$1234" << QByteArray::fromHex("1234") << "";
        QTest::newRow("word 0x hex") << "P=20;1;1" << w0 << "0x10" << QByteArray::fromHex("0010") << "";
        QTest::newRow("word not a number") << "P=20;1;1" << w0 << "12a" << w0 << "'12a' " + kNotInteger;
        QTest::newRow("word empty") << "P=20;1;1" << w0 << "" << w0 << kNotInteger;
        QTest::newRow("word inner blank") << "P=20;1;1" << w0 << "1 2" << w0 << kNotInteger;
        QTest::newRow("word beyond int32") << "P=20;1;1" << w0 << "2147483648" << w0 << kNotInteger;
        QTest::newRow("word unicode digits") << "P=20;1;1" << w0 << QString::fromUtf8("１２") << w0 << kNotInteger;

        const QByteArray b0 = QByteArray::fromHex("55");
        QTest::newRow("byte") << "P=20;2;1" << b0 << "255" << QByteArray::fromHex("ff") << "";
        QTest::newRow("byte wraps 256") << "P=20;2;1" << b0 << "256" << QByteArray::fromHex("00") << "";
        QTest::newRow("byte negative") << "P=20;2;1" << b0 << "-128" << QByteArray::fromHex("80") << "";
        QTest::newRow("byte bad") << "P=20;2;1" << b0 << "x" << b0 << "'x' " + kNotInteger;
        QTest::newRow("restricted byte ignores range") << "P=20;13;1;;10;20" << b0 << "3" << QByteArray::fromHex("03") << "";
        QTest::newRow("p-byte") << "P=20;21;1" << QByteArray::fromHex("85") << "5" << QByteArray::fromHex("05") << "";
        QTest::newRow("p-byte bit 7 from number") << "P=20;21;1" << b0 << "200" << QByteArray::fromHex("c8") << "";

        const QByteArray l0 = QByteArray::fromHex("55555555");
        QTest::newRow("32 bit -2") << "P=20;17;1" << l0 << "-2" << QByteArray::fromHex("fffffffe") << "";
        QTest::newRow("32 bit shown max") << "P=20;17;1" << l0 << "4294967295" << QByteArray::fromHex("ffffffff") << "";
        QTest::newRow("32 bit min") << "P=20;17;1" << l0 << "-2147483648" << QByteArray::fromHex("80000000") << "";
        QTest::newRow("32 bit $hex") << "P=20;17;1" << l0 << "$FFFFFFFF" << QByteArray::fromHex("ffffffff") << "";
        QTest::newRow("32 bit beyond unsigned") << "P=20;17;1" << l0 << "4294967296" << l0 << kNotInteger;
        QTest::newRow("32 bit below signed") << "P=20;17;1" << l0 << "-2147483649" << l0 << kNotInteger;
        QTest::newRow("32 bit plus beyond") << "P=20;17;1" << l0 << "+4294967295" << l0 << kNotInteger;
        QTest::newRow("32 bit text") << "P=20;17;1" << l0 << "1e3" << l0 << kNotInteger;

        QTest::newRow("char first character") << "P=20;5;1" << b0 << "AB" << QByteArray("A") << "";
        QTest::newRow("char empty keeps") << "P=20;5;1" << b0 << "" << b0 << "";
        QTest::newRow("char latin-1") << "P=20;5;1" << b0 << QString(QChar(0xE9)) << QByteArray::fromHex("e9") << "";
        QTest::newRow("char low 8 bits") << "P=20;5;1" << b0 << QString(QChar(0x0141)) << QByteArray::fromHex("41") << "";

        QTest::newRow("hex byte") << "P=20;6;1" << b0 << "ff" << QByteArray::fromHex("ff") << "";
        QTest::newRow("hex byte low bits") << "P=20;6;1" << b0 << "1ff" << QByteArray::fromHex("ff") << "";
        QTest::newRow("hex byte empty is 0") << "P=20;6;1" << b0 << "" << QByteArray::fromHex("00") << "";
        QTest::newRow("hex byte bad") << "P=20;6;1" << b0 << "g" << b0 << "Invalid hex str containing g";
        QTest::newRow("hex word 0x") << "P=20;7;1" << w0 << "0x1234" << QByteArray::fromHex("1234") << "";
        QTest::newRow("hex word $") << "P=20;7;1" << w0 << "$1234" << QByteArray::fromHex("1234") << "";
        QTest::newRow("hex word plain") << "P=20;7;1" << w0 << "1234" << QByteArray::fromHex("1234") << "";
        QTest::newRow("hex word blank") << "P=20;7;1" << w0 << "12 34" << w0 << kHexBlank;
        QTest::newRow("hex word sign") << "P=20;7;1" << w0 << "-1" << w0 << "Invalid hex str containing -";
        QTest::newRow("hex long") << "P=20;8;1" << l0 << "DEADBEEF" << QByteArray::fromHex("deadbeef") << "";
        QTest::newRow("hex long nine digits") << "P=20;8;1" << l0 << "123456789" << QByteArray::fromHex("23456789") << "";

        QTest::newRow("version") << "P=20;9;1" << b0 << "V 4.7" << QByteArray::fromHex("47") << "";
        QTest::newRow("version only places 3 and 5") << "P=20;9;1" << b0 << "X 4x7" << QByteArray::fromHex("47") << "";
        QTest::newRow("version empty keeps") << "P=20;9;1" << b0 << "" << b0 << "";
        QTest::newRow("version short text") << "P=20;9;1" << b0 << "V 4" << QByteArray::fromHex("40") << "";
        QTest::newRow("hex-ascii") << "P=20;3;1" << b0 << "12" << QByteArray::fromHex("12") << "";
        QTest::newRow("hex-ascii non-hex is 0") << "P=20;3;1" << b0 << "1g" << QByteArray::fromHex("10") << "";
        QTest::newRow("hex-ascii one char") << "P=20;3;1" << b0 << "7" << QByteArray::fromHex("70") << "";
        QTest::newRow("hex-ascii empty keeps") << "P=20;3;1" << b0 << "" << b0 << "";

        QTest::newRow("serial") << "P=20;0;1" << l0 << "00012345" << QByteArray::fromHex("00012345") << "";
        QTest::newRow("serial lower case") << "P=20;0;1" << l0 << "abcdef01" << QByteArray::fromHex("abcdef01") << "";
        // A bad pair anywhere leaves all four bytes as they were.
        QTest::newRow("serial bad last pair") << "P=20;0;1" << l0 << "0001234g" << l0 << "'$4g' " + kNotInteger;
        QTest::newRow("serial blank in pair") << "P=20;0;1" << l0 << "12 45678" << l0 << "'$ 4' " + kNotInteger;
        QTest::newRow("serial too short") << "P=20;0;1" << l0 << "1234" << l0 << "'$' " + kNotInteger;
    }
    void setText()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, before);
        QFETCH(QString, input);
        QFETCH(QByteArray, after);
        QFETCH(QString, error);
        BoundItem b(line);
        b.put(20, before);
        const QByteArray image = b.img.Buffer();
        const QString raised = errorOf([&] { b.item->SetText(input); });
        if (!error.isEmpty()) {
            QVERIFY2(raised.contains(error), qPrintable(raised));
            QCOMPARE(b.img.Buffer(), image);
            return;
        }
        QCOMPARE(raised, QString());
        QByteArray expected = image;
        expected.replace(20, after.size(), after);
        QCOMPARE(b.img.Buffer(), expected);
    }

    void restrictedByteRange_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::newRow("both empty") << "R=20;13;1" << 0 << 255;
        QTest::newRow("min only") << "R=20;13;1;;10" << 10 << 255;
        QTest::newRow("both") << "R=20;13;1;;5;20" << 5 << 20;
        QTest::newRow("max only") << "R=20;13;1;;;99" << 0 << 99;
    }
    void restrictedByteRange()
    {
        QFETCH(QString, line);
        QFETCH(int, min);
        QFETCH(int, max);
        BoundItem b(line);
        auto *r = dynamic_cast<TRestrictedByteItem *>(b.item);
        QVERIFY(r);
        QCOMPARE(r->min, min);
        QCOMPARE(r->max, max);
    }
    void restrictedByteBadRangeFailsBinding()
    {
        const QString raised = errorOf([] { BoundItem b(QStringLiteral("R=20;13;1;;ten")); });
        QVERIFY2(raised.startsWith(QStringLiteral("EEROM laden ")) && raised.contains(QStringLiteral("'ten'")),
                 qPrintable(raised));
    }

    // The selection lists and the list formats' Edit: FList goes to the editor, the chosen
    // entry is stored; no selection leaves the byte alone.
    void listEdit_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("stored");
        QTest::newRow("version") << "V=20;9;1" << "V 0.0" << "V 9.9" << "V 1.a" << "V 3.4" << 0x34;
        QTest::newRow("version no selection") << "V=20;9;1" << "V 0.0" << "V 9.9" << "V 1.a" << "" << 0x1A;
        QTest::newRow("hex-ascii") << "H=20;3;1" << "00" << "99" << "1a" << "42" << 0x42;
        QTest::newRow("hex-ascii no selection") << "H=20;3;1" << "00" << "99" << "1a" << "" << 0x1A;
    }
    void listEdit()
    {
        QFETCH(QString, line);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(QString, start);
        QFETCH(QString, choice);
        QFETCH(int, stored);
        FakeEditor editor;
        ItemEditor::setInstance(&editor);
        BoundItem b(line);
        b.put(20, QByteArray::fromHex("1a"));
        editor.result = choice;
        b.item->Edit(QPoint(1, 2));
        ItemEditor::setInstance(nullptr);
        QCOMPARE(editor.list.size(), 100);
        QCOMPARE(editor.list.first(), first);
        QCOMPARE(editor.list.last(), last);
        QCOMPARE(editor.list.at(47), line.startsWith(u'V') ? QStringLiteral("V 4.7") : QStringLiteral("47"));
        QCOMPARE(editor.start, start);
        QCOMPARE(int(b.img.GetByteIDX(20)), stored);
    }

    // A value whose bytes do not all lie in the buffer is an error naming the parameter,
    // for reading and for writing, and the buffer neither changes nor grows (writing at
    // index == size would append, and a position near 65535 would wrap to the header).
    void outsideTheBuffer_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("bufferSize");
        QTest::addColumn<QString>("input");
        QTest::newRow("byte at the end") << "Far=8192;2;1" << 8192 << "1";
        QTest::newRow("p-byte at the end") << "Far=8192;21;1" << 8192 << "1";
        QTest::newRow("char at the end") << "Far=8192;5;1" << 8192 << "A";
        QTest::newRow("hex byte at the end") << "Far=8192;6;1" << 8192 << "1";
        QTest::newRow("version at the end") << "Far=8192;9;1" << 8192 << "V 1.1";
        QTest::newRow("hex-ascii at the end") << "Far=8192;3;1" << 8192 << "11";
        QTest::newRow("word half out") << "Far=8191;1;1" << 8192 << "258";
        QTest::newRow("hex word half out") << "Far=8191;7;1" << 8192 << "1234";
        QTest::newRow("32 bit partly out") << "Far=8189;17;1" << 8192 << "1";
        QTest::newRow("hex long partly out") << "Far=8190;8;1" << 8192 << "1";
        QTest::newRow("serial partly out") << "Far=8189;0;1" << 8192 << "12345678";
        QTest::newRow("32 bit would wrap to 0") << "Far=65534;17;1" << 65536 << "-1";
        QTest::newRow("serial would wrap to 0") << "Far=65535;0;1" << 65536 << "FFFFFFFF";
    }
    void outsideTheBuffer()
    {
        QFETCH(QString, line);
        QFETCH(int, bufferSize);
        QFETCH(QString, input);
        BoundItem b(line, bufferSize);
        const QByteArray image = b.img.Buffer();
        const QString readError = errorOf([&] { b.item->GetText(); });
        QVERIFY2(readError.contains(QStringLiteral("\"Far\"")), qPrintable(readError));
        if (b.item->Format() != fmSerialNumber) // its number is always 0
            QVERIFY(!errorOf([&] { b.item->GetIntegerValue(); }).isEmpty());
        const QString writeError = errorOf([&] { b.item->SetText(input); });
        QVERIFY2(writeError.contains(QStringLiteral("\"Far\"")), qPrintable(writeError));
        QCOMPARE(b.img.Buffer(), image);
    }
    void lastBytesOfTheBufferWork()
    {
        BoundItem b(QStringLiteral("Last=8188;17;1"));
        b.item->SetText(QStringLiteral("-2"));
        QCOMPARE(b.item->GetText(), QStringLiteral("4294967294"));
        QCOMPARE(b.img.Size(), qsizetype(8192));
    }

    // Random texts into every numeric format placed at and around the end of the buffer:
    // never a crash, never a growing buffer, a failing write changes nothing, and a
    // successful one only the parameter's own bytes.
    void randomTexts()
    {
        const int formats[] = {fmSerialNumber, fmWord, fmByte, fmHexASCII, fmChar, fmHexByte, fmHexWord,
                               fmHexLong, fmVersion, fmRestrictedByte, fm32Bit, fmPByte};
        const int widths[] = {4, 2, 1, 1, 1, 1, 2, 4, 1, 1, 4, 1};
        const QString alphabet = QStringLiteral("0123456789abcdefABCDEFxX$+- .;\t") + QChar(0xE9) + QChar(0x0141)
                                 + QChar(0xFF11) + QChar(0xD83D) + QChar(0xDE00);
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator rng(seed);
        for (int f = 0; f < int(std::size(formats)); ++f) {
            for (int pos = 8186; pos <= 8192; ++pos) {
                BoundItem b(QStringLiteral("Rnd=%1;%2;1").arg(pos).arg(formats[f]));
                for (int round = 0; round < 60; ++round) {
                    QString text;
                    const int len = int(rng.bounded(12));
                    for (int i = 0; i < len; ++i)
                        text += alphabet.at(rng.bounded(int(alphabet.size())));
                    const QByteArray image = b.img.Buffer();
                    const bool failed = !errorOf([&] { b.item->SetText(text); }).isEmpty();
                    const QByteArray now = b.img.Buffer();
                    const QString where = QStringLiteral("seed %1 format %2 pos %3 text '%4'")
                                              .arg(seed).arg(formats[f]).arg(pos).arg(text);
                    QVERIFY2(now.size() == image.size(), qPrintable(where));
                    if (pos + widths[f] > 8192) // only an empty text may pass: it changes nothing
                        QVERIFY2(now == image && (failed || text.isEmpty()), qPrintable(where));
                    if (failed || pos + widths[f] > 8192) {
                        QVERIFY2(now == image, qPrintable(where));
                        continue;
                    }
                    QVERIFY2(now.left(pos) == image.left(pos) && now.mid(pos + widths[f]) == image.mid(pos + widths[f]),
                             qPrintable(where));
                    QVERIFY2(errorOf([&] { b.item->GetText(); }).isEmpty(), qPrintable(where));
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestNumericItems)
#include "TestNumericItems.moc"
