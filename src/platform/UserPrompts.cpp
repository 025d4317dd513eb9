#include "platform/UserPrompts.h"

#include <QTextStream>
#include <cstdio>

namespace {

class NonInteractivePrompts final : public UserPrompts
{
public:
    PromptButton message(const QString &caption, const QString &text, PromptIcon, const PromptButtons &,
                         PromptButton defaultButton) override
    {
        QTextStream err(stderr);
        if (!caption.isEmpty())
            err << caption << ": ";
        err << text << Qt::endl;
        return defaultButton;
    }
    bool input(const QString &, const QString &, QString &) override { return false; }
    QString openFile(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &, const QString &, const QString &) override { return {}; }
    void beep() override {}
    void setBusy(bool) override {}
};

NonInteractivePrompts g_default;
UserPrompts *g_current = nullptr;

} // namespace

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
