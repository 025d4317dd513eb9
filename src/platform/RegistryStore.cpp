#include "platform/RegistryStore.h"

#include "base/FileReplace.h"
#include "platform/ConfigPaths.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QMutex>
#include <QStringDecoder>
#include <QThread>
#include <QtDebug>

#include <algorithm>

// The store is one small text file in the registry export syntax:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\software\Kellerbrand\Torvane\Serial]
//   "PortNumber"="COM3"
//   "Checked"=dword:00000001
//   "WindowPosSize"=hex:0a,00,00,00,...,<backslash>
//     14,00,00,00              (hex data continues on lines ending in a backslash)
//
// It is written in UTF-8. Strings that contain control characters (line breaks, tabs) or
// unpaired surrogates are written as hex(1): (UTF-16LE, NUL-terminated), the export form of
// a string value that cannot be quoted on one line; they read back as strings. A NUL ends a
// stored string, so no name or string may contain one: it is refused when written and a
// line that holds one is damage when read, whichever encoding the file has. Every write
// locks, re-reads, changes and replaces the file, so two running copies never lose each
// other's values; reads take no lock because the file is only ever replaced by a rename.

namespace {

using ValueType = RegistryStore::ValueType;

const QString kRootName = QStringLiteral("HKEY_CURRENT_USER");
const QByteArray kHeader = "Windows Registry Editor Version 5.00";

// A writer that holds the lock longer than this is taken for hung or gone; a write is a
// few milliseconds, so this leaves ample room for a slow disk. A holder that died is
// recognised at once by its process id, without waiting for this.
constexpr int kStaleLockMs = 10000;
// How long a write waits for the lock before it gives up (longer than the stale time, so a
// hung holder is overtaken rather than failing the write).
constexpr int kLockWaitMs = 15000;

// Limits that keep a hostile file from exhausting memory and keep every value we write
// readable again. They follow the registry's own limits where it has them.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;
constexpr qsizetype kMaxLineBytes = 8 * 1024 * 1024;
constexpr qsizetype kMaxKeyNameChars = 255;
constexpr qsizetype kMaxValueNameChars = 16383;
constexpr qsizetype kMaxStringChars = 512 * 1024;
constexpr qsizetype kMaxBinaryBytes = 1024 * 1024;

struct Value
{
    QString name;
    ValueType type = ValueType::None;
    QString text;
    quint32 dword = 0;
    QByteArray bytes;
};

// Names compare without regard to letter case; this is the form they are looked up by.
QString foldedName(const QString &name)
{
    return name.toCaseFolded();
}

// Look-ups go through a hash so that reading a file with many keys or values stays one pass;
// the hash is rebuilt after a removal.
struct Key
{
    QStringList segments; // stored spelling, without the root

    const QList<Value> &values() const { return m_values; }
    int valueIndex(const QString &name) const
    {
        if (m_index.size() != m_values.size()) {
            m_index.clear();
            for (int i = 0; i < m_values.size(); ++i)
                m_index.insert(foldedName(m_values[i].name), i);
        }
        return m_index.value(foldedName(name), -1);
    }
    // Adds the value or replaces the one of the same name, whose spelling stays.
    void put(Value value)
    {
        const int i = valueIndex(value.name);
        if (i >= 0) {
            value.name = m_values[i].name;
            m_values[i] = std::move(value);
        } else {
            m_index.insert(foldedName(value.name), int(m_values.size()));
            m_values.append(std::move(value));
        }
    }
    void removeValue(int i)
    {
        m_values.removeAt(i);
        m_index.clear();
    }

private:
    QList<Value> m_values;
    mutable QHash<QString, int> m_index; // folded name -> position; stale when sizes differ
};

bool sameSegments(const QStringList &a, const QStringList &b, qsizetype count)
{
    if (a.size() < count || b.size() < count)
        return false;
    for (qsizetype i = 0; i < count; ++i)
        if (a[i].compare(b[i], Qt::CaseInsensitive) != 0)
            return false;
    return true;
}

QString foldedPath(const QStringList &segments)
{
    return foldedName(segments.join(u'\\'));
}

struct Document
{
    QList<Key> keys;

