#include "helpmenu.h"

#include <QAction>
#include <QDialog>
#include <QLayout>
#include <QMenuBar>

namespace qm::app {

QAction *addHelpMenu(QDialog *dialog, const QString &objectName, std::function<void()> onHelp)
{
    auto *bar = new QMenuBar(dialog);
    bar->setObjectName(QStringLiteral("menuBar"));
    QAction *help = bar->addAction(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    help->setObjectName(objectName);
    QObject::connect(help, &QAction::triggered, dialog, std::move(onHelp));
    dialog->layout()->setMenuBar(bar);
    return help;
}

} // namespace qm::app
