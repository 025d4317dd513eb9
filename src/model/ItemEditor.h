#pragma once

#include "model/Item.h"

#include <QPoint>
#include <QString>
#include <QStringList>

// The parameter editor dialog as the parameters see it: text in, text out. The shell's
// dialog implements it; tests install a fake that returns a chosen text.
class ItemEditor
{
public:
    virtual ~ItemEditor() = default;

    // Places the dialog's top-left corner (screen coordinates).
    virtual void SetTopLeft(const QPoint &pos) = 0;
    // The bottom edge a parameter keeps the dialog above: the screen's or the work area's.
    enum class ScreenBottom { Screen, WorkArea };
    // Places the top-left corner at pos; when the dialog's bottom edge would then lie below
    // the bottom of the screen, moves it up so that it ends `margin` pixels above the bottom
    // of `area` (passwords: Screen, 0; flags: WorkArea, 30). A dialog that cannot tell its
    // own height may simply place it at pos.
    virtual void SetTopLeftOnScreen(const QPoint &pos, ScreenBottom area, int margin)
    {
        (void)area;
        (void)margin;
        SetTopLeft(pos);
    }
    // The selection list of list-type pages; entries stay until the next list replaces them.
    virtual void SetSelectList(const QStringList &entries) = 0;
    // The boolean page: heading and the captions of the two choices.
    virtual void SetBoolPage(const QString &heading, const QString &trueCaption, const QString &falseCaption) = 0;
    // Shows the page for the format and returns the confirmed text, or StartValue on cancel.
    virtual QString Edit(TItem *Item, TFormat Format, const QString &StartValue) = 0;

    // The one editor of the program; nullptr until the shell (or a test) installs one.
    static ItemEditor *instance();
    static void setInstance(ItemEditor *editor);
};
