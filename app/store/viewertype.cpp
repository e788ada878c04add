#include "viewertype.h"

namespace qm::store {

QString ViewerTypeName(int code)
{
    switch (code) {
    case 1: return QStringLiteral("<ﾃｷｽﾄ>");
    case 2: return QStringLiteral("<ﾘｯﾁ>");
    case 3: return QStringLiteral("<URL>");
    case 4: return QStringLiteral("<HTML>");
    case 5: return QStringLiteral("<OLE>");
    default: return {};
    }
}

} // namespace qm::store
