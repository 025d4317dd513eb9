#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class LanguageSelect;
class QPrinter;
class QPushButton;
class QTextDocument;
class QTextEdit;
class TPrintEEROM;

// The print preview: the print command fills it with the parameter printout of the image,
// the user prints from here. Not modal; created once and refilled by every print.
class TTorvanePrint : public QWidget
{
    Q_OBJECT
public:
    explicit TTorvanePrint(QWidget *parent = nullptr);
    ~TTorvanePrint() override;

    void setLanguage(LanguageSelect *lang) { language = lang; }

    // Clears the preview, shows it and writes the printout of image into it. An empty image
    // shows nothing and gives false (the caller beeps and says so).
    bool showFor(TPrintEEROM &image, const QString &ProgramVersion, const QString &ConfigFileVersion);
    // The same with the program's version and the version of the image's description file.
    bool showFor(TPrintEEROM &image);

    QTextDocument *document() const;
    // The printer the preview prints on; the printer set-up works on the same object.
    QPrinter &printer();

    // Prints the document as one job titled "printPrintDocument" after the platform's print
    // dialog (which also offers a PDF file, with or without a printer installed).
    void PrintBtnClick();
    void CLoseBtnClick();
    // Prints the document on printer as one job; false when nothing could be printed.
    bool printDocument(QPrinter &target);
    void initCaptions();

    LanguageSelect *language = nullptr;

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QString translate(const QString &key) const;
    void preparePrinter();

    QWidget *Panel1 = nullptr;
    QPushButton *CLoseBtn = nullptr;
    QPushButton *PrintBtn = nullptr;
    QTextEdit *PrnEdit = nullptr;
    std::unique_ptr<QPrinter> FPrinter;
    QString FDocumentName; // base of the PDF file name offered when no printer is installed
};
