#include "cli/CliCommon.h"
#include "model/BaseEEROM.h"
#include "base/GeneralError.h"
#include "base/TextHelpers.h"

#include <QJsonDocument>
#include <QJsonObject>

// torvane-cli info FILE.gwc: what the header says about the image, without a description.
int runInfo(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print a JSON object instead of text lines."));
    parser.addOption(json);
    parser.addPositionalArgument(QStringLiteral("FILE.gwc"), QStringLiteral("The configuration image."));
    int exitCode = ExitOk;
    if (!parseCommandLine(parser, QStringLiteral("info"), QStringLiteral("Shows the header of a configuration image."),
                          arguments, &exitCode))
        return exitCode;
    if (parser.positionalArguments().size() != 1)
        return usageError(parser, QStringLiteral("info takes exactly one FILE.gwc"));

    const QString path = parser.positionalArguments().first();
    TBaseEEROM image;
    try {
        image.ReadImageFile(path);
    } catch (const TorvaneError &e) {
        cliErr() << "torvane-cli: " << e.message() << Qt::endl;
        return ExitFailure;
    }

    const uint16_t stored = image.StoredChecksum();
    const uint16_t computed = image.ComputeChecksum();
    // A file longer than a configuration image still shows its header (that is what tells
    // what it is), but has no text form: one line says why, and the exit code fails.
    QString text, problem;
    if (image.FUseSize > TBaseEEROM::kImageBufferSize) {
        problem = QStringLiteral("not shown: the file has %1 bytes, a configuration image at most %2")
                      .arg(image.FUseSize)
                      .arg(TBaseEEROM::kImageBufferSize);
    } else {
        try {
            text = image.GetAsString();
        } catch (const TorvaneError &e) {
            problem = e.message();
        }
    }
    const QString revision = QStringLiteral("0x") + IntToHex(image.GetByteIDX(0), 2);
    const QString device = TBaseEEROM::DeviceIdFromHeader(image.GetByteIDX(1), image.GetByteIDX(4));
    QTextStream &out = cliOut();
    if (parser.isSet(json)) {
        QJsonObject o{{QStringLiteral("file"), path},
                      {QStringLiteral("size"), int(image.FUseSize)},
                      {QStringLiteral("revision"), revision},
                      {QStringLiteral("device"), device},
                      {QStringLiteral("checksumStored"), QStringLiteral("0x") + IntToHex(stored, 4)},
                      {QStringLiteral("checksumComputed"), QStringLiteral("0x") + IntToHex(computed, 4)},
                      {QStringLiteral("checksumOk"), stored == computed}};
        if (problem.isEmpty())
            o.insert(QStringLiteral("image"), text);
        else
            o.insert(QStringLiteral("imageError"), problem);
        out << QJsonDocument(o).toJson(QJsonDocument::Indented);
    } else {
        out << "size: " << image.FUseSize << '\n';
        out << "revision: " << revision << '\n';
        out << "device: " << device << '\n';
        out << "checksum: 0x" << IntToHex(stored, 4) << " stored, 0x" << IntToHex(computed, 4) << " computed, "
            << (stored == computed ? "ok" : "MISMATCH") << '\n';
        out << "image: " << (problem.isEmpty() ? text : u'(' + problem + u')') << '\n';
    }
    out.flush();
    return problem.isEmpty() ? ExitOk : ExitFailure;
}
