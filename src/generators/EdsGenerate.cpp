#include "generators/EdsGenerate.h"

#include "localisation/LanguageSelect.h"
#include "model/BaseEEROM.h"
#include "base/GeneralError.h"
#include "base/TextHelpers.h"
#include "platform/ConfigPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>

namespace {

const QString kOpen = QStringLiteral("<!--exec=");
const QString kClose = QStringLiteral("-->");

// The widest field a pattern may ask for: a wider one cannot come from a sane template and
// would only blow the output up.
constexpr int kMaxFieldWidth = 65535;

QString NumberText(qint64 n)
{
    return QString::number(n);
}

// The first place at or after a position where a text occurs (for a double quote: one not
// preceded by a backslash). The answer is remembered: a later search from a position up to
// it gives the same answer without reading the template again. Commands written inside one
// another share their end, and their searches start at growing positions, so this keeps a
// template full of command openers from being read once per opener.
class NextMatch
{
public:
    explicit NextMatch(QString needle, bool unescaped = false) : m_needle(std::move(needle)), m_unescaped(unescaped) {}

    qsizetype next(const QString &text, qsizetype pos)
    {
        if (m_searched && pos >= m_from && (m_at < 0 || m_at >= pos))
            return m_at;
        m_searched = true;
        m_from = pos;
        qsizetype at = text.indexOf(m_needle, pos);
        while (m_unescaped && at > 0 && text[at - 1] == u'\\')
            at = text.indexOf(m_needle, at + 1);
        m_at = at;
        return at;
    }

private:
    QString m_needle;
    bool m_unescaped;
    bool m_searched = false;
    qsizetype m_from = 0;
    qsizetype m_at = -1;
};

} // namespace

// The searches of one generation, each remembered on its own (see NextMatch).
class TEdsGenerate::Scanner
{
public:
    explicit Scanner(const QString &text) : m_text(text) {}

    // Whether word occurs within [from, end).
    bool contains(const QString &word, qsizetype from, qsizetype end)
    {
        const qsizetype at = finder(m_words, word).next(m_text, from);
        return at >= 0 && at + word.size() <= end;
    }
    qsizetype close(qsizetype from) { return m_close.next(m_text, from); }

    QString attribute(const QString &name, qsizetype from, qsizetype end)
    {
        Attribute &a = m_attributes.try_emplace(name, name).first->second;
        const qsizetype at = a.name.next(m_text, from);
        if (at < 0 || at + name.size() > end)
            return {};
        const qsizetype open = a.open.next(m_text, at + name.size());
        if (open < 0 || open >= end)
            return {};
        const qsizetype close = a.close.next(m_text, open + 1);
        if (close < 0 || close >= end)
            return {};
        return m_text.mid(open + 1, close - open - 1);
    }

private:
    struct Attribute {
        explicit Attribute(const QString &n) : name(n) {}
        NextMatch name;
        NextMatch open{QStringLiteral("\"")};        // any quote after the name
        NextMatch close{QStringLiteral("\""), true}; // the next one not escaped
    };
    static NextMatch &finder(std::map<QString, NextMatch> &map, const QString &word)
    {
        return map.try_emplace(word, word).first->second;
    }

    const QString &m_text;
    NextMatch m_close{QStringLiteral("-->")};
    std::map<QString, NextMatch> m_words;
    std::map<QString, Attribute> m_attributes;
};

void TEdsGenerate::create(TBaseEEROM *eerom)
{
    localeerom = eerom;
    replacedItems.clear();
}

QString TEdsGenerate::defaultTemplateDir()
{
    return ConfigPaths::programDataDir(QStringLiteral("ddtemplate"));
}

QString TEdsGenerate::translate(const QString &key) const
{
    return localeerom && localeerom->language ? localeerom->language->translate(key) : key;
}

