#pragma once

#include "model/Mapping.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

class IniFile;
class LanguageSelect;

// Reads the mapping profiles of the description file: which entry types a device and
// revision support, their records and fields, class and display-type names. One instance
// serves the program; it shares the description file with the image and the factory.
//
// Look-up failures (no file, missing section) are shown to the user, not raised.
class TProfilMapTool
{
public:
    explicit TProfilMapTool(const IniFile *Datei = nullptr, LanguageSelect *Language = nullptr);

    // Binds another description file; what was cached from the previous one is forgotten.
    void SetDatei(const IniFile *Datei);
    const IniFile *Datei() const { return FDatei; }
    void ClearCaches();

    // "0x1F" for codes below 256, else "0x0164"; revisions "0x20".
    static QString DeviceText(uint16_t DeviceType);
    static QString RevisionText(uint8_t Revision);

    QString GetDeviceName(uint16_t Identifier);
    QString GetClassName(uint8_t Identifier);
    QString GetEditTypeName(int EditType);
    // Makes LSectionValues the lines of the section; false (and a message) when it is missing.
    bool GetSectionValues(const QString &SectionName);
    uint8_t GetSuppSWRev(uint16_t DeviceType, uint8_t FromRevision);
    QString GetSuppMapTypeString(uint16_t DeviceType, uint8_t FromRevision);
    void GetSuppMapTypeText(uint16_t DeviceType, const QString &MapTypeString, bool createableOnly, QStringList &List);
    uint8_t IDFromName(uint16_t DeviceType, const QString &Name);
    QString GetSectionIdentifier(uint16_t device_Code, uint8_t SW_Rev_Code, const QString &xsect);
    // A new entry of the type for the table's device and revision; not added to AParent.
    std::unique_ptr<TMapItem> MakeMapItem(uint8_t ItemID, TMapping *AParent);

    QString ClassName() const { return QStringLiteral("TProfilMapTool"); }

    QStringList LDevices;
    QStringList LNames;
    QStringList LClasses;
    QHash<QString, QStringList> LSections; // folded section name -> its lines
    QStringList LSectionValues;
    const IniFile *FDatei = nullptr;
    LanguageSelect *FLanguage = nullptr;

private:
    const QStringList &Cached(QStringList &cache, bool &read, const QString &section);
    // The lines of a section through the cache; nullptr, after the message, when it is missing.
    const QStringList *Section(const QString &name, const QString &operation);
    bool HaveFile(const QString &operation);
    QString tr(const QString &key, const QString &fallback) const;
    void Show(const QString &text) const;

    bool FDevicesRead = false;
    bool FNamesRead = false;
    bool FClassesRead = false;
};
