#include "prompter.h"

namespace qm::desktop {

void Prompter::inform(const QString &text, const QString &title, Icon icon)
{
    ask({text, title, Buttons::Ok, Answer::Ok, icon});
}

bool Prompter::confirm(const QString &text, Answer defaultAnswer, const QString &title)
{
    return ask({text, title, Buttons::YesNo, defaultAnswer, Icon::Question}) == Answer::Yes;
}

} // namespace qm::desktop
