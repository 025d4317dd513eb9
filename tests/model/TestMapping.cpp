// Mapping tables: the profile reader, entries and fields, and the mapping parameter that
// reads and writes the table in the image.

#include "ErrorOf.h"
#include "localisation/LanguageSelect.h"
#include "model/BaseEEROM.h"
#include "base/GeneralError.h"
#include "base/IniFile.h"
#include "model/Mapping.h"
#include "model/MappingEditor.h"
#include "model/PrintSink.h"
#include "model/ProfilMapItem.h"
#include "model/ProfilMapTool.h"

#include "ScriptedPrompts.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// Device 0x2A "MX" keeps its table at the offset in bytes 8-9. Sections given to the bench
// come first, so they replace these defaults (the first of two equal sections is read).
const char *const kHead = "[Names]\n0x2A=MX\n0x2B=NY\n0x0164=MXE\n0x0864=MXF\n"
                          "[Devices]\n0x2A=0x20;0x10\n0x2B=0x20\n0x0164=0x20\n0x0864=0x20\n";
const char *const kDefaults = R"(
[MX]
Map=8;11;1
[MX:SUPPORTEDMAPTYPES]
0x10=0x01;0x02
0x20=0x01;0x02;0x03;0x04;0x05
[MX:MapTypes]
0x01=Byte Map;4;100;1;1;01
0x02=Guard Map;3;200;;;02
0x03=Counter;6;300;1;1;0A
0x04=Fixed;2;400;0;1;01
0x05=Hidden;2;500;1;0;01
[MX:Byte Map]
Direction=8;1;4;11
Id=9;11;2;12;1;2047
Slot=20;4;1;13;0;7
Target=24;8;1;14;0;243
[MX:Guard Map]
Guard=8;8;4
Target=16;8;1
[MX:0x20:Guard Map]
Guard=8;8;4
Target=16;8;1;;0;99
[MX:Counter]
Count=8;16;1
Bits=24;4;3
Spare=28;4;0
[MX:Fixed]
Code=8;8;1
[MX:Hidden]
Level=8;8;1
[MX:Direction]
0x0000=In
0x0001=Out
[MX:Guard]
0x0000=State
0x0001=Toggle
[Classes]
0x01=Bytes
0x0A=Counters
[EditTypeNames]
0x02=hexadecimal
[NY]
Map=8;11;1
[MXE]
Map=8;11;1;;;;1;2
[MXF]
Map=8;11;1
[MXF:SUPPORTEDMAPTYPES]
0x20=0x01
[MXF:MapTypes]
0x01=Tiny;2;;1;1;01
[MXF:Tiny]
Val=8;8;1
[VisualRule]
0001=0;05;01
0002=0;05;02
)";

// Records as the device keeps them (see the field sections above).
const QByteArray kByteOut = QByteArray::fromHex("019A5311");  // Out, Id 1A5, Slot 3, Target 17
const QByteArray kGuard = QByteArray::fromHex("020105");      // Toggle, Target 5
const QByteArray kCounter = QByteArray::fromHex("0304D2A00000"); // 1234, 1010, spare 0
const QByteArray kFixed = QByteArray::fromHex("0407");        // not creatable

// An image of device `code` (revision 0x20) whose table starts at S with `records` and the
// closing 0xFF; UseSize ends after it.
struct Image {
    QByteArray bytes;
    int useSize = 0;
};
Image makeImage(uint16_t S, const QList<QByteArray> &records, uint8_t code = 0x2A, uint8_t flags = 0)
{
    Image im;
    im.bytes = QByteArray(qMax<int>(S, 16), '\0');
    im.bytes[0] = char(0x20);
    im.bytes[1] = char(code);
    im.bytes[4] = char(flags);
    im.bytes[8] = char(S >> 8);
    im.bytes[9] = char(S & 0xFF);
    for (const QByteArray &r : records)
        im.bytes += r;
    im.bytes += char(0xFF);
    im.useSize = int(im.bytes.size());
    return im;
}

// The description and an image bound to it, as the program binds them: the factory hands
// the one profile reader to the mapping parameter.
struct MapBench {
    IniFile ini;
    TProfilMapTool tool;
    TBaseEEROM img;
    ScriptedPrompts prompts;

    // `without` names a default section to leave out.
    explicit MapBench(const Image &im, const QString &sections = {}, const QString &without = {})
    {
        QString defaults = QString::fromLatin1(kDefaults);
        if (!without.isEmpty())
            defaults.replace(u'[' + without + u']', QStringLiteral("[left out]"));
        ini.parseText(QString::fromLatin1(kHead) + sections + u'\n' + defaults);
        tool.SetDatei(&ini);
        img.ItemTool().FProfilMapTool = &tool;
        img.SetSourceDatei(&ini);
        img.Clear();
        img.WriteAt(0, im.bytes);
        img.FUseSize = im.useSize;
        img.laden();
    }
    TProfilMapItem &map()
    {
        auto *p = dynamic_cast<TProfilMapItem *>(img.GetEintrag(QStringLiteral("Map")));
        if (!p)
            throw TorvaneError(QStringLiteral("no mapping parameter"));
        return *p;
    }
    // "caption: field=value ..." per entry of the parameter's table.
    QStringList entries()
    {
        QStringList out;
        for (const auto &e : map().Mapping().Items()) {
            QString s = e->Caption() + u':';
            for (const auto &v : e->Values())
                s += u' ' + v->Caption() + u'=' + v->GetValue();
            out << s;
        }
        return out;
    }
    QStringList messages() const
    {
        QStringList t;
        for (const auto &r : prompts.records)
            if (r.kind == QLatin1String("message"))
                t << r.text;
        return t;
    }
};


