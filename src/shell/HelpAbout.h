#pragma once

#include <QDialog>
#include <QString>

class QPushButton;
class QTabWidget;
class QTextEdit;
class QWidget;

// The about box: the product line and legal lines from the build's version strings, the
// translated "helpAbout" text, and the read-me and licence pages when their files exist.
// One box for the whole run; Help > About shows it without blocking the main window.
class THelpAbout : public QDialog
{
    Q_OBJECT
public:
    // Shows the one box (created on first use), filled anew, in front of the main window.
    static void showAbout(QWidget *mainWindow);
    // The one box; mainWindow becomes its parent when the box is created.
    static THelpAbout &instance(QWidget *mainWindow = nullptr);

    // One of the program's version strings by name ("ProductName", "ProductVersion",
    // "LegalCopyright", "LegalTrademarks", "Comments", "FileVersion", ...); a name the build
    // does not provide gives a blank, the name and " not available".
    static QString versionString(const QString &name);

    // Translation keys whose texts name the read-me and the licence file (start-up passes
    // "help.readme" and "help.eula").
    void setContentFile(const QString &fileIdentifier) { filenameIdentifier = fileIdentifier; }
    void setEulaText(const QString &fileIdentifier) { fileEulaIdentifier = fileIdentifier; }

    // Rebuilds captions and content; done whenever the box is shown.
    void refresh();

    // The change log of the double-click on the product line ("lastCommits.ini").
    void Memo1DblClick();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit THelpAbout(QWidget *parent = nullptr);
    void fillPage(QWidget *&page, QTextEdit *view, const QString &fileIdentifier, const QString &captionKey);

    QTabWidget *PageControlVersionInfo = nullptr;
    QWidget *TabSheetVersionInfo = nullptr;
    QWidget *TabSheetReadMe = nullptr;   // nullptr once removed: it stays removed
    QWidget *TabSheetEulatext = nullptr; // likewise
    QTextEdit *Memo1 = nullptr;
    QTextEdit *Memo2 = nullptr;
    QTextEdit *fileLines = nullptr;
    QTextEdit *eulaLines = nullptr;
    QPushButton *BitBtn1 = nullptr;

    QString filenameIdentifier = QStringLiteral("help.readme");
    QString fileEulaIdentifier = QStringLiteral("help.eula");
};