void TEdsGenerate::generate(const QString &fileName, QByteArray &memoryStream)
{
    memoryStream.clear();
    const QString path = QDir(templateDir).filePath(fileName);
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw TorvaneError(FormatText(translate(QStringLiteral("EdsGenerateTemplateNotReadable")), {path}));
    // One byte more than allowed tells a template that is too large.
    QByteArray bytes = file.read(kMaxTemplateSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw TorvaneError(FormatText(translate(QStringLiteral("EdsGenerateTemplateNotReadable")), {path}));
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    if (bytes.size() > kMaxTemplateSize)
        throw TorvaneError(FormatText(translate(QStringLiteral("EdsGenerateTemplateTooLarge")),
                                      {path, int(kMaxTemplateSize)}));
    memoryStream = generateFromText(bytes);
}

QByteArray TEdsGenerate::generateFromText(const QByteArray &templateText)
{
    // Latin-1 maps every byte to one character and back, so the template's own bytes reach
    // the output unchanged whatever encoding the template uses.
    m_template = QString::fromLatin1(templateText);
    m_output.clear();
    m_copyPos = 0;
    Scanner scanner(m_template);
    m_scanner = &scanner;
    struct Done {
        TEdsGenerate *g;
        ~Done() { g->m_scanner = nullptr; }
    } done{this};

    qsizetype searchFrom = 0;
    for (;;) {
        Command cmd;
        cmd.position = m_template.indexOf(kOpen, searchFrom);
        if (cmd.position < 0)
            break;
        // The next search starts one character after this command's start, so a command
        // that stays unchanged does not hide the commands written inside it.
        searchFrom = cmd.position + 1;
        if (cmd.position < m_copyPos)
            continue; // inside the text of the command just carried out
        const qsizetype close = scanner.close(cmd.position + kOpen.size());
        if (close < 0)
            break; // unterminated, and so is every later one: they stay as written
        cmd.end = close + kClose.size();
        cmd.param = ReadAttribute(cmd, QStringLiteral("param"));
        if (cmd.param.isEmpty())
            continue;

        Kind kind = Kind::None;
        if (scanner.contains(QStringLiteral("loop"), cmd.position, cmd.end))
            kind = Kind::Loop;
        else if (scanner.contains(QStringLiteral("replace"), cmd.position, cmd.end))
            kind = Kind::Replace;
        else if (scanner.contains(QStringLiteral("generate"), cmd.position, cmd.end))
            kind = Kind::Generate;
        if (kind == Kind::None)
            continue; // no known kind: stays as written
        cmd.string = ReadAttribute(cmd, QStringLiteral("string"));
        cmd.bitWise = ReadAttribute(cmd, QStringLiteral("bitWise"));
        cmd.function = ReadAttribute(cmd, QStringLiteral("function"));
        const bool bitWise = cmd.bitWise == QLatin1String("true");

        switch (kind) {
        case Kind::Replace: {
            QString value = LookUp(cmd.param);
            const QString valueLength = ReadAttribute(cmd, QStringLiteral("valueLength"));
            if (!valueLength.isEmpty())
                value = value.left(qMax<qint64>(0, RequireNumber(valueLength)));
            if (cmd.function.compare(QLatin1String("NUMBERSONLY"), Qt::CaseInsensitive) == 0) {
                QString digits;
                for (const QChar c : std::as_const(value))
                    if (c >= u'0' && c <= u'9')
                        digits += c;
                value = digits;
            }
            if (bitWise)
                value = NumberText(8 * RequireNumber(value));
            Emit(cmd, value, std::nullopt, true);
            break;
        }
        case Kind::Generate: {
            const QDateTime now = FNow();
            QString value;
            if (cmd.param.compare(QLatin1String("creationDate"), Qt::CaseInsensitive) == 0)
                value = now.date().toString(QStringLiteral("MM-dd-yyyy"));
            else if (cmd.param.compare(QLatin1String("creationTime"), Qt::CaseInsensitive) == 0)
                value = now.time().toString(QStringLiteral("HH:mm:ss"));
            else
                break; // no value of its own: stays as written
            Emit(cmd, value, std::nullopt, true);
            break;
        }
        case Kind::Loop: {
            const QString value = LookUp(cmd.param);
            const auto chunkSize = TemplateNumber(ReadAttribute(cmd, QStringLiteral("maxChunkSize")));
            const auto total = TemplateNumber(value);
            if (!chunkSize || !total || *chunkSize <= 0 || *total <= 0)
                break; // nothing to loop over: stays as written
            const qint64 full = *total / *chunkSize;
            const qint64 rest = *total % *chunkSize;
            const qint64 factor = bitWise ? 8 : 1;
            for (qint64 i = 0; i < full; ++i)
                Emit(cmd, NumberText(*chunkSize * factor), i, i == 0);
            if (rest != 0)
                Emit(cmd, NumberText(rest * factor), full, full == 0);
            break;
        }
        case Kind::None:
            break;
        }
    }
    Append(m_template.mid(m_copyPos));

    QByteArray result = m_output.toLatin1();
    m_template.clear();
    m_output.clear();
    return result;
}

QString TEdsGenerate::ReadAttribute(const Command &cmd, const QString &name)
{
    return m_scanner ? m_scanner->attribute(name, cmd.position, cmd.end) : QString();
}

QString TEdsGenerate::LookUp(const QString &param)
{
    if (param.trimmed().isEmpty())
        return {};
    QString value;
    const QStringList names = param.split(u';');
    for (const QString &raw : names) {
        const QString name = raw.trimmed();
        if (name.isEmpty() || !localeerom || !localeerom->EintragExistiert(name))
            continue;
        value = localeerom->ItemList.GetByName(name)->GetText();
        if (!value.isEmpty() && value != QLatin1String("0")) {
            replacedItems += QStringLiteral("\r\n-") + name;
            return value;
        }
    }
    return value;
}

void TEdsGenerate::Emit(const Command &cmd, const QString &value, std::optional<qint64> chunk, bool first)
{
    QString text;
    if (first)
        Append(m_template.mid(m_copyPos, cmd.position - m_copyPos));
    else
        text = QStringLiteral("\r\n");
    if (!cmd.string.isEmpty()) {
        QString pattern = cmd.string;
        if (chunk)
            pattern.replace(QStringLiteral("#index"), NumberText(*chunk), Qt::CaseInsensitive);
        text += FormatPattern(pattern, value).value_or(value);
    } else {
        text = value;
    }
    text.replace(QStringLiteral("\\\""), QStringLiteral("\""));
    Append(text);
    m_copyPos = cmd.end;
}

void TEdsGenerate::Append(const QString &text)
{
    if (m_output.size() + text.size() > kMaxOutputSize)
        throw TorvaneError(FormatText(translate(QStringLiteral("EdsGenerateOutputTooLarge")), {int(kMaxOutputSize)}));
    m_output += text;
}

qint64 TEdsGenerate::RequireNumber(const QString &text)
{
    const auto n = TemplateNumber(text);
    if (!n)
        throw TorvaneError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return *n;
}

std::optional<qint64> TEdsGenerate::TemplateNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    int base = 10;
    if (text.mid(i, 2).compare(QLatin1String("0x"), Qt::CaseInsensitive) == 0) {
        base = 16;
        i += 2;
    } else if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    }
    if (i >= text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = TryHexDigitValue(text[i]);
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * base + digit;
        if (value > qint64(UINT32_MAX))
            return std::nullopt;
    }
    // Decimal numbers are signed 32-bit; hexadecimal ones may fill all 32 bits and then read
    // as the 32-bit integer they hold ($FFFFFFFF is -1).
    if (base == 16 && value > INT32_MAX)
        value = qint64(int32_t(uint32_t(value)));
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return value;
}

