#pragma once

#include "controls/editorcontrol.h"

#include <QFont>

namespace corvane {

// An editor with a "Font" (the plain text, rich text and HTML editors). Its persisted "Font"
// defaults to DefaultFont, the editor's own font as it was at creation.
class CORVANE_EXPORT FontEditorControl : public EditorControl
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FontEditorControl)
    Q_PROPERTY(QFont Font READ editorFont WRITE setEditorFont)

public:
    ~FontEditorControl() override;

    // "Font": the text widget's font. Whether setting it clears "Edit" is the editor's choice.
    virtual QFont editorFont() const = 0;
    virtual void setEditorFont(const QFont &font) = 0;

    QFont defaultFont() const { return m_defaultFont; }

protected:
    explicit FontEditorControl(QWidget *parent);

    // Called by the editor's constructor once its text widget exists; until then DefaultFont is
    // the control's own font.
    void captureDefaultFont(const QFont &font) { m_defaultFont = font; }

    // "Text", "Font", "Locked", in that order.
    QList<Persisted> persistedProperties() const override;

private:
    QFont m_defaultFont;
};

} // namespace corvane
