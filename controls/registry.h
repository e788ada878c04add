#pragma once

#include "controls/control.h"
#include "corvane_export.h"

#include <QStringList>

#include <optional>

namespace corvane {

// Creates the library's controls by class name ("Corvane.WebBrowser", ...) and tells a host
// which members a class has.
//
// A created control belongs to the given parent (with no parent, to the caller). Its instance
// name is set before its life cycle starts.
class CORVANE_EXPORT Registry final
{
public:
    struct Creation {
        Control *control = nullptr; // null on failure
        QString error;
    };

    static QStringList classNames();
    static bool contains(const QString &className);
    // The class's meta-object (for the host's own introspection); null for an unknown name.
    static const QMetaObject *metaObject(const QString &className);
    // The members a host may use: properties and invokable methods of the control, without
    // those every widget has. nullopt for an unknown name.
    static std::optional<QStringList> members(const QString &className);

    // A new instance: created, named, and started with its own values.
    static Creation createNew(const QString &className, const QString &instanceName,
                              QWidget *parent);
    // An instance loaded from a saved design.
    static Creation createLoaded(const QString &className, const QString &instanceName,
                                 const PropertyBag &saved, QWidget *parent);

    Registry() = delete;
};

} // namespace corvane
