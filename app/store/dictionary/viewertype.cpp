#include "app/store/dictionary/viewertype.h"

namespace qm::store {

QString ViewerTypeName(int code)
{
    const std::optional<Viewer> viewer = viewerFromCode(code);
    if (!viewer)
        return {};
    switch (*viewer) {
    case Viewer::Text: return QStringLiteral("<ﾃｷｽﾄ>");
    case Viewer::RichText: return QStringLiteral("<ﾘｯﾁ>");
    case Viewer::Url: return QStringLiteral("<URL>");
    case Viewer::Html: return QStringLiteral("<HTML>");
    case Viewer::Ole: return QStringLiteral("<OLE>");
    }
    return {};
}

} // namespace qm::store
