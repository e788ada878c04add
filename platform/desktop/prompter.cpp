#include "prompter.h"

namespace qm::desktop {

std::optional<QString> Prompter::askPassword(const QString &, const QString &)
{
    return std::nullopt;
}

void Prompter::inform(const QString &text, const QString &title, Icon icon)
{
    ask({text, title, Buttons::Ok, Answer::Ok, icon});
}

bool Prompter::confirm(const QString &text, Answer defaultAnswer, const QString &title)
{
    return ask({text, title, Buttons::YesNo, defaultAnswer, Icon::Question}) == Answer::Yes;
}

Prompter::Answer OwnedPrompter::ask(const Message &message)
{
    Message owned = message;
    if (!owned.owner)
        owned.owner = &m_owner;
    return m_inner.ask(owned);
}

} // namespace qm::desktop
