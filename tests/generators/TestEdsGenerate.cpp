// The template language of the description generator, run over an image with known values.
#include "GeneratorRig.h"
#include "generators/EdsGenerate.h"

#include <QTemporaryDir>
#include <QtTest>

using Number = std::optional<qint64>;
Q_DECLARE_METATYPE(Number)

class TestEdsGenerate : public QObject
{
    Q_OBJECT

    static QByteArray run(TestImage &t, const QByteArray &text, QString *items = nullptr)
    {
        TEdsGenerate g(&t.img);
        g.FNow = [] { return QDateTime(QDate(2026, 5, 7), QTime(9, 3, 4)); };
        const QByteArray out = g.generateFromText(text);
        if (items)
            *items = g.getReplacedItems();
        return out;
    }

private slots:
    void generation_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("items");
        const QByteArray bytes("[Info]\r\nName=\x80\xC3\x84\xFF\r\n;end", 23);
        QTest::newRow("no commands: byte for byte, last byte kept") << bytes << bytes << "";
        QTest::newRow("replace") << QByteArray("A<!--exec=replace param=\"Device Type\"-->B") << QByteArray("AGW/A:1B")
                                 << "\r\n-Device Type";
        QTest::newRow("command at the first character") << QByteArray("<!--exec=replace param=\"Hundred\"-->x")
                                                        << QByteArray("100x") << "\r\n-Hundred";
        QTest::newRow("first non-zero alternative wins")
            << QByteArray("<!--exec=replace param=\" Zero ; ;Hundred ;Device Type\"-->") << QByteArray("100")
            << "\r\n-Hundred";
        QTest::newRow("all alternatives zero") << QByteArray("[<!--exec=replace param=\"Zero;Zero\"-->]")
                                               << QByteArray("[0]") << "";
        QTest::newRow("unknown names skipped") << QByteArray("<!--exec=replace param=\"Nope;Empty\" string=\"(%s)\"-->")
                                               << QByteArray("()") << "";
        QTest::newRow("cut before NUMBERSONLY")
            << QByteArray("<!--exec=replace param=\"Mixed\" valueLength=\"4\" function=\"numbersOnly\"-->")
            << QByteArray("12") << "\r\n-Mixed";
        QTest::newRow("bitWise replace") << QByteArray("<!--exec=replace param=\"Twenty\" bitWise=\"true\"-->")
                                         << QByteArray("160") << "\r\n-Twenty";
        QTest::newRow("bitWise must be exactly true")
            << QByteArray("<!--exec=replace param=\"Twenty\" bitWise=\"True\"-->") << QByteArray("20") << "\r\n-Twenty";
        QTest::newRow("escaped quotes") << QByteArray("<!--exec=replace param=\"Twenty\" string=\"n=\\\"%s\\\"\"-->")
                                        << QByteArray("n=\"20\"") << "\r\n-Twenty";
        QTest::newRow("loop 100 by 32")
            << QByteArray("X\r\n<!--exec=loop param=\"Hundred\" maxChunkSize=\"32\" string=\"[#index]=%s\"-->\r\nY")
            << QByteArray("X\r\n[0]=32\r\n[1]=32\r\n[2]=32\r\n[3]=4\r\nY") << "\r\n-Hundred";
        QTest::newRow("loop bitWise, #index in any case")
            << QByteArray("<!--exec=loop param=\"Hundred\" maxChunkSize=\"$20\" bitWise=\"true\" string=\"#INDEX:%s\"-->")
            << QByteArray("0:256\r\n1:256\r\n2:256\r\n3:32") << "\r\n-Hundred";
        QTest::newRow("loop smaller than a chunk")
            << QByteArray("a<!--exec=loop param=\"Twenty\" maxChunkSize=\"32\" string=\"#index/%s\"-->b")
            << QByteArray("a0/20b") << "\r\n-Twenty";
        QTest::newRow("loop without remainder")
            << QByteArray("<!--exec=loop param=\"SixtyFour\" maxChunkSize=\"32\" string=\"%s\"-->")
            << QByteArray("32\r\n32") << "\r\n-SixtyFour";
        QTest::newRow("loop over a hex value, no pattern: no line breaks")
            << QByteArray("<!--exec=loop param=\"Hex\" maxChunkSize=\"12\"-->") << QByteArray("12128") << "\r\n-Hex";
        QTest::newRow("loop in the pattern makes a loop")
            << QByteArray("<!--exec=replace param=\"Hundred\" maxChunkSize=\"50\" string=\"loop %s\"-->")
            << QByteArray("loop 50\r\nloop 50") << "\r\n-Hundred";
        QTest::newRow("generate date and time")
            << QByteArray("<!--exec=generate param=\"creationDate\"--> <!--exec=generate param=\"CREATIONTIME\"-->")
            << QByteArray("05-07-2026 09:03:04") << "";
        QTest::newRow("pattern formats")
            << QByteArray("<!--exec=replace param=\"Hundred\" string=\"%5s|%-5s|%.2s|%0:s|%%s|%S\"-->")
            << QByteArray("  100|100  |10|100|%s|100") << "\r\n-Hundred";
        QTest::newRow("pattern needing more: bare value")
            << QByteArray("<!--exec=replace param=\"Hundred\" string=\"%d\"--> <!--exec=replace param=\"Twenty\" "
                          "string=\"%s %1:s\"--> <!--exec=replace param=\"Twenty\" string=\"%*s\"--> "
                          "<!--exec=replace param=\"Twenty\" string=\"50%\"-->")
            << QByteArray("100 20 20 20") << "\r\n-Hundred\r\n-Twenty\r\n-Twenty\r\n-Twenty";
        QTest::newRow("adjacent commands")
            << QByteArray("<!--exec=replace param=\"Twenty\"--><!--exec=replace param=\"Hundred\"-->")
            << QByteArray("20100") << "\r\n-Twenty\r\n-Hundred";
        QTest::newRow("a command inside a replaced one is not run twice")
            << QByteArray("<!--exec=replace param=\"Twenty\" <!--exec=replace param=\"Hundred\"-->!")
            << QByteArray("20!") << "\r\n-Twenty";
        QTest::newRow("after an unchanged command")
            << QByteArray("<!--exec=replace--> <!--exec=replace param=\"Hundred\"-->")
            << QByteArray("<!--exec=replace--> 100") << "\r\n-Hundred";
    }
    void generation()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        TestImage t;
        QString items;
        QCOMPARE(run(t, text, &items), expected);
        QTEST(items, "items");
    }

    // Commands that cannot be carried out stay in the output exactly as written.
    void unchanged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("unterminated command") << QByteArray("a<!--exec=replace param=\"Hundred\"");
        QTest::newRow("unterminated quote") << QByteArray("a<!--exec=replace param=\"Hundred-->b");
        QTest::newRow("no param") << QByteArray("<!--exec=replace string=\"%s\"-->");
        QTest::newRow("no known kind") << QByteArray("<!--exec=insert param=\"Hundred\"-->");
        QTest::newRow("generate without a clock name") << QByteArray("<!--exec=generate param=\"Hundred\"-->");
        QTest::newRow("loop over zero") << QByteArray("<!--exec=loop param=\"Zero\" maxChunkSize=\"8\"-->");
        QTest::newRow("loop over text") << QByteArray("<!--exec=loop param=\"Device Type\" maxChunkSize=\"8\"-->");
        QTest::newRow("loop over nothing") << QByteArray("<!--exec=loop param=\"Nope\" maxChunkSize=\"8\"-->");
        QTest::newRow("loop without chunk size") << QByteArray("<!--exec=loop param=\"Hundred\"-->");
        QTest::newRow("loop chunk size not a number") << QByteArray("<!--exec=loop param=\"Hundred\" maxChunkSize=\"8x\"-->");
        QTest::newRow("loop chunk size 0") << QByteArray("<!--exec=loop param=\"Hundred\" maxChunkSize=\"0\"-->");
        QTest::newRow("loop chunk size negative") << QByteArray("<!--exec=loop param=\"Hundred\" maxChunkSize=\"-8\"-->");
    }
    void unchanged()
    {
        QFETCH(QByteArray, text);
        TestImage t;
        QCOMPARE(run(t, text), text);
    }

    void conversionErrors_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("valueLength") << QByteArray("<!--exec=replace param=\"Hundred\" valueLength=\"4a\"-->")
                                     << "'4a' is not a valid integer value";
        QTest::newRow("bitWise over text") << QByteArray("<!--exec=replace param=\"Device Type\" bitWise=\"true\"-->")
                                           << "'GW/A:1' is not a valid integer value";
        QTest::newRow("bitWise over nothing") << QByteArray("<!--exec=replace param=\"Nope\" bitWise=\"true\"-->")
                                              << "'' is not a valid integer value";
    }
    void conversionErrors()
    {
        QFETCH(QByteArray, text);
        TestImage t;
        QTEST(errorOf([&] { run(t, text); }), "error");
    }

    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Number>("value");
        QTest::newRow("decimal") << "  42" << Number(42);
        QTest::newRow("signs") << "-5" << Number(-5);
        QTest::newRow("plus") << "+7" << Number(7);
        QTest::newRow("dollar") << "$1f" << Number(31);
        QTest::newRow("x") << "x10" << Number(16);
        QTest::newRow("X") << "X10" << Number(16);
        QTest::newRow("0x") << "0x10" << Number(16);
        QTest::newRow("0X") << "0X10" << Number(16);
        QTest::newRow("negative hex") << "-$10" << Number(-16);
        QTest::newRow("largest") << "2147483647" << Number(2147483647);
        QTest::newRow("32 hex bits") << "$FFFFFFFF" << Number(-1);
        QTest::newRow("too large") << "2147483648" << Number();
        QTest::newRow("too many hex digits") << "$100000000" << Number();
        QTest::newRow("trailing blank") << "12 " << Number();
        QTest::newRow("hex digit in decimal") << "1a" << Number();
        QTest::newRow("empty") << "" << Number();
        QTest::newRow("prefix only") << "0x" << Number();
        QTest::newRow("sign only") << " -" << Number();
    }
    void numbers()
    {
        QFETCH(QString, text);
        QTEST(TEdsGenerate::TemplateNumber(text), "value");
    }

    void templateFiles()
    {
        QTemporaryDir dir;
        TestImage t;
        LanguageSelect english;
        loadEnglish(english);
        t.img.language = &english;
        TEdsGenerate g(&t.img);
        g.templateDir = dir.path();
        QByteArray stream("left over");

        const QString path = dir.filePath("001A.eds");
        QCOMPARE(errorOf([&] { g.generate("001A.eds", stream); }),
                 QStringLiteral("The template \"%1\" cannot be read.").arg(path));
        QVERIFY(stream.isEmpty());

        // The largest template is read; one byte more is refused before anything is produced.
        const QByteArray command("<!--exec=replace param=\"Hundred\"-->");
        QByteArray big = command + QByteArray(TEdsGenerate::kMaxTemplateSize - command.size(), 'x');
        writeBytes(path, big);
        g.generate("001A.eds", stream);
        QCOMPARE(stream, "100" + big.mid(command.size()));
        writeBytes(path, big + 'x');
        stream = "left over";
        QCOMPARE(errorOf([&] { g.generate("001A.eds", stream); }),
                 QStringLiteral("The template \"%1\" is larger than 200000 bytes.").arg(path));
        QVERIFY(stream.isEmpty());

        // A zero byte ends the text, so what follows it does not count towards the limit.
        writeBytes(path, "ok" + QByteArray(1, '\0') + QByteArray(300000, 'x'));
        g.generate("001A.eds", stream);
        QCOMPARE(stream, QByteArray("ok"));

        // A loop that would produce gigabytes is stopped at the output limit.
        t.set("Device Type", "9999999");
        writeBytes(path, "<!--exec=loop param=\"Device Type\" maxChunkSize=\"1\" string=\"entry %s of many\"-->");
        QCOMPARE(errorOf([&] { g.generate("001A.eds", stream); }),
                 QStringLiteral("The generated file would be larger than %1 bytes; check the loops of the template.")
                     .arg(TEdsGenerate::kMaxOutputSize));
        QVERIFY(stream.isEmpty());
    }

    // Values are converted to Latin-1; what it cannot hold becomes "?".
    void latin1Values()
    {
        TestImage t(QStringLiteral("Coin=64;4;1\n[Dev:Coin]\nM\u00fcnz\u20ac=1;0\n"));
        QCOMPARE(t.img.GetParameter("Coin"), QStringLiteral("M\u00fcnz\u20ac"));
        QCOMPARE(run(t, "<!--exec=replace param=\"Coin\"-->"), QByteArray("M\xFCnz?"));
    }

    // The bundled templates use every kind of command and leave none behind for the example
    // devices.
    void bundledTemplates_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("templateName");
        QTest::addColumn<QStringList>("expectedLines");
        QTest::newRow("GW110 EDS") << "gw110.gwc" << "001F_GW110.eds"
                                   << QStringList{"CreationDate=05-07-2026", "CreationTime=09:03:04",
                                                  "ProductName=Line 3 / Press", "ProductNumber=0x00012345",
                                                  "FileName=0001_GW110.eds", "Line1=Station \"Line 3 / Press\", node 12",
                                                  "DefaultValue=800", "[2003]", "DefaultValue=32", "Block3=0x2003"};
        QTest::newRow("GW164X XML") << "gw164x.gwc" << "0164_GW164X.xml"
                                    << QStringList{"    <CreationDate>05-07-2026</CreationDate>",
                                                   "    <Identity code=\"01\"/>",
                                                   "    <Inputs totalBits=\"56\">",
                                                   "      <Channel index=\"0\" bits=\"32\"/>",
                                                   "      <Channel index=\"1\" bits=\"24\"/>"};
    }
    void bundledTemplates()
    {
        QFETCH(QString, image);
        QFETCH(QString, templateName);
        QFETCH(QStringList, expectedLines);
        IniFile ini;
        QVERIFY(ini.load(TestPaths::dataFile("examples/vantor.tcf")));
        TBaseEEROM img;
        img.SetSourceDatei(&ini);
        img.openfile(TestPaths::dataFile("examples/" + image));
        QFile file(TestPaths::dataFile("ddtemplate/" + templateName));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        for (const char *kind : {"exec=replace", "exec=loop", "exec=generate", "string=", "bitWise=", "function=",
                                 "valueLength=", "maxChunkSize=", "#index", ";"})
            QVERIFY2(text.contains(kind), kind);

        TEdsGenerate g(&img);
        g.FNow = [] { return QDateTime(QDate(2026, 5, 7), QTime(9, 3, 4)); };
        const QByteArray out = g.generateFromText(text);
        QVERIFY(!out.contains("<!--exec="));
        QVERIFY(out.endsWith("\r\n"));
        const QStringList lines = QString::fromLatin1(out).split("\r\n");
        for (const QString &line : expectedLines)
            QVERIFY2(lines.contains(line), qPrintable(line));
    }
};

QTEST_GUILESS_MAIN(TestEdsGenerate)
#include "TestEdsGenerate.moc"