// A lone field of the given shape, inside a table without image access.
struct LoneValue {
    TIndexStream data{16};
    TMapping mapping{&data};
    TMapItem item{&mapping, 1};
    TMapValue *value;
    int ok = 0, failed = 0;
    LoneValue(TMapValueDisplayType type, int bits, uint32_t min, uint32_t max)
    {
        item.FSize = 8;
        auto v = std::make_unique<TMapValue>(&item);
        v->FDisplayType = type;
        v->FBitLength = uint8_t(bits);
        v->FFromBit = 8;
        v->FMinValue = min;
        v->FMaxValue = max;
        v->FCaption = QStringLiteral("F");
        v->FListValues = QStringList{"0x0000=Off", "0x0001=On", "0x0002=Auto", "0x0003=on"};
        v->OnCheckOK = [this](TObject *) { ++ok; };
        v->OnCheckFailure = [this](TObject *) { ++failed; };
        value = item.AddValue(std::move(v));
    }
};

class FakeMappingEditor final : public MappingEditor
{
public:
    FakeMappingEditor() { MappingEditor::setInstance(this); }
    ~FakeMappingEditor() override { MappingEditor::setInstance(nullptr); }
    bool Edit(TMapping &Mapping, TProfilMapTool &Tool) override
    {
        ++calls;
        seen = Mapping.Count();
        if (change)
            change(Mapping, Tool);
        return answer;
    }
    std::function<void(TMapping &, TProfilMapTool &)> change;
    bool answer = true;
    int calls = 0;
    int seen = -1;
};

} // namespace

class TestMapping : public QObject
{
    Q_OBJECT
private slots:
    // ---- the profile reader ---------------------------------------------------------

