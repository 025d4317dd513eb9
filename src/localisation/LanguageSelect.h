#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// A window as the caption translation sees it: a named component with a caption, a kind
// and the components it owns. The Qt windows implement it over their widgets and actions;
// tests implement it with plain objects.
class CaptionComponent
{
public:
    enum Kind { MenuItem, CheckBox, Panel, TabSheet, Label, Form, Other };

    virtual ~CaptionComponent() = default;
    virtual QString name() const = 0;
    virtual QString caption() const = 0;
    virtual void setCaptionText(const QString &text) = 0;
    virtual Kind kind() const = 0;
    virtual QList<CaptionComponent *> ownedComponents() const = 0; // in ownership order
};

// The translation service: resolves translation keys against the language files in the
// program's "lang" directory, picks the fall-back language from the user's locale and
// remembers the language chosen last under "UserLang".
class LanguageSelect
{
public:
    // registryPath: the settings key, e.g. "\software\Kellerbrand\Torvane" (under the
    // current user's root; the root key of the original platform is implied).
    explicit LanguageSelect(const QString &cregistryPath = QStringLiteral("\\software\\Kellerbrand\\Torvane"));

    // Directory that holds the language files; defaults to "<program dir>/lang".
    void setLangDir(const QString &dir);
    QString langDir() const;

    bool initLangs();
    QString mapUserDefaultLang();
    bool readDefaultLang();
    bool readFile(const QString &lang);
    // Whether readFile remembers the language under "UserLang" for the next start (on by
    // default). The command line turns it off for its whole process: a language chosen there
    // is for that run only and must not change what the window starts with.
    static void setRemembersChoice(bool on);
    static bool remembersChoice();
    QString translate(const QString &key) const;
    QString translateBlock(const QString &startKey) const;
    QStringList translateToList(const QString &startKey) const;
    void initCaptions(CaptionComponent *component, const QString &lang);
    void setLanguages(const QStringList &langs) { Flanguages = langs; }
    void setLocales(const QStringList &locale) { Flocales = locale; }
    static QString expandLineBreaks(const QString &text);
    void setCaption(CaptionComponent *component, const QString &text);

    QString defaultLangStr = QStringLiteral("english");
    QStringList defaultLang;
    QStringList defaultKeys;
    QStringList currentLang;
    QStringList currentKeys;
    QStringList Flanguages;
    QStringList Flocales;
    QString registryPath;

private:
    // Case-insensitive index of the first entry of each key of one table, so that a look-up
    // costs one hash probe instead of a scan over ~1000 keys. It keeps a shallow copy of the
    // key list it was built from: the lists are public, and any change to them detaches them
    // from that copy, which makes the index rebuild itself on the next look-up.
    struct KeyIndex {
        QStringList builtFrom;
        QHash<QString, qsizetype> first;
        void rebuild(const QStringList &keys);
        qsizetype find(const QStringList &keys, const QString &key);
    };

    QString fileOf(const QString &lang, qsizetype index) const;
    static bool loadTable(const QString &path, QStringList &keys, QStringList &values);
    static QString lookUp(KeyIndex &index, const QStringList &keys, const QStringList &values,
                          const QString &key, bool *found);
    const QStringList &blockKeys() const;
    const QStringList &blockValues() const;

    QString m_langDir;
    mutable KeyIndex m_currentIndex;
    mutable KeyIndex m_defaultIndex;
};
