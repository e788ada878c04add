#include "editormembers.h"

#include "controls/result.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QVariant>
#include <QWidget>

namespace qm::app::editor {

QString property(const QWidget *control, const char *name)
{
    return control ? control->property(name).toString() : QString();
}

void setProperty(QWidget *control, const char *name, const QVariant &value)
{
    if (control && control->metaObject()->indexOfProperty(name) >= 0)
        control->setProperty(name, value);
}

bool isEdited(const QWidget *control)
{
    return control && control->property("Edit").toBool();
}

void clear(QWidget *control)
{
    if (control && control->metaObject()->indexOfMethod("Clear()") >= 0)
        QMetaObject::invokeMethod(control, "Clear", Qt::DirectConnection);
}

QString loadFile(QWidget *control, const QString &path)
{
    const int index = control ? control->metaObject()->indexOfMethod("LoadFile(QString)") : -1;
    if (index < 0)
        return QStringLiteral("この種類の本文を編集する部品がありません。");
    const QMetaMethod method = control->metaObject()->method(index);
    if (method.returnMetaType() != QMetaType::fromType<corvane::Result>()) {
        method.invoke(control, Qt::DirectConnection, Q_ARG(QString, path));
        return {};
    }
    corvane::Result result;
    method.invoke(control, Qt::DirectConnection, Q_RETURN_ARG(corvane::Result, result), Q_ARG(QString, path));
    return result.error;
}

std::optional<QString> title(const QWidget *control)
{
    if (!control)
        return std::nullopt;
    auto *target = const_cast<QWidget *>(control);
    const QMetaObject *meta = control->metaObject();
    if (meta->indexOfMethod("GetTitle(QString*)") >= 0) {
        QString strTitle;
        corvane::Result result;
        QMetaObject::invokeMethod(target, "GetTitle", Qt::DirectConnection, Q_RETURN_ARG(corvane::Result, result),
                                  Q_ARG(QString *, &strTitle));
        if (!result.ok())
            return std::nullopt;
        return strTitle;
    }
    if (meta->indexOfProperty("GetTitle") >= 0)
        return control->property("GetTitle").toString();
    return std::nullopt;
}

} // namespace qm::app::editor
