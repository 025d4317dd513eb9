#include "ErrorOf.h"
#include "localisation/LanguageSelect.h"
#include "model/BaseEEROM.h"
#include "model/FlagItem.h"
#include "base/GeneralError.h"
#include "base/IniFile.h"
#include "model/ItemEditor.h"
#include "model/ListItem.h"
#include "base/TextHelpers.h"
#include "model/TextItem.h"

#include "ScriptedPrompts.h"

#include <QRandomGenerator>
#include <QtTest>

#include <memory>

namespace {

// The translations the parameters see; the wordings differ from their keys so a test can
// tell a translated text from an untranslated one.
void fillLanguage(LanguageSelect &lang, const QList<QPair<QString, QString>> &pairs)
{
    for (const auto &p : pairs) {
        lang.currentKeys.append(p.first);
        lang.currentLang.append(p.second);
    }
}

const QList<QPair<QString, QString>> kEnglish = {
    {"GWEintragFlagTrue", "True"},         {"GWEintragFlagFalse", "False"},
    {"GWEintragFlagYes", "Yes"},           {"GWEintragFlagNo", "No"},
    {"GWEintragFlagOn", "On"},             {"GWEintragFlagOff", "Off"},
    {"GWEintragFlagUsed", "Used"},         {"GWEintragFlagUnused", "Unused"},
    {"GWEintragFlagActive", "Active"},     {"GWEintragFlagInactive", "Inactive"},
    {"GWEintragFlagHigh", "High"},         {"GWEintragFlagLow", "Low"},
    {"GWEintragFlagEnabled", "Enabled"},   {"GWEintragFlagDisabled", "Disabled"},
    {"exceptionGWEintragUndefinedFlagstyle", "Undefined flag style \"%s\" (device %s, parameter %s)"},
    {"messageGWEintragNoSoftwareRevisions", "No revisions in \"%s\""},
    {"messageGWEintragSectionNotFound", "Section \"%s\" not found"},
};

// An image of UseSize bytes bound to a small description: device 0x1F is "Dev", whose
// parameter lines are `lines`; `more` adds further sections (details, presets, rules).
struct Bench {
    IniFile ini;
    TBaseEEROM img;
    LanguageSelect lang;
    int changes = 0;

    Bench(const QString &lines, const QString &more = {}, int useSize = 16)
    {
        fillLanguage(lang, kEnglish);
        ini.parseText(QStringLiteral("[Names]\n0x1F=Dev\n[Devices]\n0x1F=0x10;0x20\n[Dev]\n") + lines + u'\n' + more);
        img.language = &lang;
        img.SetSourceDatei(&ini);
        img.Clear(); // as the main window does at start-up: every byte 0
        img.SetByteIDX(1, 0x1F);
        img.FUseSize = useSize;
        img.laden();
        img.OnEditRuleChange = [this](TObject *) { ++changes; };
    }
    TItem *item(const QString &name)
    {
        TItem *p = img.GetEintrag(name);
        if (!p)
            throw TorvaneError(QStringLiteral("test description has no parameter ") + name);
        return p;
    }
    void put(int at, const QByteArray &bytes) { img.WriteAt(at, bytes); }
    QByteArray bytes(int at, int n) const { return img.Buffer().mid(at, n); }
};

// A valid image text of the given bytes for presets.
QString presetText(const QByteArray &bytes)
{
    QString text;
    uint32_t sum = 0;
    for (char c : bytes) {
        text += IntToHex(uint8_t(c), 2);
        sum += uint8_t(c);
    }
    return text + u'-' + IntToHex(sum, 4);
}

// A 16-byte image with the device code in place and `fill` elsewhere.
QByteArray image16(char fill)
{
    QByteArray b(16, fill);
    b[1] = 0x1F;
    return b;
}

class FakeEditor final : public ItemEditor
{
public:
    FakeEditor() { ItemEditor::setInstance(this); }
    ~FakeEditor() override { ItemEditor::setInstance(nullptr); }

    void SetTopLeft(const QPoint &pos) override { topLeft = pos; }
    void SetTopLeftOnScreen(const QPoint &pos, ScreenBottom a, int m) override
    {
        topLeft = pos;
        area = a;
        margin = m;
    }
    void SetSelectList(const QStringList &entries) override { selectList = entries; }
    void SetBoolPage(const QString &h, const QString &t, const QString &f) override
    {
        heading = h;
        trueCaption = t;
        falseCaption = f;
    }
    QString Edit(TItem *, TFormat f, const QString &StartValue) override
    {
        format = f;
        start = StartValue;
        return cancel ? StartValue : reply;
    }

    QPoint topLeft;
    ScreenBottom area = ScreenBottom::Screen;
    int margin = -1;
    QStringList selectList;
    QString heading, trueCaption, falseCaption, start, reply;
    TFormat format = fmSerialNumber;
    bool cancel = false;
};


} // namespace

