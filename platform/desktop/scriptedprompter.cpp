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

QStringList ScriptedPrompter::texts() const
{
    QStringList out;
    for (const Message &m : m_messages)
        out.append(m.text);
    return out;
}

} // namespace qm::desktop
