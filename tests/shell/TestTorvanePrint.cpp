// The print preview: the printout's text and styles as they land in the preview's document,
// and printing it to a PDF file through the platform's print dialog.

#include "TestPaths.h"

#include "base/IniFile.h"
#include "link/EEROM.h"
#include "model/PrintSink.h"
#include "shell/TorvanePrint.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

namespace {

struct Image {
    IniFile ini;
    TEEROM img;
    Image()
    {
        ini.parseText(QStringLiteral("[General]\nVersion=4.2\n[Names]\n0x1F=Dev\n[Devices]\n0x1F=0x10\n[Dev]\n"
                                     "Visible=10;2;1\nShownMore=11;2;0\nHidden=12;2;fe\nRuled=13;2;80\n"
                                     "A parameter name far wider than the first tab stop=14;2;1\n"));
        img.SetSourceDatei(&ini);
        img.SetSize(64);
        img.SetByteIDX(1, 0x1F);
        img.SetByteIDX(10, 5);
        img.SetByteIDX(11, 6);
        img.SetByteIDX(12, 7);
        img.SetByteIDX(13, 8);
        img.FUseSize = 64;
        img.laden();
        img.empty = false;
    }
};

// The document's text runs with their styles: "B" bold, "U" underlined, "-" regular.
QStringList styledRuns(const QTextDocument &doc)
{
    QStringList runs;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            QString style;
            if (f.charFormat().fontWeight() >= QFont::Bold)
                style += u'B';
            if (f.charFormat().fontUnderline())
                style += u'U';
            runs << (style.isEmpty() ? QStringLiteral("-") : style) + u':' + f.text();
        }
    return runs;
}

} // namespace

class TestTorvanePrint : public QObject
{
    Q_OBJECT
private slots:
    void documentTextAndStyles();
    void mappingTables();
    void emptyImageShowsNothing();
    void closeHides();
    void printsPdfWithoutPrinter();
};

void TestTorvanePrint::documentTextAndStyles()
{
    Image image;
    TTorvanePrint preview;
    QVERIFY(preview.showFor(image.img, QStringLiteral("1.2.3"), QStringLiteral("4.2")));
    QVERIFY(preview.isVisible());
    QCOMPARE(preview.windowTitle(), QStringLiteral("printCaption"));
    QCOMPARE(preview.findChild<QAbstractButton *>(QStringLiteral("PrintBtn"))->text(), QStringLiteral("buttonPrint"));

    const QStringList lines = preview.document()->toPlainText().split(u'\n');
    QCOMPARE(lines.at(0), QStringLiteral("mainTorvaneVersionText\tV 1.2.3 [TCF 4.2]"));
    QCOMPARE(lines.at(1), QStringLiteral("mainConfigVersionText\t4.2"));
    QCOMPARE(lines.at(2), QStringLiteral("selAttributesFileName\tselAttributesNoName"));
    QCOMPARE(lines.at(5), QString());
    QCOMPARE(lines.at(6), QStringLiteral("mainParameterText\tmainValueText"));
    // Printed whatever the grid's toggles: vrEdit and vrAlwaysShow too, not vrInvisible.
    QCOMPARE(lines.mid(7, 3), (QStringList{QStringLiteral("Visible\t5"), QStringLiteral("ShownMore\t6"),
                                           QStringLiteral("Ruled\t8")}));
    QVERIFY(!preview.document()->toPlainText().contains(QStringLiteral("Hidden")));

    const QStringList runs = styledRuns(*preview.document());
    QVERIFY2(runs.contains(QStringLiteral("B:mainConfigVersionText\t")), qPrintable(runs.join(u'|')));
    QVERIFY(runs.contains(QStringLiteral("-:4.2")));
    QVERIFY(runs.contains(QStringLiteral("BU:mainParameterText\tmainValueText")));
    QVERIFY(runs.contains(QStringLiteral("B:Visible\t")));
    QVERIFY(runs.contains(QStringLiteral("-:5")));

    // Every block carries the same first tab stop, at least the printout's 100 points and past
    // the widest name, so the values form one column on screen and on paper.
    QTextDocument &doc = *preview.document();
    const qreal first = doc.firstBlock().blockFormat().tabPositions().value(0).position;
    QVERIFY(first >= 100 * 96.0 / 72.0);
    QFont bold = doc.defaultFont();
    bold.setBold(true);
    QVERIFY(first > QFontMetricsF(bold).horizontalAdvance(QStringLiteral("A parameter name far wider than the first tab stop")));
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        QCOMPARE(block.blockFormat().tabPositions().value(0).position, first);

    // Reused: a second print replaces the document instead of appending to it.
    image.img.SetByteIDX(10, 9);
    QVERIFY(preview.showFor(image.img, QStringLiteral("1.2.3"), QStringLiteral("4.2")));
    const QString again = preview.document()->toPlainText();
    QCOMPARE(again.count(QStringLiteral("mainParameterText")), 1);
    QVERIFY(again.contains(QStringLiteral("Visible\t9")));
}

