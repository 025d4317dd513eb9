#pragma once

#include <QString>
#include <QStringList>

class RegistryStore;

// One selection list of the port settings: the entries offered and the text shown.
struct TSelectionList
{
    QStringList Items;
    QString Text;
    bool Enabled = true;
};

// The five port settings (and the always-"1" start bits) as the settings sheets hold them.
// They live in the settings store under "\software\Kellerbrand\Torvane\<sheet>", one string
// value per list, named like the list: sheet "qvSerialOptionCaption" holds "PortNumber",
// sheet "qvMoreSerialOptionCaption" holds "Baudrate", "Startbits", "StopBits", "Datenbits"
// and "Parity". A missing value reads as an empty text (the session decides what that means).
class TSerialSettings
{
public:
    static inline const QString kRootKey = QStringLiteral("\\software\\Kellerbrand\\Torvane");
    static inline const QString kPortSheet = QStringLiteral("qvSerialOptionCaption");
    static inline const QString kLineSheet = QStringLiteral("qvMoreSerialOptionCaption");
    static inline const QString kOffline = QStringLiteral("offline");

    TSerialSettings();

    TSelectionList PortNumber;
    TSelectionList Baudrate;
    TSelectionList Startbits;
    TSelectionList StopBits;
    TSelectionList Datenbits;
    TSelectionList Parity;

    // The defaults: 9600 baud, start bits "1", stop bits "1", data bits "8", parity "none".
    void StandardSerialOptions();
    // The port list as the settings page shows it: "offline", then every "COMn" whose device
    // exists (free or held by another program), in ascending order.
    void RebuildPortList();

    // Reads every list's text (an absent value gives an empty text); false when the store
    // could not be read (the texts are then empty).
    bool Read(const RegistryStore &store);
    // Writes every list's text; false (with the store's reason) when a write failed.
    bool Store(RegistryStore &store) const;

    static QString sheetKey(const QString &sheet) { return kRootKey + QLatin1Char('\\') + sheet; }
};
