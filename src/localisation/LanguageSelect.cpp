#include "localisation/LanguageSelect.h"

#include "base/IniFile.h"
#include "base/TextHelpers.h"
#include "platform/ConfigPaths.h"
#include "platform/LocaleId.h"
#include "platform/RegistryStore.h"

#include <QCoreApplication>
#include <QDir>

#include <atomic>

namespace {

const QString kTranslations = QStringLiteral("translations");
const QString kUserLangs = QStringLiteral("userLangs");
const QString kEnglish = QStringLiteral("english");

QString fold(const QString &key)
{
    return key.toCaseFolded();
}

} // namespace

LanguageSelect::LanguageSelect(const QString &cregistryPath)
    : registryPath(cregistryPath)
{
}

void LanguageSelect::setLangDir(const QString &dir)
{
    m_langDir = dir;
}

QString LanguageSelect::langDir() const
{
    if (!m_langDir.isEmpty())
        return m_langDir;
    // Resolved on use: the service may be created before the application object exists.
    if (!QCoreApplication::instance())
        return QStringLiteral("lang");
    return ConfigPaths::programDataDir(QStringLiteral("lang"));
}

bool LanguageSelect::initLangs()
{
    // Sorted by file name so that the menu order, and which of two files of one language
    // wins, do not depend on the file system. The pattern is matched case-sensitively
    // because the file is later opened under the rebuilt name "<language>_<locale>.ini".
    QDir dir(langDir());
    dir.setFilter(QDir::Files | QDir::CaseSensitive);
    dir.setNameFilters({QStringLiteral("*_*_*.ini")});
    dir.setSorting(QDir::Name);
    const QStringList names = dir.entryList();
    for (const QString &name : names) {
        const qsizetype underscore = name.indexOf(u'_');
        const qsizetype ext = name.indexOf(QStringLiteral(".ini"));
        Flanguages.append(name.left(underscore));
        // A ".ini" before the first underscore ("a.ini_b_c.ini") leaves no locale.
        Flocales.append(ext > underscore ? name.mid(underscore + 1, ext - underscore - 1) : QString());
    }
    return !names.isEmpty();
}

QString LanguageSelect::mapUserDefaultLang()
{
    const int localeId = userDefaultLocaleId();
    IniFile map;
    map.load(QDir(langDir()).filePath(QStringLiteral("userlang2applang.ini")), IniFile::TextRule::Utf8);
    const QList<IniFile::Entry> *lines = map.entries(kUserLangs);
    if (!lines)
        return QString();
    QString result;
    for (const IniFile::Entry &line : *lines) {
        if (line.key.isEmpty())
            continue;
        int64_t id = 0;
        if (!TryDecimalValue(line.key, id))
            return QString(); // one bad number spoils the whole map
        if (id == localeId) {
            result = line.value;
            break;
        }
    }
    return result.isEmpty() ? kEnglish : result;
}

QString LanguageSelect::fileOf(const QString &lang, qsizetype index) const
{
    const QString locale = index < Flocales.size() ? Flocales.at(index) : QString();
    return QDir(langDir()).filePath(lang + u'_' + locale + QStringLiteral(".ini"));
}

bool LanguageSelect::loadTable(const QString &path, QStringList &keys, QStringList &values)
{
    IniFile file;
    file.load(path, IniFile::TextRule::Utf8); // language files are UTF-8 unless a BOM says otherwise
    const QList<IniFile::Entry> *entries = file.entries(kTranslations);
    if (!entries)
        return false;
    keys.reserve(entries->size());
    values.reserve(entries->size());
    for (const IniFile::Entry &e : *entries) {
        keys.append(e.key);
        values.append(e.value);
    }
    return true;
}

bool LanguageSelect::readDefaultLang()
{
    const QString name = mapUserDefaultLang();
    // An empty name (damaged map file) must not pick a file whose language part is empty.
    const qsizetype i = name.isEmpty() ? -1 : Flanguages.indexOf(name);
    QString path;
    if (i >= 0) {
        path = fileOf(name, i);
        defaultLangStr = name;
    } else {
        defaultLangStr = kEnglish;
        path = QDir(langDir()).filePath(QStringLiteral("english_en_gb.ini"));
    }
    defaultKeys.clear();
    defaultLang.clear();
    const bool found = loadTable(path, defaultKeys, defaultLang);
    m_defaultIndex.rebuild(defaultKeys);
    return found;
}

