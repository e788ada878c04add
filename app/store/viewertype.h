#pragma once

#include <QString>

namespace qm::store {

// The kinds of entry body, as stored in Document.Viewer.
enum class Viewer : quint8 { Text = 1, RichText = 2, Url = 3, Html = 4, Ole = 5 };

constexpr quint8 FirstViewer = 1;
constexpr quint8 LastViewer = 5;

inline bool isViewerCode(int code)
{
    return code >= FirstViewer && code <= LastViewer;
}

// The stored type name of a viewer code ("<ﾃｷｽﾄ>" ...), empty for any other value.
QString ViewerTypeName(int code);

} // namespace qm::store
