#include "ErrorOf.h"
#include "ScriptedPrompts.h"
#include "model/BaseEEROM.h"
#include "base/GeneralError.h"
#include "base/IniFile.h"
#include "model/ItemEditor.h"
#include "model/PrintSink.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {


// A description with two devices: 0x1F with two revision sections and a per-revision
// detail section, and 0x64 (an extended code) with a name section only.
const char *kDescription = R"INI(
[Names]
0x1F=Alpha
0x0164=Beta
[Devices]
0x1F=0x30;0x20;0x10
0x0164=0x01
[Alpha:0x20]
Mode=12;2;1
Speed=14;1;80
Hidden=16;2;fe
[Alpha:0x10]
Old=12;2;1
[Alpha:0x20:Speed]
Unit=rpm
[Alpha:Mode]
x=1
[Default:Hidden]
x=1
[Beta]
Flags=5;2;2;;;;12;13
[default]
Fallback=6;2;1
[Base]
BaseOnly=7;2;1
[VisualRule]
0012=0;2A;0103
0013=1;2B;00
[Hints]
Mode=hintMode
[Help]
Mode=helpMode
)INI";

struct Fixture {
    IniFile ini;
    TBaseEEROM img;
    Fixture(uint8_t revision, uint8_t code, uint8_t flags = 0, const char *desc = kDescription)
    {
        ini.parseText(QString::fromUtf8(desc));
        img.SetSourceDatei(&ini);
        img.SetByteIDX(0, revision);
        img.SetByteIDX(1, code);
        img.SetByteIDX(4, flags);
        img.FUseSize = 64;
    }
};

} // namespace

