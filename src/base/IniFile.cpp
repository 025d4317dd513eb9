#include "base/IniFile.h"

#include <QFile>
#include <QStringDecoder>

namespace {

QString fold(const QString &s)
{
    return s.toCaseFolded();
}

// Strips characters of code 32 and below at both ends (blanks, tabs, CR, control bytes).
QString stripLow(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32)
        ++b;
    while (e > b && s[e - 1].unicode() <= 32)
        --e;
    return s.mid(b, e - b).toString();
}

// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeCp1252(const QByteArray &bytes)
{
    QString out;
    out.resize(bytes.size());
    QChar *d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        d[i] = (b >= 0x80 && b <= 0x9F) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return out;
}

QString decodeWith(QStringConverter::Encoding enc, QByteArrayView bytes)
{
    QStringDecoder dec(enc, QStringConverter::Flag::Stateless);
    return dec.decode(bytes);
}

} // namespace

QString IniFile::decode(const QByteArray &bytes, TextRule rule)
{
    const auto *u = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    if (n >= 4 && u[0] == 0xFF && u[1] == 0xFE && u[2] == 0 && u[3] == 0)
        return decodeWith(QStringConverter::Utf32LE, QByteArrayView(bytes).sliced(4));
    if (n >= 4 && u[0] == 0 && u[1] == 0 && u[2] == 0xFE && u[3] == 0xFF)
        return decodeWith(QStringConverter::Utf32BE, QByteArrayView(bytes).sliced(4));
    if (n >= 2 && u[0] == 0xFF && u[1] == 0xFE)
        return decodeWith(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2));
    if (n >= 2 && u[0] == 0xFE && u[1] == 0xFF)
        return decodeWith(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2));
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    // A UTF-8 BOM declares the encoding: a damaged byte further on becomes a replacement
    // character in its own line instead of turning the whole file (BOM included) into
    // Windows-1252, which would glue the BOM to the first section header.
    if (n >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF)
        return utf8.decode(QByteArrayView(bytes).sliced(3));
    QString text = utf8.decode(bytes);
    if (!utf8.hasError() || rule == TextRule::Utf8)
        return text;
    return decodeCp1252(bytes);
}

bool IniFile::load(const QString &path, TextRule rule)
{
    clear();
    m_fileName = path;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return false;
    parse(bytes, rule);
    return true;
}

void IniFile::parse(const QByteArray &bytes, TextRule rule)
{
    parseText(decode(bytes, rule));
}

void IniFile::clear()
{
    m_sections.clear();
    m_sectionIndex.clear();
}

void IniFile::parseText(const QString &text)
{
    clear();
    Section *current = nullptr; // nullptr before the first section and inside a repeated one
    const QChar *p = text.constData();
    const qsizetype n = text.size();
    qsizetype start = 0;
    // A BOM left in the text (a file saved twice by an editor that adds one, or text handed
    // in directly) is not part of the first line.
    while (start < n && p[start] == QChar(0xFEFF))
        ++start;
    while (start <= n) {
        qsizetype end = start;
        while (end < n && p[end] != u'\n' && p[end] != u'\r')
            ++end;
        const QString line = stripLow(QStringView(p + start, end - start));
        // CR LF, LF and a lone CR all end a line.
        qsizetype next = end + 1;
        if (end < n && p[end] == u'\r' && end + 1 < n && p[end + 1] == u'\n')
            ++next;
        start = next;

        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']') && line.size() >= 2) {
            const QString name = stripLow(QStringView(line).mid(1, line.size() - 2));
            const QString key = fold(name);
            if (m_sectionIndex.contains(key)) {
                current = nullptr;
            } else {
                m_sectionIndex.insert(key, m_sections.size());
                m_sections.append(Section{name, {}, {}});
                current = &m_sections.last();
            }
            continue;
        }
        if (!current)
            continue;
        Entry e;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) {
            e.value = line;
            e.line = line;
        } else {
            e.key = stripLow(QStringView(line).left(eq));
            e.value = stripLow(QStringView(line).mid(eq + 1));
            e.line = e.key + u'=' + e.value;
            e.hasEquals = true;
            const QString fk = fold(e.key);
            if (!current->firstOfKey.contains(fk))
                current->firstOfKey.insert(fk, current->entries.size());
        }
        current->entries.append(std::move(e));
    }
}

const IniFile::Section *IniFile::find(const QString &section) const
{
    const auto it = m_sectionIndex.constFind(fold(section));
    return it == m_sectionIndex.cend() ? nullptr : &m_sections[*it];
}

bool IniFile::sectionExists(const QString &section) const
{
    return find(section) != nullptr;
}

QStringList IniFile::sectionNames() const
{
    QStringList names;
    for (const Section &s : m_sections)
        names.append(s.name);
    return names;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const Section *s = find(section);
    if (!s)
        return defaultValue;
    const auto it = s->firstOfKey.constFind(fold(key));
    return it == s->firstOfKey.cend() ? defaultValue : s->entries[*it].value;
}

bool IniFile::valueExists(const QString &section, const QString &key) const
{
    const Section *s = find(section);
    return s && s->firstOfKey.contains(fold(key));
}

QStringList IniFile::sectionLines(const QString &section) const
{
    QStringList lines;
    if (const Section *s = find(section)) {
        lines.reserve(s->entries.size());
        for (const Entry &e : s->entries)
            lines.append(e.line);
    }
    return lines;
}

QStringList IniFile::sectionKeys(const QString &section) const
{
    QStringList keys;
    if (const Section *s = find(section))
        for (const Entry &e : s->entries)
            if (e.hasEquals)
                keys.append(e.key);
    return keys;
}

const QList<IniFile::Entry> *IniFile::entries(const QString &section) const
{
    const Section *s = find(section);
    return s ? &s->entries : nullptr;
}
