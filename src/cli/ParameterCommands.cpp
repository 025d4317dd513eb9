// show, set and diff: the parameters of an image, read and written through the description.
#include "cli/CliCommon.h"
#include "cli/CliSupport.h"
#include "base/GeneralError.h"
#include "model/ItemTool.h"
#include "model/ProfilMapItem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

struct Row {
    QString identifier, format, rule, value, error;
    int position = 0;
};

Row rowOf(TItem *item)
{
    Row r;
    r.identifier = item->Identifier();
    r.format = TItemTool::FormatToStr(item->Format());
    r.position = item->Position;
    try {
        r.rule = VisualRuleName(item->GetVisualRule());
        r.value = item->GetText();
    } catch (const TorvaneError &e) {
        r.error = e.message();
    }
    return r;
}

QString textOrError(TItem *item, bool *failed)
{
    try {
        return item->GetText();
    } catch (const TorvaneError &e) {
        *failed = true;
        return QStringLiteral("(error: %1)").arg(e.message());
    }
}

// The entries of a mapping parameter's table, read from the image; false when the table
// could not be read (the reason was shown).
bool mappingEntries(TProfilMapItem *map, QJsonArray &entries)
{
    const int before = cliMessageCount();
    if (!map->EEROMToMapList())
        return false;
    for (const auto &e : map->Mapping().Items()) {
        QJsonArray fields;
        for (const auto &v : e->Values())
            fields.append(QJsonObject{{QStringLiteral("caption"), v->Caption()}, {QStringLiteral("value"), v->GetValue()}});
        entries.append(QJsonObject{{QStringLiteral("caption"), e->Caption()},
                                   {QStringLiteral("type"), int(e->Identifier())},
                                   {QStringLiteral("position"), int(e->EEROMPosition())},
                                   {QStringLiteral("fields"), fields}});
    }
    return cliMessageCount() == before;
}

} // namespace

int runShow(const QStringList &arguments)
{
    QCommandLineParser parser;
    DescriptionOptions options;
    options.addTo(parser);
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print a JSON array instead of tab-separated rows."));
    parser.addOption(json);
    const QCommandLineOption mapping(QStringLiteral("mapping"),
                                     QStringLiteral("Also list the entries of mapping tables below their parameter."));
    parser.addOption(mapping);
    parser.addPositionalArgument(QStringLiteral("FILE.gwc"), QStringLiteral("The configuration image."));
    int exitCode = ExitOk;
    if (!parseCommandLine(parser, QStringLiteral("show"),
                          QStringLiteral("Lists the parameters of an image: identifier, format, rule in force, position, value."),
                          arguments, &exitCode))
        return exitCode;
    if (parser.positionalArguments().size() != 1)
        return usageError(parser, QStringLiteral("show takes exactly one FILE.gwc"));

    CliBinding binding;
    if (!prepareBinding(binding, parser, options) || !openImage(binding, parser.positionalArguments().first()))
        return ExitFailure;

    bool failed = false;
    QJsonArray array;
    for (const auto &item : binding.image.ItemList) {
        const Row r = rowOf(item.get());
        if (!r.error.isEmpty()) {
            failed = true;
            cliErr() << "torvane-cli: " << r.identifier << ": " << r.error << Qt::endl;
        }
        auto *map = parser.isSet(mapping) ? dynamic_cast<TProfilMapItem *>(item.get()) : nullptr;
        QJsonArray entries;
        if (map && !mappingEntries(map, entries))
            failed = true;
        if (parser.isSet(json)) {
            QJsonObject row{{QStringLiteral("identifier"), r.identifier},
                            {QStringLiteral("format"), r.format},
                            {QStringLiteral("rule"), r.rule},
                            {QStringLiteral("position"), r.position},
                            {QStringLiteral("value"), r.value}};
            if (map)
                row.insert(QStringLiteral("entries"), entries);
            array.append(row);
        } else {
            cliOut() << r.identifier << '\t' << r.format << '\t' << r.rule << '\t' << r.position << '\t' << r.value << '\n';
            // One indented row per entry: its caption, then caption=value of each field.
            for (const QJsonValue &e : std::as_const(entries)) {
                cliOut() << '\t' << e[QStringLiteral("caption")].toString();
                for (const QJsonValue &f : e[QStringLiteral("fields")].toArray())
                    cliOut() << '\t' << f[QStringLiteral("caption")].toString() << '=' << f[QStringLiteral("value")].toString();
                cliOut() << '\n';
            }
        }
    }
    if (parser.isSet(json))
        cliOut() << QJsonDocument(array).toJson(QJsonDocument::Indented);
    cliOut().flush();
    return failed ? ExitFailure : ExitOk;
}

