#pragma once

#include "generators/ExtensionWriter.h"

#include <QDialog>

#include <memory>

class LanguageSelect;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class TGWMainForm;

// Extras > Write extension: reads a firmware extension from an Intel HEX file, shows what it
// found and writes it into the gateway over the open serial session. Not modal: the main
// window stays usable while it is open. Reading and the transfer are the extension writer's;
// this window shows its progress lines and decides when it may be closed.
class TExtensionDlg : public QDialog, public TExtensionView
{
    Q_OBJECT
public:
    // The filter and the name proposed by the open dialog: characters 5 to 8 of the name are
    // the extension number.
    static QString openFilter() { return QStringLiteral("Hex Files|*.hex"); }
    static QString proposedName() { return QStringLiteral("cust????*.hex"); }

    explicit TExtensionDlg(TGWMainForm &main);
    ~TExtensionDlg() override;

    // The menu entry: captions in the current language, placed 50 pixels below the main
    // window's top and centred on it, then ShowModal.
    void mainMenuExtensionsClick();
    // Shows the dialog (without blocking the main window) and asks for the HEX file; without
    // a file the dialog asks to be closed (refused until Close was used once). Returns 0.
    int ShowModal();
    // Reads and checks the file; the write button is enabled when it is fit to be written.
    int LoadHexFile(const QString &FileName);
    // Writes the loaded extension; true when the device stored it.
    bool doWrite(bool doShowMessage);

    void ExtensionDlgButtonWriteExtensionClick();
    void buttonCloseClick();

    // Closing is allowed once the Close button was used; never while a write runs.
    bool iCanClose = false;
    LanguageSelect *language = nullptr;

    // The writer of the current use of the dialog (a new one each time it is shown).
    TExtensionWriter &Writer() { return *m_writer; }
    bool Writing() const { return m_writing; }

    // --- TExtensionView ----------------------------------------------------------------------
    void SetFileLabel(const QString &text) override;
    void AddProgressLine(const QString &line) override;
    void SetWriteEnabled(bool enabled) override;
    void SetCloseEnabled(bool enabled) override;
    void CloseRequested() override;
    void WriteProgress(qint64 done, qint64 total) override;

protected:
    void showEvent(QShowEvent *event) override;   // FormShow
    void closeEvent(QCloseEvent *event) override; // FormCloseQuery and FormClose
    void reject() override;                       // Escape asks to close like the Close button's rules

private:
    QString translate(const QString &key) const;
    void initCaptions();

    TGWMainForm &m_main;
    std::unique_ptr<TExtensionWriter> m_writer;
    bool m_writing = false;
    QString m_lastDir; // folder of the file loaded last

    QLabel *LabelFilename = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QFrame *Panel1 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *ExtensionDlgButtonWriteExtension = nullptr;
    QPushButton *buttonClose = nullptr;
};

// Creates the dialog for the main window (once; owned by the window) and connects the entry
// "mainMenuExtensions".
TExtensionDlg &installExtensionDlg(TGWMainForm &window);
