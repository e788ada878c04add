#pragma once

#include <QString>

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
    };

    virtual ~Prompter() = default;

    // Shows the message and returns the button the user chose.
    virtual Answer ask(const Message &message) = 0;

    // A message with an OK button.
    void inform(const QString &text, const QString &title = {}, Icon icon = Icon::Information);
    // A Yes/No question; true for Yes.
    bool confirm(const QString &text, Answer defaultAnswer = Answer::Yes, const QString &title = {});

    static QString defaultTitle() { return QStringLiteral("Quillmere"); }
};

} // namespace qm::desktop
