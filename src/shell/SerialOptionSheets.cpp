#include "shell/SerialOptionSheets.h"

#include "link/SerialSession.h"
#include "link/SerialSettings.h"
#include "localisation/LanguageSelect.h"
#include "platform/PortMap.h"
#include "shell/Options.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

namespace {

// Every list can also show a text that is not one of its entries (a stored value of an older
// or another installation): the session decides what such a text means.
QComboBox *makeList(QWidget *page, const QString &name, const QStringList &items)
{
    auto *box = new QComboBox(page);
    box->setObjectName(name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setMinimumWidth(180);
    return box;
}

QLabel *makeLabel(QWidget *page, const QString &name, const QString &designed, QWidget *buddy)
{
    auto *label = new QLabel(designed, page);
    label->setObjectName(name);
    label->setBuddy(buddy);
    // Translated by this window with a fall-back to the designed text (not every label has a
    // key in the language files).
    label->setProperty("torvaneNoCaption", true);
    return label;
}

} // namespace

TSerialOptionSheets::TSerialOptionSheets(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TSerialOptionSheets"));
    setWindowTitle(QStringLiteral("Port settings"));
    const TSerialSettings lists;

    qvSerialOptionCaption = new QWidget(this);
    qvSerialOptionCaption->setObjectName(TSerialSettings::kPortSheet);
    qvSerialOptionCaption->setWindowTitle(QStringLiteral("Port"));
    PortNumber = makeList(qvSerialOptionCaption, QStringLiteral("PortNumber"), lists.PortNumber.Items);
    PortNumber->setMinimumWidth(260);
    qvSerialOptionPortLabel = makeLabel(qvSerialOptionCaption, QStringLiteral("qvSerialOptionPortLabel"),
                                        QStringLiteral("Port:"), PortNumber);
    auto *portLayout = new QGridLayout(qvSerialOptionCaption);
    portLayout->addWidget(qvSerialOptionPortLabel, 0, 0);
    portLayout->addWidget(PortNumber, 0, 1);
    portLayout->setColumnStretch(2, 1);
    portLayout->setRowStretch(1, 1);

    qvMoreSerialOptionCaption = new QWidget(this);
    qvMoreSerialOptionCaption->setObjectName(TSerialSettings::kLineSheet);
    qvMoreSerialOptionCaption->setWindowTitle(QStringLiteral("Line parameters"));
    QWidget *page = qvMoreSerialOptionCaption;
    Baudrate = makeList(page, QStringLiteral("Baudrate"), lists.Baudrate.Items);
    Startbits = makeList(page, QStringLiteral("Startbits"), lists.Startbits.Items);
    StopBits = makeList(page, QStringLiteral("StopBits"), lists.StopBits.Items);
    Datenbits = makeList(page, QStringLiteral("Datenbits"), lists.Datenbits.Items);
    Parity = makeList(page, QStringLiteral("Parity"), lists.Parity.Items);
    qvMoreSerialOptionBaudrateLabel =
        makeLabel(page, QStringLiteral("qvMoreSerialOptionBaudrateLabel"), QStringLiteral("Baud rate"), Baudrate);
    qvMoreSerialOptionStartbitLabel =
        makeLabel(page, QStringLiteral("qvMoreSerialOptionStartbitLabel"), QStringLiteral("Start bits"), Startbits);
    qvMoreSerialOptionStopbitLabel =
        makeLabel(page, QStringLiteral("qvMoreSerialOptionStopbitLabel"), QStringLiteral("Stop bits"), StopBits);
    qvMoreSerialOptionDatabitLabel =
        makeLabel(page, QStringLiteral("qvMoreSerialOptionDatabitLabel"), QStringLiteral("Data bits"), Datenbits);
    qvMoreSerialOptionParityLabel =
        makeLabel(page, QStringLiteral("qvMoreSerialOptionParityLabel"), QStringLiteral("Parity"), Parity);
    // The start bit is fixed by the line; it is shown, never chosen.
    Startbits->setEnabled(false);
    qvMoreSerialOptionStartbitLabel->setEnabled(false);

    auto *lineLayout = new QGridLayout(page);
    const std::pair<QLabel *, QComboBox *> rows[] = {{qvMoreSerialOptionBaudrateLabel, Baudrate},
                                                     {qvMoreSerialOptionStartbitLabel, Startbits},
                                                     {qvMoreSerialOptionStopbitLabel, StopBits},
                                                     {qvMoreSerialOptionDatabitLabel, Datenbits},
                                                     {qvMoreSerialOptionParityLabel, Parity}};
    int row = 0;
    for (const auto &[label, box] : rows) {
        lineLayout->addWidget(label, row, 0);
        lineLayout->addWidget(box, row, 1);
        ++row;
    }
    lineLayout->setColumnStretch(2, 1);
    lineLayout->setRowStretch(row, 1);

    StandardSerialOptions();
    TOptions::setComboText(PortNumber, TSerialSettings::kOffline);
}

void TSerialOptionSheets::registerWith(TOptions &options)
{
    options.RegisterSheet(qvSerialOptionCaption);
    options.RegisterSheet(qvMoreSerialOptionCaption);
    connect(&options, &TOptions::pageShown, this, &TSerialOptionSheets::pageShown);
}

void TSerialOptionSheets::StandardSerialOptions()
{
    TSerialSettings defaults;
    defaults.StandardSerialOptions();
    TOptions::setComboText(Baudrate, defaults.Baudrate.Text);
    TOptions::setComboText(Startbits, defaults.Startbits.Text);
    TOptions::setComboText(StopBits, defaults.StopBits.Text);
    TOptions::setComboText(Datenbits, defaults.Datenbits.Text);
    TOptions::setComboText(Parity, defaults.Parity.Text);
}

void TSerialOptionSheets::RebuildPortList()
{
    const QString shown = TOptions::comboText(PortNumber);
    TSerialSettings lists;
    lists.RebuildPortList();
    PortNumber->clear();
    for (const QString &name : lists.PortNumber.Items) {
        const int n = PortMap::comNumber(name);
        QString device = n > 0 ? PortMap::resolvedDevicePath(n) : QString();
        if (n > 0 && device.isEmpty())
            device = PortMap::devicePath(n);
        // The entry says which adapter a name stands for; its value stays the bare name.
        PortNumber->addItem(device.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, device), name);
    }
    TOptions::setComboText(PortNumber, shown);
}

