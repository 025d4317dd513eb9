#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The description file (and every language file) held in memory: sections, keys, values and
// the lines of each section in file order. Reading rules:
//  - each line is stripped of leading and trailing characters of code 32 and below;
//  - empty lines and lines starting with ";" are skipped;
//  - "[name]" opens a section; names compare without regard to letter case, and of two
//    sections with one name only the first is read;
//  - inside a section a line is split at its first "="; key and value are each stripped;
//    a line without "=" is kept whole (empty key, the line as value);
//  - key look-ups ignore letter case and find the first entry of that key.
// Text encoding: UTF-16/UTF-32 with BOM; UTF-8 with BOM (bytes that are not UTF-8 become
// U+FFFD). Without BOM, description files are valid UTF-8 or else read as Windows-1252, the
// code page they are written in (TextRule::Utf8OrWindows1252); language files are UTF-8
// whatever they hold (TextRule::Utf8). A BOM is never part of the first line.
class IniFile
{
public:
    struct Entry {
        QString key;   // stripped; empty for a line without "="
        QString value; // stripped; the whole line for a line without "="
        QString line;  // "key=value", or the whole line when it had no "="
        bool hasEquals = false;
    };

    enum class TextRule { Utf8OrWindows1252, Utf8 };

    IniFile() = default;

    // Reads the file. A missing or unreadable file reads as a file without sections;
    // the result says whether the file could be read.
    bool load(const QString &path, TextRule rule = TextRule::Utf8OrWindows1252);
    void parse(const QByteArray &bytes, TextRule rule = TextRule::Utf8OrWindows1252);
    void parseText(const QString &text);
    void clear();

    QString fileName() const { return m_fileName; }
    void setFileName(const QString &name) { m_fileName = name; }

    bool sectionExists(const QString &section) const;
    QStringList sectionNames() const;
    // Value of key in section, or defaultValue when either is missing.
    QString readString(const QString &section, const QString &key, const QString &defaultValue = QString()) const;
    bool valueExists(const QString &section, const QString &key) const;
    // The lines of a section in file order ("key=value" form); empty for a missing section.
    QStringList sectionLines(const QString &section) const;
    QStringList sectionKeys(const QString &section) const;
    // The entries of a section in file order; nullptr for a missing section.
    const QList<Entry> *entries(const QString &section) const;

    // Decodes file bytes with the encoding rules above.
    static QString decode(const QByteArray &bytes, TextRule rule = TextRule::Utf8OrWindows1252);

private:
    struct Section {
        QString name;
        QList<Entry> entries;
        QHash<QString, qsizetype> firstOfKey; // folded key -> index of its first entry
    };
    const Section *find(const QString &section) const;

    QString m_fileName;
    QList<Section> m_sections;
    QHash<QString, qsizetype> m_sectionIndex; // folded name -> index in m_sections
};