std::optional<QString> TEdsGenerate::FormatPattern(const QString &pattern, const QString &value)
{
    const qsizetype n = pattern.size();
    // Reads decimal digits from j on; the number saturates above the widest field allowed.
    auto digits = [&](qsizetype &j) {
        qint64 number = -1;
        while (j < n && TryHexDigitValue(pattern[j]) >= 0 && TryHexDigitValue(pattern[j]) < 10) {
            number = qMin<qint64>(qMax<qint64>(number, 0) * 10 + TryHexDigitValue(pattern[j]), kMaxFieldWidth + 1);
            ++j;
        }
        return number; // -1: no digits
    };

    QString out;
    for (qsizetype i = 0; i < n; ++i) {
        if (pattern[i] != u'%') {
            out += pattern[i];
            continue;
        }
        qsizetype j = i + 1;
        if (j < n && pattern[j] == u'%') {
            out += u'%';
            i = j;
            continue;
        }
        // "%0:s" names the one argument there is; any other index needs one more.
        qsizetype k = j;
        const qint64 index = digits(k);
        if (index >= 0 && k < n && pattern[k] == u':') {
            if (index != 0)
                return std::nullopt;
            j = k + 1;
        }
        bool left = false;
        if (j < n && pattern[j] == u'-') {
            left = true;
            ++j;
        }
        if (j < n && pattern[j] == u'*')
            return std::nullopt; // the width would be a second, integer argument
        const qint64 width = digits(j);
        qint64 precision = -1;
        if (j < n && pattern[j] == u'.') {
            ++j;
            if (j < n && pattern[j] == u'*')
                return std::nullopt;
            precision = qMax<qint64>(0, digits(j));
        }
        if (width > kMaxFieldWidth || j >= n || (pattern[j] != u's' && pattern[j] != u'S'))
            return std::nullopt; // not a conversion one string can fill
        QString field = precision >= 0 ? value.left(precision) : value;
        if (field.size() < width)
            field = left ? field.leftJustified(width) : field.rightJustified(width);
        out += field;
        i = j;
    }
    return out;
}
