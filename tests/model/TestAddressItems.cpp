#include "BoundItem.h"
#include "ScriptedPrompts.h"
#include "model/AddressItems.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

const QString kNotInteger = QStringLiteral("is not a valid integer value");
const QString kTooLarge = QStringLiteral("HTML File too large");

QByteArray filled(int n, char c) { return QByteArray(n, c); }

} // namespace

class TestAddressItems : public QObject
{
    Q_OBJECT
private slots:
    void addressText_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("value");
        QTest::newRow("ip") << "A=20;14;1" << QByteArray::fromHex("0a000001") << "10.0.0.1" << 0x0A000001u;
        QTest::newRow("ip high") << "A=20;14;1" << QByteArray::fromHex("c0a8000a") << "192.168.0.10" << 0xC0A8000Au;
        QTest::newRow("ethernet") << "A=20;15;1" << QByteArray::fromHex("000a1b2c3d4e") << "00-0A-1B-2C-3D-4E" << 0u;
    }
    void addressText()
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

    // A failing write raises and leaves every byte as it was; a passing one changes only
    // the address bytes.
    void addressSetText_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("error");
        QTest::newRow("ip") << "A=20;14;1" << "10.0.0.1" << QByteArray::fromHex("0a000001") << "";
        QTest::newRow("ip mask blanks") << "A=20;14;1" << " 10.  0.  0.  1" << QByteArray::fromHex("0a000001") << "";
        QTest::newRow("ip group wraps") << "A=20;14;1" << "300.1.1.1" << QByteArray::fromHex("2c010101") << "";
        QTest::newRow("ip negative group") << "A=20;14;1" << "-1.0.0.0" << QByteArray::fromHex("ff000000") << "";
        QTest::newRow("ip extra group ignored") << "A=20;14;1" << "1.2.3.4.5" << QByteArray::fromHex("01020304") << "";
        QTest::newRow("ip missing group") << "A=20;14;1" << "1.2.3" << QByteArray() << "'' " + kNotInteger;
        QTest::newRow("ip bad third group") << "A=20;14;1" << "1.2.x.4" << QByteArray() << "'x' " + kNotInteger;
        QTest::newRow("ip empty") << "A=20;14;1" << "" << QByteArray() << kNotInteger;
        QTest::newRow("ip overflowing group") << "A=20;14;1" << "1.2.3.99999999999" << QByteArray() << kNotInteger;
        QTest::newRow("eth") << "A=20;15;1" << "00-0a-1B-2c-3D-4e" << QByteArray::fromHex("000a1b2c3d4e") << "";
        QTest::newRow("eth other separators") << "A=20;15;1" << "00:0a:1B:2c:3D:4e" << QByteArray::fromHex("000a1b2c3d4e") << "";
        QTest::newRow("eth short last group") << "A=20;15;1" << "00-0a-1B-2c-3D-4" << QByteArray::fromHex("000a1b2c3d04") << "";
        QTest::newRow("eth missing group") << "A=20;15;1" << "00-0a-1B-2c-3D" << QByteArray() << "'$' " + kNotInteger;
        QTest::newRow("eth bad last digit") << "A=20;15;1" << "00-0a-1B-2c-3D-4g" << QByteArray() << "'$4g' " + kNotInteger;
        QTest::newRow("eth blank in group") << "A=20;15;1" << "00-0a-1 -2c-3D-4e" << QByteArray() << "'$1 ' " + kNotInteger;
    }
    void addressSetText()
    {
        QFETCH(QString, line);
        QFETCH(QString, input);
        QFETCH(QByteArray, after);
        QFETCH(QString, error);
        BoundItem b(line);
        b.put(20, filled(6, '\x55'));
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

    // Bytes past the buffer are an error naming the parameter; nothing changes or grows.
    void outsideTheBuffer_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("input");
        QTest::newRow("ip partly out") << "Far=8189;14;1" << "1.2.3.4";
        QTest::newRow("ip at the end") << "Far=8192;14;1" << "1.2.3.4";
        QTest::newRow("ethernet partly out") << "Far=8187;15;1" << "01-02-03-04-05-06";
        QTest::newRow("html offset word half out") << "Far=8191;19;1" << "<p>";
    }
    void outsideTheBuffer()
    {
        QFETCH(QString, line);
        QFETCH(QString, input);
        BoundItem b(line);
        const QByteArray image = b.img.Buffer();
        if (b.item->Format() != fmHTMLSource) { // the HTML text shows as "..." without reading
            const QString readError = errorOf([&] { b.item->GetText(); });
            QVERIFY2(readError.contains(QStringLiteral("\"Far\"")), qPrintable(readError));
        } else {
            const QString readError = errorOf([&] { dynamic_cast<THTMLSourceItem *>(b.item)->HTMLText(); });
            QVERIFY2(readError.contains(QStringLiteral("\"Far\"")), qPrintable(readError));
        }
        const QString writeError = errorOf([&] { b.item->SetText(input); });
        QVERIFY2(writeError.contains(QStringLiteral("\"Far\"")), qPrintable(writeError));
        QCOMPARE(b.img.Buffer(), image);
    }

    void tupleLoad_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("startIndex");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QStringList>("headings");
        QTest::addColumn<int>("rows");
        QTest::newRow("all fields") << "T=100;16;1;;;6;;3;5;Table;A;B;C;D" << 6 << 3 << 5 << "Table"
                                    << QStringList{"A", "B", "C", "D"} << 2;
        QTest::newRow("bad start index") << "T=100;16;1;;;4;;2;x;Table;A" << 4 << 2 << 0 << ""
                                         << QStringList{"", "", "", ""} << 2;
        QTest::newRow("empty start index") << "T=100;16;1;;;4;;2;;Table;A" << 4 << 2 << 0 << "Table"
                                           << QStringList{"A", "", "", ""} << 2;
        QTest::newRow("only required") << "T=100;16;1;;;4;;4" << 4 << 4 << 0 << "" << QStringList{"", "", "", ""} << 1;
        QTest::newRow("words") << "W=100;18;1;;;8;;2;1;Words" << 8 << 2 << 1 << "Words" << QStringList{"", "", "", ""} << 2;
        QTest::newRow("no columns") << "T=100;16;1;;;4;;0" << 4 << 0 << 0 << "" << QStringList{"", "", "", ""} << 0;
        QTest::newRow("negative size") << "T=100;16;1;;;-4;;2" << -4 << 2 << 0 << "" << QStringList{"", "", "", ""} << 0;
    }
    void tupleLoad()
    {
        QFETCH(QString, line);
        QFETCH(int, size);
        QFETCH(int, columns);
        QFETCH(int, startIndex);
        QFETCH(QString, display);
        QFETCH(QStringList, headings);
        QFETCH(int, rows);
        BoundItem b(line);
        auto *t = dynamic_cast<TByteTupleItem *>(b.item);
        QVERIFY(t);
        QCOMPARE(t->FSize, size);
        QCOMPARE(t->Columns, columns);
        QCOMPARE(t->FStartIndex, startIndex);
        QCOMPARE(t->GetText(), display);
        QCOMPARE(QStringList({t->ColName1, t->ColName2, t->ColName3, t->ColName4}), headings);
        QCOMPARE(t->RowCount(), rows);
        QCOMPARE(t->GetIntegerValue(), 0u);
    }
    void tupleRequiredFieldsFailBinding_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("size not a number") << "T=100;16;1;;;four;;2";
        QTest::newRow("size missing") << "T=100;16;1;;;;;2";
        QTest::newRow("columns missing") << "T=100;18;1;;;4";
    }
    void tupleRequiredFieldsFailBinding()
    {
        QFETCH(QString, line);
        const QString raised = errorOf([&] { BoundItem b(line); });
        QVERIFY2(raised.startsWith(QStringLiteral("EEROM laden ")) && raised.contains(kNotInteger), qPrintable(raised));
    }

    void tupleValues()
    {
        BoundItem bytes(QStringLiteral("T=100;16;1;;;6;;3"));
        bytes.put(100, QByteArray::fromHex("0102030405ff07"));
        QCOMPARE(dynamic_cast<TByteTupleItem *>(bytes.item)->TableValues(), (QList<uint32_t>{1, 2, 3, 4, 5, 255}));
        BoundItem words(QStringLiteral("W=100;18;1;;;5;;1"));
        words.put(100, QByteArray::fromHex("0102030405ff"));
        QCOMPARE(dynamic_cast<TByteTupleItem *>(words.item)->TableValues(), (QList<uint32_t>{0x0102, 0x0304}));
        BoundItem far(QStringLiteral("Far=8000;16;1;;;60000;;8"));
        const QString raised = errorOf([&] { dynamic_cast<TByteTupleItem *>(far.item)->TableValues(); });
        QVERIFY2(raised.contains(QStringLiteral("\"Far\"")), qPrintable(raised));
    }

    // line, UseSize, text -> the bytes from offset 100 (compared over 8 bytes, 0x55 before)
    // or the error; a failing write leaves the image as it was.
    void tupleSetText_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("useSize");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("error");
        QTest::newRow("bytes") << "T=100;16;1;;;4;;2" << 8192 << "1;2;3;4;" << QByteArray::fromHex("0102030455555555") << "";
        QTest::newRow("bytes stop at size") << "T=100;16;1;;;4;;2" << 8192 << "1;2;3;4;5;6;" << QByteArray::fromHex("0102030455555555") << "";
        QTest::newRow("bytes stop at UseSize") << "T=100;16;1;;;4;;2" << 102 << "1;2;3;4;" << QByteArray::fromHex("0102555555555555") << "";
        QTest::newRow("bytes fewer values") << "T=100;16;1;;;4;;2" << 8192 << "9;" << QByteArray::fromHex("0955555555555555") << "";
        QTest::newRow("bytes without last ;") << "T=100;16;1;;;4;;2" << 8192 << "1;2" << QByteArray::fromHex("0102555555555555") << "";
        QTest::newRow("bytes low bits") << "T=100;16;1;;;4;;2" << 8192 << "300;-1;" << QByteArray::fromHex("2cff555555555555") << "";
        QTest::newRow("bytes empty text") << "T=100;16;1;;;4;;2" << 8192 << "" << filled(8, '\x55') << "";
        QTest::newRow("bytes bad value") << "T=100;16;1;;;4;;2" << 8192 << "1;x;3;" << QByteArray() << "'x' " + kNotInteger;
        QTest::newRow("bytes empty cell") << "T=100;16;1;;;4;;2" << 8192 << "1;;3;" << QByteArray() << kNotInteger;
        QTest::newRow("bytes negative size") << "T=100;16;1;;;-4;;2" << 8192 << "1;2;" << filled(8, '\x55') << "";
        QTest::newRow("words") << "W=100;18;1;;;4;;2" << 8192 << "258;772;" << QByteArray::fromHex("0102030455555555") << "";
        QTest::newRow("words stop at size") << "W=100;18;1;;;4;;2" << 8192 << "1;2;3;" << QByteArray::fromHex("0001000255555555") << "";
        QTest::newRow("words odd size") << "W=100;18;1;;;5;;2" << 8192 << "1;2;3;" << QByteArray::fromHex("0001000255555555") << "";
        QTest::newRow("words whole only") << "W=100;18;1;;;4;;2" << 103 << "1;2;" << QByteArray::fromHex("0001555555555555") << "";
        QTest::newRow("words wrap") << "W=100;18;1;;;4;;2" << 8192 << "65537;-1;" << QByteArray::fromHex("0001ffff55555555") << "";
        QTest::newRow("words bad value") << "W=100;18;1;;;4;;2" << 8192 << "1;2a;" << QByteArray() << "'2a' " + kNotInteger;
    }
    void tupleSetText()
    {
        QFETCH(QString, line);
        QFETCH(int, useSize);
        QFETCH(QString, input);
        QFETCH(QByteArray, after);
        QFETCH(QString, error);
        BoundItem b(line, TBaseEEROM::kImageBufferSize, useSize);
        b.put(100, filled(8, '\x55'));
        const QByteArray image = b.img.Buffer();
        const QString raised = errorOf([&] { b.item->SetText(input); });
        if (!error.isEmpty()) {
            QVERIFY2(raised.contains(error), qPrintable(raised));
            QCOMPARE(b.img.Buffer(), image);
            return;
        }
        QCOMPARE(raised, QString());
        QByteArray expected = image;
        expected.replace(100, after.size(), after);
        QCOMPARE(b.img.Buffer(), expected);
    }

    // A table that claims more bytes than the image has stores only up to the used end,
    // and the buffer does not grow.
    void tupleNearTheEnd()
    {
        BoundItem b(QStringLiteral("Far=8190;18;1;;;60000;;8"));
        b.item->SetText(QStringLiteral("1;2;3;4;"));
        QCOMPARE(b.img.Size(), qsizetype(8192));
        QCOMPARE(b.bytes(8190, 2), QByteArray::fromHex("0001"));
        BoundItem c(QStringLiteral("Far=8191;18;1;;;60000;;8"));
        const QByteArray image = c.img.Buffer();
        c.item->SetText(QStringLiteral("1;2;"));
        QCOMPARE(c.img.Buffer(), image);
    }

    void htmlText()
    {
        BoundItem b(QStringLiteral("H=10;19;1"), TBaseEEROM::kImageBufferSize, 0x0710);
        b.put(10, QByteArray::fromHex("0700"));
        b.put(0x0700, QByteArray("<p>") + QByteArray(1, '\0') + QByteArray("rest"));
        auto *h = dynamic_cast<THTMLSourceItem *>(b.item);
        QCOMPARE(h->GetText(), QStringLiteral("..."));
        QCOMPARE(h->GetIntegerValue(), 0u);
        QCOMPARE(h->HTMLText(), QStringLiteral("<p>"));
        // Without a terminator the text ends one byte before the used end.
        b.put(0x0700, filled(16, 'x'));
        QCOMPARE(h->HTMLText(), QString(15, u'x'));
        b.img.FUseSize = 0x0600; // offset past the used part
        QCOMPARE(h->HTMLText(), QString());
    }

    // offset word, UseSize before, text length -> UseSize after and whether it is refused.
    void htmlSetText_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("useSize");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("useAfter");
        QTest::addColumn<bool>("refused");
        QTest::newRow("255 below the limit") << 0x0700 << 0x0800 << 255 << 0x0800 << false;
        QTest::newRow("256 reaches the limit") << 0x0700 << 0x0800 << 256 << 0x0800 << true;
        QTest::newRow("grows UseSize") << 0x0700 << 0x0700 << 10 << 0x070B << false;
        QTest::newRow("UseSize just fits") << 0x0700 << 0x070B << 10 << 0x070B << false;
        QTest::newRow("UseSize one short") << 0x0700 << 0x070A << 10 << 0x070B << false;
        QTest::newRow("empty text") << 0x0700 << 0x0700 << 0 << 0x0701 << false;
        QTest::newRow("offset at the limit") << 0x0800 << 0x0900 << 0 << 0x0900 << true;
        QTest::newRow("offset far beyond") << 0xFFFF << 0x0900 << 1 << 0x0900 << true;
    }
    void htmlSetText()
    {
        QFETCH(int, offset);
        QFETCH(int, useSize);
        QFETCH(int, length);
        QFETCH(int, useAfter);
        QFETCH(bool, refused);
        ScriptedPrompts prompts;
        BoundItem b(QStringLiteral("H=10;19;1"), TBaseEEROM::kImageBufferSize, useSize);
        b.put(10, QByteArray(1, char(offset >> 8)) + QByteArray(1, char(offset & 0xFF)));
        b.put(offset & 0x1FFF, filled(300, '\x55').left(qMax(0, qMin(300, 8192 - (offset & 0x1FFF)))));
        const QByteArray image = b.img.Buffer();
        QString text;
        for (int i = 0; i < length; ++i)
            text += QChar(u'a' + i % 26);
        b.item->SetText(text);
        QCOMPARE(b.img.UseSize(), useAfter);
        QCOMPARE(prompts.sawText(kTooLarge), refused);
        if (refused) {
            QCOMPARE(b.img.Buffer(), image);
            return;
        }
        QCOMPARE(b.bytes(offset, length), text.toLatin1());
        QCOMPARE(int(b.img.GetByteIDX(uint16_t(offset + length))), 0);
        QCOMPARE(dynamic_cast<THTMLSourceItem *>(b.item)->HTMLText(), text);
        // Only the text area changed.
        QCOMPARE(b.img.Buffer().left(offset), image.left(offset));
        QCOMPARE(b.img.Buffer().mid(0x0800), image.mid(0x0800));
    }

    // A shorter text clears the old one's tail up to the used end, but nothing at or above
    // the text area's limit, where other parameters live.
    void htmlClearsOnlyItsArea()
    {
        ScriptedPrompts prompts;
        BoundItem b(QStringLiteral("H=10;19;1"), TBaseEEROM::kImageBufferSize, 3000);
        b.put(10, QByteArray::fromHex("07f0"));
        b.put(0x07F0, filled(3000 - 0x07F0, 'z'));
        b.item->SetText(QStringLiteral("ab"));
        QCOMPARE(b.bytes(0x07F0, 3), QByteArray("ab") + QByteArray(1, '\0'));
        QCOMPARE(b.bytes(0x07F3, 0x0800 - 0x07F3), QByteArray(0x0800 - 0x07F3, '\0'));
        QCOMPARE(b.bytes(0x0800, 3000 - 0x0800), filled(3000 - 0x0800, 'z'));
        QCOMPARE(b.img.UseSize(), 3000);
        QVERIFY(prompts.texts().isEmpty());
    }
    void htmlKeepsHeaderAndOffset_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("useSize");
        QTest::newRow("offset 0 of an empty image") << 10 << 0 << 64;
        QTest::newRow("text over the offset bytes") << 10 << 8 << 64;
        QTest::newRow("clearing over the offset bytes") << 100 << 20 << 200;
    }
    void htmlKeepsHeaderAndOffset()
    {
        QFETCH(int, position);
        QFETCH(int, offset);
        QFETCH(int, useSize);
        BoundItem b(QStringLiteral("H=%1;19;1").arg(position), TBaseEEROM::kImageBufferSize, useSize);
        b.put(position, QByteArray(1, char(offset >> 8)) + QByteArray(1, char(offset & 0xFF)));
        const QByteArray image = b.img.Buffer();
        const QString raised = errorOf([&] { b.item->SetText(QStringLiteral("<html>")); });
        QVERIFY2(raised.contains(QStringLiteral("\"H\"")), qPrintable(raised));
        QCOMPARE(b.img.Buffer(), image);
        QCOMPARE(b.img.UseSize(), useSize);
    }
    void htmlInASmallBuffer()
    {
        BoundItem b(QStringLiteral("H=10;19;1"), 100, 100);
        b.put(10, QByteArray::fromHex("0050"));
        const QByteArray image = b.img.Buffer();
        const QString raised = errorOf([&] { b.item->SetText(QString(40, u'x')); });
        QVERIFY2(raised.contains(QStringLiteral("\"H\"")), qPrintable(raised));
        QCOMPARE(b.img.Buffer(), image);
        QCOMPARE(b.img.UseSize(), 100);
    }

    // Random texts into every address, table and HTML format, placed at and around the end
    // of the buffer (HTML: random offsets): never a crash, never a growing buffer, a failing
    // write changes nothing, and a passing one stays inside the parameter's own bytes.
    void randomTexts()
    {
        const QString alphabet = QStringLiteral("0123456789abcdefABCDEFxX$+- .;:-\t<>") + QChar(0xE9) + QChar(0x0100)
                                 + QChar(0xFF11) + QChar(0xD83D) + QChar(0xDE00);
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator rng(seed);
        auto randomText = [&](int maxLen) {
            QString text;
            const int len = int(rng.bounded(maxLen));
            for (int i = 0; i < len; ++i)
                text += alphabet.at(rng.bounded(int(alphabet.size())));
            return text;
        };
        struct Case {
            QString line; // %1 = position
            int width;    // bytes the parameter may change from its position
        };
        const Case cases[] = {
            {QStringLiteral("R=%1;14;1"), 4},
            {QStringLiteral("R=%1;15;1"), 6},
            {QStringLiteral("R=%1;16;1;;;60000;;8"), 60000},
            {QStringLiteral("R=%1;18;1;;;60000;;8"), 60000},
            {QStringLiteral("R=%1;18;1;;;3;;1"), 3},
        };
        ScriptedPrompts prompts;
        for (const Case &c : cases) {
            for (int pos = 8180; pos <= 8192; ++pos) {
                BoundItem b(c.line.arg(pos));
                for (int round = 0; round < 40; ++round) {
                    // Every other round gets a text of the right shape with random numbers and
                    // blanks, so that writes also pass and their bytes are checked.
                    QString text = randomText(24);
                    if (round % 2 && c.width > 6)
                        text = QStringLiteral("%1;%2;%3;").arg(rng.bounded(70000)).arg(int(rng.bounded(600)) - 300).arg(text);
                    else if (round % 2 && c.width == 4)
                        text = QStringLiteral("%1. %2.%3 .%4").arg(rng.bounded(400)).arg(rng.bounded(256)).arg(rng.bounded(256)).arg(int(rng.bounded(600)) - 300);
                    else if (round % 2 && c.width == 6)
                        text = QStringLiteral("%1-%2-%3-%4-%5-%6").arg(rng.bounded(256), 2, 16, QChar(u'0')).arg(rng.bounded(256), 2, 16, QChar(u'0'))
                                   .arg(rng.bounded(256), 2, 16, QChar(u'0')).arg(rng.bounded(256), 2, 16, QChar(u'0'))
                                   .arg(rng.bounded(256), 2, 16, QChar(u'0')).arg(rng.bounded(256), 2, 16, QChar(u'0'));
                    const QByteArray image = b.img.Buffer();
                    const bool failed = !errorOf([&] { b.item->SetText(text); }).isEmpty();
                    const QByteArray now = b.img.Buffer();
                    const QString where = QStringLiteral("seed %1 line %2 text '%3'").arg(seed).arg(c.line.arg(pos), text);
                    QVERIFY2(now.size() == image.size(), qPrintable(where));
                    if (failed) {
                        QVERIFY2(now == image, qPrintable(where));
                        continue;
                    }
                    QVERIFY2(now.left(pos) == image.left(pos), qPrintable(where));
                    if (pos + c.width < now.size())
                        QVERIFY2(now.mid(pos + c.width) == image.mid(pos + c.width), qPrintable(where));
                }
            }
        }
        for (int round = 0; round < 3000; ++round) {
            const int useSize = int(rng.bounded(8193));
            const int position = int(rng.bounded(8192 + 3)); // also past the end
            const uint16_t offset = uint16_t(rng.bounded(round % 2 ? 2100 : 65536));
            BoundItem b(QStringLiteral("H=%1;19;1").arg(position), TBaseEEROM::kImageBufferSize, useSize);
            if (position + 2 <= 8192)
                b.put(position, QByteArray(1, char(offset >> 8)) + QByteArray(1, char(offset & 0xFF)));
            const QByteArray image = b.img.Buffer();
            const QString text = randomText(round % 3 ? 40 : 2100);
            prompts.records.clear();
            const bool failed = !errorOf([&] { b.item->SetText(text); }).isEmpty();
            const QString where = QStringLiteral("seed %1 H=%2 offset %3 UseSize %4 text '%5'")
                                      .arg(seed).arg(position).arg(offset).arg(useSize).arg(text);
            const QByteArray now = b.img.Buffer();
            QVERIFY2(now.size() == image.size(), qPrintable(where));
            if (failed || !prompts.texts().isEmpty()) {
                QVERIFY2(now == image && b.img.UseSize() == useSize, qPrintable(where));
                continue;
            }
            QVERIFY2(offset >= 5 && offset + text.size() < 2048, qPrintable(where));
            QVERIFY2(now.left(offset) == image.left(offset) && now.mid(2048) == image.mid(2048), qPrintable(where));
            QVERIFY2(now.mid(position, 2) == image.mid(position, 2), qPrintable(where));
            QVERIFY2(dynamic_cast<THTMLSourceItem *>(b.item)->HTMLText().size() <= text.size(), qPrintable(where));
        }
    }
};

QTEST_GUILESS_MAIN(TestAddressItems)
#include "TestAddressItems.moc"
