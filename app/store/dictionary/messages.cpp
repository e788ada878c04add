#include "app/store/dictionary/messages.h"

#include "app/store/dictionary/entry.h"
#include "app/store/dictionary/storeerror.h"

#include "platform/sqlite/error.h"

#include <sqlite3.h>

#include <cerrno>

namespace qm::store {

QString describeFailure(const sqlite::Error &error)
{
    if (isNotDictionaryError(error))
        return QStringLiteral("辞書ファイルではありません");
    if (isNumbersExhaustedError(error))
        return QStringLiteral("データの番号 (1～2147483647) がすべて使われているため、これ以上登録できません");
    using Kind = sqlite::Error::Kind;
    switch (error.kind()) {
    case Kind::FolderMissing: return QStringLiteral("フォルダーが見つかりません");
    case Kind::Cancelled: return QStringLiteral("処理を中止しました");
    case Kind::ReadOnly:
    case Kind::TooLarge: return error.message();
    case Kind::General:
    case Kind::BadPattern: break;
    }
    switch (error.code() & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        // The store words a busy dictionary with its name (inUseError()); the engine does not.
        return error.message().contains(QStringLiteral("ほかのプログラムが使用中です"))
                   ? error.message()
                   : QStringLiteral("ほかのプログラムが使用中です");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return QStringLiteral("ファイルが壊れているか、データベースではありません");
    case SQLITE_CANTOPEN: return QStringLiteral("ファイルが見つからないか、開けません");
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_READONLY:
        // A journal left by a write cut short makes a file read-only to a reader as well.
        return error.code() == SQLITE_READONLY_ROLLBACK ? sqlite::cutShortWriteText()
                                                        : QStringLiteral("ファイルに書き込む権限がありません");
    case SQLITE_FULL: return QStringLiteral("ディスクの空き容量が足りません");
    case SQLITE_IOERR: return QStringLiteral("ファイルの読み書きに失敗しました");
    case SQLITE_NOMEM: return QStringLiteral("メモリが足りません");
    default: return QStringLiteral("データベースのエラーです（コード %1）").arg(error.code());
    }
}

QString describeTooLargeBody(qint64 bytes)
{
    const auto mib = [](qint64 n) { return QString::number((n + (1 << 20) - 1) >> 20); };
    return QStringLiteral("本文が大きすぎるため扱えません（%1 MB、上限 %2 MB）").arg(mib(bytes), mib(MaxBodyBytes));
}

QString describePatternProblem(sqlite::LikePattern::Problem problem)
{
    using Problem = sqlite::LikePattern::Problem;
    switch (problem) {
    case Problem::UnclosedClass: return QStringLiteral("「[」を閉じる「]」がありません");
    case Problem::EmptyClass: return QStringLiteral("「[]」の中に文字がありません");
    case Problem::ReversedRange: return QStringLiteral("「[」と「]」の中の文字の範囲が逆順です");
    case Problem::None: break;
    }
    return QStringLiteral("パターンの書式に誤りがあります");
}

QString describeWriteFailure(int errorCode)
{
    switch (errorCode) {
    case ENOENT:
    case ENOTDIR: return QStringLiteral("フォルダーが見つかりません");
    case EACCES:
    case EPERM:
    case EROFS: return QStringLiteral("書き込む権限がありません");
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return QStringLiteral("ディスクの空き容量が足りません");
    case EISDIR: return QStringLiteral("同じ名前のフォルダーがあります");
    default: return QStringLiteral("書き込みに失敗しました（エラー番号 %1）").arg(errorCode);
    }
}

} // namespace qm::store