    int keyIndex(const QStringList &segments) const
    {
        if (m_index.size() != keys.size()) {
            m_index.clear();
            for (int i = 0; i < keys.size(); ++i)
                m_index.insert(foldedPath(keys[i].segments), i);
        }
        return m_index.value(foldedPath(segments), -1);
    }
    qsizetype removeKeyTree(const QStringList &segments) // the key with its subkeys
    {
        const qsizetype removed =
            keys.removeIf([&](const Key &k) { return sameSegments(k.segments, segments, segments.size()); });
        m_index.clear();
        return removed;
    }
    const Key *findKey(const QStringList &segments) const
    {
        const int i = keyIndex(segments);
        return i < 0 ? nullptr : &keys[i];
    }
    const Value *findValue(const QStringList &segments, const QString &name) const
    {
        const Key *key = findKey(segments);
        if (!key)
            return nullptr;
        const int i = key->valueIndex(name);
        return i < 0 ? nullptr : &key->values()[i];
    }
    // The key with its ancestors, created where missing; existing keys keep their spelling.
    Key &ensureKey(const QStringList &segments)
    {
        QStringList spelled;
        int index = keyIndex({});
        if (segments.isEmpty() && index < 0)
            index = append(Key{});
        for (qsizetype depth = 1; depth <= segments.size(); ++depth) {
            const QStringList prefix = segments.mid(0, depth);
            index = keyIndex(prefix);
            if (index < 0) {
                Key key;
                key.segments = spelled + QStringList{segments[depth - 1]};
                index = append(std::move(key));
            }
            spelled = keys[index].segments;
        }
        return keys[index];
    }

private:
    int append(Key key)
    {
        keyIndex({}); // brings the index up to date first
        m_index.insert(foldedPath(key.segments), int(keys.size()));
        keys.append(std::move(key));
        return int(keys.size()) - 1;
    }
    mutable QHash<QString, int> m_index; // folded path -> position; stale when sizes differ
};

// ---- reading --------------------------------------------------------------------------

// Reads a quoted text starting at text[pos] == '"'; handles \\ and \" (any other backslash
// stays as it is, as a hand-edited file may have it). Returns the position after the
// closing quote, or -1 when the text ends first.
qsizetype parseQuoted(const QString &text, qsizetype pos, QString *out)
{
    out->clear();
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"')
            return i + 1;
        if (c == u'\\' && i + 1 < text.size() && (text[i + 1] == u'\\' || text[i + 1] == u'"')) {
            out->append(text[++i]);
            continue;
        }
        out->append(c);
    }
    return -1;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// "01,02, ff" -> bytes; every byte exactly two hex digits, so a cut-off line is noticed.
bool parseHexList(QStringView list, QByteArray *out)
{
    out->clear();
    if (list.trimmed().isEmpty())
        return true;
    for (QStringView item : list.split(u',')) {
        item = item.trimmed();
        if (item.size() != 2)
            return false;
        const int hi = hexDigit(item[0]), lo = hexDigit(item[1]);
        if (hi < 0 || lo < 0)
            return false;
        out->append(char(hi * 16 + lo));
    }
    return true;
}

bool isHexContinuation(QStringView line)
{
    for (QChar c : line)
        if (hexDigit(c) < 0 && c != u',' && c != u' ' && c != u'\t' && c != u'\\')
            return false;
    return true;
}

QString utf16leToString(const QByteArray &bytes, bool *ok)
{
    *ok = bytes.size() % 2 == 0;
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text.append(QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8))));
    while (text.endsWith(QChar(0))) // the terminator of the stored string
        text.chop(1);
    return text;
}

// What a value must satisfy to be written; what is read is held to the same, so that a
// file we accepted is never written back in a form the next read calls damaged.
QString checkKey(const QStringList &segments);
QString checkValueName(const QString &name);
QString checkData(const Value &value);

struct Parsed
{
    Document doc;
    bool exists = false;     // there was a file
    bool readFailed = false; // the file exists but could not be read at all
    QString error;           // first damage found, with a count of the others
};

class Parser
{
public:
    Parser(const QString &fileName, Parsed &result) : m_fileName(fileName), m_result(result) {}

