#pragma once

#include "model/Item.h"

#include <QString>

// What the user may change in the main window, and which texts the parameter editor dialog
// can hand back for a parameter. The dialog and the grid of the shell and the command line's
// `set` ask these same functions, so a value the command line accepts is one the window
// could have produced, and a value it refuses is one the window would never have stored.

// The grid's toggles and view.
struct TGridView {
    bool moreVisible = false;  // mainControlMoreVisible checked
    bool moreEditable = false; // mainControlMoreEditable checked
    bool debugView = false;    // debug view (/D, /F): every shown parameter editable
};

// Whether the grid lists a parameter of this rule (rule from GetVisualRule).
bool IsShownInGrid(TVisualRule rule, const TGridView &view);
// Whether the grid lets the user open the editor on a parameter of this rule.
bool IsEditableInGrid(TVisualRule rule, const TGridView &view);
// Whether a master parameter makes the two toggles available: the last vrMasterItem
// parameter's byte is below 0x20 or at least 0x80. Without a master they stay disabled.
bool MoreTogglesAvailable(const TItemlist &items);
// The most the user can reach in the window: both toggles checked when a master allows
// them, the debug view as given.
TGridView MostPermissiveView(const TItemlist &items, bool debugView);

// Checks a text against what the editor page of the item's format would return (number
// field range, list entries, flag wordings, masks, text length, table size, ...) and
// against the image: the parameter's bytes must lie inside the used part. Returns an empty
// string when the text is acceptable, otherwise a message naming the parameter, the text
// and what would be accepted. Nothing is written either way. Mapping parameters have their
// own editor: their texts are checked by their SetText.
QString EditorRefusal(TItem &item, const QString &text);
// The range of the number page (IntSheet) for the formats that use it (word, byte, P-byte,
// 32-bit, restricted byte); false for other formats.
bool EditorNumberRange(TItem &item, int64_t &lo, int64_t &hi);
// The image part of that check alone: empty when the parameter's bytes lie inside the used
// part of the image (a value written past it would not be saved); otherwise the message.
QString UsedPartRefusal(TItem &item);
