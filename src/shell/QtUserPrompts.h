#pragma once

#include "platform/UserPrompts.h"

// The prompts of the windowed program: message boxes, input boxes, file dialogs, the system
// beep and the application-wide busy cursor. Boxes are parented to the active window.
class QtUserPrompts final : public UserPrompts
{
public:
    QtUserPrompts() = default;
    ~QtUserPrompts() override;

    PromptButton message(const QString &caption, const QString &text, PromptIcon icon, const PromptButtons &buttons,
                         PromptButton defaultButton) override;
    bool input(const QString &caption, const QString &prompt, QString &value) override;
    QString openFile(const QString &caption, const QString &directory, const QString &filter) override;
    QString saveFile(const QString &caption, const QString &proposedPath, const QString &filter,
                     const QString &defaultSuffix) override;
    void beep() override;
    // The busy cursor is a state, not a count: "normal cursor" always ends it, however often
    // the hourglass was asked for.
    void setBusy(bool busy) override;
    bool isBusy() const { return m_busy; }

    // "Text|*.ext|All|*.*" (the description file's form) as a dialog filter "Text (*.ext);;All (*.*)";
    // a filter without "|" is returned unchanged.
    static QString dialogFilter(const QString &filter);

private:
    bool m_busy = false;
};