int runSet(const QStringList &arguments)
{
    QCommandLineParser parser;
    DescriptionOptions options;
    options.addTo(parser);
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write the result here (default: FILE.gwc itself)."), QStringLiteral("OUT.gwc"));
    parser.addOption(output);
    parser.addPositionalArgument(QStringLiteral("FILE.gwc"), QStringLiteral("The configuration image."));
    parser.addPositionalArgument(QStringLiteral("NAME=VALUE"), QStringLiteral("Assignments, applied in order."), QStringLiteral("NAME=VALUE..."));
    int exitCode = ExitOk;
    if (!parseCommandLine(parser, QStringLiteral("set"),
                          QStringLiteral("Changes parameters of an image and writes it with a new checksum."), arguments, &exitCode))
        return exitCode;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < 2)
        return usageError(parser, QStringLiteral("set takes FILE.gwc and at least one NAME=VALUE"));
    for (qsizetype i = 1; i < positional.size(); ++i)
        if (!positional[i].contains(u'='))
            return usageError(parser, QStringLiteral("'%1' is not of the form NAME=VALUE").arg(positional[i]));

    CliBinding binding;
    const QString input = positional.first();
    if (!prepareBinding(binding, parser, options) || !openImage(binding, input))
        return ExitFailure;

    for (qsizetype i = 1; i < positional.size(); ++i) {
        const qsizetype eq = positional[i].indexOf(u'=');
        const QString name = positional[i].left(eq);
        const QString value = positional[i].mid(eq + 1);
        TItem *item = binding.image.GetEintrag(name);
        if (!item) {
            cliErr() << "torvane-cli: " << name << ": no such parameter in the description of device "
                     << binding.image.deviceId << "; nothing written" << Qt::endl;
            return ExitFailure;
        }
        // A message shown while setting (a mapping command that could not be carried out,
        // say) fails the assignment as an error does.
        const int messagesBefore = cliMessageCount();
        try {
            item->SetText(value);
        } catch (const TorvaneError &e) {
            cliErr() << "torvane-cli: " << item->Identifier() << ": cannot set \"" << value << "\": " << e.message()
                     << "; nothing written" << Qt::endl;
            return ExitFailure;
        }
        if (cliMessageCount() != messagesBefore) {
            cliErr() << "torvane-cli: " << item->Identifier() << ": cannot set \"" << value << "\"; nothing written" << Qt::endl;
            return ExitFailure;
        }
    }

    binding.image.UpdateChecksum();
    binding.image.SetFileName(parser.isSet(output) ? parser.value(output) : input);
    try {
        binding.image.SaveFile();
    } catch (const TorvaneError &e) {
        cliErr() << "torvane-cli: " << e.message() << Qt::endl;
        return ExitFailure;
    }
    return ExitOk;
}

int runDiff(const QStringList &arguments)
{
    QCommandLineParser parser;
    DescriptionOptions options;
    options.addTo(parser);
    parser.addPositionalArgument(QStringLiteral("A.gwc"), QStringLiteral("The first image."));
    parser.addPositionalArgument(QStringLiteral("B.gwc"), QStringLiteral("The second image."));
    int exitCode = ExitOk;
    if (!parseCommandLine(parser, QStringLiteral("diff"),
                          QStringLiteral("Lists the parameters whose text differs between two images (exit 0 equal, 1 different, 2 trouble)."),
                          arguments, &exitCode))
        return exitCode;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2)
        return usageError(parser, QStringLiteral("diff takes exactly two images"));

    CliBinding a, b;
    if (!prepareBinding(a, parser, options) || !prepareBinding(b, parser, options) || !openImage(a, positional[0])
        || !openImage(b, positional[1]))
        return ExitUsage;

    if (a.image.deviceId != b.image.deviceId) {
        cliOut() << "device identifiers differ: " << positional[0] << " is " << a.image.deviceId << ", " << positional[1]
                 << " is " << b.image.deviceId << '\n';
        cliOut().flush();
        return ExitFailure;
    }
    bool different = false, failed = false;
    for (const auto &item : a.image.ItemList) {
        const QString textA = textOrError(item.get(), &failed);
        TItem *other = b.image.GetEintrag(item->Identifier());
        const QString textB = other ? textOrError(other, &failed) : QStringLiteral("(missing)");
        if (textA != textB) {
            different = true;
            cliOut() << item->Identifier() << '\t' << textA << '\t' << textB << '\n';
        }
    }
    cliOut().flush();
    if (failed)
        cliErr() << "torvane-cli: some parameters could not be read" << Qt::endl;
    return different ? ExitFailure : ExitOk;
}