    void parse(const QByteArray &bytes)
    {
        const QStringList lines = splitLines(bytes);
        Key *current = nullptr;
        bool skipping = false; // inside a key we could not read: its values are not ours
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const qsizetype lineNo = i + 1;
            if (m_badLines.contains(lineNo)) {
                damage(lineNo, m_badLines.value(lineNo));
                continue;
            }
            const QString line = lines[i].trimmed();
            if (line.isEmpty() || line.startsWith(u';'))
                continue;
            if (i == m_firstTextLine && (line == QLatin1String(kHeader) || line == QLatin1String("REGEDIT4")))
                continue;
            if (line.startsWith(u'[')) {
                current = nullptr;
                skipping = true;
                QStringList segments;
                if (parseKeyLine(line, lineNo, &segments)) {
                    current = &m_result.doc.ensureKey(segments);
                    skipping = false;
                }
                continue;
            }
            // A value line; hex data may continue over further lines ending in "\".
            QString logical = line;
            while (logical.endsWith(u'\\') && i + 1 < lines.size() && !m_badLines.contains(i + 2)
                   && isHexContinuation(lines[i + 1]) && logical.size() < kMaxLineBytes) {
                logical.chop(1);
                logical += lines[++i].trimmed();
            }
            if (!current) {
                if (!skipping)
                    damage(lineNo, QStringLiteral("value outside of any key"));
                else
                    damage(lineNo, QStringLiteral("value of an unreadable key"));
                continue;
            }
            Value value;
            QString why;
            if (!parseValueLine(logical, &value, &why)) {
                damage(lineNo, why);
                continue;
            }
            why = checkValueName(value.name);
            if (why.isEmpty())
                why = checkData(value);
            if (!why.isEmpty()) {
                damage(lineNo, why + QStringLiteral(" of value \"%1\"").arg(value.name.left(80)));
                continue;
            }
            current->put(std::move(value)); // a later line wins, as on import
        }
        if (m_extraDamage > 0)
            m_result.error += QStringLiteral(" (and %1 more damaged lines)").arg(m_extraDamage);
    }

