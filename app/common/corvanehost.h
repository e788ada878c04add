#pragma once

#include <QString>

class QWidget;

namespace qm::app {

// How the program uses the control library: controls are created by class name and driven
// through the library's exported classes; a widget of another class is left alone.
class CorvaneHost final
{
public:
    // A new instance of the class, named and owned by the parent; null (with the reason in
    // `error`) when the library cannot make it.
    static QWidget *create(const QString &className, const QString &instanceName, QWidget *parent,
                           QString *error = nullptr);
    // Hands the address to the control; the reason when the control refuses it, otherwise
    // empty (a control that reports its failures itself returns nothing).
    static QString Navigate(QWidget *control, const QString &strURL);
    static void ShowDefault(QWidget *control);

private:
    CorvaneHost() = delete;
};

} // namespace qm::app
