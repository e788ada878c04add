#include "corvanehost.h"

#include "controls/registry.h"

#include <QMetaObject>

namespace qm::app {

QWidget *CorvaneHost::create(const QString &className, const QString &instanceName, QWidget *parent,
                             QString *error)
{
    const corvane::Registry::Creation made = corvane::Registry::createNew(className, instanceName, parent);
    if (error)
        *error = made.error;
    return made.control;
}

void CorvaneHost::Navigate(QWidget *control, const QString &strURL)
{
    if (control)
        QMetaObject::invokeMethod(control, "Navigate", Q_ARG(QString, strURL));
}

void CorvaneHost::ShowDefault(QWidget *control)
{
    if (control)
        QMetaObject::invokeMethod(control, "ShowDefault");
}

} // namespace qm::app
