#include "model/TextItem.h"

#include "model/IndexStream.h"
#include "model/ItemBytes.h"
#include "model/ItemEditor.h"
#include "base/TextHelpers.h"

void TTextItem::Load()
{
    TItem::Load();
    FTextLength = StrToInt(LineField(6));
}

QString TTextItem::GetText()
{
    QString text;
    if (FTextLength <= 0)
        return text;
    RequireItemBytes(*this, Position, FTextLength);
    const QByteArray &bytes = FData->Buffer();
    for (qsizetype i = Position; i < qsizetype(Position) + FTextLength; ++i) {
        const auto c = static_cast<uint8_t>(bytes[i]);
        if (c >= 32 && c <= 127)
            text += QChar(c);
    }
    return text;
}

void TTextItem::SetText(const QString &NewValue)
{
    if (FTextLength <= 0)
        return;
    RequireItemBytes(*this, Position, FTextLength);
    QByteArray bytes(FTextLength, '\0');
    const qsizetype n = qMin<qsizetype>(NewValue.size(), FTextLength);
    for (qsizetype i = 0; i < n; ++i)
        bytes[i] = static_cast<char>(NewValue[i].unicode() & 0xFF);
    FData->WriteAt(Position, bytes);
}

uint32_t TTextItem::GetIntegerValue()
{
    return 0xFFFFFFFFu; // a text has no number
}

QString TPasswordItem::GetText()
{
    return QString(TTextItem::GetText().size(), u'*');
}

void TPasswordItem::Edit(const QPoint &EditPos)
{
    ItemEditor *editor = ItemEditor::instance();
    if (!editor)
        return;
    editor->SetTopLeftOnScreen(EditPos, ItemEditor::ScreenBottom::Screen, 0);
    // The page is preset with the real text, not the asterisks the grid shows.
    const QString stored = TTextItem::GetText();
    const QString result = editor->Edit(this, FFormat, stored);
    if (result != stored) {
        SetText(result);
        modified = true;
    }
    if (FVisualRule == vrAlwaysEdit)
        DoChange();
}
