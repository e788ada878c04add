#pragma once

#include "controls/control.h"
#include "controls/result.h"

namespace corvane {

// What the library's editors share: the edited flag read through "Edit", the persisted "Text"
// and "Locked", and the new-instance text.
//
// A concrete editor builds its inner widgets, connects its text widget's change notification
// to markEdited(), and calls clearEditFlag() in every member that sets the contents, after the
// contents have changed (the widget reports programmatic changes too).
class CORVANE_EXPORT EditorControl : public Control
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditorControl)
    Q_PROPERTY(QString Text READ text WRITE setText)
    Q_PROPERTY(bool Locked READ isLocked WRITE setLocked)
    Q_PROPERTY(bool Edit READ isEdited)

public:
    ~EditorControl() override;

    // "Edit": the contents changed since they were last set by the host or a command.
    bool isEdited() const { return m_editFlag; }

    // "Text": setting it replaces the contents and clears "Edit".
    virtual QString text() const = 0;
    virtual void setText(const QString &text) = 0;
    // "Locked": read-only for the user.
    virtual bool isLocked() const = 0;
    virtual void setLocked(bool locked) = 0;

    // Empties the contents and clears "Edit".
    Q_INVOKABLE virtual void Clear() = 0;
    // Replaces the contents with a file's; errors go back to the caller.
    Q_INVOKABLE virtual corvane::Result LoadFile(const QString &strFileName) = 0;

    // A new instance starts with its instance name as text.
    void initProperties() override;

protected:
    explicit EditorControl(QWidget *parent);

    // "Text" (default: the instance name), then "Locked" (default false).
    QList<Persisted> persistedProperties() const override;

    void markEdited() { m_editFlag = true; }
    void clearEditFlag() { m_editFlag = false; }

private:
    bool m_editFlag = false;
};

} // namespace corvane
