#include "scriptedprompter.h"

#include <QStringList>

namespace qm::desktop {

Prompter::Answer ScriptedPrompter::ask(const Message &message)
{
    Message shown = message;
    if (shown.title.isEmpty())
        shown.title = defaultTitle();
    m_messages.append(shown);
    return m_answers.isEmpty() ? message.defaultAnswer : m_answers.dequeue();
}

std::optional<QString> ScriptedPrompter::askPassword(const QString &text, const QString &title)
{
    m_messages.append({text, title.isEmpty() ? defaultTitle() : title, Buttons::OkCancel, Answer::Ok, Icon::Question});
    return m_passwords.isEmpty() ? std::nullopt : m_passwords.dequeue();
}

QStringList ScriptedPrompter::texts() const
{
    QStringList out;
    for (const Message &m : m_messages)
        out.append(m.text);
    return out;
}

} // namespace qm::desktop