private:
    QStringList splitLines(const QByteArray &bytes)
    {
        QStringList lines;
        if (bytes.startsWith("\xFF\xFE")) { // an export saved by the other platform's editor
            QStringDecoder decoder(QStringDecoder::Utf16LE);
            const QString text = decoder(bytes.mid(2));
            if (decoder.hasError())
                damage(0, QStringLiteral("not valid UTF-16 text"));
            lines = text.split(u'\n');
            for (qsizetype i = 0; i < lines.size(); ++i) {
                if (lines[i].endsWith(u'\r'))
                    lines[i].chop(1);
                if (lines[i].size() > kMaxLineBytes) {
                    m_badLines.insert(i + 1, QStringLiteral("line too long"));
                    lines[i].clear();
                } else if (lines[i].contains(QChar(0))) { // as in the UTF-8 form: not text
                    m_badLines.insert(i + 1, QStringLiteral("not text"));
                    lines[i].clear();
                }
            }
        } else {
            const qsizetype start = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
            qsizetype pos = start;
            while (pos <= bytes.size()) {
                qsizetype end = bytes.indexOf('\n', pos);
                if (end < 0)
                    end = bytes.size();
                QByteArrayView raw(bytes.constData() + pos, end - pos);
                if (raw.endsWith('\r'))
                    raw.chop(1);
                const qsizetype lineNo = lines.size() + 1;
                if (raw.size() > kMaxLineBytes) {
                    m_badLines.insert(lineNo, QStringLiteral("line too long"));
                    lines.append(QString());
                } else {
                    QStringDecoder decoder(QStringDecoder::Utf8);
                    QString text = decoder(raw);
                    if (decoder.hasError() || text.contains(QChar(0))) {
                        m_badLines.insert(lineNo, QStringLiteral("not text"));
                        text.clear();
                    }
                    lines.append(text);
                }
                if (end == bytes.size())
                    break;
                pos = end + 1;
            }
        }
        m_firstTextLine = 0;
        while (m_firstTextLine < lines.size() && lines[m_firstTextLine].trimmed().isEmpty()
               && !m_badLines.contains(m_firstTextLine + 1))
            ++m_firstTextLine;
        return lines;
    }

    bool parseKeyLine(const QString &line, qsizetype lineNo, QStringList *segments)
    {
        if (!line.endsWith(u']') || line.size() < 2) {
            damage(lineNo, QStringLiteral("key line without closing bracket"));
            return false;
        }
        const QString path = line.mid(1, line.size() - 2);
        QStringList parts = path.split(u'\\', Qt::SkipEmptyParts);
        if (parts.isEmpty() || parts.first().compare(kRootName, Qt::CaseInsensitive) != 0) {
            damage(lineNo, QStringLiteral("key outside of %1: %2").arg(kRootName, path.left(80)));
            return false;
        }
        parts.removeFirst();
        if (const QString why = checkKey(parts); !why.isEmpty()) {
            damage(lineNo, why);
            return false;
        }
        *segments = parts;
        return true;
    }

    static bool parseValueLine(const QString &line, Value *value, QString *why)
    {
        qsizetype pos = 0;
        if (line.startsWith(u'@')) {
            pos = 1;
        } else if (line.startsWith(u'"')) {
            pos = parseQuoted(line, 0, &value->name);
            if (pos < 0) {
                *why = QStringLiteral("value name without closing quote");
                return false;
            }
        } else {
            *why = QStringLiteral("not a value line");
            return false;
        }
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != u'=') {
            *why = QStringLiteral("no \"=\" after value name \"%1\"").arg(value->name.left(80));
            return false;
        }
        ++pos;
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        const QStringView data = QStringView(line).mid(pos);
        const QString named = QStringLiteral(" of value \"%1\"").arg(value->name.left(80));

        if (data.startsWith(u'"')) {
            const qsizetype end = parseQuoted(line, pos, &value->text);
            if (end < 0 || !QStringView(line).mid(end).trimmed().isEmpty()) {
                *why = QStringLiteral("cut-off string") + named;
                return false;
            }
            value->type = ValueType::String;
            return true;
        }
        if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            const QStringView digits = data.mid(6).trimmed();
            bool ok = digits.size() == 8;
            for (QChar c : digits)
                ok = ok && hexDigit(c) >= 0;
            if (!ok) {
                *why = QStringLiteral("bad dword data") + named;
                return false;
            }
            value->dword = digits.toUInt(nullptr, 16);
            value->type = ValueType::DWord;
            return true;
        }
        QStringView hexType;
        QStringView list;
        if (data.startsWith(QLatin1String("hex:"), Qt::CaseInsensitive)) {
            list = data.mid(4);
        } else if (data.startsWith(QLatin1String("hex("), Qt::CaseInsensitive)) {
            const qsizetype close = data.indexOf(QLatin1String("):"));
            if (close < 0) {
                *why = QStringLiteral("bad hex type") + named;
                return false;
            }
            hexType = data.mid(4, close - 4);
            list = data.mid(close + 2);
        } else {
            *why = QStringLiteral("unknown data type") + named;
            return false;
        }
        QByteArray bytes;
        if (!parseHexList(list, &bytes) || bytes.size() > kMaxBinaryBytes * 2) {
            *why = QStringLiteral("bad hex data") + named;
            return false;
        }
        if (hexType.isNull()) {
            value->bytes = bytes;
            value->type = ValueType::Binary;
            return true;
        }
        if (hexType.compare(QLatin1String("1")) == 0) { // a string in its UTF-16 form
            bool ok = false;
            value->text = utf16leToString(bytes, &ok);
            if (!ok) {
                *why = QStringLiteral("odd length of UTF-16 string") + named;
                return false;
            }
            value->type = ValueType::String;
            return true;
        }
        if (hexType.compare(QLatin1String("4")) == 0 && bytes.size() == 4) { // a dword, little-endian
            value->dword = quint8(bytes[0]) | quint32(quint8(bytes[1])) << 8 | quint32(quint8(bytes[2])) << 16
                           | quint32(quint8(bytes[3])) << 24;
            value->type = ValueType::DWord;
            return true;
        }
        *why = QStringLiteral("unsupported value type hex(%1)").arg(hexType.left(8)) + named;
        return false;
    }

    void damage(qsizetype lineNo, const QString &why)
    {
        if (!m_result.error.isEmpty()) {
            ++m_extraDamage;
            return;
        }
        m_result.error = lineNo > 0 ? QStringLiteral("%1 line %2: %3").arg(m_fileName).arg(lineNo).arg(why)
                                    : QStringLiteral("%1: %2").arg(m_fileName, why);
    }

    QString m_fileName;
    Parsed &m_result;
    QHash<qsizetype, QString> m_badLines; // 1-based line number -> why it is not usable
    qsizetype m_firstTextLine = 0;
    int m_extraDamage = 0;
};

