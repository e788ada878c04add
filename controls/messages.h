#pragma once

#include <QGuiApplication>
#include <QString>

// Texts the library shows the user in its own message boxes.
namespace corvane::texts {

// Every message box of the library carries the title of the program that hosts it.
inline QString title()
{
    return QGuiApplication::applicationDisplayName();
}

// An address could not be opened.
inline QString connectionError()
{
    return QStringLiteral("接続中にエラーが発生しました。アドレスが正しいかどうか確認してください。");
}

} // namespace corvane::texts
