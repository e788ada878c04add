#include "corvanehost.h"

#include "controls/registry.h"
#include "controls/result.h"

#include <QMetaMethod>
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

QString CorvaneHost::Navigate(QWidget *control, const QString &strURL)
{
    if (!control)
        return {};
    const QMetaObject *meta = control->metaObject();
    const int index = meta->indexOfMethod("Navigate(QString)");
    if (index < 0)
        return {};
    const QMetaMethod method = meta->method(index);
    if (method.returnMetaType() != QMetaType::fromType<corvane::Result>()) {
        method.invoke(control, Qt::DirectConnection, Q_ARG(QString, strURL));
        return {};
    }
    corvane::Result result;
    method.invoke(control, Qt::DirectConnection, Q_RETURN_ARG(corvane::Result, result), Q_ARG(QString, strURL));
    return result.error;
}

void CorvaneHost::ShowDefault(QWidget *control)
{
    if (control)
        QMetaObject::invokeMethod(control, "ShowDefault");
}

} // namespace qm::app
