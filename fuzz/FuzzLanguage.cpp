// Language files: the input is the fall-back language file; every key of it is translated,
// as a block and as a list, and every text is used as a format the way messages use them.
#include "FuzzSupport.h"

#include "base/TextHelpers.h"
#include "localisation/LanguageSelect.h"

TORVANE_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::writeScratch(QStringLiteral("english_en_gb.ini"), data, size);
    LanguageSelect language;
    language.setLangDir(fuzz::scratch().path());
    language.setLanguages({QStringLiteral("english")});
    language.setLocales({QStringLiteral("en_gb")});
    if (!language.readDefaultLang())
        return 0;
    IniFile file;
    file.parse(fuzz::bytes(data, size));
    const QStringList keys = file.sectionKeys(QStringLiteral("Translations")).mid(0, 64);
    for (const QString &key : keys) {
        const QString text = language.translate(key);
        language.translateBlock(key);
        language.translateToList(key);
        try {
            FormatText(text, {42, QStringLiteral("text"), 3.5});
        } catch (const TorvaneError &) {
        }
    }
    return 0;
}
