#pragma once

#include <QString>

#include <array>
#include <optional>

namespace qm::store {

// The kinds of entry body, as stored in Document.Viewer.
enum class Viewer : quint8 { Text = 1, RichText = 2, Url = 3, Html = 4, Ole = 5 };

constexpr quint8 FirstViewer = 1;
constexpr quint8 LastViewer = 5;

constexpr bool isViewerCode(int code)
{
    return code >= FirstViewer && code <= LastViewer;
}

// Every kind, in the order of their codes.
constexpr std::array<Viewer, LastViewer> Viewers{Viewer::Text, Viewer::RichText, Viewer::Url, Viewer::Html,
                                                 Viewer::Ole};

// The stored code of a kind, and the kind of a stored code (none for a code no kind has).
constexpr quint8 viewerCode(Viewer viewer)
{
    return static_cast<quint8>(viewer);
}

constexpr std::optional<Viewer> viewerFromCode(int code)
{
    return isViewerCode(code) ? std::optional<Viewer>(static_cast<Viewer>(code)) : std::nullopt;
}

// The stored type name of a viewer code ("<ﾃｷｽﾄ>" ...), empty for any other value.
QString ViewerTypeName(int code);

} // namespace qm::store
