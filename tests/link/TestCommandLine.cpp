// The window program's command line: the table of options, the order of the tests, values
// examined again in their own turn, conversion failures, and the file-argument rule.
#include "link/CommandLine.h"

#include "base/GeneralError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// What an examination changed from the start values, in a fixed order, so one table line
// states the whole outcome.
QString summary(const TCommandLine &c)
{
    QStringList s;
    if (!c.AutomaticUpload) s << "noupload";
    if (c.autoLoadConfigFile) s << "file=" + c.autoLoadConfigName;
    if (c.AutomaticDownload) s << "download";
    if (c.generate) s << QStringLiteral("generate=%1").arg(c.generateCount);
    if (c.logLevel) s << QStringLiteral("log=%1").arg(c.logLevel);
    if (c.readBaseSection) s << "base";
    if (c.debugView) s << "debug";
    if (!c.Control) s << "nocontrol";
    if (c.Header) s << "header";
    if (!c.Kommunikationsfenster) s << "nomonitor";
    if (!c.Menues) s << "nomenu";
    if (!c.Statuszeile) s << "nostatus";
    if (c.descriptionGiven) s << "tcf=" + c.DescriptionFilePath;
    if (c.portGiven) s << "port=" + c.port;
    for (TCommandLine::Message m : c.messages)
        s << (m == TCommandLine::Message::Help ? "help" : "version");
    if (c.failed()) s << QStringLiteral("failed@%1").arg(c.failedArgument);
    return s.join(u' ');
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing") << QStringList{} << "";
        QTest::newRow("lower case /q3, /p com7") << QStringList{"/q3", "/p", "com7"} << "generate=3 port=COM7";
        QTest::newRow("/P Offline stays the offline entry") << QStringList{"/P", "Offline"} << "port=offline";
        QTest::newRow("/Q alone is one") << QStringList{"/Q"} << "generate=1";
        QTest::newRow("/L alone is 0, /L7") << QStringList{"/L", "/l7"} << "log=7";
        QTest::newRow("every switch") << QStringList{"/B", "/C", "/D", "/H", "/K", "/M", "/N", "/S", "/X"}
                                      << "noupload base debug nocontrol header nomonitor nomenu nostatus";
        QTest::newRow("/F is the debug view too") << QStringList{"/f"} << "debug";
        QTest::newRow("/G downloads and does not upload") << QStringList{"/G"} << "noupload download";
        QTest::newRow("/W value kept as given") << QStringList{"/W", "Plant.tcf"} << "tcf=Plant.tcf";
        QTest::newRow("/W last gives an empty path") << QStringList{"/N", "/W"} << "noupload tcf=";
        QTest::newRow("/W value with gwc is also a file") << QStringList{"/W", "my.GwC.tcf"}
                                                          << "noupload file=my.GwC.tcf tcf=my.GwC.tcf";
        QTest::newRow("/P value examined again: /P /N") << QStringList{"/P", "/N"} << "noupload port=/N";
        QTest::newRow("two files: the last") << QStringList{"a.gwc", "b.gwc"} << "noupload file=b.gwc";
        QTest::newRow("/X then a file") << QStringList{"/X", "plant.gwc"} << "noupload file=plant.gwc";
        QTest::newRow("/? then /V, nothing after /V") << QStringList{"/?", "/V", "/N"} << "help version";
        QTest::newRow("unknown is ignored") << QStringList{"/Z", "hello", "-n"} << "";
        QTest::newRow("/QX stops the examination") << QStringList{"/N", "/QX", "/D", "x.gwc"} << "noupload failed@1";
        QTest::newRow("/Lx stops it too") << QStringList{"/Lx", "/N"} << "failed@0";
        QTest::newRow("/Q0 writes nothing: refused") << QStringList{"/Q0"} << "failed@0";
        QTest::newRow("/Q-2 refused") << QStringList{"/Q-2"} << "failed@0";
        // A path with a "/" after its first character is a file, never /L or /Q.
        QTest::newRow("/lib path is a file") << QStringList{"/lib/plant.gwc"} << "noupload file=/lib/plant.gwc";
        QTest::newRow("/quality path is no /Q") << QStringList{"/quality/x.tcf", "/N"} << "noupload";
        QTest::newRow("/W with an absolute path") << QStringList{"/W", "/lib/vantor.tcf"} << "tcf=/lib/vantor.tcf";
    }
    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        QCOMPARE(summary(parseCommandLine(args)), expected);
    }

    // The text as examined: upper case.
    void conversionFailureNamesTheText()
    {
        const TCommandLine c = parseCommandLine({"/Q12a"});
        QCOMPARE(c.failure, QStringLiteral("'12A' is not a valid integer value"));
        QVERIFY(!c.generate);
    }

    // An existing file whose name looks like an option is a file; locateFile resolves the
    // configuration file, and its failure stops the examination.
    void fileArguments()
    {
        QVERIFY(isFileArgument(QStringLiteral("a/b")));
        QVERIFY(!isFileArgument(QStringLiteral("/N")));
        QVERIFY(!isFileArgument(QStringLiteral("/?")));
        QStringList asked;
        const auto locate = [&](const QString &name) {
            asked << name;
            if (name.contains(QLatin1String("missing")))
                throw TorvaneError(QStringLiteral("FileToolNoFileSelected"));
            return QStringLiteral("/found/") + name;
        };
        const TCommandLine ok = parseCommandLine({"Plant.GWC", "/N"}, locate);
        QCOMPARE(summary(ok), QStringLiteral("noupload file=/found/Plant.GWC"));
        const TCommandLine bad = parseCommandLine({"missing.gwc", "/D"}, locate);
        QCOMPARE(summary(bad), QStringLiteral("noupload failed@0"));
        QCOMPARE(bad.failure, QStringLiteral("FileToolNoFileSelected"));
        QCOMPARE(asked, (QStringList{"Plant.GWC", "missing.gwc"}));
    }

    // A folder of the root that starts like an option names an existing file: never /L.
    void existingPathIsNoOption()
    {
        QString name;
        for (const QString &entry : QDir::root().entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            if (entry.startsWith(u'l', Qt::CaseInsensitive) || entry.startsWith(u'q', Qt::CaseInsensitive))
                name = QStringLiteral("/") + entry;
        if (name.isEmpty())
            QSKIP("no root entry starting with l or q here");
        QVERIFY(isFileArgument(name));
        QCOMPARE(summary(parseCommandLine({name, "/N"})), QStringLiteral("noupload"));
    }

    void terminalOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected"); // help version trace shot=FILE error rest=...
        QTest::newRow("none") << QStringList{"/N", "x.gwc"} << "rest=/N,x.gwc";
        QTest::newRow("screenshot anywhere") << QStringList{"/N", "--screenshot", "a.png", "/D"} << "shot=a.png rest=/N,/D";
        QTest::newRow("screenshot=") << QStringList{"--screenshot=b.png"} << "shot=b.png rest=";
        QTest::newRow("screenshot without file") << QStringList{"/N", "--screenshot"} << "error";
        QTest::newRow("help, version, trace") << QStringList{"--trace", "--version", "-h"} << "help version trace rest=";
    }
    void terminalOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        const TTerminalOptions t = parseTerminalOptions(args);
        QStringList s;
        if (t.help) s << "help";
        if (t.version) s << "version";
        if (t.trace) s << "trace";
        if (!t.screenshot.isEmpty()) s << "shot=" + t.screenshot;
        if (!t.error.isEmpty()) s << "error";
        else s << "rest=" + t.rest.join(u',');
        QCOMPARE(s.join(u' '), expected);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
