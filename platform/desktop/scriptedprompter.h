#pragma once

#include "prompter.h"

#include <QList>
#include <QQueue>

namespace qm::desktop {

// A prompter for tests: records every message, with the title it would carry, and answers
// from a queue of scripted answers (or with the message's default when the queue is empty).
class ScriptedPrompter final : public Prompter
{
public:
    Answer ask(const Message &message) override;
    // Records the question as a message and answers with the next queued password (none: the
    // user cancelled).
    std::optional<QString> askPassword(const QString &text, const QString &title = {}) override;
    void queuePassword(std::optional<QString> password) { m_passwords.enqueue(std::move(password)); }

    void queueAnswer(Answer answer) { m_answers.enqueue(answer); }
    const QList<Message> &messages() const { return m_messages; }
    QStringList texts() const;
    void clear() { m_messages.clear(); }

private:
    QQueue<Answer> m_answers;
    QQueue<std::optional<QString>> m_passwords;
    QList<Message> m_messages;
};

} // namespace qm::desktop
