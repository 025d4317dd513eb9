#include "model/EditorRules.h"

#include "base/TextHelpers.h"
#include "model/AddressItems.h"
#include "model/FlagItem.h"
#include "model/IndexStream.h"
#include "model/ListItem.h"
#include "model/NumericItems.h"
#include "model/TextItem.h"

#include <QRegularExpression>

bool IsShownInGrid(TVisualRule rule, const TGridView &view)
{
    switch (rule) {
    case vrAlwaysEdit:
    case vrAlwaysShow:
    case vrAlwaysDependendEdit:
    case vrMasterItem:
        return true;
    case vrEdit:
    case vrShow:
        return view.moreVisible;
    case vrInvisible:
    case vrDependendEdit:
        return false;
    }
    return false;
}

bool IsEditableInGrid(TVisualRule rule, const TGridView &view)
{
    if (!IsShownInGrid(rule, view))
        return false;
    if (view.debugView)
        return true;
    switch (rule) {
    case vrAlwaysEdit:
    case vrAlwaysDependendEdit:
    case vrMasterItem:
        return true;
    case vrEdit:
        return view.moreEditable;
    default:
        return false;
    }
}

bool MoreTogglesAvailable(const TItemlist &items)
{
    bool available = false;
    for (const auto &item : items) {
        if (item->GetVisualRule() != vrMasterItem || !item->FData || item->Position >= item->FData->Size())
            continue;
        const uint8_t b = item->FData->GetByteIDX(item->Position);
        available = b < 0x20 || b >= 0x80; // the last master shown decides, as in the grid
    }
    return available;
}

TGridView MostPermissiveView(const TItemlist &items, bool debugView)
{
    const bool more = MoreTogglesAvailable(items);
    return TGridView{more, more, debugView};
}

namespace {

QString quoted(const QString &s)
{
    return u'"' + s + u'"';
}

QString refusal(const TItem &item, const QString &text, const QString &accepted)
{
    return QStringLiteral("%1: %2 is not accepted; %3").arg(quoted(item.Identifier()), quoted(text), accepted);
}

// The number field of the editor: decimal digits (a "-" only where the range allows it).
QString numberField(const TItem &item, const QString &text, int64_t lo, int64_t hi)
{
    int64_t v = 0;
    const bool hex = text.startsWith(u'$') || text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    if (hex || !TryDecimalValue(text, v) || v < lo || v > hi)
        return refusal(item, text, QStringLiteral("the editor takes a decimal number from %1 to %2").arg(lo).arg(hi));
    return {};
}

// The hexadecimal field: what HexStrToInt reads. The field takes typed digits beyond the
// stepper's range, but not beyond the format's width, whose cut would lose the high digits.
QString hexField(const TItem &item, const QString &text, uint32_t max, int digits)
{
    QStringView s(text);
    if (s.startsWith(u'$'))
        s = s.mid(1);
    if (s.size() >= 2 && s[0] == u'0' && (s[1] == u'x' || s[1] == u'X'))
        s = s.mid(2);
    bool ok = !s.isEmpty();
    uint64_t v = 0;
    for (QChar c : s) {
        const int d = TryHexDigitValue(c);
        if (d < 0) {
            ok = false;
            break;
        }
        v = qMin<uint64_t>(v * 16u + uint64_t(d), uint64_t(max) + 1u);
    }
    if (!ok || v > max)
        return refusal(item, text,
                       QStringLiteral("the editor takes a hexadecimal number from 0 to %1 (up to %2 digits, optional \"$\" or \"0x\")")
                           .arg(IntToHex(max, digits))
                           .arg(digits));
    return {};
}

QString oneOf(const TItem &item, const QString &text, const QStringList &entries, Qt::CaseSensitivity cs, const QString &what)
{
    if (!text.isEmpty() && entries.contains(text, cs))
        return {};
    if (entries.isEmpty())
        return refusal(item, text, QStringLiteral("the editor offers no %1 for the image as it is").arg(what));
    QStringList shown;
    for (const QString &e : entries)
        shown << quoted(e);
    // A hundred version or hex-ASCII entries are better named by their range.
    const QString list = shown.size() > 12 ? shown.first() + QStringLiteral(" to ") + shown.last() : shown.join(QStringLiteral(", "));
    return refusal(item, text, QStringLiteral("the editor offers the %1 %2").arg(what, list));
}

// Characters the string formats store and show back unchanged.
bool printableAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() < 32 || c.unicode() > 126)
            return false;
    return true;
}

