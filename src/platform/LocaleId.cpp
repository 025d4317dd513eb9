#include "platform/LocaleId.h"

#include <QRegularExpression>
#include <QStringList>
#include <QtGlobal>

namespace {

struct LocaleEntry
{
    const char *name; // language_COUNTRY
    int id;
};

// The first entry of each language is the one a bare language ("de") stands for.
constexpr LocaleEntry kLocales[] = {
    {"de_DE", 1031}, {"de_CH", 2055}, {"de_AT", 3079}, {"de_LU", 4103}, {"de_LI", 5127},
    {"en_US", 1033}, {"en_GB", 2057}, {"en_AU", 3081}, {"en_CA", 4105}, {"en_NZ", 5129},
    {"en_IE", 6153}, {"en_ZA", 7177}, {"en_IN", 16393},
    {"fr_FR", 1036}, {"fr_BE", 2060}, {"fr_CA", 3084}, {"fr_CH", 4108}, {"fr_LU", 5132},
    {"it_IT", 1040}, {"it_CH", 2064},
    {"es_ES", 3082}, {"es_MX", 2058}, {"es_AR", 11274},
    {"nl_NL", 1043}, {"nl_BE", 2067},
    {"pt_PT", 2070}, {"pt_BR", 1046},
    {"pl_PL", 1045}, {"cs_CZ", 1029}, {"sk_SK", 1051}, {"hu_HU", 1038}, {"sl_SI", 1060},
    {"hr_HR", 1050}, {"ro_RO", 1048}, {"bg_BG", 1026}, {"el_GR", 1032}, {"tr_TR", 1055},
    {"ru_RU", 1049}, {"uk_UA", 1058},
    {"da_DK", 1030}, {"sv_SE", 1053}, {"sv_FI", 2077}, {"nb_NO", 1044}, {"nn_NO", 2068},
    {"no_NO", 1044}, {"fi_FI", 1035}, {"et_EE", 1061}, {"lv_LV", 1062}, {"lt_LT", 1063},
    {"zh_CN", 2052}, {"zh_TW", 1028}, {"ja_JP", 1041}, {"ko_KR", 1042},
    {"he_IL", 1037}, {"ar_SA", 1025},
};

} // namespace

int localeIdFromPosixName(const QString &posixName)
{
    // language[_territory][.codeset][@modifier]; "-" is accepted in place of "_".
    QString name = posixName.trimmed();
    const qsizetype cut = name.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    if (cut >= 0)
        name.truncate(cut);
    name.replace(u'-', u'_');
    const QStringList parts = name.split(u'_');
    if (parts.size() > 2)
        return 0;
    const QString language = parts[0].toLower();
    const QString country = parts.size() == 2 ? parts[1].toUpper() : QString();
    static const QRegularExpression languageForm(QStringLiteral("^[a-z]{2,3}$"));
    static const QRegularExpression countryForm(QStringLiteral("^[A-Z]{2}$"));
    if (!languageForm.match(language).hasMatch() || (parts.size() == 2 && !countryForm.match(country).hasMatch()))
        return 0; // also "C" and "POSIX"

    int primary = 0;
    for (const LocaleEntry &entry : kLocales) {
        const QString entryName = QString::fromLatin1(entry.name);
        if (!entryName.startsWith(language + u'_'))
            continue;
        if (primary == 0)
            primary = entry.id;
        if (entryName.mid(language.size() + 1) == country)
            return entry.id;
    }
    // A bare language, or a country we have no number for, stands for the language's
    // main country, so the user still gets their language rather than the fall-back.
    return primary;
}

int userDefaultLocaleId()
{
    // As the C library decides the message locale: the first of these that is set wins,
    // even when it is "C".
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return localeIdFromPosixName(value);
    }
    return 0;
}