// Damage of one file is logged once per distinct message, not on every read.
void warnOnce(const QString &path, const QString &message)
{
    static QMutex mutex;
    static QHash<QString, QString> lastWarned;
    QMutexLocker locker(&mutex);
    if (lastWarned.value(path) == message)
        return;
    lastWarned.insert(path, message);
    qWarning().noquote() << "Settings store:" << message;
}

Parsed load(const QString &path)
{
    Parsed result;
    QFile file(path);
    if (!file.exists())
        return result;
    result.exists = true;
    const QString shownName = QFileInfo(path).fileName();
    if (!file.open(QIODevice::ReadOnly)) {
        result.readFailed = true;
        result.error = QStringLiteral("%1: cannot be read: %2").arg(shownName, file.errorString());
    } else if (file.size() > kMaxFileBytes) {
        result.error = QStringLiteral("%1: too large for a settings file (%2 bytes), ignored")
                           .arg(shownName)
                           .arg(file.size());
    } else {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            result.readFailed = true;
            result.error = QStringLiteral("%1: cannot be read: %2").arg(shownName, file.errorString());
        } else {
            Parser(shownName, result).parse(bytes);
        }
    }
    if (!result.error.isEmpty())
        warnOnce(path, result.error);
    return result;
}

// ---- writing --------------------------------------------------------------------------

QString quoted(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out.append(u'"');
    for (QChar c : text) {
        if (c == u'\\' || c == u'"')
            out.append(u'\\');
        out.append(c);
    }
    out.append(u'"');
    return out;
}

// A string that cannot stand on one quoted line unchanged.
bool needsHexForm(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            return true;
    }
    return false;
}

// hex data wrapped like the registry editor does: about 80 columns, "\" at the end.
void appendHex(QByteArray &out, qsizetype prefixLength, const QByteArray &bytes)
{
    qsizetype column = prefixLength;
    static const char digits[] = "0123456789abcdef";
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            out.append(',');
            ++column;
            if (column > 76) {
                out.append("\\\n  ");
                column = 2;
            }
        }
        out.append(digits[quint8(bytes[i]) >> 4]).append(digits[quint8(bytes[i]) & 15]);
        column += 2;
    }
}

QByteArray serialise(Document doc)
{
    std::stable_sort(doc.keys.begin(), doc.keys.end(), [](const Key &a, const Key &b) {
        const qsizetype n = std::min(a.segments.size(), b.segments.size());
        for (qsizetype i = 0; i < n; ++i) {
            const int c = a.segments[i].compare(b.segments[i], Qt::CaseInsensitive);
            if (c != 0)
                return c < 0;
        }
        return a.segments.size() < b.segments.size();
    });
    QByteArray out = kHeader + "\n";
    for (const Key &key : std::as_const(doc.keys)) {
        if (key.segments.isEmpty() && key.values().isEmpty())
            continue;
        out += "\n[" + QStringList(QStringList{kRootName} + key.segments).join(u'\\').toUtf8() + "]\n";
        for (const Value &value : key.values()) {
            QByteArray line = value.name.isEmpty() ? QByteArray("@") : quoted(value.name).toUtf8();
            line += '=';
            switch (value.type) {
            case ValueType::String:
                if (needsHexForm(value.text)) {
                    line += "hex(1):";
                    QByteArray utf16;
                    for (QChar c : value.text)
                        utf16.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
                    utf16.append('\0').append('\0');
                    appendHex(line, line.size(), utf16);
                } else {
                    line += quoted(value.text).toUtf8();
                }
                break;
            case ValueType::DWord:
                line += "dword:" + QByteArray::number(value.dword, 16).rightJustified(8, '0');
                break;
            case ValueType::Binary:
            case ValueType::None:
                line += "hex:";
                appendHex(line, line.size(), value.bytes);
                break;
            }
            out += line + '\n';
        }
    }
    return out;
}