QString textField(const TItem &item, const QString &text, int32_t length)
{
    if (text.size() > length || !printableAscii(text))
        return refusal(item, text, QStringLiteral("the editor takes at most %1 printable ASCII characters").arg(length));
    return {};
}

QString ipAddress(const TItem &item, const QString &text)
{
    const QStringList groups = text.split(u'.');
    bool ok = groups.size() == 4;
    for (const QString &g : groups) {
        const QString digits = StripBlanks(g);
        int64_t v = 0;
        ok = ok && g.size() <= 3 && !digits.isEmpty() && digits.size() <= 3 && !digits.startsWith(u'-')
             && !digits.startsWith(u'$') && !digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
             && TryDecimalValue(digits, v) && v <= 255;
    }
    if (!ok)
        return refusal(item, text, QStringLiteral("the editor takes an IP address of four numbers from 0 to 255, such as 192.168.0.10"));
    return {};
}

QString ethernetAddress(const TItem &item, const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^[0-9A-Fa-f]{2}(-[0-9A-Fa-f]{2}){5}$"));
    if (!form.match(text).hasMatch())
        return refusal(item, text, QStringLiteral("the editor takes six hexadecimal pairs joined by \"-\", such as 00-0A-1B-2C-3D-4E"));
    return {};
}

QString table(TByteTupleItem &item, const QString &text)
{
    const int rows = item.RowCount();
    const int cells = rows * qMax(0, item.Columns);
    const int64_t max = item.ValueBytes() == 2 ? 65535 : 255;
    const QString accepted = QStringLiteral("the editor's table has %1 values (%2 rows of %3), each a decimal number from 0 to %4 followed by \";\"")
                                 .arg(cells)
                                 .arg(rows)
                                 .arg(item.Columns)
                                 .arg(max);
    if (cells == 0)
        return refusal(item, text, QStringLiteral("the description gives this table no rows to edit"));
    // The editor ends every value with ";"; a missing last one reads the same.
    QStringList values = text.split(u';');
    if (values.last().isEmpty())
        values.removeLast();
    if (values.size() != cells)
        return refusal(item, text, accepted);
    for (const QString &v : std::as_const(values)) {
        int64_t n = 0;
        if (v.startsWith(u'$') || v.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) || !TryDecimalValue(v, n) || n < 0 || n > max)
            return refusal(item, text, accepted);
    }
    return {};
}

QString htmlText(THTMLSourceItem &item, const QString &text)
{
    const int room = THTMLSourceItem::kHTMLLimit - item.TextOffset() - 1;
    for (QChar c : text)
        if (c.unicode() > 255)
            return refusal(item, text.left(40), QStringLiteral("the text holds a character beyond 8 bits (%1)").arg(c));
    if (text.size() > room)
        return refusal(item, text.left(40) + QStringLiteral("..."),
                       QStringLiteral("the text has %1 characters, the room below offset %2 holds %3")
                           .arg(text.size())
                           .arg(THTMLSourceItem::kHTMLLimit)
                           .arg(qMax(0, room)));
    return {};
}

// Bytes the format occupies from Position; -1 for formats that place no fixed span.
qint64 spanOf(TItem &item)
{
    switch (item.Format()) {
    case fmByte: case fmPByte: case fmRestrictedByte: case fmChar: case fmHexByte: case fmHexASCII:
    case fmVersion: case fmList: case fmFlag:
        return 1;
    case fmWord: case fmHexWord: case fmHTMLSource:
        return 2;
    case fm32Bit: case fmHexLong: case fmSerialNumber: case fmIPAddress:
        return 4;
    case fmEthernetHardwareAddress:
        return 6;
    case fmString: case fmPassword:
        if (auto *t = dynamic_cast<TTextItem *>(&item))
            return t->TextLength();
        return -1;
    case fmByteTuple: case fmWordTuple:
        if (auto *t = dynamic_cast<TByteTupleItem *>(&item))
            return t->FSize;
        return -1;
    default:
        return -1;
    }
}

} // namespace

