#include "BoundItem.h"
#include "model/EditorRules.h"
#include "model/ListItem.h"

#include <QtTest>

// The editor's acceptance as the command line and the dialog share it, and the grid's
// editability rule.
class TestEditorRules : public QObject
{
    Q_OBJECT
private slots:
    void editorRefusal_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal"); // empty: accepted; else a part of the message
        // Number fields: decimal digits within the page's range, nothing else.
        QTest::newRow("byte ok") << "P=20;2;1" << "255" << "";
        QTest::newRow("byte over") << "P=20;2;1" << "256" << "\"P\": \"256\" is not accepted; the editor takes a decimal number from 0 to 255";
        QTest::newRow("byte negative") << "P=20;2;1" << "-1" << "from 0 to 255";
        QTest::newRow("byte hex") << "P=20;2;1" << "$FF" << "decimal number";
        QTest::newRow("byte blank") << "P=20;2;1" << "5 " << "decimal number";
        QTest::newRow("byte empty") << "P=20;2;1" << "" << "decimal number";
        QTest::newRow("pbyte full byte") << "P=20;21;1" << "200" << "";
        QTest::newRow("word ok") << "P=20;1;1" << "65535" << "";
        QTest::newRow("word over") << "P=20;1;1" << "65536" << "from 0 to 65535";
        QTest::newRow("32 bit signed max") << "P=20;17;1" << "2147483647" << "";
        QTest::newRow("32 bit over") << "P=20;17;1" << "2147483648" << "from 0 to 2147483647";
        QTest::newRow("restricted in") << "P=20;13;1;;1;127" << "127" << "";
        QTest::newRow("restricted out") << "P=20;13;1;;1;127" << "999" << "from 1 to 127";
        QTest::newRow("restricted default max") << "P=20;13;1;;10" << "255" << "";
        // Hexadecimal fields: what HexStrToInt reads, within the format's width.
        QTest::newRow("hex byte prefixes") << "P=20;6;1" << "0xff" << "";
        QTest::newRow("hex byte wide") << "P=20;6;1" << "1FF" << "from 0 to FF";
        QTest::newRow("hex word blank") << "P=20;7;1" << "12 34" << "hexadecimal number";
        QTest::newRow("hex word empty") << "P=20;7;1" << "$" << "hexadecimal number";
        QTest::newRow("hex long full") << "P=20;8;1" << "DEADBEEF" << "";
        // Selection lists.
        QTest::newRow("version entry") << "P=20;9;1" << "V 9.9" << "";
        QTest::newRow("version not offered") << "P=20;9;1" << "V 1.a" << "\"V 0.0\" to \"V 9.9\"";
        QTest::newRow("hex ascii") << "P=20;3;1" << "42" << "";
        QTest::newRow("hex ascii not offered") << "P=20;3;1" << "4f" << "\"00\" to \"99\"";
        // Masks and text fields.
        QTest::newRow("serial ok") << "P=20;0;1" << "00012345" << "";
        QTest::newRow("serial short") << "P=20;0;1" << "0001234" << "exactly eight digits";
        QTest::newRow("serial hex") << "P=20;0;1" << "0001234A" << "exactly eight digits";
        QTest::newRow("ip ok") << "P=20;14;1" << "192.168.0.10" << "";
        QTest::newRow("ip mask blanks") << "P=20;14;1" << " 10.  0.  0.  1" << "";
        QTest::newRow("ip group over") << "P=20;14;1" << "300.1.1.1" << "four numbers from 0 to 255";
        QTest::newRow("ip three groups") << "P=20;14;1" << "10.0.1" << "four numbers";
        QTest::newRow("ip hex group") << "P=20;14;1" << "$A.0.0.1" << "four numbers";
        QTest::newRow("mac ok") << "P=20;15;1" << "00-0a-1B-2c-3D-4e" << "";
        QTest::newRow("mac short") << "P=20;15;1" << "00-0A-1B-2C-3D" << "six hexadecimal pairs";
        QTest::newRow("mac not hex") << "P=20;15;1" << "00-0A-1B-2C-3D-4G" << "six hexadecimal pairs";
        QTest::newRow("char one") << "P=20;5;1" << "x" << "";
        QTest::newRow("char two") << "P=20;5;1" << "xy" << "exactly one character";
        QTest::newRow("char empty") << "P=20;5;1" << "" << "exactly one character";
        QTest::newRow("string fits") << "P=20;12;1;;;4" << "abcd" << "";
        QTest::newRow("string long") << "P=20;12;1;;;4" << "abcde" << "at most 4 printable ASCII characters";
        QTest::newRow("string control") << "P=20;12;1;;;4" << "a\tb" << "printable ASCII";
        QTest::newRow("password long") << "P=20;20;1;;;4" << "secret" << "at most 4";
        // Tables: exactly the editor's cells.
        QTest::newRow("byte table") << "P=20;16;1;;;4;;2" << "1;2;3;4;" << "";
        QTest::newRow("byte table short") << "P=20;16;1;;;4;;2" << "1;2;3;" << "has 4 values (2 rows of 2)";
        QTest::newRow("byte table value") << "P=20;16;1;;;4;;2" << "1;2;3;300;" << "from 0 to 255";
        QTest::newRow("word table") << "P=20;18;1;;;4;;2" << "65535;1;" << "";
        QTest::newRow("word table long") << "P=20;18;1;;;4;;2" << "1;2;3;4;" << "has 2 values (1 rows of 2)";
        QTest::newRow("table without columns") << "P=20;16;1;;;4;;0" << "1;" << "no rows to edit";
        // The parameter must lie in the used part of the image (UseSize 64 here).
        QTest::newRow("beyond used part") << "P=63;1;1" << "1" << "\"P\": lies beyond the image (bytes 63 to 64, the image uses 64)";
        QTest::newRow("string beyond") << "P=60;12;1;;;8" << "a" << "lies beyond the image";
        QTest::newRow("table beyond") << "P=60;16;1;;;8;;4" << "1;2;3;4;5;6;7;8;" << "lies beyond the image";
        QTest::newRow("last byte fits") << "P=63;2;1" << "1" << "";
    }
    void editorRefusal()
    {
        QFETCH(QString, line);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        BoundItem b(line, TBaseEEROM::kImageBufferSize, 64);
        QVERIFY(b.item);
        const QByteArray before = b.img.Buffer();
        const QString got = EditorRefusal(*b.item, text);
        if (refusal.isEmpty())
            QVERIFY2(got.isEmpty(), qPrintable(got));
        else
            QVERIFY2(got.contains(refusal), qPrintable(got));
        QCOMPARE(b.img.Buffer(), before); // checking never writes
    }

    void listAndFlag()
    {
        BoundItem b("L=20;4;1\nF=21;10;1;;3;c", TBaseEEROM::kImageBufferSize, 64,
                    "[Dev:L]\nOff=1;0\nOn=1;1\nHidden=1;2;;;;0001\n[VisualRule]\n0001=0;15;07\n");
        TItem *list = b.img.GetEintrag("L");
        TItem *flag = b.img.GetEintrag("F");
        QCOMPARE(EditorRefusal(*list, "On"), QString());
        QVERIFY(EditorRefusal(*list, "on").contains("the editor offers the entries \"Off\", \"On\""));
        QVERIFY(EditorRefusal(*list, "Hidden").contains("\"Off\", \"On\"")); // its condition does not hold
        b.put(0x15, QByteArray("\x07"));
        QCOMPARE(EditorRefusal(*list, "Hidden"), QString());
        QVERIFY(EditorRefusal(*list, TListItem::NoMatchText()).contains("is not accepted"));
        // Untranslated wordings are the keys; either is taken without regard to letter case.
        QCOMPARE(EditorRefusal(*flag, "gweintragflagon"), QString());
        QVERIFY(EditorRefusal(*flag, "maybe").contains("\"GWEintragFlagOn\", \"GWEintragFlagOff\""));
    }

    void html()
    {
        BoundItem b("H=20;19;1", TBaseEEROM::kImageBufferSize, 0x800);
        b.put(20, QByteArray("\x07\x00", 2));
        QCOMPARE(EditorRefusal(*b.item, QString(255, u'x')), QString());
        QVERIFY(EditorRefusal(*b.item, QString(256, u'x')).contains("holds 255"));
        QVERIFY(EditorRefusal(*b.item, QString(QChar(0x20AC))).contains("beyond 8 bits"));
    }

    void gridRules_data()
    {
        QTest::addColumn<int>("rule");
        QTest::addColumn<bool>("plain");      // no toggles, no debug view
        QTest::addColumn<bool>("toggles");    // both toggles checked
        QTest::addColumn<bool>("debugOnly");  // debug view, toggles off
        QTest::addColumn<bool>("everything"); // debug view and toggles
        QTest::newRow("invisible") << int(vrInvisible) << false << false << false << false;
        QTest::newRow("always edit") << int(vrAlwaysEdit) << true << true << true << true;
        QTest::newRow("always show") << int(vrAlwaysShow) << false << false << true << true;
        QTest::newRow("edit") << int(vrEdit) << false << true << false << true;
        QTest::newRow("show") << int(vrShow) << false << false << false << true;
        QTest::newRow("always dependend") << int(vrAlwaysDependendEdit) << true << true << true << true;
        QTest::newRow("dependend") << int(vrDependendEdit) << false << false << false << false;
        QTest::newRow("master") << int(vrMasterItem) << true << true << true << true;
    }
    void gridRules()
    {
        QFETCH(int, rule);
        QFETCH(bool, plain);
        QFETCH(bool, toggles);
        QFETCH(bool, debugOnly);
        QFETCH(bool, everything);
        const auto r = TVisualRule(rule);
        QCOMPARE(IsEditableInGrid(r, {false, false, false}), plain);
        QCOMPARE(IsEditableInGrid(r, {true, true, false}), toggles);
        QCOMPARE(IsEditableInGrid(r, {false, false, true}), debugOnly);
        QCOMPARE(IsEditableInGrid(r, {true, true, true}), everything);
    }

    void masterDecidesToggles()
    {
        BoundItem b("M=20;2;ff\nE=21;2;fc", TBaseEEROM::kImageBufferSize, 64);
        QVERIFY(MoreTogglesAvailable(b.img.ItemList)); // byte 0
        b.put(20, QByteArray("\x20"));
        QVERIFY(!MoreTogglesAvailable(b.img.ItemList));
        QCOMPARE(IsEditableInGrid(b.img.GetEintrag("E")->GetVisualRule(), MostPermissiveView(b.img.ItemList, false)), false);
        b.put(20, QByteArray("\x80"));
        QCOMPARE(IsEditableInGrid(b.img.GetEintrag("E")->GetVisualRule(), MostPermissiveView(b.img.ItemList, false)), true);
        BoundItem none("E=21;2;fc", TBaseEEROM::kImageBufferSize, 64);
        QVERIFY(!MoreTogglesAvailable(none.img.ItemList));
    }
};

QTEST_GUILESS_MAIN(TestEditorRules)
#include "TestEditorRules.moc"
