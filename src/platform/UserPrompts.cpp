#include "platform/UserPrompts.h"

#include <QTextStream>
#include <cstdio>

namespace {

UnattendedPrompts g_default;
UserPrompts *g_current = nullptr;

} // namespace

PromptButton UnattendedPrompts::message(const QString &caption, const QString &text, PromptIcon, const PromptButtons &,
                                        PromptButton defaultButton)
{
    QTextStream err(stderr);
    if (!caption.isEmpty())
        err << caption << ": ";
    err << text << Qt::endl;
    return defaultButton;
}

UserPrompts &UserPrompts::instance()
{
    return g_current ? *g_current : static_cast<UserPrompts &>(g_default);
}

void UserPrompts::setInstance(UserPrompts *prompts)
{
    g_current = prompts;
}

QString promptButtonName(PromptButton button)
{
    switch (button) {
    case PromptButton::None: return QStringLiteral("None");
    case PromptButton::Ok: return QStringLiteral("Ok");
    case PromptButton::Cancel: return QStringLiteral("Cancel");
    case PromptButton::Yes: return QStringLiteral("Yes");
    case PromptButton::No: return QStringLiteral("No");
    case PromptButton::Ignore: return QStringLiteral("Ignore");
    case PromptButton::Abort: return QStringLiteral("Abort");
    case PromptButton::Retry: return QStringLiteral("Retry");
    }
    return {};
}