// The damaged file is kept beside the store before the first write replaces it, so what
// could not be read is not lost.
QString keepDamagedCopy(const QString &path)
{
    QFile damaged(path);
    if (!damaged.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = damaged.readAll();
    if (damaged.error() != QFileDevice::NoError)
        return QString();
    const QString base = path + QStringLiteral(".damaged-")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 0; n < 100; ++n) {
        const QString candidate = n == 0 ? base : base + u'-' + QString::number(n);
        if (QFile::exists(candidate))
            continue;
        // The copy, too, only counts when all of it reached the disk.
        return replaceFileContents(candidate, bytes).isEmpty() ? candidate : QString();
    }
    return QString();
}

QStringList splitKey(const QString &key)
{
    return key.split(u'\\', Qt::SkipEmptyParts);
}

// Names are written as quoted UTF-8 on one line: no line breaks or other control
// characters, no unpaired surrogates (UTF-8 cannot carry them).
bool unwritableName(const QString &name)
{
    return needsHexForm(name);
}

QString checkKey(const QStringList &segments)
{
    for (const QString &segment : segments) {
        if (segment.size() > kMaxKeyNameChars)
            return QStringLiteral("key name longer than %1 characters").arg(kMaxKeyNameChars);
        if (segment.contains(QChar(0)))
            return QStringLiteral("key name with a NUL character");
        if (unwritableName(segment))
            return QStringLiteral("key name with control characters");
    }
    return QString();
}

QString checkValueName(const QString &name)
{
    if (name.size() > kMaxValueNameChars)
        return QStringLiteral("value name longer than %1 characters").arg(kMaxValueNameChars);
    if (name.contains(QChar(0)))
        return QStringLiteral("value name with a NUL character");
    if (unwritableName(name))
        return QStringLiteral("value name with control characters");
    return QString();
}

// QLockFile's own wait backs off from 100 ms upwards; a write of another copy takes a few
// milliseconds, so poll briefly instead and keep a colliding write fast.
bool acquire(QLockFile &lock)
{
    QElapsedTimer waited;
    waited.start();
    int pause = 2;
    while (!lock.tryLock(0)) { // also clears a lock left by a dead or hung writer
        if (lock.error() != QLockFile::LockFailedError || waited.elapsed() >= kLockWaitMs)
            return false;
        QThread::msleep(pause);
        pause = std::min(pause * 2, 50);
    }
    return true;
}

// Lock, re-read, change, replace, unlock. change() returns false (with a reason) when there
// is nothing to write; the file is then left as it is.
template<typename Change>
bool update(const QString &path, QString &error, Change change)
{
    error.clear();
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        error = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(kStaleLockMs);
    if (!acquire(lock)) {
        switch (lock.error()) {
        case QLockFile::LockFailedError:
            error = QStringLiteral("%1 is locked by another program").arg(info.fileName());
            break;
        case QLockFile::PermissionError:
            error = QStringLiteral("no permission to lock %1").arg(info.fileName());
            break;
        default:
            error = QStringLiteral("cannot lock %1").arg(info.fileName());
            break;
        }
        return false;
    }
    Parsed parsed = load(path);
    if (parsed.readFailed) { // never replace what we could not even read
        error = parsed.error;
        return false;
    }
    if (!change(parsed.doc, error))
        return false;

    QString note;
    if (!parsed.error.isEmpty()) {
        const QString copy = keepDamagedCopy(path);
        if (copy.isEmpty()) {
            error = parsed.error + QStringLiteral("; the damaged file could not be copied aside, not written");
            return false;
        }
        note = parsed.error + QStringLiteral("; the damaged file was kept as ") + QFileInfo(copy).fileName();
        qWarning().noquote() << "Settings store:" << note;
    }

    const QString failure = replaceFileContents(path, serialise(parsed.doc));
    if (!failure.isEmpty()) {
        error = failure;
        return false;
    }
    error = note;
    return true;
}

} // namespace

