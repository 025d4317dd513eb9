#include "base/TextHelpers.h"

#include "base/GeneralError.h"

#include <QRegularExpression>

QString ExtractField(const QString &text, QChar separator, int n)
{
    if (n < 1)
        return {};
    qsizetype start = 0;
    for (int field = 1; field < n; ++field) {
        const qsizetype sep = text.indexOf(separator, start);
        if (sep < 0)
            return {};
        start = sep + 1;
    }
    const qsizetype end = text.indexOf(separator, start);
    return end < 0 ? text.mid(start) : text.mid(start, end - start);
}

int CountChar(const QString &text, QChar c)
{
    return static_cast<int>(text.count(c));
}

QString StripBlanks(const QString &text)
{
    QString out = text;
    out.remove(u' ');
    return out;
}

void ReplaceChar(QString &text, QChar find, QChar replacement)
{
    text.replace(find, replacement);
}

bool ContainsText(const QString &text, const QString &part)
{
    return text.contains(part, Qt::CaseSensitive);
}

int TryHexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

int HexDigitValue(QChar c)
{
    const int v = TryHexDigitValue(c);
    if (v < 0)
        throw TorvaneError(QStringLiteral("Invalid hex str containing ") + c);
    return v;
}

uint32_t HexStrToInt(const QString &text)
{
    QStringView s(text);
    if (!s.isEmpty() && s[0] == u'$')
        s = s.mid(1);
    if (s.size() >= 2 && s[0] == u'0' && (s[1] == u'x' || s[1] == u'X'))
        s = s.mid(2);
    uint32_t value = 0;
    for (QChar c : s)
        value = value * 16u + static_cast<uint32_t>(HexDigitValue(c));
    return value;
}

uint32_t BinStrToInt(const QString &text)
{
    QStringView s(text);
    if (s.size() >= 2 && s[1].toUpper() == u'B')
        s = s.mid(2);
    uint32_t value = 0;
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype distance = n - 1 - i;
        if (s[i] == u'1' && distance < 32)
            value |= (1u << distance);
    }
    return value;
}

namespace {
int lenientDigit(QChar c)
{
    const unsigned u = c.unicode() & 0xFFu;
    if (u >= '0' && u <= '9')
        return int(u - '0');
    if (u >= 'A' && u <= 'F')
        return int(u - 'A' + 10);
    if (u >= 'a' && u <= 'f')
        return int(u - 'a' + 10);
    return 0;
}
} // namespace

uint8_t HexPairToByte(QChar high, QChar low)
{
    return static_cast<uint8_t>((lenientDigit(high) * 16 + lenientDigit(low)) & 0xFF);
}

uint8_t HexTextToByte(const QString &text)
{
    if (text.isEmpty())
        return 0;
    return HexPairToByte(text[0], text.size() > 1 ? text[1] : QChar(u'0'));
}

QString ByteToHexChars(uint8_t b)
{
    static const char digits[] = "0123456789abcdef";
    QString s(2, QChar(u'0'));
    s[0] = QChar(digits[b >> 4]);
    s[1] = QChar(digits[b & 0xF]);
    return s;
}

QString ByteToHexText(uint8_t b)
{
    return ByteToHexChars(b);
}

QString IntToBinStr(uint32_t value, uint8_t bitCount)
{
    if (bitCount < 1 || bitCount > 32)
        throw TorvaneError(QStringLiteral("IntToBinStr: falsche Bitzahl"));
    QString s;
    s.reserve(bitCount);
    for (int bit = bitCount - 1; bit >= 0; --bit)
        s.append((value >> bit) & 1u ? u'1' : u'0');
    return s;
}

namespace {
// Decimal digits only, accumulated in 64 bits; false on an empty text or any other character.
// With `wrap` the value keeps its low 64 bits (the description formats' DecStrToInt64);
// without it a value beyond 64 bits is refused.
bool scanDigits(QStringView digits, bool wrap, uint64_t &value)
{
    value = 0;
    if (digits.isEmpty())
        return false;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return false;
        const auto d = static_cast<uint64_t>(c.unicode() - u'0');
        if (!wrap && value > (UINT64_MAX - d) / 10u)
            return false;
        value = value * 10u + d; // unsigned, so a wrap-round is defined
    }
    return true;
}
} // namespace