void TSerialOptionSheets::toSettings(TSerialSettings &settings) const
{
    settings.PortNumber.Text = TOptions::comboText(PortNumber);
    settings.Baudrate.Text = TOptions::comboText(Baudrate);
    settings.Startbits.Text = TOptions::comboText(Startbits);
    settings.StopBits.Text = TOptions::comboText(StopBits);
    settings.Datenbits.Text = TOptions::comboText(Datenbits);
    settings.Parity.Text = TOptions::comboText(Parity);
}

void TSerialOptionSheets::fromSettings(const TSerialSettings &settings)
{
    TOptions::setComboText(PortNumber, settings.PortNumber.Text);
    TOptions::setComboText(Baudrate, settings.Baudrate.Text);
    TOptions::setComboText(Startbits, settings.Startbits.Text);
    TOptions::setComboText(StopBits, settings.StopBits.Text);
    TOptions::setComboText(Datenbits, settings.Datenbits.Text);
    TOptions::setComboText(Parity, settings.Parity.Text);
}

void TSerialOptionSheets::pageShown(QWidget *page)
{
    if (page == qvSerialOptionCaption) {
        RebuildPortList();
    } else if (page == qvMoreSerialOptionCaption) {
        // The rate the port runs at, while it runs; a closed port has no rate of its own, and
        // showing the port object's default would overwrite the stored choice on OK.
        if (com && com->IsOpen())
            TOptions::setComboText(Baudrate, QString::number(com->CurrentBaudRate()));
        TOptions::setComboText(Startbits, QStringLiteral("1"));
        // Nothing stored yet: show what the session applies for an empty text (the defaults),
        // instead of empty lists.
        TSerialSettings defaults;
        defaults.StandardSerialOptions();
        for (const auto &[box, value] : {std::pair{Baudrate, defaults.Baudrate.Text}, std::pair{StopBits, defaults.StopBits.Text},
                                         std::pair{Datenbits, defaults.Datenbits.Text}, std::pair{Parity, defaults.Parity.Text}})
            if (TOptions::comboText(box).isEmpty())
                TOptions::setComboText(box, value);
    }
}

QString TSerialOptionSheets::text(const QString &key, const QString &designed) const
{
    if (!language)
        return designed;
    const QString t = language->translate(key);
    return t == key ? designed : t;
}

void TSerialOptionSheets::translateCaptions()
{
    qvSerialOptionCaption->setWindowTitle(text(QStringLiteral("qvSerialOptionCaption"), QStringLiteral("Port")));
    qvMoreSerialOptionCaption->setWindowTitle(
        text(QStringLiteral("qvMoreSerialOptionCaption"), QStringLiteral("Line parameters")));
    qvSerialOptionPortLabel->setText(text(QStringLiteral("qvSerialOptionPortLabel"), QStringLiteral("Port:")));
    qvMoreSerialOptionBaudrateLabel->setText(
        text(QStringLiteral("qvMoreSerialOptionBaudrateLabel"), QStringLiteral("Baud rate")));
    qvMoreSerialOptionStartbitLabel->setText(
        text(QStringLiteral("qvMoreSerialOptionStartbitLabel"), QStringLiteral("Start bits")));
    qvMoreSerialOptionStopbitLabel->setText(
        text(QStringLiteral("qvMoreSerialOptionStopbitLabel"), QStringLiteral("Stop bits")));
    qvMoreSerialOptionDatabitLabel->setText(
        text(QStringLiteral("qvMoreSerialOptionDatabitLabel"), QStringLiteral("Data bits")));
    qvMoreSerialOptionParityLabel->setText(text(QStringLiteral("qvMoreSerialOptionParityLabel"), QStringLiteral("Parity")));
}