RegistryStore::RegistryStore(const QString &filePath) : m_filePath(filePath) {}

QString RegistryStore::userFilePath()
{
    return ConfigPaths::programConfigDir() + QStringLiteral("/registry.reg");
}

RegistryStore RegistryStore::user()
{
    return RegistryStore(userFilePath());
}

bool RegistryStore::keyExists(const QString &key) const
{
    const QStringList segments = splitKey(key);
    const Parsed parsed = load(m_filePath);
    m_lastError = parsed.error;
    return segments.isEmpty() || parsed.doc.findKey(segments);
}

bool RegistryStore::createKey(const QString &key)
{
    const QStringList segments = splitKey(key);
    if (const QString why = checkKey(segments); !why.isEmpty()) {
        m_lastError = why;
        return false;
    }
    if (keyExists(key))
        return true;
    bool alreadyThere = false; // another copy may have created it meanwhile
    const bool ok = update(m_filePath, m_lastError, [&](Document &doc, QString &) {
        alreadyThere = doc.findKey(segments);
        doc.ensureKey(segments);
        return !alreadyThere;
    });
    return ok || alreadyThere;
}

bool RegistryStore::deleteKey(const QString &key)
{
    const QStringList segments = splitKey(key);
    if (segments.isEmpty()) {
        m_lastError = QStringLiteral("the root key cannot be deleted");
        return false;
    }
    return update(m_filePath, m_lastError, [&](Document &doc, QString &error) {
        const auto removed = doc.removeKeyTree(segments);
        if (removed == 0)
            error = QStringLiteral("key %1 not found").arg(key);
        return removed > 0;
    });
}

QStringList RegistryStore::valueNames(const QString &key) const
{
    const Parsed parsed = load(m_filePath);
    m_lastError = parsed.error;
    QStringList names;
    if (const Key *k = parsed.doc.findKey(splitKey(key)))
        for (const Value &value : k->values())
            names.append(value.name);
    return names;
}