bool TryDecimalValue(QStringView text, int64_t &value)
{
    qsizetype prefix = 0;
    if (text.startsWith(u'$'))
        prefix = 1;
    else if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X'))
        prefix = 2;
    if (prefix > 0) {
        const QStringView hex = text.mid(prefix);
        if (hex.isEmpty())
            return false;
        uint64_t v = 0;
        for (QChar c : hex) {
            const int d = TryHexDigitValue(c);
            if (d < 0)
                return false;
            v = v * 16u + static_cast<uint64_t>(d);
            if (v > 0xFFFFFFFFu)
                return false;
        }
        value = static_cast<int64_t>(v);
        return true;
    }
    const bool negative = text.startsWith(u'-');
    uint64_t v = 0;
    if (!scanDigits(negative ? text.mid(1) : text, false, v))
        return false;
    if (negative ? v > uint64_t(INT64_MAX) + 1u : v > uint64_t(INT64_MAX))
        return false;
    value = negative ? static_cast<int64_t>(0u - v) : static_cast<int64_t>(v);
    return true;
}

int64_t DecStrToInt64(const QString &text)
{
    if (text.isEmpty())
        return kInvalidInt64;
    const bool negative = text.startsWith(u'-');
    if (negative && text.size() == 1)
        return 0;
    uint64_t value = 0;
    if (!scanDigits(QStringView(text).mid(negative ? 1 : 0), true, value))
        return kInvalidInt64;
    return negative ? static_cast<int64_t>(0u - value) : static_cast<int64_t>(value);
}

QString BoolToText(bool b)
{
    return b ? QStringLiteral("yes") : QStringLiteral("no");
}

int StrToInt(const QString &text)
{
    int64_t v = 0;
    // A hexadecimal text is 32 bits unsigned and reads as their signed value ("$FFFFFFFF" is -1).
    const bool hex = text.startsWith(u'$') || text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    if (!TryDecimalValue(text, v) || (!hex && (v < INT32_MIN || v > INT32_MAX)))
        throw TorvaneError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return static_cast<int>(static_cast<uint32_t>(v));
}

QString IntToHex(uint32_t value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QChar(u'0')).toUpper();
}

QString FormatText(const QString &format, const QVariantList &args)
{
    // "%1" is Qt style; "%5d" or "%12.3d" is a width of a printf-style conversion.
    static const QRegularExpression qtStyle(QStringLiteral("%[1-9][0-9]*(?![0-9]|\\.[0-9]|[sdiuxX])"));
    if (format.contains(qtStyle)) {
        QString out = format;
        for (const QVariant &a : args)
            out = out.arg(a.toString());
        return out;
    }
    QString out;
    out.reserve(format.size() + 16);
    int next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != u'%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        if (format[i + 1] == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        bool leftAlign = false, zeroPad = false;
        while (j < format.size() && (format[j] == u'-' || format[j] == u'0')) {
            (format[j] == u'-' ? leftAlign : zeroPad) = true;
            ++j;
        }
        // Widths and precisions come from language and data files: read them saturating, and
        // keep a conversion wider than kMaxFormatWidth as written instead of filling memory.
        auto number = [&](qsizetype &k) {
            int value = 0;
            for (; k < format.size() && format[k] >= u'0' && format[k] <= u'9'; ++k)
                value = qMin(value * 10 + (format[k].unicode() - u'0'), kMaxFormatWidth + 1);
            return value;
        };
        const int width = number(j);
        int precision = -1;
        if (j < format.size() && format[j] == u'.') {
            ++j;
            precision = number(j);
        }
        if (j >= format.size() || QStringLiteral("sdiuxX").indexOf(format[j]) < 0 || next >= args.size()
            || width > kMaxFormatWidth || precision > kMaxFormatWidth) {
            out += c; // not a conversion we fill: keep it as written
            continue;
        }
        const QVariant &a = args[next++];
        QString piece;
        switch (format[j].unicode()) {
        case u's': piece = a.toString(); break;
        case u'd': case u'i': piece = QString::number(a.toLongLong()); break;
        case u'u': piece = QString::number(a.toULongLong()); break;
        case u'x': piece = QString::number(a.toULongLong(), 16); break;
        case u'X': piece = QString::number(a.toULongLong(), 16).toUpper(); break;
        }
        if (precision >= 0 && format[j] != u's' && piece.size() < precision)
            piece = QString(precision - piece.size(), u'0') + piece;
        if (piece.size() < width)
            piece = leftAlign ? piece.leftJustified(width) : piece.rightJustified(width, zeroPad ? u'0' : u' ');
        out += piece;
        i = j;
    }
    return out;
}