bool EditorNumberRange(TItem &item, int64_t &lo, int64_t &hi)
{
    lo = 0;
    switch (item.Format()) {
    case fmWord: hi = 65535; return true;
    case fmByte:
    case fmPByte: hi = 255; return true;
    case fm32Bit: hi = 2147483647; return true;
    case fmRestrictedByte: {
        const auto *r = dynamic_cast<TRestrictedByteItem *>(&item);
        lo = r ? r->min : 0;
        hi = r ? r->max : 255;
        return true;
    }
    default: return false;
    }
}

QString UsedPartRefusal(TItem &item)
{
    const qint64 span = spanOf(item);
    const qint64 used = item.FData ? qMin<qint64>(item.FData->UseSize(), item.FData->Size()) : 0;
    if (span > 0 && qint64(item.Position) + span > used)
        return QStringLiteral("%1: lies beyond the image (bytes %2 to %3, the image uses %4); a value there would not be saved")
            .arg(quoted(item.Identifier()))
            .arg(item.Position)
            .arg(qint64(item.Position) + span - 1)
            .arg(used);
    return {};
}

QString EditorRefusal(TItem &item, const QString &text)
{
    if (item.Format() == fmProfilMap)
        return {};
    const QString outside = UsedPartRefusal(item);
    if (!outside.isEmpty())
        return outside;

    int64_t lo = 0, hi = 0;
    if (EditorNumberRange(item, lo, hi))
        return numberField(item, text, lo, hi);
    switch (item.Format()) {
    case fmHexByte: return hexField(item, text, 0xFF, 2);
    case fmHexWord: return hexField(item, text, 0xFFFF, 4);
    case fmHexLong: return hexField(item, text, 0xFFFFFFFF, 8);
    case fmVersion:
        if (auto *v = dynamic_cast<TVersionItem *>(&item))
            return oneOf(item, text, v->FList, Qt::CaseSensitive, QStringLiteral("versions"));
        break;
    case fmHexASCII:
        if (auto *h = dynamic_cast<THexAsciiItem *>(&item))
            return oneOf(item, text, h->FList, Qt::CaseSensitive, QStringLiteral("values"));
        break;
    case fmList:
        if (auto *l = dynamic_cast<TListItem *>(&item))
            return oneOf(item, text, l->SelectableEntries(), Qt::CaseSensitive, QStringLiteral("entries"));
        break;
    case fmFlag:
        if (auto *f = dynamic_cast<TFlagItem *>(&item)) {
            TBoolTool &tool = TBoolTool::instance();
            tool.SetStyle(f->FFlagStyle, f->language);
            // The tool takes either wording without regard to letter case and stores it exactly.
            return oneOf(item, text, {tool.TrueValueString, tool.FalseValueString}, Qt::CaseInsensitive, QStringLiteral("wordings"));
        }
        break;
    case fmChar:
        if (text.size() != 1 || text[0].unicode() > 255)
            return refusal(item, text, QStringLiteral("the editor takes exactly one character (code 0 to 255)"));
        return {};
    case fmString:
    case fmPassword:
        if (auto *t = dynamic_cast<TTextItem *>(&item))
            return textField(item, text, t->TextLength());
        break;
    case fmSerialNumber: {
        static const QRegularExpression eightDigits(QStringLiteral("^[0-9]{8}$"));
        if (!eightDigits.match(text).hasMatch())
            return refusal(item, text, QStringLiteral("the editor takes a serial number of exactly eight digits"));
        return {};
    }
    case fmIPAddress: return ipAddress(item, text);
    case fmEthernetHardwareAddress: return ethernetAddress(item, text);
    case fmByteTuple:
    case fmWordTuple:
        if (auto *t = dynamic_cast<TByteTupleItem *>(&item))
            return table(*t, text);
        break;
    case fmHTMLSource:
        if (auto *h = dynamic_cast<THTMLSourceItem *>(&item))
            return htmlText(*h, text);
        break;
    default:
        break;
    }
    return refusal(item, text, QStringLiteral("the editor has no page for format %1").arg(int(item.Format())));
}
