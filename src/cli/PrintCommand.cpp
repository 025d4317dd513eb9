// torvane-cli print: the parameter printout of an image, as text or as a PDF.
#include "cli/CliCommon.h"
#include "cli/CliSupport.h"
#include "link/PrintEEROM.h"
#include "base/FileReplace.h"
#include "print/DocumentPrintSink.h"
#include "base/GeneralError.h"
#include "model/PrintSink.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QBuffer>
#include <QTextDocument>

namespace {

const QString kPdfOption = QStringLiteral("pdf");

// Lays the printout out in a document and writes it as a PDF, replacing OUT only once the
// whole file is on disk.
bool writePdf(TPrintEEROM &image, const QString &path, const QString &title, const QString &configVersion)
{
    QTextDocument document;
    QFont font = DocumentPrintSink::printFont(9);
    // No ligatures: the PDF's text must read (and search, and copy) as the parameters' texts.
    font.setStyleStrategy(QFont::PreferNoShaping);
    document.setDefaultFont(font);
    DocumentPrintSink sink(document);
    image.print(sink, QCoreApplication::applicationVersion(), configVersion);
    sink.finish();

    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Torvane"));
        document.print(&writer);
    }
    const QString error = replaceFileContents(path, pdf.data());
    if (!error.isEmpty()) {
        cliErr() << "torvane-cli: " << error << Qt::endl;
        return false;
    }
    return true;
}

// A PDF run needs no runtime folder (no sockets, no settings there), yet the platform's start
// warns on stderr when XDG_RUNTIME_DIR is unset; that one warning is dropped, all others pass.
QtMessageHandler previousHandler = nullptr;
void dropRuntimeDirWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

bool cliNeedsGui(const QStringList &arguments)
{
    if (arguments.size() < 2 || arguments.at(1) != QLatin1String("print"))
        return false;
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--"))
            break;
        if (a == QLatin1String("--") + kPdfOption || a.startsWith(QLatin1String("--") + kPdfOption + u'=')) {
            if (!previousHandler)
                previousHandler = qInstallMessageHandler(dropRuntimeDirWarning);
            return true;
        }
    }
    return false;
}

// torvane-cli print --tcf DESC.tcf [--pdf OUT.pdf] FILE.gwc
int runPrint(const QStringList &arguments)
{
    QCommandLineParser parser;
    DescriptionOptions options;
    options.addTo(parser);
    const QCommandLineOption pdf(kPdfOption, QStringLiteral("Write the printout as a PDF file instead of text on stdout."),
                                 QStringLiteral("OUT.pdf"));
    parser.addOption(pdf);
    parser.addPositionalArgument(QStringLiteral("FILE.gwc"), QStringLiteral("The configuration image."));
    int exitCode = ExitOk;
    if (!parseCommandLine(parser, QStringLiteral("print"),
                          QStringLiteral("Prints the parameter list of an image (heading, every printed parameter, "
                                         "mapping tables) as tab-separated text, or as a PDF."),
                          arguments, &exitCode))
        return exitCode;
    if (parser.positionalArguments().size() != 1)
        return usageError(parser, QStringLiteral("print takes exactly one FILE.gwc"));
    if (parser.isSet(pdf) && parser.value(pdf).isEmpty())
        return usageError(parser, QStringLiteral("--pdf needs the name of the file to write"));
    if (parser.isSet(pdf) && !qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        cliErr() << "torvane-cli: PDF output is not available in this run" << Qt::endl;
        return ExitFailure;
    }

    CliBinding binding(std::make_unique<TPrintEEROM>());
    if (!prepareBinding(binding, parser, options) || !openImage(binding, parser.positionalArguments().first()))
        return ExitFailure;
    auto &image = static_cast<TPrintEEROM &>(binding.image);
    const QString configVersion = binding.description.readString(QStringLiteral("General"), QStringLiteral("Version"),
                                                                 QStringLiteral("1"));

    // A message while printing (a mapping table that cannot be read) leaves the printout
    // incomplete: it is still written, and the command fails.
    const int messagesBefore = cliMessageCount();
    try {
        if (parser.isSet(pdf)) {
            if (!writePdf(image, parser.value(pdf), binding.language.translate(QStringLiteral("printPrintDocument")),
                          configVersion))
                return ExitFailure;
        } else {
            PlainTextPrintSink sink;
            image.print(sink, QCoreApplication::applicationVersion(), configVersion);
            cliOut() << sink.text();
            cliOut().flush();
        }
    } catch (const TorvaneError &e) {
        cliErr() << "torvane-cli: " << e.message() << Qt::endl;
        return ExitFailure;
    }
    return cliMessageCount() == messagesBefore ? ExitOk : ExitFailure;
}
