#include "controls/fonteditorcontrol.h"

namespace corvane {

FontEditorControl::FontEditorControl(QWidget *parent)
    : EditorControl(parent)
    , m_defaultFont(font())
{
}

FontEditorControl::~FontEditorControl() = default;

QList<Control::Persisted> FontEditorControl::persistedProperties() const
{
    QList<Persisted> properties = EditorControl::persistedProperties();
    properties.insert(1, {"Font", m_defaultFont}); // after "Text", before "Locked"
    return properties;
}

} // namespace corvane