bool LanguageSelect::readFile(const QString &lang)
{
    if (lang.isEmpty())
        return false;
    currentKeys.clear();
    currentLang.clear();
    const qsizetype i = Flanguages.indexOf(lang);
    if (i < 0) {
        m_currentIndex.rebuild(currentKeys);
        return false;
    }
    loadTable(fileOf(lang, i), currentKeys, currentLang);
    m_currentIndex.rebuild(currentKeys);
    if (remembersChoice()) {
        // Every caption refresh passes here: only a new choice is worth a write to disk.
        RegistryStore store = RegistryStore::user();
        if (store.readString(registryPath, QStringLiteral("UserLang")).value_or(QString()) != lang)
            store.writeString(registryPath, QStringLiteral("UserLang"), lang);
    }
    return true;
}

namespace {
std::atomic<bool> g_remembersChoice{true};
}

void LanguageSelect::setRemembersChoice(bool on)
{
    g_remembersChoice = on;
}

bool LanguageSelect::remembersChoice()
{
    return g_remembersChoice;
}

void LanguageSelect::KeyIndex::rebuild(const QStringList &keys)
{
    builtFrom = keys;
    first.clear();
    first.reserve(keys.size());
    for (qsizetype i = 0; i < keys.size(); ++i) {
        // A line without "=" is kept with an empty key; it is damage, not the text of an
        // empty key (an empty hint key must not show such a line as a tool tip).
        if (keys.at(i).isEmpty())
            continue;
        const QString k = fold(keys.at(i));
        if (!first.contains(k)) // duplicates stay in the table; the first one answers
            first.insert(k, i);
    }
}

qsizetype LanguageSelect::KeyIndex::find(const QStringList &keys, const QString &key)
{
    if (keys.constData() != builtFrom.constData() || keys.size() != builtFrom.size())
        rebuild(keys);
    return first.value(fold(key), -1);
}

QString LanguageSelect::lookUp(KeyIndex &index, const QStringList &keys, const QStringList &values,
                               const QString &key, bool *found)
{
    const qsizetype i = index.find(keys, key);
    // The value list may have been changed by hand to a different length.
    *found = i >= 0 && i < values.size();
    return *found ? values.at(i) : QString();
}

QString LanguageSelect::translate(const QString &key) const
{
    bool found = false;
    QString text = lookUp(m_currentIndex, currentKeys, currentLang, key, &found);
    if (!found)
        text = lookUp(m_defaultIndex, defaultKeys, defaultLang, key, &found);
    if (!found)
        text = key;
    return expandLineBreaks(text);
}

const QStringList &LanguageSelect::blockKeys() const
{
    return currentKeys.isEmpty() ? defaultKeys : currentKeys;
}

const QStringList &LanguageSelect::blockValues() const
{
    return currentKeys.isEmpty() ? defaultLang : currentLang;
}

QStringList LanguageSelect::translateToList(const QString &startKey) const
{
    const QStringList &keys = blockKeys();
    const QStringList &values = blockValues();
    QStringList out;
    const qsizetype n = std::min(keys.size(), values.size());
    for (qsizetype i = 0; i < n; ++i)
        if (keys.at(i).startsWith(startKey, Qt::CaseSensitive))
            out.append(values.at(i));
    return out;
}

QString LanguageSelect::translateBlock(const QString &startKey) const
{
    return expandLineBreaks(translateToList(startKey).join(QString()));
}

QString LanguageSelect::expandLineBreaks(const QString &text)
{
    QString out = text;
    out.replace(QStringLiteral("#13#10"), QStringLiteral("\r\n"));
    return out;
}

void LanguageSelect::initCaptions(CaptionComponent *component, const QString &lang)
{
    readFile(lang.isEmpty() ? defaultLangStr : lang);
    if (!component)
        return;
    setCaption(component, translate(component->name()));
    const QList<CaptionComponent *> owned = component->ownedComponents();
    for (CaptionComponent *c : owned) {
        // Menu separators are named N1, N2, ...; their caption "-" must stay.
        if (!c || c->name().startsWith(u'N'))
            continue;
        setCaption(c, translate(c->name()));
    }
}

void LanguageSelect::setCaption(CaptionComponent *component, const QString &text)
{
    if (!component)
        return;
    switch (component->kind()) {
    case CaptionComponent::MenuItem:
    case CaptionComponent::CheckBox:
    case CaptionComponent::Panel:
    case CaptionComponent::TabSheet:
    case CaptionComponent::Label:
    case CaptionComponent::Form:
        // An empty caption is part of the window design (a label filled at run time).
        if (!component->caption().isEmpty())
            component->setCaptionText(text);
        break;
    case CaptionComponent::Other:
        break;
    }
}
