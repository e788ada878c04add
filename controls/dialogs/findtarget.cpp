#include "controls/dialogs/findtarget.h"

namespace corvane {

FindTarget::FindTarget(QObject *parent)
    : QObject(parent)
{
}

FindTarget::~FindTarget() = default;

AttributeTarget::AttributeTarget(QObject *parent)
    : FindTarget(parent)
{
}

AttributeTarget::~AttributeTarget() = default;

} // namespace corvane
