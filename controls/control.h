#pragma once

#include "corvane_export.h"

#include <QList>
#include <QVariant>
#include <QVariantMap>
#include <QWidget>

namespace corvane {

// A host's saved design of one control: persisted property name -> value.
using PropertyBag = QVariantMap;

// The base of every control of the library. A control is a widget the host places on a
// window; its instance name is the widget's objectName, which the host gives it before the
// life cycle starts. After construction the host drives exactly one of
//   initProperties()        a new instance, or
//   readProperties(bag)     an instance loaded from a saved design,
// then resizes it, and calls writeProperties() to save the design. The Registry does the
// first steps in that order.
//
// Members hosts call across the library boundary are Qt properties and Q_INVOKABLE methods
// named as the host knows them ("Text", "Navigate", ...); the Registry lists them.
class CORVANE_EXPORT Control : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Control)

public:
    ~Control() override;

    QString instanceName() const { return objectName(); }

    // A new instance: the control's own starting values.
    virtual void initProperties();
    // A loaded instance: every persisted property is read, in the control's order, through its
    // public setter, so the setter's side effects apply. A missing value, or one that does not
    // fit the property, reads as the property's default.
    void readProperties(const PropertyBag &bag);
    // The persisted properties; values equal to their default are left out.
    PropertyBag writeProperties() const;

    // Set when the control could not be created; the Registry then destroys it and hands the
    // error to the host.
    QString creationError() const { return m_creationError; }

Q_SIGNALS:
    // A persisted property was changed through its setter (for hosts that keep a design).
    void propertyChanged(const QString &name);

protected:
    explicit Control(QWidget *parent);

    struct Persisted {
        const char *name;
        QVariant defaultValue;
    };
    // The persisted properties in reading order, with their defaults. None by default.
    virtual QList<Persisted> persistedProperties() const;

    void failCreation(const QString &error) { m_creationError = error; }

private:
    QString m_creationError;
};

} // namespace corvane
