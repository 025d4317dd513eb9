#pragma once

#include <QList>
#include <QString>

// Everything that interrupts the user goes through this one interface: message boxes,
// questions, input boxes, file dialogs, the beep and the busy cursor. The GUI installs a
// Qt implementation, the command line a terminal one, tests a scripted one that answers
// from a queue and records what the user would have seen.

enum class PromptIcon { None, Information, Warning, Error, Question };
enum class PromptButton { None, Ok, Cancel, Yes, No, Ignore, Abort, Retry };
using PromptButtons = QList<PromptButton>;

class UserPrompts
{
public:
    virtual ~UserPrompts() = default;

    // A message box or question. Returns the button chosen (defaultButton when nobody can answer).
    virtual PromptButton message(const QString &caption, const QString &text, PromptIcon icon,
                                 const PromptButtons &buttons, PromptButton defaultButton) = 0;
    // An input box preset with value; returns false when cancelled (value then keeps the preset).
    virtual bool input(const QString &caption, const QString &prompt, QString &value) = 0;
    // File dialogs; an empty result means the user cancelled.
    virtual QString openFile(const QString &caption, const QString &directory, const QString &filter) = 0;
    virtual QString saveFile(const QString &caption, const QString &proposedPath, const QString &filter,
                             const QString &defaultSuffix) = 0;
    virtual void beep() = 0;
    virtual void setBusy(bool busy) = 0;

    // Shorthands for the common shapes.
    void showMessage(const QString &text, const QString &caption = QString(), PromptIcon icon = PromptIcon::Information)
    {
        message(caption, text, icon, {PromptButton::Ok}, PromptButton::Ok);
    }
    bool askYesNo(const QString &caption, const QString &text, PromptButton defaultButton = PromptButton::No)
    {
        return message(caption, text, PromptIcon::Question, {PromptButton::Yes, PromptButton::No}, defaultButton)
               == PromptButton::Yes;
    }

    // The prompts in force. Until someone installs an implementation, a non-interactive one
    // is used that writes each message to stderr and answers with the default button.
    static UserPrompts &instance();
    static void setInstance(UserPrompts *prompts); // not owned; nullptr restores the default
};

// Prompts for runs without a user: every message goes to stderr and is answered with its
// default button; questions for text or files are cancelled; no beep, no cursor. Front ends
// without a screen derive from it and change only where the messages go.
class UnattendedPrompts : public UserPrompts
{
public:
    PromptButton message(const QString &caption, const QString &text, PromptIcon icon, const PromptButtons &buttons,
                         PromptButton defaultButton) override;
    bool input(const QString &, const QString &, QString &) override { return false; }
    QString openFile(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &, const QString &, const QString &) override { return {}; }
    void beep() override {}
    void setBusy(bool) override {}
};

// Busy cursor for the lifetime of a scope, through the prompts in force.
class BusyScope
{
public:
    BusyScope() { UserPrompts::instance().setBusy(true); }
    ~BusyScope() { UserPrompts::instance().setBusy(false); }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;
};

QString promptButtonName(PromptButton button);