    void suppSWRev_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("revision");
        QTest::newRow("newer than all") << 0xFF << 0x20;
        QTest::newRow("equal") << 0x20 << 0x20;
        QTest::newRow("between") << 0x1F << 0x10;
        QTest::newRow("older than all") << 0x05 << 255;
    }
    void suppSWRev()
    {
        QFETCH(int, from);
        QFETCH(int, revision);
        MapBench b(makeImage(0x40, {}));
        QCOMPARE(int(b.tool.GetSuppSWRev(0x2A, uint8_t(from))), revision);
    }

    void supportedTypes_data()
    {
        QTest::addColumn<int>("device");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("types");
        QTest::addColumn<QStringList>("messages");
        const QString noTypes = "GW_Profil:TProfilMapTool.GetSuppMapTypeString: No Types supported";
        QTest::newRow("own revision") << 0x2A << 0x20 << "0x01;0x02;0x03;0x04;0x05" << QStringList();
        QTest::newRow("older revision") << 0x2A << 0x1F << "0x01;0x02" << QStringList();
        QTest::newRow("no revision applies") << 0x2A << 0x05 << "" << QStringList{noTypes};
        // The section asked for before has a "0x20" key too: it must not answer.
        QTest::newRow("no section") << 0x2B << 0x20 << ""
                                    << QStringList{"GW_Profil:TProfilMapTool.GetSuppMapTypeString: Section \"NY:SUPPORTEDMAPTYPES\" does not exist",
                                                   noTypes};
    }
    void supportedTypes()
    {
        QFETCH(int, device);
        QFETCH(int, revision);
        QFETCH(QString, types);
        QFETCH(QStringList, messages);
        MapBench b(makeImage(0x40, {}));
        QVERIFY(b.tool.GetSectionValues("MX:SUPPORTEDMAPTYPES"));
        QCOMPARE(b.tool.GetSuppMapTypeString(uint16_t(device), uint8_t(revision)), types);
        QCOMPARE(b.messages(), messages);
    }

    void translatedMessages()
    {
        MapBench b(makeImage(0x40, {}));
        LanguageSelect lang;
        lang.currentKeys = QStringList{"exceptionGWProfilNoTypes", "exceptionGWProfilNoSection"};
        lang.currentLang = QStringList{"%s.%s: keine Typen", "%s.%s: kein Abschnitt %s"};
        b.tool.FLanguage = &lang;
        QVERIFY(!b.tool.GetSectionValues("Nowhere"));
        b.tool.GetSuppMapTypeString(0x2A, 0x01);
        QCOMPARE(b.messages(), QStringList({"TProfilMapTool.GetSectionValues: kein Abschnitt Nowhere",
                                            "TProfilMapTool.GetSuppMapTypeString: keine Typen"}));
    }

    void lookUps()
    {
        MapBench b(makeImage(0x40, {}));
        TProfilMapTool &t = b.tool;
        QCOMPARE(t.GetDeviceName(0x0164), QStringLiteral("MXE"));
        QCOMPARE(t.GetDeviceName(0x64), QString());
        QCOMPARE(t.GetClassName(0x0A), QStringLiteral("Counters"));
        QCOMPARE(t.GetEditTypeName(dtHexadezimal), QStringLiteral("hexadecimal"));
        QCOMPARE(t.GetEditTypeName(dtListe), QString());
        QCOMPARE(int(t.IDFromName(0x2A, "guard MAP")), 2);
        QCOMPARE(int(t.IDFromName(0x2A, "Nothing")), 0);
        QStringList list{"stale"};
        t.GetSuppMapTypeText(0x2A, "0x01;0x04;0x09;0x05;;0x02", false, list);
        QCOMPARE(list, QStringList({"Byte Map", "Fixed", "Hidden"}));
        t.GetSuppMapTypeText(0x2A, "0x01;0x04;0x05", true, list);
        QCOMPARE(list, QStringList({"Byte Map", "Hidden"}));
        QVERIFY(b.messages().isEmpty());
    }

    void sectionIdentifier_data()
    {
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("xsect");
        QTest::addColumn<QString>("section");
        QTest::newRow("revision section") << 0x25 << "guard map" << "MX:0x20:guard map";
        QTest::newRow("older revision falls back") << 0x1F << "Guard Map" << "MX:Guard Map";
        QTest::newRow("no revision applies") << 0x01 << "Guard Map" << "MX:Guard Map";
        QTest::newRow("missing") << 0x20 << "Nothing" << "";
        QTest::newRow("empty name") << 0x20 << "" << "";
    }
    void sectionIdentifier()
    {
        QFETCH(int, revision);
        QFETCH(QString, xsect);
        QFETCH(QString, section);
        MapBench b(makeImage(0x40, {}));
        QCOMPARE(b.tool.GetSectionIdentifier(0x2A, uint8_t(revision), xsect), section);
    }

    void makeMapItem()
    {
        MapBench b(makeImage(0x40, {}));
        TMapping m(&b.img);
        m.FDeviceType = 0x2A;
        m.FSoftwareRevision = 0x20;
        auto guard = b.tool.MakeMapItem(2, &m);
        QCOMPARE(guard->Caption(), QStringLiteral("Guard Map"));
        QCOMPARE(int(guard->Size()), 3);
        QCOMPARE(guard->HelpContext, 200u);
        QVERIFY(guard->CanCreate() && guard->CanDisplay()); // empty flags read as yes
        QCOMPARE(int(guard->MapClass()), 2);
        QCOMPARE(m.Count(), 0); // the caller adds it
        QCOMPARE(guard->ValueCount(), 2);
        const TMapValue *target = guard->Value(1);
        QCOMPARE(target->SectionName, QStringLiteral("MX:0x20:Guard Map")); // the revision's own fields
        QCOMPARE(target->MaxValue(), 99u);
        QCOMPARE(guard->Value(0)->ListSectionName, QStringLiteral("MX:Guard"));
        QCOMPARE(guard->Value(0)->Values(), QStringList({"State", "Toggle"}));

        auto counter = b.tool.MakeMapItem(3, &m);
        QCOMPARE(int(counter->MapClass()), 0x0A);
        QCOMPARE(counter->Value(1)->DisplayType(), dtbinaer);
        QCOMPARE(counter->Value(0)->MinValue(), counter->Value(0)->MaxValue()); // empty limits: 0 and 0
        QVERIFY(!b.tool.MakeMapItem(4, &m)->CanCreate());
        QVERIFY(!b.tool.MakeMapItem(5, &m)->CanDisplay());

        auto unknown = b.tool.MakeMapItem(0x77, &m);
        QCOMPARE(unknown->Caption(), QString());
        QCOMPARE(int(unknown->Size()), 0);
        QCOMPARE(unknown->ValueCount(), 0);
    }

    void listFieldWithoutSection()
    {
        MapBench b(makeImage(0x40, {}), "[MX:Guard Map]\nGuard=8;8;4\n[MX:0x20:Guard Map]\nMode=8;8;4\n");
        TMapping m(&b.img);
        m.FDeviceType = 0x2A;
        m.FSoftwareRevision = 0x20;
        QCOMPARE(errorOf([&] { b.tool.MakeMapItem(2, &m); }),
                 QStringLiteral("GW_Profil:TProfilMapTool.MakeMapItem: Section \"MX:Mode\" does not exist"));
    }

    void mappingNeedsData()
    {
        QCOMPARE(errorOf([] { TMapping m(nullptr); }), QStringLiteral("exceptionGWMappingDataIsNIL"));
    }

    // ---- fields -----------------------------------------------------------------------

    void valueText_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("bits");
        QTest::addColumn<uint>("min");
        QTest::addColumn<uint>("max");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("shown"); // GetValue afterwards (the start value is 2)
        QTest::newRow("hex digits: 12 bits") << int(dtHexadezimal) << 12 << 0u << 0u << "0ab" << true << "00AB";
        QTest::newRow("hex digits: 8 bits") << int(dtHexadezimal) << 8 << 0u << 0u << "$7F" << true << "07F";
        QTest::newRow("hex above range") << int(dtHexadezimal) << 11 << 1u << 0x7FFu << "800" << false << "002";
        QTest::newRow("hex nine digits") << int(dtHexadezimal) << 32 << 0u << 0u << "100000001" << false << "000000002";
        QTest::newRow("binary") << int(dtbinaer) << 3 << 0u << 0u << "101" << true << "101";
        QTest::newRow("binary prefix") << int(dtbinaer) << 4 << 0u << 0u << "0b11" << true << "0011";
        QTest::newRow("binary foreign digit") << int(dtbinaer) << 4 << 0u << 0u << "1021" << false << "0010";
        QTest::newRow("binary too wide") << int(dtbinaer) << 3 << 0u << 0u << "1000" << false << "010";
        QTest::newRow("decimal below") << int(dtdezimal) << 8 << 1u << 10u << "0" << false << "2";
        QTest::newRow("decimal above") << int(dtdezimal) << 8 << 1u << 10u << "11" << false << "2";
        QTest::newRow("decimal upper limit") << int(dtdezimal) << 8 << 1u << 10u << "10" << true << "10";
        QTest::newRow("decimal without limits") << int(dtdezimal) << 8 << 0u << 0u << "255" << true << "255";
        QTest::newRow("decimal wider than field") << int(dtdezimal) << 8 << 0u << 0u << "256" << false << "2";
        QTest::newRow("decimal malformed") << int(dtdezimal) << 8 << 0u << 0u << "1x" << false << "2";
        QTest::newRow("decimal empty") << int(dtdezimal) << 8 << 0u << 0u << "" << false << "2";
        QTest::newRow("decimal negative") << int(dtdezimal) << 32 << 0u << 0u << "-1" << false << "2";
        QTest::newRow("decimal 32 bits") << int(dtdezimal) << 32 << 0u << 0u << "4294967295" << true << "4294967295";
        QTest::newRow("list: last of the name") << int(dtListe) << 8 << 0u << 0u << "ON" << true << "on";
        QTest::newRow("list: entry number") << int(dtListe) << 8 << 0u << 0u << "1" << true << "On";
        QTest::newRow("list: unknown name") << int(dtListe) << 8 << 0u << 0u << "Maybe" << false << "Auto";
        QTest::newRow("list: unknown number") << int(dtListe) << 8 << 0u << 0u << "7" << false << "Auto";
        QTest::newRow("list: within a range") << int(dtListe) << 8 << 0u << 2u << "Off" << true << "Off";
        QTest::newRow("list: outside a range") << int(dtListe) << 8 << 0u << 2u << "on" << false << "Auto";
        QTest::newRow("unknown type") << int(dtunknown) << 8 << 0u << 0u << "77" << true << "-";
    }
    void valueText()
    {
        QFETCH(int, type);
        QFETCH(int, bits);
        QFETCH(uint, min);
        QFETCH(uint, max);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(QString, shown);
        LoneValue f(TMapValueDisplayType(type), bits, min, max);
        f.value->FinternValue = 2;
        QCOMPARE(f.value->SetValue(text), accepted);
        QCOMPARE(f.ok, accepted ? 1 : 0);
        QCOMPARE(f.failed, accepted ? 0 : 1);
        QCOMPARE(f.value->GetValue(), shown);
        if (!accepted)
            QCOMPARE(f.value->IntValue(), 2u);
    }

    void hexTextWithForeignCharacterRaises()
    {
        LoneValue f(dtHexadezimal, 8, 0, 0);
        QCOMPARE(errorOf([&] { f.value->SetValue("1G"); }), QStringLiteral("Invalid hex str containing G"));
        QCOMPARE(f.ok + f.failed, 0);
    }

    void rangeText_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("range");
        QTest::newRow("decimal") << int(dtdezimal) << 8 << "1-10";
        QTest::newRow("hex, the value's digits") << int(dtHexadezimal) << 11 << "001-00A";
        QTest::newRow("binary") << int(dtbinaer) << 5 << "00001-01010";
        QTest::newRow("list") << int(dtListe) << 8 << "select from list";
        QTest::newRow("unknown") << int(dtunknown) << 8 << "?";
    }
    void rangeText()
    {
        QFETCH(int, type);
        QFETCH(int, bits);
        QFETCH(QString, range);
        LoneValue f(TMapValueDisplayType(type), bits, 1, 10);
        QCOMPARE(f.value->GetRangeText(), range);
        QCOMPARE(f.value->GetCheckText(), QString());
    }

    void fieldsOutsideTheImageAreRefused()
    {
        LoneValue f(dtdezimal, 8, 0, 0);
        f.item.FEEROMPosition = 15; // bits 128..135 of a 16-byte image
        const QByteArray before = f.data.Buffer();
        QVERIFY(!errorOf([&] { f.value->ToEEROM(); }).isEmpty());
        QVERIFY(!errorOf([&] { f.value->FromEEROM(); }).isEmpty());
        QCOMPARE(f.data.Buffer(), before); // not grown by an append at the end
        f.item.FEEROMPosition = 14;
        f.value->FinternValue = 0xAB;
        f.value->ToEEROM();
        QCOMPARE(f.data.Buffer().right(1), QByteArray("\xAB"));
    }

    // ---- reading and storing the table ---------------------------------------------------

    void readsTheTable()
    {
        MapBench b(makeImage(0x40, {kByteOut, QByteArray(1, '\x77'), kGuard, kCounter, kFixed, QByteArray::fromHex("0509")}));
        QVERIFY(b.map().EEROMToMapList());
        QCOMPARE(b.entries(), QStringList({"Byte Map: Direction=Out Id=1A5 Slot=3 Target=17",
                                           "Guard Map: Guard=Toggle Target=5",
                                           "Counter: Count=1234 Bits=1010 Spare=-",
                                           "Fixed: Code=7", "Hidden: Level=9"}));
        const TMapping &m = b.map().Mapping();
        QCOMPARE(int(m.DeviceType()), 0x2A);
        QCOMPARE(int(m.SoftwareRevision()), 0x20);
        QCOMPARE(m.Caption(), QStringLiteral("MX"));
        QCOMPARE(int(m.Item(1)->EEROMPosition()), 0x45); // after the skipped 0x77
        QVERIFY(b.messages().isEmpty());
        QCOMPARE(b.map().GetText(), QStringLiteral("messageGWEintragMapText"));
        QCOMPARE(b.map().GetIntegerValue(), 0x40u);
    }

    // Two creatable entries of 4 and 6 bytes from 0x0100.
    void storesAtTheListStart()
    {
        MapBench b(makeImage(0x100, {}));
        b.map().SetText("LOAD");
        b.map().SetText("ADD:Byte Map:Out,1A5,3,17");
        b.map().SetText("add:counter:1234,1010");
        b.map().SetText("STORE");
        QCOMPARE(b.img.Buffer().mid(0x100, 11), QByteArray::fromHex("019A5311" "0304D2A00000" "FF"));
        QCOMPARE(b.img.UseSize(), 0x10B);
        QVERIFY(b.messages().isEmpty());
    }

    // A stored table read back gives the same entries; entries that cannot be created go.
    void roundTrip()
    {
        MapBench b(makeImage(0x60, {kFixed, kByteOut, kGuard, QByteArray::fromHex("0509")}));
        b.map().SetText("LOAD");
        QCOMPARE(b.map().Mapping().Count(), 4);
        b.map().SetText("ADD:Guard Map:State,99");
        b.map().SetText("ADD:Byte Map:1,385,2,4");
        b.map().SetText("STORE");
        QCOMPARE(b.img.UseSize(), 0x60 + 4 + 3 + 2 + 3 + 4 + 1);
        b.map().SetText("LOAD");
        QCOMPARE(b.entries(), QStringList({"Byte Map: Direction=Out Id=1A5 Slot=3 Target=17",
                                           "Guard Map: Guard=Toggle Target=5", "Hidden: Level=9",
                                           "Guard Map: Guard=State Target=99",
                                           "Byte Map: Direction=Out Id=385 Slot=2 Target=4"}));
        b.map().SetText("CLEAR");
        b.map().SetText("STORE");
        QCOMPARE(b.img.UseSize(), 0x61);
        QCOMPARE(uint8_t(b.img.Buffer()[0x60]), uint8_t(0xFF));
        b.map().SetText("LOAD");
        QCOMPARE(b.map().Mapping().Count(), 0);
    }

    void extendedDeviceCodeReadsItsOwnDescription()
    {
        // Flag bit 3 extends code 0x64 to device 0x0864, as the image bound it.
        MapBench b(makeImage(0x40, {QByteArray::fromHex("0142")}, 0x64, 0x08));
        QCOMPARE(b.img.deviceId, QStringLiteral("0x0864"));
        QVERIFY(b.map().EEROMToMapList());
        QCOMPARE(b.entries(), QStringList({"Tiny: Val=66"}));
    }

    void damagedTablesAreReported_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("useSize");
        QTest::addColumn<QString>("sections");
        QTest::addColumn<QString>("without");
        QTest::addColumn<QString>("message");
        const Image good = makeImage(0x40, {kByteOut, kGuard});
        // A record whose first two bytes are the last two of the 8192-byte buffer.
        QByteArray atEnd = makeImage(TBaseEEROM::kImageBufferSize - 2, {}).bytes.left(TBaseEEROM::kImageBufferSize - 2);
        atEnd += kByteOut.left(2);
        QTest::newRow("last record past UseSize") << good.bytes << good.useSize - 2 << "" << ""
                                                  << "exceptionGWEintragMapRecordBeyondEnd";
        QTest::newRow("record past the buffer") << atEnd << 9000 << "" << "" << "exceptionGWEintragMapRecordBeyondEnd";
        QTest::newRow("type larger than the image") << good.bytes << good.useSize
                                                    << "[MX:MapTypes]\n0x01=Byte Map;250;;1;1;01\n" << ""
                                                    << "exceptionGWEintragMapRecordBeyondEnd";
        QTest::newRow("field outside its record") << good.bytes << good.useSize
                                                  << "[MX:Byte Map]\nDirection=8;1;4\nTarget=30;8;1\n" << ""
                                                  << "exceptionGWMapFieldOutsideRecord";
        QTest::newRow("field wider than 32 bits") << good.bytes << good.useSize
                                                  << "[MX:MapTypes]\n0x01=Byte Map;8;;1;1;01\n[MX:Byte Map]\nWide=8;40;1\n" << ""
                                                  << "exceptionGWMapFieldWidth";
        QTest::newRow("field of no bits") << good.bytes << good.useSize << "[MX:Byte Map]\nNone=8;;1\n" << ""
                                          << "exceptionGWMapFieldWidth";
        QTest::newRow("start beyond the image") << makeImage(0x2000, {}).bytes.left(16) << 16 << "" << ""
                                                << "exceptionGWEintragMapStartInvalid";
        QTest::newRow("start in the header") << makeImage(0x0003, {}).bytes << 16 << "" << ""
                                             << "exceptionGWEintragMapStartInvalid";
        QTest::newRow("no table") << makeImage(0, {}).bytes << 16 << "" << "" << "messageGWEintragMappingUnsupported";
        QTest::newRow("no type section") << good.bytes << good.useSize << "" << "MX:MapTypes"
                                         << "exceptionGWEintragSectionDoesntExist";
        QTest::newRow("no supported types") << good.bytes << good.useSize << "" << "MX:SUPPORTEDMAPTYPES"
                                            << "exceptionGWEintragSectionDoesntExist";
    }
    void damagedTablesAreReported()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, useSize);
        QFETCH(QString, sections);
        QFETCH(QString, without);
        QFETCH(QString, message);
        MapBench b({bytes, useSize}, sections, without);
        // What an earlier read left must not survive a failed one.
        b.map().Mapping().Add(std::make_unique<TMapItem>(&b.map().Mapping(), 1));
        const QByteArray before = b.img.Buffer();
        const int usedBefore = b.img.UseSize();

        QVERIFY(!b.map().EEROMToMapList());
        QCOMPARE(b.messages(), QStringList{message});
        QCOMPARE(b.map().Mapping().Count(), 0);
        QVERIFY(!b.map().MapListRead());
        // Storing what could not be read would destroy the table: refused, image unchanged.
        QVERIFY(!errorOf([&] { b.map().SetText("STORE"); }).isEmpty());
        QCOMPARE(b.img.Buffer(), before);
        QCOMPARE(b.img.UseSize(), usedBefore);
    }

    // Damaged images of every kind: reading never raises, never touches the buffer, and a
    // store after a complete read changes only the table's bytes and UseSize.
    void randomImagesStayInBounds()
    {
        QRandomGenerator random(7);
        const uint8_t alphabet[] = {1, 2, 3, 4, 5, 0xFF, 0x00, 0x77};
        for (int round = 0; round < 150; ++round) {
            QByteArray bytes(TBaseEEROM::kImageBufferSize, '\0');
            for (char &c : bytes)
                c = char(random.bounded(4) ? alphabet[random.bounded(8)] : random.bounded(256));
            bytes[0] = char(0x20);
            bytes[1] = char(0x2A);
            bytes[4] = 0;
            const int S = random.bounded(3) ? random.bounded(TBaseEEROM::kImageBufferSize - 64, TBaseEEROM::kImageBufferSize + 8)
                                            : random.bounded(0, 64);
            bytes[8] = char(S >> 8);
            bytes[9] = char(S & 0xFF);
            MapBench b({bytes, random.bounded(0, 9000)});
            const QByteArray before = b.img.Buffer();
            bool read = false;
            QCOMPARE(errorOf([&] { read = b.map().EEROMToMapList(); }), QString());
            QCOMPARE(b.img.Buffer(), before);
            QCOMPARE(read, b.messages().isEmpty() || b.messages() == QStringList{"GW_Profil:TProfilMapTool.GetSuppMapTypeString: No Types supported"});
            if (!read)
                continue;
            const QString error = errorOf([&] { b.map().MapListToEEROM(); });
            const QByteArray after = b.img.Buffer();
            QCOMPARE(after.size(), before.size());
            if (!error.isEmpty()) {
                QCOMPARE(after, before);
                continue;
            }
            QCOMPARE(after.left(S), before.left(S));
            QCOMPARE(after.mid(b.img.UseSize()), before.mid(b.img.UseSize()));
        }
    }

    void storeMustFitTheImage_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("entries"); // 4-byte entries
        QTest::addColumn<bool>("fits");
        const int size = TBaseEEROM::kImageBufferSize;
        QTest::newRow("end byte on the last byte") << size - 9 << 2 << true;
        QTest::newRow("end byte past the buffer") << size - 8 << 2 << false;
        QTest::newRow("far too many") << 0x40 << 3000 << false;
    }
    void storeMustFitTheImage()
    {
        QFETCH(int, start);
        QFETCH(int, entries);
        QFETCH(bool, fits);
        Image im = makeImage(uint16_t(start), {});
        MapBench b(im);
        b.map().SetText("LOAD");
        QVERIFY(b.map().MapListRead());
        for (int i = 0; i < entries; ++i)
            b.map().SetText("ADD:Byte Map:In,181,0,0");
        const QByteArray before = b.img.Buffer();
        const QString error = errorOf([&] { b.map().SetText("STORE"); });
        if (fits) {
            QCOMPARE(error, QString());
            QCOMPARE(b.img.UseSize(), TBaseEEROM::kImageBufferSize);
            QCOMPARE(b.img.Buffer().size(), before.size());
            QCOMPARE(uint8_t(b.img.Buffer().back()), uint8_t(0xFF));
        } else {
            QCOMPARE(error, QStringLiteral("exceptionGWEintragMapTooLarge"));
            QCOMPARE(b.img.Buffer(), before);
            QCOMPARE(b.img.UseSize(), im.useSize);
        }
    }

    // The parameter keeps the table's offset in bytes 8-9. A table that starts before them
    // among the parameters would run over them, or end the used image before them so the
    // saved file loses them: either way the table is lost after STORE.
    void storeLeavesItsPointerAlone_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("entries"); // 4-byte entries
        QTest::addColumn<bool>("fits");
        QTest::newRow("entry over the pointer") << 5 << 1 << false;
        QTest::newRow("entries across the pointer") << 6 << 3 << false;
        QTest::newRow("empty table on the pointer") << 8 << 0 << false;
        QTest::newRow("closing byte on the pointer's second byte") << 9 << 0 << false;
        QTest::newRow("table ends just before the pointer") << 7 << 0 << false;
        QTest::newRow("empty table just after the pointer") << 10 << 0 << true;
        QTest::newRow("table just after the pointer") << 10 << 2 << true;
    }
    void storeLeavesItsPointerAlone()
    {
        QFETCH(int, start);
        QFETCH(int, entries);
        QFETCH(bool, fits);
        MapBench b(makeImage(uint16_t(start), {}));
        b.map().SetText("LOAD");
        QVERIFY(b.map().MapListRead());
        const int loaded = b.map().Mapping().Count(); // what the bytes at the start read as
        for (int i = 0; i < entries; ++i)
            b.map().SetText("ADD:Byte Map:Out,1A5,3,17");
        const QByteArray before = b.img.Buffer();
        const int useSize = b.img.UseSize();
        const QString error = errorOf([&] { b.map().SetText("STORE"); });
        if (fits) {
            QCOMPARE(error, QString());
            QCOMPARE(b.img.UseSize(), start + 4 * entries + 1);
        } else {
            QCOMPARE(error, QStringLiteral("exceptionGWEintragMapOverwritesPointer"));
            QCOMPARE(b.img.Buffer(), before);
            QCOMPARE(b.img.UseSize(), useSize);
        }
        QCOMPARE(b.map().GetIntegerValue(), uint32_t(start));
        b.map().SetText("LOAD");
        QVERIFY(b.map().MapListRead());
        QCOMPARE(b.map().Mapping().Count(), fits ? loaded + entries : loaded);
    }

    void commandFailures_data()
    {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("add before load") << QStringList{"ADD:Byte Map:In"} << "exceptionGWEintragMapNotRead" << "";
        QTest::newRow("store before load") << QStringList{"STORE"} << "exceptionGWEintragMapNotRead" << "";
        QTest::newRow("unknown type") << QStringList{"LOAD", "ADD:Word Map:1"} << "exceptionGWEintragMapTypeUnknown" << "";
        QTest::newRow("type without caption") << QStringList{"LOAD", "ADD::1"} << "exceptionGWEintragMapTypeUnknown" << "";
        QTest::newRow("type not creatable") << QStringList{"LOAD", "ADD:Fixed:1"} << "exceptionGWEintragMapTypeNotCreatable" << "";
        QTest::newRow("too many values") << QStringList{"LOAD", "ADD:Guard Map:State,1,2"} << "exceptionGWMapTooManyValues" << "";
        QTest::newRow("value out of range") << QStringList{"LOAD", "ADD:Byte Map:In,800"} << "exceptionGWMapValueRejected" << "";
        QTest::newRow("unknown command") << QStringList{"LOAD", "SORT"} << "" << "exceptionGWEintragToBeImplemented";
    }
    void commandFailures()
    {
        QFETCH(QStringList, commands);
        QFETCH(QString, error);
        QFETCH(QString, message);
        MapBench b(makeImage(0x40, {kGuard}));
        const QByteArray before = b.img.Buffer();
        QString raised;
        for (const QString &c : commands)
            raised = errorOf([&] { b.map().SetText(c); });
        QCOMPARE(raised, error);
        QCOMPARE(b.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        QVERIFY(b.map().Mapping().Count() <= 1); // nothing half-made was added
        QCOMPARE(b.img.Buffer(), before);
    }

    void visualRule_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("byte5");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("rule");
        QTest::newRow("table present") << 0x2A << 0 << 0x40 << 0 << "" << int(vrAlwaysEdit);
        QTest::newRow("own rule ignored") << 0x2A << 0 << 0x40 << 0 << "Map=8;11;fe" << int(vrAlwaysEdit);
        QTest::newRow("no table") << 0x2A << 0 << 0 << 0 << "" << int(vrInvisible);
        QTest::newRow("extended: first condition holds") << 0x64 << 1 << 0 << 1 << "" << int(vrAlwaysEdit);
        QTest::newRow("extended: first condition fails") << 0x64 << 1 << 0x40 << 2 << "" << int(vrInvisible);
        QTest::newRow("extended: own rule") << 0x64 << 1 << 0x40 << 1 << "Map=8;11;80;;;;1;2" << int(vrAlwaysShow);
    }
    void visualRule()
    {
        QFETCH(int, code);
        QFETCH(int, flags);
        QFETCH(int, start);
        QFETCH(int, byte5);
        QFETCH(QString, line);
        QFETCH(int, rule);
        Image im = makeImage(uint16_t(start), {}, uint8_t(code), uint8_t(flags));
        im.bytes[5] = char(byte5);
        const QString section = code == 0x2A ? "[MX]\n" : "[MXE]\n";
        MapBench b(im, line.isEmpty() ? QString() : section + line + u'\n');
        QCOMPARE(int(b.map().GetVisualRule()), rule);
    }

    // ---- editing and printing -----------------------------------------------------------

    void editStoresOnlyOnOk_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("ok") << true;
        QTest::newRow("cancel") << false;
    }
    void editStoresOnlyOnOk()
    {
        QFETCH(bool, ok);
        MapBench b(makeImage(0x40, {kByteOut, kGuard}));
        const QByteArray before = b.img.Buffer();
        FakeMappingEditor editor;
        editor.answer = ok;
        editor.change = [](TMapping &m, TProfilMapTool &tool) {
            m.Remove(m.Item(0));
            auto hidden = tool.MakeMapItem(5, &m);
            hidden->Value(0)->SetValue("42");
            m.Add(std::move(hidden));
        };
        int changes = 0;
        b.map().OnChange = [&](TObject *) { ++changes; };
        b.map().Edit(QPoint(10, 10));
        QCOMPARE(editor.calls, 1);
        QCOMPARE(editor.seen, 2);
        if (ok) {
            QCOMPARE(b.img.Buffer().mid(0x40, 6), QByteArray::fromHex(QByteArray("020105052AFF")));
            QCOMPARE(b.img.UseSize(), 0x46);
        } else {
            QCOMPARE(b.img.Buffer(), before);
        }
        QVERIFY(!b.map().modified);
        QCOMPARE(changes, 0);
    }

    void editWithoutTableShowsWhy()
    {
        MapBench b(makeImage(0, {}));
        FakeMappingEditor editor;
        b.map().Edit(QPoint());
        QCOMPARE(editor.calls, 0);
        QCOMPARE(b.messages(), QStringList{"messageGWEintragMappingUnsupported"});
    }

    void printsTheTable()
    {
        MapBench b(makeImage(0x40, {kByteOut, kFixed, QByteArray::fromHex("0509"), kGuard}));
        PlainTextPrintSink sink;
        sink.setFirstTabStop(100);
        b.map().DoPrint(sink);
        QCOMPARE(sink.text(), QStringLiteral("Map\n"
                                             "\tByte Map\n"
                                             "\t\tDirection\tId\tSlot\tTarget\t\n"
                                             "\t\tOut\t1A5\t3\t17\t\n"
                                             "\tFixed\n"
                                             "\t\tCode\t\n"
                                             "\t\t7\t\n"
                                             "\tGuard Map\n"
                                             "\t\tGuard\tTarget\t\n"
                                             "\t\tToggle\t5\t\n"));
        const auto &runs = sink.runs();
        QCOMPARE(runs.size(), 1 + 3 * 3);
        QCOMPARE(runs[0].style, int(PrintSink::Bold));
        QCOMPARE(runs[1].style, PrintSink::Bold | PrintSink::Underline);
        QCOMPARE(runs[2].style, int(PrintSink::Italic));
        QCOMPARE(runs[3].style, int(PrintSink::Normal));
        QCOMPARE(sink.firstTabStop(), 100);
    }
};

QTEST_GUILESS_MAIN(TestMapping)
#include "TestMapping.moc"
