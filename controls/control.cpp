#include "controls/control.h"

namespace corvane {

Control::Control(QWidget *parent)
    : QWidget(parent)
{
}

Control::~Control() = default;

void Control::initProperties() {}

QList<Control::Persisted> Control::persistedProperties() const
{
    return {};
}

void Control::readProperties(const PropertyBag &bag)
{
    for (const Persisted &p : persistedProperties()) {
        const QVariant value = bag.value(QString::fromLatin1(p.name), p.defaultValue);
        if (!setProperty(p.name, value))
            setProperty(p.name, p.defaultValue);
    }
}

PropertyBag Control::writeProperties() const
{
    PropertyBag bag;
    for (const Persisted &p : persistedProperties()) {
        const QVariant value = property(p.name);
        if (value != p.defaultValue)
            bag.insert(QString::fromLatin1(p.name), value);
    }
    return bag;
}

} // namespace corvane
