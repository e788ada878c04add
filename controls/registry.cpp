#include "controls/registry.h"

#include "controls/richtextboxedit/richtextboxedit.h"
#include "controls/textboxedit/textboxedit.h"
#include "controls/textboxhtml/textboxhtml.h"
#include "controls/textboxurl/textboxurl.h"
#include "controls/webbrowser/webbrowser.h"
#include "controls/webnavigate/webnavigate.h"

#include <QMetaMethod>
#include <QMetaProperty>

#include <functional>
#include <memory>

namespace corvane {
namespace {

struct Entry {
    QString className;
    const QMetaObject *meta;
    Control *(*create)(QWidget *parent);
};

template<class T>
Entry entry(const char *className)
{
    return {QString::fromLatin1(className), &T::staticMetaObject,
            [](QWidget *parent) -> Control * { return new T(parent); }};
}

// One line per control class of the library.
const QList<Entry> &entries()
{
    static const QList<Entry> list{
        entry<TextBoxEdit>("Corvane.TextBoxEdit"),
        entry<RichTextBoxEdit>("Corvane.RichTextBoxEdit"),
        entry<TextBoxHTML>("Corvane.TextBoxHTML"),
        entry<TextBoxURL>("Corvane.TextBoxURL"),
        entry<WebNavigate>("Corvane.WebNavigate"),
        entry<WebBrowser>("Corvane.WebBrowser"),
    };
    return list;
}

const Entry *find(const QString &className)
{
    for (const Entry &e : entries()) {
        if (e.className == className)
            return &e;
    }
    return nullptr;
}

QString unknownClass(const QString &className)
{
    return QStringLiteral("Corvane にはクラス \"%1\" がありません。").arg(className);
}

QStringList memberNames(const QMetaObject &meta)
{
    const QMetaObject &widget = QWidget::staticMetaObject;
    QStringList names;
    for (int i = widget.propertyCount(); i < meta.propertyCount(); ++i)
        names.append(QString::fromLatin1(meta.property(i).name()));
    for (int i = widget.methodCount(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        const QString name = QString::fromLatin1(method.name());
        if (method.methodType() == QMetaMethod::Method && method.access() == QMetaMethod::Public
            && !names.contains(name)) {
            names.append(name);
        }
    }
    return names;
}

// Constructs and names the control; a control that reports a creation error is destroyed.
Registry::Creation construct(const QString &className, const QString &instanceName,
                             QWidget *parent, const std::function<void(Control &)> &start)
{
    const Entry *e = find(className);
    if (!e)
        return {nullptr, unknownClass(className)};
    std::unique_ptr<Control> control(e->create(parent));
    control->setObjectName(instanceName);
    if (control->creationError().isEmpty())
        start(*control);
    if (!control->creationError().isEmpty())
        return {nullptr, control->creationError()};
    return {control.release(), {}};
}

} // namespace

QStringList Registry::classNames()
{
    QStringList names;
    for (const Entry &e : entries())
        names.append(e.className);
    return names;
}

bool Registry::contains(const QString &className)
{
    return find(className) != nullptr;
}

const QMetaObject *Registry::metaObject(const QString &className)
{
    const Entry *e = find(className);
    return e ? e->meta : nullptr;
}

std::optional<QStringList> Registry::members(const QString &className)
{
    const Entry *e = find(className);
    if (!e)
        return std::nullopt;
    return memberNames(*e->meta);
}

Registry::Creation Registry::createNew(const QString &className, const QString &instanceName,
                                       QWidget *parent)
{
    return construct(className, instanceName, parent,
                     [](Control &control) { control.initProperties(); });
}

Registry::Creation Registry::createLoaded(const QString &className, const QString &instanceName,
                                          const PropertyBag &saved, QWidget *parent)
{
    return construct(className, instanceName, parent,
                     [&saved](Control &control) { control.readProperties(saved); });
}

} // namespace corvane
