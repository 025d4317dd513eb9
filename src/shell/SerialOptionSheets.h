#pragma once

#include <QString>
#include <QWidget>

class LanguageSelect;
class QComboBox;
class QLabel;
class TCOM;
class TOptions;
class TSerialSettings;

// The two settings pages of the serial port session, lent to the settings dialog:
//   "qvSerialOptionCaption"      the port list `PortNumber` ("offline" and every COM name whose
//                                device exists, rebuilt each time the page is shown; each entry
//                                shows the device it stands for, the stored value is the name);
//   "qvMoreSerialOptionCaption"  `Baudrate`, `Startbits` (disabled, always "1"), `StopBits`,
//                                `Datenbits`, `Parity`.
// The settings dialog stores the lists; this window hands them to the session (toSettings) and
// shows what the session ended with (fromSettings).
class TSerialOptionSheets : public QWidget
{
    Q_OBJECT
public:
    explicit TSerialOptionSheets(QWidget *parent = nullptr);

    QWidget *qvSerialOptionCaption = nullptr;     // the port page
    QWidget *qvMoreSerialOptionCaption = nullptr; // the line-parameter page
    QComboBox *PortNumber = nullptr;
    QComboBox *Baudrate = nullptr;
    QComboBox *Startbits = nullptr;
    QComboBox *StopBits = nullptr;
    QComboBox *Datenbits = nullptr;
    QComboBox *Parity = nullptr;

    LanguageSelect *language = nullptr; // not owned
    TCOM *com = nullptr;                // the session whose baud rate the line page shows; not owned

    // Registers both pages with the dialog (port page first) and follows its page changes.
    void registerWith(TOptions &options);

    // The defaults into the lists: 9600 baud, start bits "1", stop bits "1", data bits "8",
    // parity "none".
    void StandardSerialOptions();
    // "offline", then every COM name whose device exists; the value shown stays.
    void RebuildPortList();

    void toSettings(TSerialSettings &settings) const;
    void fromSettings(const TSerialSettings &settings);

    // What a page needs when it becomes visible in the dialog.
    void pageShown(QWidget *page);

    void translateCaptions();

private:
    QString text(const QString &key, const QString &designed) const;

    QLabel *qvSerialOptionPortLabel = nullptr;
    QLabel *qvMoreSerialOptionBaudrateLabel = nullptr;
    QLabel *qvMoreSerialOptionStartbitLabel = nullptr;
    QLabel *qvMoreSerialOptionStopbitLabel = nullptr;
    QLabel *qvMoreSerialOptionDatabitLabel = nullptr;
    QLabel *qvMoreSerialOptionParityLabel = nullptr;
};
