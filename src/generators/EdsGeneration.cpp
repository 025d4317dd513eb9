#include "generators/EdsGeneration.h"

#include "generators/EdsGenerate.h"
#include "localisation/LanguageSelect.h"
#include "model/BaseEEROM.h"
#include "base/FileReplace.h"
#include "base/GeneralError.h"
#include "base/TextHelpers.h"
#include "platform/UserPrompts.h"

#include <QDir>

#include <algorithm>

namespace EdsGeneration {

namespace {

QString translate(const TBaseEEROM &image, const QString &key)
{
    return image.language ? image.language->translate(key) : key;
}

// The value of a parameter as text, or nothing when the configuration has no such parameter.
std::optional<QString> ParameterText(const TBaseEEROM &image, const QString &name)
{
    TItem *item = image.GetEintrag(name);
    if (!item)
        return std::nullopt;
    return item->GetText();
}

} // namespace

QString TemplateKey(const QString &deviceId)
{
    const qsizetype x = deviceId.indexOf(u'x');
    QString key = x >= 0 ? deviceId.mid(x + 1) : deviceId;
    if (key.size() < 4)
        key.prepend(QStringLiteral("00"));
    return key;
}

QString FindTemplate(const QString &key, const QString &dir)
{
    if (key.isEmpty())
        return {};
    QStringList names;
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Readable | QDir::Hidden, QDir::NoSort);
    for (const QString &name : entries)
        if (name.startsWith(key, Qt::CaseInsensitive))
            names << name;
    if (names.isEmpty())
        return {};
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return names.last();
}

QString TemplateExtension(const QString &templateName)
{
    const qsizetype dot = templateName.lastIndexOf(u'.');
    return dot >= 0 ? templateName.mid(dot) : QString();
}

QString CleanFileName(const QString &name)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString out;
    out.reserve(name.size());
    for (const QChar c : name)
        if (!forbidden.contains(c))
            out += c;
    return out;
}

QString ProposedFileName(const TBaseEEROM &image, const QString &extension, const QString &templateName)
{
    const auto serial = ParameterText(image, QStringLiteral("Serial Number"));
    const auto type = ParameterText(image, QStringLiteral("Device Type"));
    QString name;
    if (serial && type)
        name = serial->left(4) + u'_' + *type + extension;
    else if (serial || type)
        name = (serial ? serial->left(4) : *type) + extension;
    else
        name = templateName;
    return CleanFileName(name);
}

QString SaveFilter(const QString &pairs, const QString &extension)
{
    const QStringList parts = pairs.split(u'|');
    QStringList filters;
    qsizetype preselect = -1;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (preselect < 0 && !extension.isEmpty()
            && parts[i + 1].trimmed().compare(u'*' + extension, Qt::CaseInsensitive) == 0)
            preselect = filters.size();
        filters << parts[i] + QStringLiteral(" (") + parts[i + 1] + u')';
    }
    if (preselect > 0)
        filters.move(preselect, 0);
    return filters.join(QStringLiteral(";;"));
}

QString InitialDirectory()
{
    const QString profile = qEnvironmentVariable("USERPROFILE");
    return profile.isEmpty() ? QDir::homePath() : profile;
}

Result mainMenuGenerateEDS(TBaseEEROM &image, const QString &templateDir)
{
    const QString key = TemplateKey(image.deviceId);
    const QString templateName = FindTemplate(key, templateDir);
    UserPrompts &prompts = UserPrompts::instance();
    if (templateName.isEmpty()) {
        prompts.showMessage(translate(image, QStringLiteral("mainMenuGenerateEDSCouldNotFind")) + QStringLiteral("\n\r")
                                + translate(image, QStringLiteral("mainMenuGenerateEDSNoFileCreated")),
                            QString(), PromptIcon::None);
        return {Outcome::NoTemplate, {}};
    }
    const QString extension = TemplateExtension(templateName);

    QByteArray stream;
    TEdsGenerate generator(&image);
    generator.templateDir = templateDir;
    generator.generate(templateName, stream);

    const QString directory = InitialDirectory();
    const PromptButton choice =
        prompts.message(translate(image, QStringLiteral("messageEDSGenerationHeader")),
                        translate(image, QStringLiteral("messageEDSGenerationInfo")) + generator.getReplacedItems(),
                        PromptIcon::Information, {PromptButton::Ok, PromptButton::Cancel}, PromptButton::Ok);
    if (choice != PromptButton::Ok)
        return {Outcome::Cancelled, {}};

    const QString filter = SaveFilter(translate(image, QStringLiteral("mainMenuGenerateEDSExtensions")), extension);
    const QString proposed = QDir(directory).filePath(ProposedFileName(image, extension, templateName));
    const QString path = prompts.saveFile(QString(), proposed, filter, extension.mid(1));
    if (path.isEmpty())
        return {Outcome::Cancelled, {}};

    // The file is replaced only once the new content is completely written.
    const QString error = replaceFileContents(path, stream);
    if (!error.isEmpty())
        throw TorvaneError(FormatText(translate(image, QStringLiteral("EdsGenerateCannotWrite")), {path}) + u'\n' + error);
    return {Outcome::Saved, path};
}

} // namespace EdsGeneration
