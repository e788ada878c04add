#pragma once

#include <QString>

// Texts the library shows the user in its own message boxes.
namespace corvane::texts {

// Every message box of the library carries the library's name.
inline QString title()
{
    return QStringLiteral("Corvane");
}

// An address could not be opened.
inline QString connectionError()
{
    return QStringLiteral("接続中にエラーが発生しました。アドレスが正しいかどうか確認してください。");
}

} // namespace corvane::texts
