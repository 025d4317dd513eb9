// The parameter printout of the image: heading lines, column heading and the printed set.

#include "link/PrintEEROM.h"
#include "localisation/LanguageSelect.h"
#include "base/IniFile.h"
#include "model/PrintSink.h"

#include "ScriptedPrompts.h"

#include <QLocale>
#include <QtTest>

namespace {

// Device 0x1F with one parameter per rule that matters for printing.
const char *const kDescription = "[Names]\n0x1F=Dev\n[Devices]\n0x1F=0x10\n[Dev]\n"
                                 "Edit=6;2;1\nShown=7;2;80\nMore=8;2;fc\nHidden=9;2;fe\nConditional=10;2;1;;;;1\n"
                                 "[VisualRule]\n0001=0;0B;01\n";

struct PrintBench {
    IniFile ini;
    TPrintEEROM img;
    LanguageSelect lang;
    ScriptedPrompts prompts;
    PrintBench()
    {
        lang.currentKeys = QStringList{"mainTorvaneVersionText", "selAttributesNoName", "selAttributesBytes", "mainValueText"};
        lang.currentLang = QStringList{"Program", "(none)", "%d bytes", "Value"};
        ini.parseText(QString::fromLatin1(kDescription));
        img.language = &lang;
        img.SetSourceDatei(&ini);
        img.Clear();
        img.SetByteIDX(1, 0x1F);
        for (int i = 6; i <= 10; ++i)
            img.SetByteIDX(uint16_t(i), uint8_t(i));
        img.FUseSize = 12;
    }
};

} // namespace

class TestPrintEEROM : public QObject
{
    Q_OBJECT
private slots:
    void emptyImagePrintsNothing()
    {
        PrintBench b;
        PlainTextPrintSink sink;
        QVERIFY(!b.img.print(sink, "1.2", "7"));
        QCOMPARE(sink.text(), QString());
    }

    void headingAndPrintedRules_data()
    {
        QTest::addColumn<int>("byte11");
        QTest::addColumn<QString>("conditional");
        QTest::newRow("condition holds") << 1 << "Conditional\t10\n";
        QTest::newRow("condition fails") << 0 << "";
    }
    void headingAndPrintedRules()
    {
        QFETCH(int, byte11);
        QFETCH(QString, conditional);
        PrintBench b;
        b.img.SetByteIDX(11, uint8_t(byte11));
        b.img.laden();
        PlainTextPrintSink sink;
        const QDate day(2024, 3, 5);
        QVERIFY(b.img.print(sink, "1.2", "7", day));
        QCOMPARE(sink.text(), "Program\tV 1.2 [TCF 7]\n"
                              "mainConfigVersionText\t7\n"
                              "selAttributesFileName\t(none)\n"
                              "selAttributesDate\t" + QLocale::system().toString(day, QLocale::ShortFormat) + "\n"
                              "selAttributesSize\t12 bytes\n\n"
                              "mainParameterText\tValue\n"
                              "Edit\t6\nShown\t7\nMore\t8\n" + conditional);
        QCOMPARE(sink.firstTabStop(), int(TPrintEEROM::kPrintTabStop));
        const auto &runs = sink.runs();
        QCOMPARE(runs[0].text, QString("Program\t"));
        QCOMPARE(runs[0].style, int(PrintSink::Bold));
        QCOMPARE(runs[1].style, int(PrintSink::Normal));
        QCOMPARE(runs[10].text, QString("mainParameterText\tValue\n"));
        QCOMPARE(runs[10].style, PrintSink::Bold | PrintSink::Underline);
    }

    void fileNameIsPrinted()
    {
        PrintBench b;
        b.img.laden();
        b.img.SetFileName("/data/a.gwc");
        PlainTextPrintSink sink;
        b.img.print(sink, "1", "1");
        QVERIFY(sink.text().contains("\nselAttributesFileName\t/data/a.gwc\n"));
    }
};

QTEST_GUILESS_MAIN(TestPrintEEROM)
#include "TestPrintEEROM.moc"