// A 300-byte configuration of device 0x25 / revision 0x1F with "Mode" (byte 12) = 7.
static bool writeDeviceFile(const QString &path)
{
    QByteArray bytes(300, '\0');
    bytes[0] = char(0x25);
    bytes[1] = char(0x1F);
    bytes[12] = char(7);
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

class TestBaseEEROM : public QObject
{
    Q_OBJECT
private slots:
    void deviceId_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("id");
        QTest::newRow("plain") << 0x0A << 0x00 << "0x0A";
        QTest::newRow("flag but small code") << 0x0A << 0x01 << "0x0A";
        QTest::newRow("extended") << 0x64 << 0x19 << "0x1964";
        QTest::newRow("masked flag") << 0x64 << 0x04 << "0x64";
        QTest::newRow("extended 0x01") << 0x64 << 0x01 << "0x0164";
    }
    void deviceId()
    {
        QFETCH(int, code);
        QFETCH(int, flags);
        QFETCH(QString, id);
        Fixture f{0x12, uint8_t(code), uint8_t(flags)};
        f.img.ResolveSection();
        QCOMPARE(f.img.deviceId, id);
    }

    void sectionResolution_data()
    {
        QTest::addColumn<int>("revision");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("base");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QStringList>("revs");
        QTest::newRow("first listed token not above revision wins") << 0x25 << 0x1F << 0 << false << "Alpha:0x20" << QStringList{"0x20", "0x10"};
        QTest::newRow("older revision") << 0x15 << 0x1F << 0 << false << "Alpha:0x10" << QStringList{"0x10"};
        QTest::newRow("no revision section -> default") << 0x05 << 0x1F << 0 << false << "default" << QStringList{};
        QTest::newRow("extended code name section") << 0x01 << 0x64 << 0x01 << false << "Beta" << QStringList{"0x01"};
        QTest::newRow("unknown device -> default") << 0x01 << 0x33 << 0 << false << "default" << QStringList{};
        QTest::newRow("base switch wins") << 0x25 << 0x1F << 0 << true << "Base" << QStringList{"0x20", "0x10"};
    }
    void sectionResolution()
    {
        QFETCH(int, revision);
        QFETCH(int, code);
        QFETCH(int, flags);
        QFETCH(bool, base);
        QFETCH(QString, section);
        QFETCH(QStringList, revs);
        Fixture f{uint8_t(revision), uint8_t(code), uint8_t(flags)};
        f.img.ReadBaseSection = base;
        QCOMPARE(f.img.ResolveSection(), section);
        QCOMPARE(f.img.SupportedSWRevs(), revs);
    }

    void emptyRevisionFieldStopsTokens()
    {
        Fixture f(0x40, 0x1F, 0, "[Names]\n0x1F=A\n[Devices]\n0x1F=0x30;;0x10\n[A:0x10]\nx=1;2;1\n[A]\ny=1;2;1\n");
        QCOMPARE(f.img.ResolveSection(), QString("A"));
        QCOMPARE(f.img.SupportedSWRevs(), QStringList{"0x30"});
    }

    void noDescription()
    {
        TBaseEEROM img;
        QCOMPARE(img.ResolveSection(), QString());
        QCOMPARE(img.Error(), -1);
        QCOMPARE(errorOf([&] { img.laden(); }), QString("EEROM laden TEEROM.Laden: IniDatei existiert nicht"));
        QVERIFY(img.empty);
    }

    void bindingBuildsParametersInOrder()
    {
        Fixture f(0x25, 0x1F);
        int shows = 0;
        f.img.OnShowRuleChange = [&](TObject *sender) {
            QCOMPARE(sender, static_cast<TObject *>(&f.img));
            ++shows;
        };
        f.img.laden();
        QVERIFY(!f.img.empty);
        QCOMPARE(shows, 1);
        QCOMPARE(f.img.ItemList.Count(), 3);
        QCOMPARE(f.img.ItemList[0]->Identifier(), QString("Mode"));
        QCOMPARE(f.img.ItemList[2]->Identifier(), QString("Hidden"));
        // detail sections: revision first, then device, then Default
        QCOMPARE(f.img.GetEintrag("SPEED")->SectionID, QString("Alpha:0x20"));
        QCOMPARE(f.img.GetEintrag("mode")->SectionID, QString("Alpha"));
        QCOMPARE(f.img.GetEintrag("Hidden")->SectionID, QString("Default"));
        QCOMPARE(f.img.GetEintrag("Mode")->DeviceName, QString("Alpha"));
        QCOMPARE(f.img.GetEintrag("Mode")->Hint, QString("hintMode"));
        QCOMPARE(f.img.GetEintrag("Mode")->HelpURL(), QString("helpMode"));
        QCOMPARE(f.img.GetEintrag("Mode")->FVisualRule, vrAlwaysEdit);
        QCOMPARE(f.img.GetEintrag("Speed")->FVisualRule, vrAlwaysShow);
        QCOMPARE(f.img.GetEintrag("Hidden")->FVisualRule, vrInvisible);
        QVERIFY(f.img.EintragExistiert("hidden"));
        QVERIFY(!f.img.EintragExistiert("nothing"));
        QCOMPARE(errorOf([&] { f.img.GetParameter("nothing"); }), QString("e ist leer"));
        f.img.SetParameter("nothing", "1"); // does nothing, raises nothing
    }

    void itemChangeFiresBothEvents()
    {
        Fixture f(0x25, 0x1F);
        QStringList order;
        f.img.OnEditRuleChange = [&](TObject *) { order << "edit"; };
        f.img.laden();
        f.img.OnShowRuleChange = [&](TObject *) { order << "show"; };
        f.img.GetEintrag("Mode")->DoChange();
        QCOMPARE(order, QStringList({"edit", "show"}));
    }

    void bindingErrorsAreWrapped_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("format outside the table") << "X=1;99;1" << "EEROM laden exceptionGWEintragUnregisteredType";
        QTest::newRow("format not a number") << "X=1;b;1" << "EEROM laden 'b' is not a valid integer value";
        QTest::newRow("position not a number") << "X=a;2;1" << "EEROM laden 'a' is not a valid integer value";
        QTest::newRow("position beyond 16 bits") << "X=70000;2;1" << "EEROM laden '70000' is not a valid position";
        QTest::newRow("rule with stray character") << "X=1;2;1g" << "EEROM laden Invalid hex str containing g";
        QTest::newRow("condition with stray character") << "X=1;2;1;;;;1 z" << "EEROM laden Invalid hex str containing z";
    }
    void bindingErrorsAreWrapped()
    {
        QFETCH(QString, line);
        QFETCH(QString, prefix);
        const QByteArray desc = "[Names]\n0x1F=A\n[A]\nFirst=1;2;1\n" + line.toUtf8() + "\nLast=2;2;1\n";
        Fixture f(0, 0x1F, 0, desc.constData());
        const QString error = errorOf([&] { f.img.laden(); });
        QVERIFY2(error.startsWith(prefix), qPrintable(error));
        QVERIFY(f.img.empty);                    // keeps its previous value
        QCOMPARE(f.img.ItemList.Count(), 1);     // parameters made before the bad line stay
    }

    void visualRules()
    {
        Fixture f(0x01, 0x64, 0x01);
        f.img.laden();
        TItem *flags = f.img.GetEintrag("Flags");
        QCOMPARE(flags->FVisualRule, vrAlwaysDependendEdit);
        QCOMPARE(flags->FVisualRulenumber, uint16_t(0x12));
        QCOMPARE(flags->FVisualRulenumbera, uint16_t(0x13));
        struct Case { uint8_t a, b; TVisualRule rule; };
        const Case cases[] = {
            {1, 1, vrAlwaysDependendEdit}, {3, 5, vrAlwaysDependendEdit}, // both hold
            {2, 1, vrInvisible},                                        // first fails
            {1, 0, vrInvisible},                                        // second fails
        };
        for (const Case &c : cases) {
            f.img.SetByteIDX(0x2A, c.a);
            f.img.SetByteIDX(0x2B, c.b);
            QCOMPARE(flags->GetVisualRule(), c.rule);
        }
    }

    void ruleCodesAndConditionFields_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("rule");
        QTest::addColumn<int>("cond");
        QTest::newRow("always edit") << "12;2;1" << int(vrAlwaysEdit) << 0;
        QTest::newRow("empty rule field ignores conditions") << "12;2;;;;;5" << int(vrEdit) << 0;
        QTest::newRow("fc ignores conditions") << "12;2;fc;;;;12" << int(vrEdit) << 0;
        QTest::newRow("02") << "12;2;2" << int(vrAlwaysDependendEdit) << 0;
        QTest::newRow("fd") << "12;2;FD" << int(vrAlwaysDependendEdit) << 0;
        QTest::newRow("ff") << "12;2;ff" << int(vrMasterItem) << 0;
        QTest::newRow("other code") << "12;2;7" << int(vrEdit) << 0;
        QTest::newRow("zero with condition") << "12;2;0;;;;1 2" << int(vrEdit) << 0x12;
    }
    void ruleCodesAndConditionFields()
    {
        QFETCH(QString, value);
        QFETCH(int, rule);
        QFETCH(int, cond);
        const QByteArray desc = "[Names]\n0x1F=A\n[A]\nMode=" + value.toUtf8() + "\n";
        Fixture f(0, 0x1F, 0, desc.constData());
        f.img.laden();
        TItem *item = f.img.GetEintrag("Mode");
        QCOMPARE(item->Position, uint16_t(12));
        QCOMPARE(int(item->Format()), 2);
        QCOMPARE(int(item->FVisualRule), rule);
        QCOMPARE(int(item->FVisualRulenumber), cond);
    }

    void readVisualRuleForms()
    {
        Fixture f(0, 0x1F, 0, "[Names]\n0x1F=A\n[A]\nM=12;2;1\n[VisualRule]\n0001=0;10;01  03x\n0002=1;10;00\n0003=5;10;01\n0004=0;10;0 11\n");
        f.img.laden();
        TItem *m = f.img.GetEintrag("M");
        TVisualCondition typ;
        TVisualValue values;
        uint8_t byte = 0;
        m->ReadVisualRule(1, typ, values, byte);
        QCOMPARE(byte, uint8_t(0x10));
        QVERIFY(values.test(1) && values.test(3) && values.count() == 2); // blank pair skipped, odd char ignored
        values.reset();
        m->ReadVisualRule(2, typ, values, byte);
        QCOMPARE(int(values.count()), 255);
        QVERIFY(!values.test(0));
        values.reset();
        m->ReadVisualRule(3, typ, values, byte); // unknown type: set unchanged
        QCOMPARE(int(values.count()), 0);
        values.reset();
        QCOMPARE(errorOf([&] { m->ReadVisualRule(4, typ, values, byte); }), QString("Invalid hex str containing  "));
        values.reset();
        m->ReadVisualRule(9, typ, values, byte); // missing key: type 0, byte 0, nothing holds
        QCOMPARE(int(values.count()), 0);
        QCOMPARE(byte, uint8_t(0));
    }

    void dependendEditRule()
    {
        Fixture f(0, 0x1F, 0, "[Names]\n0x1F=A\n[A]\nM=12;2;1;;;;1\n[VisualRule]\n0001=0;20;07\n");
        f.img.laden();
        TItem *m = f.img.GetEintrag("M");
        m->FVisualRule = vrDependendEdit;
        f.img.SetByteIDX(0x20, 7);
        QCOMPARE(m->GetVisualRule(), vrAlwaysDependendEdit);
        f.img.SetByteIDX(0x20, 6);
        QCOMPARE(m->GetVisualRule(), vrInvisible);
    }

    void helpContext_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("expected");
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("2") << 2 << 17000003;
        QTest::newRow("3") << 3 << 17000256;
        QTest::newRow("other") << 42 << 42;
    }
    void helpContext()
    {
        QFETCH(int, code);
        QFETCH(int, expected);
        Fixture f(0, 0x1F, 0, "[Names]\n0x1F=A\n[A]\nM=7;2;1\n");
        f.img.laden();
        f.img.SetByteIDX(7, 3);
        TItem *m = f.img.GetEintrag("M");
        m->FHelpContext = code;
        QCOMPARE(m->HelpContextNumber(), expected);
    }

    void editFiresChangeOnlyForAlwaysEdit()
    {
        struct FakeEditor : ItemEditor {
            QString answer;
            QPoint pos;
            void SetTopLeft(const QPoint &p) override { pos = p; }
            void SetSelectList(const QStringList &) override {}
            void SetBoolPage(const QString &, const QString &, const QString &) override {}
            QString Edit(TItem *, TFormat, const QString &start) override { return answer.isNull() ? start : answer; }
        } editor;
        ItemEditor::setInstance(&editor);
        Fixture f(0, 0x1F, 0, "[Names]\n0x1F=A\n[A]\nA=7;2;1\nB=8;2;3\n");
        f.img.laden();
        int changes = 0;
        f.img.OnEditRuleChange = [&](TObject *) { ++changes; };
        TItem *a = f.img.GetEintrag("A");
        TItem *b = f.img.GetEintrag("B");
        a->Edit(QPoint(10, 20)); // unchanged value still fires for vrAlwaysEdit
        QCOMPARE(changes, 1);
        QVERIFY(!a->modified);
        QCOMPARE(editor.pos, QPoint(10, 20));
        editor.answer = "9";
        b->Edit(QPoint());
        QCOMPARE(changes, 1);
        QVERIFY(b->modified);
        QCOMPARE(f.img.GetByteIDX(8), uint8_t(9));
        ItemEditor::setInstance(nullptr);
    }

    void printLine()
    {
        Fixture f(0, 0x1F, 0, "[Names]\n0x1F=A\n[A]\nMode=7;2;1\n");
        f.img.laden();
        f.img.SetByteIDX(7, 42);
        PlainTextPrintSink sink;
        f.img.GetEintrag("Mode")->DoPrint(sink);
        QCOMPARE(sink.text(), QString("Mode\t42\n"));
        QCOMPARE(sink.runs().size(), 2);
        QCOMPARE(sink.runs()[0].style, int(PrintSink::Bold));
        QCOMPARE(sink.runs()[1].style, int(PrintSink::Normal));
    }

    void checksum_data()
    {
        QTest::addColumn<int>("useSize");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<int>("expected");
        QTest::newRow("use size 4") << 4 << QByteArray() << 0;
        QTest::newRow("simple") << 7 << QByteArray("\x01\x02\x03", 3) << 6;
        QTest::newRow("wraps at 65536") << 4 + 257 << QByteArray(257, '\xFF') + QByteArray() << (257 * 255) % 65536;
    }
    void checksum()
    {
        QFETCH(int, useSize);
        QFETCH(QByteArray, tail);
        QFETCH(int, expected);
        TBaseEEROM img;
        img.SetByteIDX(2, 0xAA);
        img.SetByteIDX(3, 0xBB);
        img.WriteAt(4, tail);
        img.FUseSize = useSize;
        img.UpdateChecksum();
        QCOMPARE(int(img.StoredChecksum()), expected);
    }
    void checksumOverflowExample()
    {
        TBaseEEROM img;
        QByteArray tail(257, '\xFF');
        tail.append(char(0x06)); // 257*255 + 6 = 65541
        tail.append(char(0x00));
        img.WriteAt(4, tail);
        img.FUseSize = 4 + int(tail.size());
        img.UpdateChecksum();
        QCOMPARE(img.GetByteIDX(2), uint8_t(0x00));
        QCOMPARE(img.GetByteIDX(3), uint8_t(0x05));
    }

    void clearKeepsUseSizeAndFile()
    {
        Fixture f(0x25, 0x1F);
        f.img.laden();
        f.img.SetFileName("x.gwc");
        int shows = 0;
        f.img.OnShowRuleChange = [&](TObject *) { ++shows; };
        f.img.Clear();
        QVERIFY(f.img.empty);
        QCOMPARE(f.img.ItemList.Count(), 0);
        QCOMPARE(f.img.FUseSize, 64);
        QCOMPARE(f.img.FileName(), QString("x.gwc"));
        QCOMPARE(f.img.Size(), qsizetype(8192));
        QCOMPARE(f.img.Buffer().count('\0'), qsizetype(8192));
        QCOMPARE(shows, 1);
    }

    void openAndSaveFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("dev.gwc");
        QVERIFY(writeDeviceFile(path));
        Fixture f(0, 0);
        f.img.WriteAt(300, QByteArray(10, '\x55'));
        f.img.openfile(path);
        QCOMPARE(f.img.FUseSize, 300);
        QCOMPARE(f.img.GetByteIDX(300), uint8_t(0x55)); // beyond the file: as it was
        QCOMPARE(f.img.GetParameter("Mode"), QString("7"));

        f.img.SetParameter("Mode", "9");
        f.img.SetFileName(dir.filePath("copy.gwc"));
        f.img.SaveFile();
        QFile copy(dir.filePath("copy.gwc"));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        const QByteArray saved = copy.readAll();
        QCOMPARE(saved.size(), 300);
        QCOMPARE(saved[12], char(9));
    }

    void openFailuresChangeOnlyFileName()
    {
        QTemporaryDir dir;
        const QString big = dir.filePath("big.gwc");
        {
            QFile out(big);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(QByteArray(int(TBaseEEROM::kMaxFileSize) + 1, '\x01'));
        }
        for (const QString &path : {dir.filePath("missing.gwc"), big, dir.path()}) {
            Fixture f(0x25, 0x1F);
            f.img.laden();
            const QByteArray before = f.img.Buffer();
            const QString error = errorOf([&] { f.img.openfile(path); });
            QVERIFY2(error.contains(path), qPrintable(error));
            QCOMPARE(f.img.FileName(), path);
            QCOMPARE(f.img.Buffer(), before);
            QCOMPARE(f.img.FUseSize, 64);
            QCOMPARE(f.img.ItemList.Count(), 3);
        }
    }

    // The mark of the user's changes: set by an edit that changes bytes (also one that then
    // fails), not by one that keeps them; cleared by loading, saving and emptying, kept by a
    // failed load or save.
    void userChangeMark()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("dev.gwc");
        QVERIFY(writeDeviceFile(path));
        Fixture f(0, 0);
        QVERIFY(!f.img.UserChanged());
        f.img.SetUserChanged(true);
        f.img.openfile(path);
        QVERIFY(!f.img.UserChanged());

        f.img.SetParameter("Mode", "7"); // the value it has
        f.img.UserEdit([] {});           // an editor closed without a change
        QVERIFY(!f.img.UserChanged());
        f.img.SetParameter("Mode", "9");
        QVERIFY(f.img.UserChanged());

        f.img.SetFileName(dir.filePath("missing/x.gwc"));
        QVERIFY(!errorOf([&] { f.img.SaveFile(); }).isEmpty());
        QVERIFY(f.img.UserChanged());
        QVERIFY(!errorOf([&] { f.img.openfile(dir.filePath("missing.gwc")); }).isEmpty());
        QVERIFY(f.img.UserChanged());
        f.img.SetFileName(path);
        f.img.SaveFile();
        QVERIFY(!f.img.UserChanged());

        QVERIFY(!errorOf([&] {
                     f.img.UserEdit([&] {
                         f.img.SetByteIDX(12, 1);
                         throw TorvaneError("the editor failed half-way");
                     });
                 }).isEmpty());
        QVERIFY(f.img.UserChanged());
        f.img.Clear();
        QVERIFY(!f.img.UserChanged());
    }

    void saveFailureKeepsOldFile()
    {
        TBaseEEROM img;
        img.FUseSize = 5;
        img.SetFileName("/nonexistent-dir/x.gwc");
        QVERIFY(!errorOf([&] { img.SaveFile(); }).isEmpty());
    }

    void randomFilesAndDescriptionsNeverCrash()
    {
        // Random images against random descriptions: binding either works or raises a
        // wrapped error; reading every parameter never leaves the buffer.
        QRandomGenerator rng(4711);
        QTemporaryDir dir;
        for (int round = 0; round < 300; ++round) {
            QByteArray desc = "[Names]\n0x1F=A\n[Devices]\n0x1F=0x01;0x02\n[A:0x01]\n";
            const int lines = int(rng.bounded(1u, 8u));
            for (int i = 0; i < lines; ++i) {
                desc += "P" + QByteArray::number(i) + "=" + QByteArray::number(rng.bounded(9000u)) + ";"
                        + QByteArray::number(rng.bounded(4u) == 0 ? rng.bounded(30u) : 2u) + ";"
                        + QByteArray::number(rng.bounded(256u), 16) + ";;;;" + QByteArray::number(rng.bounded(3u)) + "\n";
            }
            if (rng.bounded(3u) == 0)
                for (int i = 0; i < 40; ++i)
                    desc.append(char(rng.bounded(256u)));
            desc += "[VisualRule]\n0001=0;2A;0103\n0002=1;FF;01\n";
            QByteArray image(int(rng.bounded(0u, 600u)), Qt::Uninitialized);
            for (char &c : image)
                c = char(rng.bounded(256u));
            if (image.size() > 1)
                image[1] = char(0x1F);
            const QString path = dir.filePath(QString("r%1.gwc").arg(round));
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(image);
            out.close();

            IniFile ini;
            ini.parse(desc);
            TBaseEEROM img;
            img.SetSourceDatei(&ini);
            try {
                img.openfile(path);
            } catch (const TorvaneError &e) {
                QVERIFY(e.message().startsWith("EEROM laden "));
            }
            for (int i = 0; i < img.ItemList.Count(); ++i) {
                TItem *item = img.ItemList[i];
                try {
                    item->GetText();
                    item->GetVisualRule();
                    item->HelpContextNumber();
                } catch (const TorvaneError &) {
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestBaseEEROM)
#include "TestBaseEEROM.moc"
