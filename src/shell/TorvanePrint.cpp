#include "shell/TorvanePrint.h"

#include "base/IniFile.h"
#include "link/PrintEEROM.h"
#include "localisation/LanguageSelect.h"
#include "model/PrintSink.h"
#include "platform/UserPrompts.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

// Point size of the preview's text.
constexpr int kPreviewPointSize = 8;
// Tab stops reach as far as the widest page the printout is laid out on, in points.
constexpr int kTabRange = 1200;

// The printout written into the preview's rich text: styles as character formats, a line
// break as a new block, and the tab stops (in points) on every block, because a document's
// default tab distance is not used when it is printed.
class PreviewPrintSink final : public PrintSink
{
public:
    explicit PreviewPrintSink(QTextDocument &document) : m_cursor(&document)
    {
        m_cursor.movePosition(QTextCursor::End);
    }

    void setStyle(int style) override { m_style = style; }
    int style() const override { return m_style; }
    int firstTabStop() const override { return m_firstTabStop; }
    void setFirstTabStop(int stop) override
    {
        m_firstTabStop = stop;
        applyTabStops();
    }
    void addText(const QString &text) override
    {
        QTextCharFormat format;
        format.setFontWeight(m_style & Bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(m_style & Italic);
        format.setFontUnderline(m_style & Underline);
        const QStringList lines = text.split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0) {
                m_cursor.insertBlock();
                applyTabStops();
            }
            if (!lines[i].isEmpty())
                m_cursor.insertText(lines[i], format);
        }
    }

    // Moves the first tab stop of every block past the widest text in front of a first tab,
    // so that a long name does not push its value to the next stop: the values form one
    // column. The further stops keep their distance.
    void alignColumns(QTextDocument &document)
    {
        constexpr qreal pixelsPerPoint = 96.0 / 72.0;
        constexpr qreal gap = 8;
        const qreal step = m_firstTabStop * pixelsPerPoint;
        if (step <= 0)
            return;
        qreal widest = 0;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            qreal width = 0;
            bool tabFound = false;
            for (auto it = block.begin(); !it.atEnd() && !tabFound; ++it) {
                const QTextFragment fragment = it.fragment();
                QString text = fragment.text();
                const qsizetype tab = text.indexOf(u'\t');
                if (tab >= 0) {
                    text.truncate(tab);
                    tabFound = true;
                }
                const QFont font = fragment.charFormat().font().resolve(document.defaultFont());
                width += QFontMetricsF(font).horizontalAdvance(text);
            }
            if (tabFound)
                widest = qMax(widest, width);
        }
        const qreal first = qMax(step, widest + gap);
        QList<QTextOption::Tab> tabs;
        for (qreal p = first; p <= first + kTabRange * pixelsPerPoint; p += step)
            tabs.append(QTextOption::Tab(p, QTextOption::LeftTab));
        QTextCursor cursor(&document);
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            cursor.setPosition(block.position());
            QTextBlockFormat format = block.blockFormat();
            format.setTabPositions(tabs);
            cursor.setBlockFormat(format);
        }
    }

private:
    void applyTabStops()
    {
        constexpr qreal pixelsPerPoint = 96.0 / 72.0;
        QList<QTextOption::Tab> tabs;
        if (m_firstTabStop > 0)
            for (int p = m_firstTabStop; p <= kTabRange; p += m_firstTabStop)
                tabs.append(QTextOption::Tab(p * pixelsPerPoint, QTextOption::LeftTab));
        QTextBlockFormat format = m_cursor.blockFormat();
        format.setTabPositions(tabs);
        m_cursor.setBlockFormat(format);
    }

    QTextCursor m_cursor;
    int m_style = Normal;
    int m_firstTabStop = 0;
};

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
    PrnEdit->document()->setDefaultFont(font);
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
    PrnEdit->document()->setDefaultFont(font());
    FDocumentName = image.FileName().isEmpty() ? QString() : QFileInfo(image.FileName()).completeBaseName();
    PreviewPrintSink sink(*PrnEdit->document());
    sink.setFirstTabStop(TPrintEEROM::kPrintTabStop);
    image.print(sink, ProgramVersion, ConfigFileVersion);
    sink.alignColumns(*PrnEdit->document());
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
