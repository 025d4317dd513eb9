// show, set and diff: the parameters of an image, read and written through the description.
#include "cli/CliCommon.h"
#include "cli/CliSupport.h"
#include "base/GeneralError.h"
#include "model/EditorRules.h"
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

// Why the window would not let the user edit the parameter; empty when it would.
QString windowRefusal(const TItemlist &items, TItem &item, const QString &value, bool debugView)
{
    const TVisualRule rule = item.GetVisualRule();
    const TGridView view = MostPermissiveView(items, debugView);
    if (IsEditableInGrid(rule, view))
        return {};
    QString why;
    if (!IsShownInGrid(rule, view))
        why = rule == vrEdit || rule == vrShow ? QStringLiteral("the window shows it only with the show-more toggle, which the master parameter keeps off")
                                                : QStringLiteral("the window does not show it");
    else if (!debugView && IsEditableInGrid(rule, MostPermissiveView(items, true)))
        why = QStringLiteral("the window lets only its debug view change it (--debug)");
    else
        why = QStringLiteral("the window does not let the user change it");
    return QStringLiteral("\"%1\": cannot set \"%2\": rule %3: %4; --raw stores it anyway")
        .arg(item.Identifier(), value, VisualRuleName(rule), why);
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
    const QCommandLineOption debug(QStringLiteral("debug"),
                                   QStringLiteral("Allow what the window's debug view allows: every shown parameter is editable."));
    parser.addOption(debug);
    const QCommandLineOption raw(QStringLiteral("raw"),
                                 QStringLiteral("Store values as the parameters themselves take them: no editor checks, no editability rule."));
    parser.addOption(raw);
    parser.addPositionalArgument(QStringLiteral("FILE.gwc"), QStringLiteral("The configuration image."));
    parser.addPositionalArgument(QStringLiteral("NAME=VALUE"), QStringLiteral("Assignments, applied in order."), QStringLiteral("NAME=VALUE..."));
    int exitCode = ExitOk;
    if (!parseCommandLine(parser, QStringLiteral("set"),
                          QStringLiteral("Changes parameters of an image and writes it with a new checksum.\n"
                                         "Each value must be one the parameter editor of the window would accept (the number "
                                         "field's range, a list entry, a flag wording, ...), for a parameter the window lets "
                                         "the user edit; otherwise nothing is written."),
                          arguments, &exitCode))
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
        // By default set stands in for the editor dialog: the parameter must be editable in
        // the window (as far as its toggles and, with --debug, the debug view reach) and the
        // text one the dialog could return for it.
        // With --raw only a value past the used part is refused: it would not be saved.
        QString refusal = parser.isSet(raw) ? UsedPartRefusal(*item) : windowRefusal(binding.image.ItemList, *item, value, parser.isSet(debug));
        if (refusal.isEmpty() && !parser.isSet(raw))
            refusal = EditorRefusal(*item, value);
        if (!refusal.isEmpty()) {
            cliErr() << "torvane-cli: " << refusal << "; nothing written" << Qt::endl;
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
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print a JSON object instead of tab-separated rows."));
    parser.addOption(json);
    parser.addPositionalArgument(QStringLiteral("A.gwc"), QStringLiteral("The first image."));
    parser.addPositionalArgument(QStringLiteral("B.gwc"), QStringLiteral("The second image."));
    int exitCode = ExitOk;
    if (!parseCommandLine(parser, QStringLiteral("diff"),
                          QStringLiteral("Lists the parameters whose text differs between two images, and those present in "
                                         "one only (exit 0 equal, 1 different, 2 trouble)."),
                          arguments, &exitCode))
        return exitCode;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2)
        return usageError(parser, QStringLiteral("diff takes exactly two images"));

    CliBinding a, b;
    if (!prepareBinding(a, parser, options) || !prepareBinding(b, parser, options) || !openImage(a, positional[0])
        || !openImage(b, positional[1]))
        return ExitUsage;

    QJsonObject result{{QStringLiteral("a"), positional[0]}, {QStringLiteral("b"), positional[1]}};
    if (a.image.deviceId != b.image.deviceId) {
        if (parser.isSet(json)) {
            result.insert(QStringLiteral("equal"), false);
            result.insert(QStringLiteral("deviceA"), a.image.deviceId);
            result.insert(QStringLiteral("deviceB"), b.image.deviceId);
            cliOut() << QJsonDocument(result).toJson(QJsonDocument::Indented);
        } else {
            cliOut() << "device identifiers differ: " << positional[0] << " is " << a.image.deviceId << ", " << positional[1]
                     << " is " << b.image.deviceId << '\n';
        }
        cliOut().flush();
        return ExitFailure;
    }
    // Both ways: every parameter of A against B, then the parameters only B has (the two
    // images may bind different sections, or a section may depend on the revision).
    bool failed = false;
    QJsonArray differences;
    auto compare = [&](TItem *itemA, TItem *itemB) {
        const QString name = itemA ? itemA->Identifier() : itemB->Identifier();
        const QString textA = itemA ? textOrError(itemA, &failed) : QString();
        const QString textB = itemB ? textOrError(itemB, &failed) : QString();
        if (itemA && itemB && textA == textB)
            return;
        differences.append(QJsonObject{{QStringLiteral("identifier"), name},
                                       {QStringLiteral("a"), itemA ? QJsonValue(textA) : QJsonValue()},
                                       {QStringLiteral("b"), itemB ? QJsonValue(textB) : QJsonValue()}});
        if (!parser.isSet(json))
            cliOut() << name << '\t' << (itemA ? textA : QStringLiteral("(missing)")) << '\t'
                     << (itemB ? textB : QStringLiteral("(missing)")) << '\n';
    };
    // A name that occurs twice pairs its occurrences in order.
    auto byName = [](const TItemlist &items) {
        QHash<QString, QList<TItem *>> map;
        for (const auto &item : items)
            map[item->Identifier().toCaseFolded()].append(item.get());
        return map;
    };
    const auto namesA = byName(a.image.ItemList), namesB = byName(b.image.ItemList);
    QHash<QString, int> seen;
    for (const auto &item : a.image.ItemList) {
        const QString key = item->Identifier().toCaseFolded();
        compare(item.get(), namesB.value(key).value(seen[key]++));
    }
    seen.clear();
    for (const auto &item : b.image.ItemList) {
        const QString key = item->Identifier().toCaseFolded();
        if (seen[key]++ >= namesA.value(key).size())
            compare(nullptr, item.get());
    }
    if (parser.isSet(json)) {
        result.insert(QStringLiteral("equal"), differences.isEmpty());
        result.insert(QStringLiteral("differences"), differences);
        cliOut() << QJsonDocument(result).toJson(QJsonDocument::Indented);
    }
    cliOut().flush();
    if (failed)
        cliErr() << "torvane-cli: some parameters could not be read" << Qt::endl;
    return differences.isEmpty() ? ExitOk : ExitFailure;
}
