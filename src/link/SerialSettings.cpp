#include "link/SerialSettings.h"

#include "platform/PortMap.h"
#include "platform/RegistryStore.h"

namespace {

struct Setting {
    const QString &sheet;
    QString name;
    TSelectionList TSerialSettings::*list;
};

const QList<Setting> &settingList()
{
    static const QList<Setting> all = {
        {TSerialSettings::kPortSheet, QStringLiteral("PortNumber"), &TSerialSettings::PortNumber},
        {TSerialSettings::kLineSheet, QStringLiteral("Baudrate"), &TSerialSettings::Baudrate},
        {TSerialSettings::kLineSheet, QStringLiteral("Startbits"), &TSerialSettings::Startbits},
        {TSerialSettings::kLineSheet, QStringLiteral("StopBits"), &TSerialSettings::StopBits},
        {TSerialSettings::kLineSheet, QStringLiteral("Datenbits"), &TSerialSettings::Datenbits},
        {TSerialSettings::kLineSheet, QStringLiteral("Parity"), &TSerialSettings::Parity},
    };
    return all;
}

} // namespace

TSerialSettings::TSerialSettings()
{
    Baudrate.Items = {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
                      QStringLiteral("19200"), QStringLiteral("38400"), QStringLiteral("57600"), QStringLiteral("115200")};
    Startbits.Items = {QStringLiteral("0"), QStringLiteral("1")};
    Startbits.Enabled = false;
    StopBits.Items = {QStringLiteral("1")};
    Datenbits.Items = {QStringLiteral("7"), QStringLiteral("8")};
    Parity.Items = {QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd"), QStringLiteral("mark"),
                    QStringLiteral("space")};
    PortNumber.Items = {kOffline};
}

void TSerialSettings::StandardSerialOptions()
{
    Baudrate.Text = QStringLiteral("9600");
    Startbits.Text = QStringLiteral("1");
    StopBits.Text = QStringLiteral("1");
    Datenbits.Text = QStringLiteral("8");
    Parity.Text = QStringLiteral("none");
}

void TSerialSettings::RebuildPortList()
{
    QStringList items{kOffline};
    for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n)
        if (PortMap::IsPortAvailable(n))
            items << PortMap::portName(n);
    PortNumber.Items = items;
}

bool TSerialSettings::Read(const RegistryStore &store)
{
    bool ok = true;
    for (const Setting &s : settingList()) {
        const std::optional<QString> value = store.readString(sheetKey(s.sheet), s.name);
        (this->*s.list).Text = value.value_or(QString());
        if (!store.lastError().isEmpty())
            ok = false;
    }
    return ok;
}

bool TSerialSettings::Store(RegistryStore &store) const
{
    for (const Setting &s : settingList())
        if (!store.writeString(sheetKey(s.sheet), s.name, (this->*s.list).Text))
            return false;
    return true;
}
