#include "model/ListItem.h"

#include "base/GeneralError.h"
#include "model/IndexStream.h"
#include "base/IniFile.h"
#include "model/ItemBytes.h"
#include "model/ItemEditor.h"
#include "base/TextHelpers.h"
#include "platform/UserPrompts.h"

#include <vector>

namespace {

QString entryName(const QString &line)
{
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? line : line.left(eq);
}

// Field n of the entry's value; the value is everything after the first "=".
QString entryField(const QString &line, int n)
{
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : ExtractField(line.mid(eq + 1), u';', n);
}

// A preset that, through its lines, applies itself again. Raised where the cycle closes and
// carried through the line loops (which otherwise swallow errors) to the outermost preset.
class PresetCycleError : public TorvaneError
{
public:
    using TorvaneError::TorvaneError;
};

struct ActivePreset {
    const TListItem *item;
    QString entry;
};
// The presets being applied, outermost first. One thread runs all model code.
std::vector<ActivePreset> g_activePresets;
// Presets applied since the outermost one began. Without a cycle, presets that each apply
// the next level twice still grow as 2^depth; the limit stops such a description within
// milliseconds instead of minutes.
int g_presetApplications = 0;

} // namespace

void TListItem::Load()
{
    TItem::Load();
    FList.clear();
    if (FConfigFile)
        FList = FConfigFile->sectionLines(DetailSection());
}

uint8_t TListItem::StoredByte() const
{
    RequireItemBytes(*this, Position, 1);
    return FData->GetByteIDX(Position);
}

int64_t TListItem::CurrentValue() const
{
    const uint8_t b = StoredByte();
    // Offset 1 is the device code: entries name extended codes as flagreg * 256 + code.
    return Position == 1 ? int64_t(flagreg) * 256 + b : int64_t(b);
}

QString TListItem::GetText()
{
    const QString current = QString::number(CurrentValue());
    QString result = NoMatchText();
    for (const QString &line : std::as_const(FList))
        if (entryField(line, 2) == current)
            result = entryName(line); // the last matching entry wins
    return result;
}

uint32_t TListItem::GetIntegerValue()
{
    return StoredByte();
}

void TListItem::SetText(const QString &NewValue)
{
    if (NewValue == NoMatchText())
        return;
    const QString *found = nullptr;
    for (const QString &line : std::as_const(FList))
        if (entryName(line) == NewValue) {
            found = &line;
            break;
        }
    if (!found)
        return;
    const QString action = entryField(*found, 1);
    const QString value = entryField(*found, 2);
    const QString preset = entryField(*found, 3);
    if (action.isEmpty() || value.isEmpty())
        return;

    // Every conversion and range check comes before the first write, so a failing entry
    // leaves the image as it was. A value above 255 (an extended device code) stores its low byte.
    switch (StrToInt(action)) {
    case 1: {
        const int v = StrToInt(value);
        RequireItemBytes(*this, Position, 1);
        FData->SetByteIDX(Position, static_cast<uint8_t>(v));
        break;
    }
    case 2: {
        const int v = StrToInt(value);
        if (StoredByte() == v)
            FData->SetByteIDX(Position, static_cast<uint8_t>(v));
        else
            FData->SetAsString(preset);
        break;
    }
    case 3:
        FData->SetAsString(preset);
        break;
    case 4: {
        const int v = StrToInt(value);
        RequireItemBytes(*this, Position, 1);
        FData->SetAsString(preset);
        FData->SetByteIDX(Position, static_cast<uint8_t>(v));
        break;
    }
    case 5:
        ApplyPreset(NewValue);
        break;
    default:
        break;
    }
}

QStringList TListItem::SelectableEntries()
{
    FExtList.clear();
    for (const QString &line : std::as_const(FList)) {
        const QString condition = entryField(line, 6);
        if (condition.isEmpty()) {
            FExtList.append(entryName(line));
            continue;
        }
        // Each entry's condition starts from the empty set, as a parameter's does: a type-0
        // condition holds only for the byte values it lists (a controlling byte of 0 offers
        // the entry only when "00" is listed).
        TVisualCondition typ = vcVisibleIf;
        TVisualValue values;
        uint8_t byte = 0;
        ReadVisualRule(static_cast<uint16_t>(HexStrToInt(condition)), typ, values, byte);
        if (byte < FData->Size() && values.test(FData->GetByteIDX(byte)))
            FExtList.append(entryName(line));
    }
    return FExtList;
}

