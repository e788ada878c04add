#pragma once

#include <QString>

// Texts the search dialogs show in their message boxes.
namespace corvane::texts {

inline QString findTitle()
{
    return QStringLiteral("検索");
}

inline QString replaceTitle()
{
    return QStringLiteral("置換");
}

inline QString searchedToEnd()
{
    return QStringLiteral("最後まで検索しました");
}

inline QString replacedToEnd()
{
    return QStringLiteral("最後まで置換しました");
}

inline QString allReplaced()
{
    return QStringLiteral("すべて置換しました");
}

// The attribute dialog changes the look of what it finds, never the text: its end message says so.
inline QString allAttributesChanged()
{
    return QStringLiteral("すべて変更しました");
}

} // namespace corvane::texts
