#include "shell/TorvanePrint.h"

#include "base/IniFile.h"
#include "link/PrintEEROM.h"
#include "localisation/LanguageSelect.h"
#include "platform/UserPrompts.h"
#include "print/DocumentPrintSink.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

// Point size of the preview's text.
constexpr int kPreviewPointSize = 8;

} // namespace

TTorvanePrint::TTorvanePrint(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TTorvanePrint"));
    setWindowTitle(QStringLiteral("printCaption"));
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(kPreviewPointSize);
    setFont(font);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(6, 6, 6, 6);
    CLoseBtn = new QPushButton(QStringLiteral("buttonClose"), Panel1);
    CLoseBtn->setObjectName(QStringLiteral("CLoseBtn"));
    PrintBtn = new QPushButton(QStringLiteral("buttonPrint"), Panel1);
    PrintBtn->setObjectName(QStringLiteral("PrintBtn"));
    panelLayout->addWidget(CLoseBtn);
    panelLayout->addWidget(PrintBtn);
    panelLayout->addStretch();
    layout->addWidget(Panel1);

    PrnEdit = new QTextEdit(this);
    PrnEdit->setObjectName(QStringLiteral("PrnEdit"));
    PrnEdit->setAcceptRichText(true);
    PrnEdit->setLineWrapMode(QTextEdit::NoWrap);
    // A family with a real italic face: the captions of mapping tables are printed italic.
    PrnEdit->setFont(DocumentPrintSink::printFont(kPreviewPointSize));
    layout->addWidget(PrnEdit, 1);

    connect(CLoseBtn, &QPushButton::clicked, this, &TTorvanePrint::CLoseBtnClick);
    connect(PrintBtn, &QPushButton::clicked, this, &TTorvanePrint::PrintBtnClick);
    resize(680, 442);
}

TTorvanePrint::~TTorvanePrint() = default;

QString TTorvanePrint::translate(const QString &key) const
{
    return language ? language->translate(key) : key;
}

void TTorvanePrint::initCaptions()
{
    setWindowTitle(translate(QStringLiteral("printCaption")));
    CLoseBtn->setText(translate(QStringLiteral("buttonClose")));
    PrintBtn->setText(translate(QStringLiteral("buttonPrint")));
}

void TTorvanePrint::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        initCaptions();
    QWidget::changeEvent(event);
}

void TTorvanePrint::showEvent(QShowEvent *event)
{
    initCaptions();
    QWidget::showEvent(event);
}

QTextDocument *TTorvanePrint::document() const
{
    return PrnEdit->document();
}

bool TTorvanePrint::showFor(TPrintEEROM &image)
{
    const IniFile *description = image.SourceDatei();
    const QString configVersion =
        description ? description->readString(QStringLiteral("General"), QStringLiteral("Version"), QStringLiteral("1"))
                    : QString();
    return showFor(image, QCoreApplication::applicationVersion(), configVersion);
}

bool TTorvanePrint::showFor(TPrintEEROM &image, const QString &ProgramVersion, const QString &ConfigFileVersion)
{
    if (image.empty)
        return false;
    PrnEdit->clear();
    show();
    raise();
    activateWindow();
    QApplication::processEvents();
    // Cleared again: what the pending events may have left is not part of the printout.
    PrnEdit->clear();
    PrnEdit->document()->setDefaultFont(PrnEdit->font()); // the tab stops are measured in it
    FDocumentName = image.FileName().isEmpty() ? QString() : QFileInfo(image.FileName()).completeBaseName();
    // The same layout as the command line's PDF: one piece of code builds the printed document.
    DocumentPrintSink sink(*PrnEdit->document());
    image.print(sink, ProgramVersion, ConfigFileVersion);
    sink.finish();
    PrnEdit->moveCursor(QTextCursor::Start);
    return true;
}

QPrinter &TTorvanePrint::printer()
{
    if (!FPrinter)
        FPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *FPrinter;
}

void TTorvanePrint::preparePrinter()
{
    QPrinter &target = printer();
    target.setDocName(translate(QStringLiteral("printPrintDocument")));
    // Without a printer the dialog offers the PDF file only; give it a name to start from.
    if (target.outputFormat() == QPrinter::PdfFormat && target.outputFileName().isEmpty()) {
        QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (dir.isEmpty() || !QFileInfo(dir).isDir())
            dir = QDir::homePath();
        const QString base = FDocumentName.isEmpty() ? translate(QStringLiteral("printPrintDocument")) : FDocumentName;
        target.setOutputFileName(QDir(dir).filePath(base + QStringLiteral(".pdf")));
    }
}

void TTorvanePrint::PrintBtnClick()
{
    preparePrinter();
    QPrintDialog dialog(&printer(), this);
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    printDocument(printer());
}

bool TTorvanePrint::printDocument(QPrinter &target)
{
    target.setDocName(translate(QStringLiteral("printPrintDocument")));
    PrnEdit->document()->print(&target);
    if (target.printerState() == QPrinter::Error
        || (target.outputFormat() == QPrinter::PdfFormat && !QFileInfo::exists(target.outputFileName()))) {
        const QString where = target.outputFormat() == QPrinter::PdfFormat ? target.outputFileName() : target.printerName();
        UserPrompts::instance().showMessage(translate(QStringLiteral("printPrintDocument")) + QStringLiteral(": ") + where,
                                            windowTitle(), PromptIcon::Error);
        return false;
    }
    return true;
}

void TTorvanePrint::CLoseBtnClick()
{
    hide();
}