class TestTextListItems : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { TBoolTool::instance().language = nullptr; }

    // ---- strings and passwords ------------------------------------------------------

    void text_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<bool>("write");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("masked");
        const QByteArray mixed("AB\0C\xE4\0\0\0", 8);
        QTest::newRow("printable only") << mixed << false << "" << mixed << "ABC" << "***";
        QTest::newRow("codes 31, 127, 128") << QByteArray("\x1F\x7F\x80 ~\0\0\0", 8) << false << "" << QByteArray("\x1F\x7F\x80 ~\0\0\0", 8)
                                            << "\x7F ~" << "***";
        QTest::newRow("short text padded") << mixed << true << "Hello" << QByteArray("Hello\0\0\0", 8) << "Hello" << "*****";
        QTest::newRow("long text cut") << mixed << true << "0123456789" << QByteArray("01234567") << "01234567" << "********";
        QTest::newRow("empty text zeroes") << QByteArray("ABCDEFGH") << true << "" << QByteArray(8, '\0') << "" << "";
        QTest::newRow("low 8 bits of a character") << mixed << true << QString(QChar(0x141)) + u'x'
                                                   << QByteArray("Ax\0\0\0\0\0\0", 8) << "Ax" << "**";
    }
    void text()
    {
        QFETCH(QByteArray, start);
        QFETCH(bool, write);
        QFETCH(QString, value);
        QFETCH(QByteArray, stored);
        QFETCH(QString, text);
        QFETCH(QString, masked);
        Bench b(QStringLiteral("Name=8;12;1;;;8\nPin=8;20;1;;;8"));
        TItem *name = b.item("Name");
        QCOMPARE(name->ClassName(), QStringLiteral("TTextItem"));
        QCOMPARE(b.item("Pin")->ClassName(), QStringLiteral("TPasswordItem"));
        b.put(7, QByteArray(1, '\x55') + start + QByteArray(1, '\x66'));
        if (write)
            name->SetText(value);
        QCOMPARE(b.bytes(8, 8), stored);
        QCOMPARE(b.bytes(7, 1), QByteArray("\x55"));  // neighbours untouched
        QCOMPARE(b.bytes(16, 1), QByteArray("\x66"));
        QCOMPARE(name->GetText(), text);
        QCOMPARE(b.item("Pin")->GetText(), masked);
        QCOMPARE(name->GetIntegerValue(), 0xFFFFFFFFu);
    }

    void textLengthNotNumeric()
    {
        const QString e = errorOf([] { Bench b(QStringLiteral("Name=8;12;1;;;eight")); });
        QCOMPARE(e, QStringLiteral("EEROM laden 'eight' is not a valid integer value"));
    }

    void passwordEdit_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<int>("changes");
        QTest::newRow("confirmed, always edit") << "1" << false << QByteArray("xyz\0\0\0", 6) << true << 1;
        QTest::newRow("cancelled, always edit") << "1" << true << QByteArray("abc\0\0\0", 6) << false << 1;
        QTest::newRow("confirmed, edit") << "" << false << QByteArray("xyz\0\0\0", 6) << true << 0;
    }
    void passwordEdit()
    {
        QFETCH(QString, rule);
        QFETCH(bool, cancel);
        QFETCH(QByteArray, stored);
        QFETCH(bool, modified);
        QFETCH(int, changes);
        Bench b(QStringLiteral("Pin=8;20;%1;;;6").arg(rule));
        b.put(8, QByteArray("abc\0\0\0", 6));
        FakeEditor editor;
        editor.reply = QStringLiteral("xyz");
        editor.cancel = cancel;
        TItem *pin = b.item("Pin");
        pin->Edit(QPoint(40, 900));
        QCOMPARE(editor.start, QStringLiteral("abc")); // the real text, not "***"
        QCOMPARE(editor.format, fmPassword);
        QCOMPARE(editor.topLeft, QPoint(40, 900));
        QVERIFY(editor.area == ItemEditor::ScreenBottom::Screen);
        QCOMPARE(editor.margin, 0);
        QCOMPARE(b.bytes(8, 6), stored);
        QCOMPARE(pin->modified, modified);
        QCOMPARE(b.changes, changes);
    }

    // ---- every format stays inside the image ----------------------------------------

    void outsideImage_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("range"); // empty: fits
        QTest::newRow("text of 60000 at 8000") << "Big=8000;12;1;;;60000" << "x" << "bytes 8000 to 67999";
        QTest::newRow("text one past the end") << "Big=8190;12;1;;;3" << "x" << "bytes 8190 to 8192";
        QTest::newRow("text at the buffer size") << "Big=8192;12;1;;;1" << "x" << "bytes 8192 to 8192";
        QTest::newRow("text at the highest position") << "Big=65535;12;1;;;2147483647" << "x" << "bytes 65535 to 2147549181";
        QTest::newRow("text ending at the end fits") << "Big=8190;12;1;;;2" << "xy" << "";
        QTest::newRow("password past the end") << "Big=8191;20;1;;;9" << "x" << "bytes 8191 to 8199";
        QTest::newRow("list at the buffer size") << "Big=8192;4;1" << "On" << "bytes 8192 to 8192";
        QTest::newRow("list on the last byte fits") << "Big=8191;4;1" << "On" << "";
        QTest::newRow("flag at the buffer size") << "Big=8192;10;1;;0;c" << "On" << "bytes 8192 to 8192";
        QTest::newRow("flag far out") << "Big=60000;10;1;;0;c" << "On" << "bytes 60000 to 60000";
    }
    void outsideImage()
    {
        QFETCH(QString, line);
        QFETCH(QString, value);
        QFETCH(QString, range);
        Bench b(line, QStringLiteral("[Dev:Big]\nOff=1;0\nOn=1;1\n"));
        const QByteArray before = b.img.Buffer();
        TItem *big = b.item("Big");
        const QString setError = errorOf([&] { big->SetText(value); });
        const QString getError = errorOf([&] { big->GetText(); });
        if (range.isEmpty()) {
            QCOMPARE(setError, QString());
            QCOMPARE(getError, QString());
            QVERIFY(big->GetText().startsWith(value));
            QCOMPARE(b.img.Size(), qsizetype(8192));
            return;
        }
        const QString expected = QStringLiteral("Parameter \"Big\" addresses %1, beyond the image of 8192 bytes").arg(range);
        QCOMPARE(setError, expected);
        QCOMPARE(getError, expected);
        QCOMPARE(b.img.Buffer(), before); // same size, same bytes
    }

    // ---- lists ----------------------------------------------------------------------

    void listText_data()
    {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("flagreg");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("text");
        const QString onOff = QStringLiteral("Off=1;0\nOn=1;1");
        QTest::newRow("on") << onOff << 8 << 0 << 1 << "On";
        QTest::newRow("off") << onOff << 8 << 0 << 0 << "Off";
        QTest::newRow("no entry") << onOff << 8 << 0 << 2 << "     ";
        QTest::newRow("later duplicate wins") << "A=1;3\nB=1;3\nC=1;4" << 8 << 0 << 3 << "B";
        QTest::newRow("leading zero never matches") << "Five=1;05" << 8 << 0 << 5 << "     ";
        QTest::newRow("flagreg ignored away from offset 1") << "Ext=1;356\nBase=1;100" << 8 << 1 << 100 << "Base";
        QTest::newRow("device code extended") << "Ext=1;356\nBase=1;100" << 1 << 1 << 100 << "Ext";
        QTest::newRow("device code plain") << "Ext=1;356\nBase=1;100" << 1 << 0 << 100 << "Base";
    }
    void listText()
    {
        QFETCH(QString, entries);
        QFETCH(int, position);
        QFETCH(int, flagreg);
        QFETCH(int, byte);
        QFETCH(QString, text);
        Bench b(QStringLiteral("Sel=%1;4;1").arg(position), QStringLiteral("[Dev:Sel]\n") + entries);
        TItem *sel = b.item("Sel");
        QCOMPARE(sel->ClassName(), QStringLiteral("TListItem"));
        sel->flagreg = flagreg;
        b.put(position, QByteArray(1, char(byte)));
        QCOMPARE(sel->GetText(), text);
        QCOMPARE(sel->GetIntegerValue(), uint32_t(byte));
    }

    void listSetText_data()
    {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QByteArray>("image");
        QByteArray preset = image16('\x11');
        preset[5] = 0x22;
        const QString p = presetText(preset);
        const QByteArray start = image16('\0');
        auto with5 = [](QByteArray img, char v) { img[5] = v; return img; };
        QTest::newRow("action 1 stores") << "Off=1;0\nOn=1;1" << 1 << "Off" << with5(start, 0);
        QTest::newRow("action 1 keeps the low byte") << "Big=1;300" << 1 << "Big" << with5(start, 44);
        QTest::newRow("first of two names") << "Dup=1;7\nDup=1;8" << 1 << "Dup" << with5(start, 7);
        QTest::newRow("action 2 at its value") << "Fac=2;7;" + p << 7 << "Fac" << with5(start, 7);
        QTest::newRow("action 2 elsewhere loads") << "Fac=2;7;" + p << 1 << "Fac" << preset;
        QTest::newRow("action 3 loads") << "Fac=3;7;" + p << 7 << "Fac" << preset;
        QTest::newRow("action 4 loads, then value") << "Fac=4;9;" + p << 1 << "Fac" << with5(preset, 9);
        QTest::newRow("unknown action") << "X=9;3;" + p << 1 << "X" << with5(start, 1);
        QTest::newRow("empty value field") << "X=1;;" + p << 1 << "X" << with5(start, 1);
        QTest::newRow("empty action field") << "X=;3" << 1 << "X" << with5(start, 1);
        QTest::newRow("unknown name") << "Off=1;0" << 1 << "off" << with5(start, 1);
        QTest::newRow("no-match text") << "Off=1;0" << 1 << "     " << with5(start, 1);
    }
    void listSetText()
    {
        QFETCH(QString, entries);
        QFETCH(int, byte);
        QFETCH(QString, choice);
        QFETCH(QByteArray, image);
        Bench b(QStringLiteral("Sel=5;4;1"), QStringLiteral("[Dev:Sel]\n") + entries);
        b.put(5, QByteArray(1, char(byte)));
        b.item("Sel")->SetText(choice);
        QCOMPARE(b.bytes(0, 16).toHex(' '), image.toHex(' '));
    }

    void listSetTextRaises_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("error");
        QByteArray preset = image16('\x11');
        const QString p = presetText(preset);
        QString badSum = p;
        badSum.chop(1);
        badSum += p.endsWith(u'0') ? u'1' : u'0';
        QTest::newRow("preset for another size") << "Fac=3;0;0102-0003" << "wrong number of characters in data string ( 4 instead of 32)";
        QTest::newRow("preset of the longer image") << "Fac=3;0;" + presetText(QByteArray(17, '\x11'))
                                                    << "wrong number of characters in data string ( 34 instead of 32)";
        QTest::newRow("preset checksum") << "Fac=2;0;" + badSum << "checksumme is invalid";
        QTest::newRow("preset character") << "Fac=3;0;" + QString(p).replace(0, 1, u'G') << "wrong character in data string";
        QTest::newRow("action 4 value checked before loading") << "Fac=4;x;" + p << "'x' is not a valid integer value";
        QTest::newRow("action 1 value") << "Fac=1;abc" << "'abc' is not a valid integer value";
        QTest::newRow("action") << "Fac=z;1" << "'z' is not a valid integer value";
    }
    void listSetTextRaises()
    {
        QFETCH(QString, entry);
        QFETCH(QString, error);
        Bench b(QStringLiteral("Sel=5;4;1"), QStringLiteral("[Dev:Sel]\n") + entry);
        b.put(2, QByteArray("\x01\x02\x03\x04"));
        const QByteArray before = b.img.Buffer();
        QCOMPARE(errorOf([&] { b.item("Sel")->SetText(QStringLiteral("Fac")); }), error);
        QCOMPARE(b.img.Buffer(), before);
    }

    void selectableEntries_data()
    {
        QTest::addColumn<int>("control");
        QTest::addColumn<QStringList>("offered");
        QTest::newRow("control 0: empty start set") << 0 << QStringList{"Always"};
        QTest::newRow("control 1") << 1 << QStringList{"Always", "OneOrThree", "NotZero"};
        QTest::newRow("control 3") << 3 << QStringList{"Always", "OneOrThree", "NotZero"};
        QTest::newRow("control 5, blank pair skipped") << 5 << QStringList{"Always", "NotZero", "Five"};
    }
    void selectableEntries()
    {
        QFETCH(int, control);
        QFETCH(QStringList, offered);
        Bench b(QStringLiteral("Sel=5;4;1"),
                QStringLiteral("[VisualRule]\n0001=0;20;0103\n0002=1;20;00\n0003=2;20;01\n0004=0;20;  05\n"
                               "001A=0;21;00\n"
                               "[Dev:Sel]\nAlways=1;0\nOneOrThree=1;1;;;;1\nNotZero=1;2;;;;2\nOddType=1;3;;;;3\n"
                               "Missing=1;4;;;;9\nFive=1;5;;;;4\nOtherByte=1;6;;;;1a\n"),
                64);
        b.put(0x20, QByteArray(1, char(control)));
        b.put(0x21, QByteArray(1, '\x01')); // keeps "OtherByte" out: it names byte 0x21, not 0x20
        auto *sel = static_cast<TListItem *>(b.item("Sel"));
        QCOMPARE(sel->SelectableEntries(), offered);
        QCOMPARE(sel->FExtList, offered);
    }

    void listEdit()
    {
        Bench b(QStringLiteral("Sel=5;4;1"),
                QStringLiteral("[VisualRule]\n0001=0;20;01\n[Dev:Sel]\nOff=1;0\nOn=1;1\nHidden=1;2;;;;1\n"), 64);
        FakeEditor editor;
        editor.reply = QStringLiteral("On");
        TItem *sel = b.item("Sel");
        sel->Edit(QPoint(3, 4));
        QCOMPARE(editor.selectList, (QStringList{"Off", "On"}));
        QCOMPARE(editor.start, QStringLiteral("Off"));
        QCOMPARE(editor.format, fmList);
        QCOMPARE(editor.topLeft, QPoint(3, 4));
        QCOMPARE(b.bytes(5, 1), QByteArray("\x01"));
        QVERIFY(sel->modified);
        QCOMPARE(b.changes, 1);
    }

    void listHelpContext_data()
    {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("help");
        QTest::newRow("entry code") << "A=1;5;;;500" << 7 << 5 << 500;
        QTest::newRow("no code") << "A=1;5" << 7 << 5 << 1;
        QTest::newRow("no entry") << "A=1;5;;;500" << 7 << 6 << 1;
        QTest::newRow("code 2") << "A=1;3;;;2" << 7 << 3 << 17000003;
        QTest::newRow("code 3") << "A=1;3;;;3" << 7 << 3 << 17000256;
        QTest::newRow("last entry with a code") << "A=1;3;;;600\nB=1;3;;;700\nC=1;3" << 7 << 3 << 700;
        QTest::newRow("code that is no number skipped") << "A=1;3;;;400\nB=1;3;;;zz" << 7 << 3 << 400;
        QTest::newRow("device code without extension") << "Ext=1;356;;;800\nBase=1;100;;;900" << 1 << 100 << 900;
    }
    void listHelpContext()
    {
        QFETCH(QString, entries);
        QFETCH(int, position);
        QFETCH(int, byte);
        QFETCH(int, help);
        Bench b(QStringLiteral("Sel=%1;4;1").arg(position), QStringLiteral("[Dev:Sel]\n") + entries);
        TItem *sel = b.item("Sel");
        sel->flagreg = 1;
        b.put(position, QByteArray(1, char(byte)));
        QCOMPARE(sel->HelpContextNumber(), help);
    }

    // ---- presets ----------------------------------------------------------------------

    void presetSection_data()
    {
        QTest::addColumn<QString>("sections");
        QTest::addColumn<QString>("name"); // empty: the error below
        QTest::addColumn<QString>("error");
        const QString rev10 = QStringLiteral("[Dev:0x10:Go]\nName=R10\n");
        const QString rev20 = QStringLiteral("[Dev:0x20:Go]\nName=R20\n");
        const QString dev = QStringLiteral("[Dev:Go]\nName=DEV\n");
        const QString prot = QStringLiteral("[Protocol:Go]\nName=PROT\n");
        QTest::newRow("first revision token") << rev20 + rev10 + dev + prot << "R10" << "";
        QTest::newRow("later token, not compared with the revision") << rev20 + dev << "R20" << "";
        QTest::newRow("device section") << dev + prot << "DEV" << "";
        QTest::newRow("protocol section") << prot << "PROT" << "";
        QTest::newRow("none") << "" << "" << "Section \"Protocol:Go\" not found";
    }
    void presetSection()
    {
        QFETCH(QString, sections);
        QFETCH(QString, name);
        QFETCH(QString, error);
        Bench b(QStringLiteral("Sel=5;4;1\nName=8;12;1;;;4"), QStringLiteral("[Dev:Sel]\nGo=5;0\n") + sections);
        QCOMPARE(errorOf([&] { b.item("Sel")->SetText(QStringLiteral("Go")); }), error);
        QCOMPARE(b.item("Name")->GetText(), name);
    }

    void presetLines()
    {
        // Lines name parameters in any letter case; unknown names and lines whose parameter
        // raises are skipped, and the lines after them still apply.
        Bench b(QStringLiteral("Sel=5;4;1\nName=8;12;1;;;4\nOther=6;4;1\nSw=7;10;1;;2;c"),
                QStringLiteral("[Dev:Sel]\nSetup=5;0\n"
                               "[Dev:Other]\nBad=3;0;0102-0003\nTwo=1;2\n"
                               "[Dev:Setup]\nname=ABCD\nNobody=1\nOther=Bad\nsw=on\nOTHER=Two\n"));
        ScriptedPrompts prompts;
        b.item("Sel")->SetText(QStringLiteral("Setup"));
        QCOMPARE(b.item("Name")->GetText(), QStringLiteral("ABCD"));
        QCOMPARE(b.bytes(6, 2), QByteArray("\x02\x04"));
        QVERIFY(prompts.records.isEmpty());
    }

    void presetWithoutRevisions()
    {
        Bench b(QStringLiteral("Sel=5;4;1\nName=8;12;1;;;4"), QStringLiteral("[Dev:Sel]\nGo=5;0\n[Dev:Go]\nName=ABCD\n"));
        b.put(1, QByteArray("\x2E")); // a device code that "Devices" does not list
        const QByteArray before = b.img.Buffer();
        ScriptedPrompts prompts;
        b.item("Sel")->SetText(QStringLiteral("Go"));
        QCOMPARE(prompts.texts(), QStringList{"No revisions in \"Devices\""});
        QCOMPARE(b.img.Buffer(), before);
    }

    void presetCycle_data()
    {
        QTest::addColumn<QString>("details");
        QTest::addColumn<QString>("error");
        QTest::newRow("itself") << "[Dev:Sel]\nGo=5;0\n[Dev:Go]\nName=XXXX\nSel=Go\nName=YYYY\n"
                                << "Preset \"Go\" of parameter \"Sel\" applies itself again (Sel:Go -> Sel:Go)";
        QTest::newRow("two lists") << "[Dev:Sel]\nGo=5;0\n[Dev:Other]\nBack=5;0\nOne=1;1\n"
                                      "[Dev:Go]\nName=XXXX\nOther=Back\n[Dev:Back]\nOther=One\nSel=Go\n"
                                   << "Preset \"Go\" of parameter \"Sel\" applies itself again (Sel:Go -> Other:Back -> Sel:Go)";
        QTest::newRow("from an inner preset") << "[Dev:Sel]\nGo=5;0\n[Dev:Other]\nBack=5;0\nOne=1;1\n"
                                                 "[Dev:Go]\nName=XXXX\nOther=Back\n[Dev:Back]\nOther=One\nOther=Back\n"
                                              << "Preset \"Back\" of parameter \"Other\" applies itself again (Sel:Go -> Other:Back -> Other:Back)";
    }
    void presetCycle()
    {
        QFETCH(QString, details);
        QFETCH(QString, error);
        Bench b(QStringLiteral("Sel=5;4;1\nName=8;12;1;;;4\nOther=6;4;1"),
                details);
        b.put(8, QByteArray("abcd"));
        const QByteArray before = b.img.Buffer();
        // Twice: a guard left dirty by the first run would change the second message.
        for (int run = 0; run < 2; ++run) {
            const QString e = errorOf([&] { b.item("Sel")->SetText(QStringLiteral("Go")); });
            QVERIFY2(e.startsWith(error), qPrintable(e));
            QCOMPARE(b.img.Buffer(), before); // the lines applied before the cycle are undone
        }
        QCOMPARE(b.item("Name")->GetText(), QStringLiteral("abcd"));
    }

    void presetFanOutIsBounded()
    {
        // 22 lists, each of whose presets applies the next list's preset twice: no cycle, but
        // 2^22 applications. The limit stops it with the first list and preset named, and
        // the image stays as it was.
        QString lines, details;
        for (int k = 0; k < 22; ++k) {
            lines += QStringLiteral("L%1=%2;4;1\n").arg(k).arg(20 + k);
            details += QStringLiteral("[Dev:L%1]\nP%1=5;0\n[Dev:P%1]\n").arg(k);
            if (k + 1 < 22)
                details += QStringLiteral("L%1=P%1\nL%1=P%1\n").arg(k + 1);
            details += QStringLiteral("Name=WXYZ\n");
        }
        Bench b(lines + QStringLiteral("Name=8;12;1;;;4"), details);
        b.put(8, QByteArray("abcd"));
        const QByteArray before = b.img.Buffer();
        const QString e = errorOf([&] { b.item("L0")->SetText(QStringLiteral("P0")); });
        QVERIFY2(e.startsWith(QStringLiteral("Preset \"P0\" of parameter \"L0\" applies more than %1 presets")
                                  .arg(TListItem::kMaxPresetApplications)),
                 qPrintable(e));
        QCOMPARE(b.img.Buffer(), before);
        // A small fan-out below the limit still runs to the end.
        QCOMPARE(errorOf([&] { b.item("L19")->SetText(QStringLiteral("P19")); }), QString());
        QCOMPARE(b.item("Name")->GetText(), QStringLiteral("WXYZ"));
    }

    void presetChainsAreNoCycle()
    {
        // A preset that applies another list's preset twice in a row, and a chain of three.
        Bench b(QStringLiteral("A=5;4;1\nB=6;4;1\nC=7;4;1\nName=8;12;1;;;4"),
                QStringLiteral("[Dev:A]\nPa=5;0\n[Dev:B]\nPb=5;0\nOne=1;1\n[Dev:C]\nPc=5;0\nTwo=1;2\n"
                               "[Dev:Pa]\nB=Pb\nB=Pb\nName=DONE\n[Dev:Pb]\nC=Pc\n[Dev:Pc]\nC=Two\nB=One\n"));
        b.item("A")->SetText(QStringLiteral("Pa"));
        QCOMPARE(b.item("Name")->GetText(), QStringLiteral("DONE"));
        QCOMPARE(b.bytes(6, 2), QByteArray("\x01\x02"));
        QCOMPARE(errorOf([&] { b.item("A")->SetText(QStringLiteral("Pa")); }), QString()); // and once more
    }

    // ---- flags ------------------------------------------------------------------------

    void flagWording_data()
    {
        QTest::addColumn<QString>("letter");
        QTest::addColumn<QString>("set");
        QTest::addColumn<QString>("clear");
        QTest::newRow("a") << "a" << "True" << "False";
        QTest::newRow("b") << "b" << "Yes" << "No";
        QTest::newRow("c") << "c" << "On" << "Off";
        QTest::newRow("d") << "d" << "Used" << "Unused";
        QTest::newRow("e") << "e" << "Active" << "Inactive";
        QTest::newRow("f") << "f" << "High" << "Low";
        QTest::newRow("g") << "g" << "Disabled" << "Enabled";
        QTest::newRow("h") << "h" << "Enabled" << "Disabled";
        QTest::newRow("i") << "i" << "Off" << "On";
        QTest::newRow("j") << "j" << "Inactive" << "Active";
    }
    void flagWording()
    {
        QFETCH(QString, letter);
        QFETCH(QString, set);
        QFETCH(QString, clear);
        Bench b(QStringLiteral("Sw=9;10;1;;3;%1\nOther=10;10;1;;0;a").arg(letter));
        TItem *sw = b.item("Sw");
        QCOMPARE(sw->ClassName(), QStringLiteral("TFlagItem"));
        b.put(9, QByteArray("\xF7"));
        QCOMPARE(sw->GetText(), clear);
        b.put(9, QByteArray("\x08"));
        QCOMPARE(sw->GetText(), set);
        QCOMPARE(sw->GetIntegerValue(), 8u);
        b.item("Other")->GetText(); // the shared tool now holds another style ...
        sw->SetText(clear);         // ... which each flag sets again first
        QCOMPARE(b.bytes(9, 1), QByteArray(1, '\0'));
        sw->SetText(set.toUpper());
        QCOMPARE(b.bytes(9, 1), QByteArray("\x08"));
    }

    void flagSetText_data()
    {
        QTest::addColumn<QString>("fields"); // bit;style
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("toolBefore");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("stored");
        QTest::newRow("off keeps other bits") << "3;c" << 0xFF << false << "Off" << 0xF7;
        QTest::newRow("on, any case") << "3;c" << 0x00 << false << "oN" << 0x08;
        QTest::newRow("bit 0") << "0;c" << 0x10 << false << "On" << 0x11;
        QTest::newRow("bit 7 high") << "7;f" << 0x01 << false << "High" << 0x81;
        QTest::newRow("bit 35 counts as 3") << "35;c" << 0x00 << false << "On" << 0x08;
        QTest::newRow("bit 9 not in the byte") << "9;c" << 0x00 << false << "On" << 0x00;
        QTest::newRow("bit 9 clear changes nothing") << "9;c" << 0xFF << false << "Off" << 0xFF;
        QTest::newRow("bit -1 not in the byte") << "-1;c" << 0xFF << false << "Off" << 0xFF;
        QTest::newRow("neither wording, tool true") << "3;c" << 0x00 << true << "maybe" << 0x00;
        QTest::newRow("neither wording, tool false") << "3;c" << 0xFF << false << "maybe" << 0xFF;
        QTest::newRow("untranslated key is no wording") << "3;c" << 0x00 << true << "GWEintragFlagOn" << 0x00;
    }
    void flagSetText()
    {
        QFETCH(QString, fields);
        QFETCH(int, start);
        QFETCH(bool, toolBefore);
        QFETCH(QString, text);
        QFETCH(int, stored);
        Bench b(QStringLiteral("Sw=9;10;1;;") + fields);
        b.put(9, QByteArray(1, char(start)));
        TBoolTool::instance().SetStyle(fsOnOff);
        TBoolTool::instance().SetBoolvalue(toolBefore);
        b.item("Sw")->SetText(text);
        QCOMPARE(uint8_t(b.bytes(9, 1)[0]), uint8_t(stored));
    }

    void flagBitOutsideByteNeverSet()
    {
        Bench b(QStringLiteral("Sw=9;10;1;;9;c"));
        b.put(9, QByteArray("\xFF"));
        QCOMPARE(b.item("Sw")->GetText(), QStringLiteral("Off"));
    }

    void flagStyleUndefined_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("message"); // empty: none shown
        QTest::addColumn<QString>("setText");
        QTest::newRow("unknown letter") << "z" << "Undefined flag style \"z\" (device Dev, parameter Sw)" << "True";
        QTest::newRow("empty") << "" << "Undefined flag style \"\" (device Dev, parameter Sw)" << "True";
        QTest::newRow("upper case") << "C" << "Undefined flag style \"C\" (device Dev, parameter Sw)" << "True";
        QTest::newRow("first letter counts") << "cx" << "" << "On";
    }
    void flagStyleUndefined()
    {
        QFETCH(QString, field);
        QFETCH(QString, message);
        QFETCH(QString, setText);
        ScriptedPrompts prompts;
        Bench b(QStringLiteral("Sw=9;10;1;;0;%1\nNext=10;12;1;;;2").arg(field));
        QCOMPARE(prompts.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QVERIFY(b.img.GetEintrag("Next")); // loading went on
        b.put(9, QByteArray("\x01"));
        QCOMPARE(b.item("Sw")->GetText(), setText);
    }

    void flagEdit()
    {
        Bench b(QStringLiteral("Sw=9;10;1;;2;c"));
        b.put(9, QByteArray("\x01"));
        FakeEditor editor;
        editor.reply = QStringLiteral("On");
        TItem *sw = b.item("Sw");
        sw->Edit(QPoint(10, 20));
        QCOMPARE(editor.topLeft, QPoint(10, 20));
        QVERIFY(editor.area == ItemEditor::ScreenBottom::WorkArea);
        QCOMPARE(editor.margin, 30);
        QCOMPARE(editor.heading, QStringLiteral("Sw"));
        QCOMPARE(editor.trueCaption, QStringLiteral("On"));
        QCOMPARE(editor.falseCaption, QStringLiteral("Off"));
        QCOMPARE(editor.start, QStringLiteral("Off"));
        QCOMPARE(editor.format, fmFlag);
        QCOMPARE(b.bytes(9, 1), QByteArray("\x05"));
        QVERIFY(sw->modified);
        QCOMPARE(b.changes, 1);

        editor.cancel = true;
        sw->modified = false;
        sw->Edit(QPoint(10, 20));
        QCOMPARE(b.bytes(9, 1), QByteArray("\x05"));
        QVERIFY(!sw->modified);
        QCOMPARE(b.changes, 2); // an always-editable flag reports the edit even unchanged
    }

    void flagToolLanguageWins()
    {
        // The wordings come from the editor dialog's translation service once the tool has one.
        LanguageSelect german;
        fillLanguage(german, {{"GWEintragFlagOn", "Ein"}, {"GWEintragFlagOff", "Aus"}});
        TBoolTool::instance().language = &german;
        Bench b(QStringLiteral("Sw=9;10;1;;0;c"));
        QCOMPARE(b.item("Sw")->GetText(), QStringLiteral("Aus"));
        b.item("Sw")->SetText(QStringLiteral("ein"));
        QCOMPARE(b.bytes(9, 1), QByteArray("\x01"));
        QCOMPARE(TBoolTool::instance().Str2Bool(QStringLiteral("AUS")), false);
        QCOMPARE(TBoolTool::instance().StringValue(), QStringLiteral("Aus"));
    }

    // ---- random texts near the end of the buffer ---------------------------------------

    void randomTextsNearTheEnd()
    {
        const QString good = presetText(image16('\x33'));
        Bench b(QStringLiteral("T1=8185;12;1;;;10\nT2=8184;12;1;;;8\nP1=8190;20;1;;;2\nP2=8191;20;1;;;60000\n"
                               "L1=8191;4;1\nL2=8192;4;1\nL3=5;4;1\nF1=8191;10;1;;3;c\nF2=8192;10;1;;0;a\n"
                               "F3=65535;10;1;;7;f"),
                QStringLiteral("[Dev:L1]\nA=1;5\nB=2;6;%1\nC=3;0;0102-0003\nD=4;x;%1\nE=5;0\nF=4;7;%1\n"
                               "[Dev:L2]\nA=1;5\n[Dev:L3]\nE=5;0\nG=3;0;%1\n"
                               "[Dev:E]\nT2=PRESET!\nL1=E\nF1=On\nL3=E\n")
                    .arg(good));
        const QStringList names = {"T1", "T2", "P1", "P2", "L1", "L2", "L3", "F1", "F2", "F3"};
        const QStringList words = {"A", "B", "C", "D", "E", "F", "G", "On", "Off", "True", "High", "     ", ""};
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator rng(seed);
        ScriptedPrompts prompts; // presets may report missing revisions
        for (int round = 0; round < 4000; ++round) {
            TItem *item = b.item(names[rng.bounded(int(names.size()))]);
            QString text;
            if (rng.bounded(2) == 0) {
                text = words[rng.bounded(int(words.size()))];
            } else {
                const int n = rng.bounded(24);
                for (int i = 0; i < n; ++i)
                    text += QChar(char16_t(rng.bounded(rng.bounded(4) == 0 ? 0x3000 : 0x80)));
            }
            const QByteArray before = b.img.Buffer();
            const int32_t useSize = b.img.FUseSize;
            bool raised = false;
            try {
                item->SetText(text);
            } catch (const TorvaneError &) {
                raised = true;
            }
            QCOMPARE(b.img.Size(), qsizetype(8192));
            QCOMPARE(b.img.FUseSize, useSize);
            if (raised && b.img.Buffer() != before)
                QFAIL(qPrintable(QStringLiteral("seed %1: %2.SetText(\"%3\") raised and changed the image")
                                     .arg(seed)
                                     .arg(item->Identifier(), text)));
            try {
                item->GetText();
            } catch (const TorvaneError &) {
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestTextListItems)
#include "TestTextListItems.moc"
