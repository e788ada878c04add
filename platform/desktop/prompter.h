#pragma once

#include <QString>

#include <optional>

class QObject;

namespace qm::desktop {

// Every message box of the program goes through a Prompter, so that tests can answer questions
// and read back what the user would have been told.
class Prompter
{
public:
    enum class Icon { None, Information, Question, Warning, Critical };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    struct Message {
        QString text;
        QString title;                       // empty: the default title of the prompter
        Buttons buttons = Buttons::Ok;
        Answer defaultAnswer = Answer::Ok;
        Icon icon = Icon::Information;
        // The window the message is about: the box stands over it (nullptr: the active one).
        const QObject *owner = nullptr;
    };

    virtual ~Prompter() = default;

    // Shows the message and returns the button the user chose.
    virtual Answer ask(const Message &message) = 0;

    // Asks for a password, which is never shown as typed. Nothing when the user cancels, and
    // from a prompter that cannot ask.
    virtual std::optional<QString> askPassword(const QString &text, const QString &title = {});
    // A message with an OK button.
    void inform(const QString &text, const QString &title = {}, Icon icon = Icon::Information);
    // A Yes/No question; true for Yes.
    bool confirm(const QString &text, Answer defaultAnswer = Answer::Yes, const QString &title = {});

    static QString defaultTitle() { return QStringLiteral("Quillmere"); }
};

// Passes every message of one window on to another prompter with that window as its owner, so
// that the window's messages stand over it even while no window of the program is active (as
// between two boxes).
class OwnedPrompter final : public Prompter
{
public:
    OwnedPrompter(Prompter &inner, const QObject &owner)
        : m_inner(inner)
        , m_owner(owner)
    {
    }
    Answer ask(const Message &message) override;

private:
    Prompter &m_inner;
    const QObject &m_owner;
};

} // namespace qm::desktop