void TListItem::Edit(const QPoint &EditPos)
{
    ItemEditor *editor = ItemEditor::instance();
    if (!editor)
        return;
    editor->SetSelectList(SelectableEntries());
    EditWithDialog(EditPos);
}

int32_t TListItem::HelpContextNumber()
{
    const QString current = QString::number(StoredByte()); // without the device-code extension
    int32_t code = FHelpContext;
    for (const QString &line : std::as_const(FList)) {
        if (entryField(line, 2) != current)
            continue;
        const QString help = entryField(line, 5);
        if (help.isEmpty())
            continue;
        // A help code that is no number gives no topic; selecting the row must not fail for it.
        try {
            code = StrToInt(help);
        } catch (const TorvaneError &) {
        }
    }
    return HelpContextFromCode(code == 0 ? 1 : code);
}

void TListItem::ApplyPreset(const QString &entryName)
{
    if (!FConfigFile)
        return;
    for (const ActivePreset &a : g_activePresets) {
        if (a.item != this || a.entry != entryName)
            continue;
        QStringList chain;
        for (const ActivePreset &b : g_activePresets)
            chain.append(b.item->Identifier() + u':' + b.entry);
        chain.append(Identifier() + u':' + entryName);
        throw PresetCycleError(QStringLiteral("Preset \"%1\" of parameter \"%2\" applies itself again (%3); "
                                              "it was stopped and the configuration left as it was")
                                   .arg(entryName, Identifier(), chain.join(QStringLiteral(" -> "))));
    }

    if (g_activePresets.empty())
        g_presetApplications = 0;
    if (++g_presetApplications > kMaxPresetApplications) {
        const ActivePreset &first = g_activePresets.front();
        throw PresetCycleError(QStringLiteral("Preset \"%1\" of parameter \"%2\" applies more than %3 presets (stopped at preset "
                                              "\"%4\" of parameter \"%5\"); it was stopped and the configuration left as it was")
                                   .arg(first.entry, first.item->Identifier())
                                   .arg(kMaxPresetApplications)
                                   .arg(entryName, Identifier()));
    }

    const QString deviceText = QStringLiteral("0x") + IntToHex(FData->Size() > 1 ? FData->GetByteIDX(1) : 0, 2);
    const QString revisions = FConfigFile->readString(QStringLiteral("Devices"), deviceText);
    if (revisions.isEmpty()) {
        UserPrompts::instance().showMessage(
            FormatText(tr(QStringLiteral("messageGWEintragNoSoftwareRevisions")), {QStringLiteral("Devices")}),
            QString(), PromptIcon::Warning);
        return;
    }
    QString section;
    for (int n = 1;; ++n) {
        const QString token = ExtractField(revisions, u';', n);
        if (token.isEmpty())
            break;
        const QString candidate = DeviceName + u':' + token + u':' + entryName;
        if (FConfigFile->sectionExists(candidate)) {
            section = candidate;
            break;
        }
    }
    if (section.isEmpty()) {
        section = DeviceName + u':' + entryName;
        if (!FConfigFile->sectionExists(section)) {
            section = QStringLiteral("Protocol:") + entryName;
            if (!FConfigFile->sectionExists(section))
                throw TorvaneError(FormatText(tr(QStringLiteral("messageGWEintragSectionNotFound")), {section}));
        }
    }

    // The outermost preset keeps a copy of the image, so that a cycle found further down
    // undoes everything the presets had written.
    const bool outermost = g_activePresets.empty();
    QByteArray before;
    int32_t beforeUseSize = 0;
    if (outermost) {
        before = FData->Buffer();
        beforeUseSize = FData->FUseSize;
    }
    g_activePresets.push_back({this, entryName});
    try {
        RunPreset(section);
    } catch (const PresetCycleError &) {
        g_activePresets.pop_back();
        if (outermost) {
            FData->Assign(before);
            FData->FUseSize = beforeUseSize;
        }
        throw;
    } catch (...) {
        g_activePresets.pop_back();
        throw;
    }
    g_activePresets.pop_back();
}

void TListItem::RunPreset(const QString &section)
{
    const QList<IniFile::Entry> *lines = FConfigFile->entries(section);
    if (!lines || !Parent)
        return;
    for (const IniFile::Entry &line : *lines) {
        if (!line.hasEquals)
            continue;
        TItem *target = Parent->GetByName(line.key);
        if (!target)
            continue;
        try {
            target->SetText(line.value);
        } catch (const PresetCycleError &) {
            throw;
        } catch (const std::exception &) {
            // A line that its parameter rejects is skipped; the rest of the preset still applies.
        }
    }
}
