#include "controls/editorcontrol.h"

namespace corvane {

EditorControl::EditorControl(QWidget *parent)
    : Control(parent)
{
}

EditorControl::~EditorControl() = default;

void EditorControl::initProperties()
{
    setText(instanceName());
}

QList<Control::Persisted> EditorControl::persistedProperties() const
{
    return {{"Text", instanceName()}, {"Locked", false}};
}

} // namespace corvane