// A mapping parameter prints its tables: nothing of the printout is lost on the way into the
// preview, the captions are italic, and the values of a table stand on the stops of its
// caption line, which are the table's own, not those of the parameter list.
void TestTorvanePrint::mappingTables()
{
    IniFile ini;
    QVERIFY(ini.load(TestPaths::dataFile(QStringLiteral("examples/vantor.tcf"))));
    TEEROM image;
    image.SetSourceDatei(&ini);
    image.openfile(TestPaths::dataFile(QStringLiteral("examples/gw210.gwc")));
    PlainTextPrintSink plain;
    QVERIFY(image.print(plain, QStringLiteral("1.2.3"), QStringLiteral("4.2")));
    QVERIFY(plain.text().contains(QStringLiteral("Profibus Byte")));

    TTorvanePrint preview;
    QVERIFY(preview.showFor(image, QStringLiteral("1.2.3"), QStringLiteral("4.2")));
    QTextDocument &doc = *preview.document();
    QCOMPARE(doc.toPlainText(), plain.text());

    const QList<QTextOption::Tab> listStops = doc.firstBlock().blockFormat().tabPositions();
    int tables = 0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (!block.text().startsWith(QStringLiteral("\t\t")) || !block.next().isValid())
            continue;
        const QTextFragment first = block.begin().fragment();
        if (!first.charFormat().fontItalic())
            continue; // a values line
        ++tables;
        const QTextBlock values = block.next();
        QVERIFY(values.text().startsWith(QStringLiteral("\t\t")));
        QVERIFY(!values.begin().fragment().charFormat().fontItalic());
        QCOMPARE(values.blockFormat().tabPositions(), block.blockFormat().tabPositions());
        QVERIFY(block.blockFormat().tabPositions() != listStops);
    }
    QVERIFY(tables > 0);
}

void TestTorvanePrint::emptyImageShowsNothing()
{
    TEEROM image; // nothing loaded
    TTorvanePrint preview;
    QVERIFY(!preview.showFor(image));
    QVERIFY(!preview.isVisible());
    QVERIFY(preview.document()->isEmpty());
}

void TestTorvanePrint::closeHides()
{
    Image image;
    TTorvanePrint preview;
    QVERIFY(preview.showFor(image.img));
    QVERIFY(preview.document()->toPlainText().contains(QStringLiteral("[TCF 4.2]")));
    QTest::mouseClick(preview.findChild<QAbstractButton *>(QStringLiteral("CLoseBtn")), Qt::LeftButton);
    QVERIFY(!preview.isVisible());
}

void TestTorvanePrint::printsPdfWithoutPrinter()
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("a printer is installed here; the test must not send it a job");
    QTemporaryDir dir;
    Image image;
    TTorvanePrint preview;
    QVERIFY(preview.showFor(image.img));
    const QString pdf = dir.filePath(QStringLiteral("printout.pdf"));
    QCOMPARE(preview.printer().outputFormat(), QPrinter::PdfFormat);
    preview.printer().setOutputFileName(pdf);

    bool sawDialog = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, &preview, [&] {
        if (auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget())) {
            sawDialog = true;
            dialog->accept();
        }
    });
    poll.start();
    preview.PrintBtnClick();
    poll.stop();
    QVERIFY(sawDialog);
    QVERIFY(QFileInfo(pdf).size() > 0);
    QCOMPARE(preview.printer().docName(), QStringLiteral("printPrintDocument"));

    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        return;
    QProcess p;
    p.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(30000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(text.contains(QStringLiteral("Visible")) && text.contains(QStringLiteral("ShownMore")), qPrintable(text));
}

QTEST_MAIN(TestTorvanePrint)
#include "TestTorvanePrint.moc"
