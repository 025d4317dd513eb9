#pragma once

#include "model/Item.h"

#include <memory>

class TProfilMapTool;

// The parameter factory: makes the parameter class of a format number.
class TItemTool
{
public:
    std::unique_ptr<TItem> GenerateItem(TItemlist *iParent, int Format, TIndexStream *Data) const;
    static QString FormatToStr(int F);
    // The format whose display name is s, or -1.
    static int FormatFromStr(const QString &s);

    const IniFile *ConfigFile() const { return FConfigFile; }
    void SetConfigFile(const IniFile *file) { FConfigFile = file; }

    const IniFile *FConfigFile = nullptr;
    LanguageSelect *Flanguage = nullptr;
    // The program's profile reader, handed to every mapping parameter made (not owned).
    TProfilMapTool *FProfilMapTool = nullptr;
};