QStringList RegistryStore::subKeys(const QString &key) const
{
    const QStringList segments = splitKey(key);
    const Parsed parsed = load(m_filePath);
    m_lastError = parsed.error;
    QStringList names;
    for (const Key &k : parsed.doc.keys)
        if (k.segments.size() == segments.size() + 1 && sameSegments(k.segments, segments, segments.size()))
            names.append(k.segments.last());
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

bool RegistryStore::valueExists(const QString &key, const QString &name) const
{
    return valueType(key, name) != ValueType::None;
}

RegistryStore::ValueType RegistryStore::valueType(const QString &key, const QString &name) const
{
    const Parsed parsed = load(m_filePath);
    m_lastError = parsed.error;
    const Value *value = parsed.doc.findValue(splitKey(key), name);
    return value ? value->type : ValueType::None;
}

bool RegistryStore::deleteValue(const QString &key, const QString &name)
{
    const QStringList segments = splitKey(key);
    return update(m_filePath, m_lastError, [&](Document &doc, QString &error) {
        const int k = doc.keyIndex(segments);
        const int v = k < 0 ? -1 : doc.keys[k].valueIndex(name);
        if (v < 0) {
            error = QStringLiteral("value \"%1\" not found in %2").arg(name, key);
            return false;
        }
        doc.keys[k].removeValue(v);
        return true;
    });
}

namespace {
template<typename T, typename Get>
std::optional<T> readTyped(const QString &path, QString &lastError, const QString &key, const QString &name,
                           ValueType wanted, Get get)
{
    const Parsed parsed = load(path);
    lastError = parsed.error;
    const Value *value = parsed.doc.findValue(splitKey(key), name);
    if (!value || value->type != wanted)
        return std::nullopt;
    return get(*value);
}

QString checkData(const Value &value)
{
    if (value.type == ValueType::String && value.text.size() > kMaxStringChars)
        return QStringLiteral("string longer than %1 characters").arg(kMaxStringChars);
    // A stored string ends at its first NUL; one inside would be cut off by every reader.
    if (value.type == ValueType::String && value.text.contains(QChar(0)))
        return QStringLiteral("string with a NUL character");
    if (value.type == ValueType::Binary && value.bytes.size() > kMaxBinaryBytes)
        return QStringLiteral("binary value larger than %1 bytes").arg(kMaxBinaryBytes);
    return QString();
}

QString checkWrite(const QStringList &segments, const Value &value)
{
    QString why = checkKey(segments);
    if (why.isEmpty())
        why = checkValueName(value.name);
    if (why.isEmpty())
        why = checkData(value);
    return why;
}

void putValue(Document &doc, const QStringList &segments, Value value)
{
    doc.ensureKey(segments).put(std::move(value)); // the first spelling of the name stays
}

bool writeValue(const QString &path, QString &lastError, const QString &key, const Value &value)
{
    const QStringList segments = splitKey(key);
    if (const QString why = checkWrite(segments, value); !why.isEmpty()) {
        lastError = why;
        return false;
    }
    return update(path, lastError, [&](Document &doc, QString &) {
        putValue(doc, segments, value);
        return true;
    });
}
} // namespace

std::optional<QString> RegistryStore::readString(const QString &key, const QString &name) const
{
    return readTyped<QString>(m_filePath, m_lastError, key, name, ValueType::String,
                              [](const Value &v) { return v.text; });
}

std::optional<quint32> RegistryStore::readDWord(const QString &key, const QString &name) const
{
    return readTyped<quint32>(m_filePath, m_lastError, key, name, ValueType::DWord,
                              [](const Value &v) { return v.dword; });
}

std::optional<QByteArray> RegistryStore::readBinary(const QString &key, const QString &name) const
{
    return readTyped<QByteArray>(m_filePath, m_lastError, key, name, ValueType::Binary,
                                 [](const Value &v) { return v.bytes; });
}

bool RegistryStore::writeString(const QString &key, const QString &name, const QString &value)
{
    return writeValue(m_filePath, m_lastError, key, Value{name, ValueType::String, value, 0, {}});
}

bool RegistryStore::writeDWord(const QString &key, const QString &name, quint32 value)
{
    return writeValue(m_filePath, m_lastError, key, Value{name, ValueType::DWord, {}, value, {}});
}

bool RegistryStore::writeBinary(const QString &key, const QString &name, const QByteArray &value)
{
    return writeValue(m_filePath, m_lastError, key, Value{name, ValueType::Binary, {}, 0, value});
}

bool RegistryStore::apply(const Batch &batch)
{
    for (const Batch::Op &op : batch.m_ops) {
        const QStringList segments = splitKey(op.key);
        QString why = op.kind == Batch::Op::Write ? checkWrite(segments, Value{op.name, op.type, op.text, op.dword, op.bytes})
                                                  : checkKey(segments);
        if (why.isEmpty() && op.kind == Batch::Op::DeleteKey && segments.isEmpty())
            why = QStringLiteral("the root key cannot be deleted");
        if (!why.isEmpty()) {
            m_lastError = why;
            return false;
        }
    }
    if (batch.isEmpty()) {
        m_lastError.clear();
        return true;
    }
    return update(m_filePath, m_lastError, [&](Document &doc, QString &) {
        for (const Batch::Op &op : batch.m_ops) {
            const QStringList segments = splitKey(op.key);
            switch (op.kind) {
            case Batch::Op::CreateKey:
                doc.ensureKey(segments);
                break;
            case Batch::Op::DeleteKey:
                doc.removeKeyTree(segments);
                break;
            case Batch::Op::DeleteValue:
                if (const int k = doc.keyIndex(segments); k >= 0) {
                    if (const int v = doc.keys[k].valueIndex(op.name); v >= 0)
                        doc.keys[k].removeValue(v);
                }
                break;
            case Batch::Op::Write:
                putValue(doc, segments, Value{op.name, op.type, op.text, op.dword, op.bytes});
                break;
            }
        }
        return true;
    });
}
