#include "cli/CliCommon.h"
#include "model/BaseEEROM.h"
#include "base/GeneralError.h"
#include "base/TextHelpers.h"

// torvane-cli info FILE.gwc: what the header says about the image, without a description.
int runInfo(const QStringList &arguments)
{
    QCommandLineParser parser;
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
    QTextStream &out = cliOut();
    out << "size: " << image.FUseSize << '\n';
    out << "revision: 0x" << IntToHex(image.GetByteIDX(0), 2) << '\n';
    out << "device: " << TBaseEEROM::DeviceIdFromHeader(image.GetByteIDX(1), image.GetByteIDX(4)) << '\n';
    out << "checksum: 0x" << IntToHex(stored, 4) << " stored, 0x" << IntToHex(computed, 4) << " computed, "
        << (stored == computed ? "ok" : "MISMATCH") << '\n';
    try {
        out << "image: " << image.GetAsString() << '\n';
    } catch (const TorvaneError &e) {
        out << "image: (" << e.message() << ")\n";
    }
    out.flush();
    return ExitOk;
}
