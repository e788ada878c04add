#include "app/common/storemessages.h"

#include "app/store/dictionary/entry.h"
#include "app/store/sets/dictionaryset.h"

#include "platform/desktop/prompter.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <sqlite3.h>

#include <cerrno>
#include <optional>

namespace qm::app {

using namespace store;

namespace {

using Kind = FailureKind;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The engine's failure of this code in a few words.
QString describeCode(int code)
{
    return describeFailure(sqlite::Error(sqlite::Error::Kind::General, code, {}));
}

QString causeText(const Failure &f)
{
    return f.cause ? errorText(*f.cause) : QString();
}

QString causeReason(const Failure &f)
{
    return f.cause ? describeFailure(*f.cause) : QString();
}

QString cutShortWriteText()
{
    return QStringLiteral("前回の書き込みが途中で終わったままです。書き込みの権限のあるユーザーがプログラムで一度開くと、"
                          "書き込みの前の状態に戻ります");
}

ResolvedTarget targetOf(const Failure &f)
{
    ResolvedTarget target;
    target.named = f.file;
    target.path = f.other;
    target.refusal = TargetRefusal(f.number);
    target.errorCode = f.systemError;
    return target;
}

// A problem of the set file: "<line> 行目: <what>" where a line is to blame.
QString setFileText(const Failure &f)
{
    const auto onLine = [&f](const QString &what) { return QStringLiteral("%1 行目: %2").arg(f.line()).arg(what); };
    switch (f.kind) {
    case Kind::SetFileBadUtf8: return QStringLiteral("UTF-8 として読み取れない文字があります。");
    case Kind::SetFileBadEncoding: return QStringLiteral("UTF-16 など、読み取れない文字コードで保存されています。");
    case Kind::SetFileBadCp932: return QStringLiteral("Shift-JIS として読み取れない文字があります。");
    case Kind::SetFileTooManySets: return onLine(QStringLiteral("辞書セットが %1 個を超えています。").arg(MaxDictionarySets));
    case Kind::SetFileMemberFirst: return onLine(QStringLiteral("辞書セットの行より前に辞書の行があります。"));
    case Kind::SetFileTooManyMembers:
        return onLine(QStringLiteral("1 つの辞書セットの辞書が %1 個を超えています。").arg(MaxDictionariesPerSet));
    case Kind::SetFileDuplicateMember: return onLine(QStringLiteral("同じ辞書セットに同じ辞書が 2 度あります: %1").arg(f.file));
    case Kind::SetFileBadNumber: return onLine(QStringLiteral("番号を読み取れません。"));
    case Kind::SetFileBadLine: return onLine(QStringLiteral("読み取れない行です: %1").arg(f.file));
    case Kind::SetFileNoSets: return QStringLiteral("辞書セットが 1 つもありません。");
    case Kind::SetFileNotOpened: return QStringLiteral("ファイルを開けません。");
    case Kind::SetFileNotRead: return QStringLiteral("ファイルを読み取れません。");
    case Kind::SetFileNoSetsWritten: return QStringLiteral("辞書セットが 1 つも書かれていません。");
    case Kind::SetFileNotSaved:
        return QStringLiteral("辞書セットファイル %1 を保存できませんでした。\n%2").arg(shown(f.file), describeWriteFailure(f.systemError));
    case Kind::SetFileNotLoaded:
        return QStringLiteral("辞書セットファイル %1 を読み込めませんでした。\n%2\n\n"
                              "このファイルは変更せずに残し、既定の辞書セットで起動します。")
            .arg(shown(f.file), causeText(f));
    case Kind::SetFileCopyFailed:
        return QStringLiteral("辞書セットファイル %1 の控えを作成できないため、辞書セットを保存しませんでした。").arg(shown(f.file));
    case Kind::DefaultFilesNotCreated:
        return QStringLiteral("フォルダー %1 に辞書セットファイルと辞書を作成できませんでした。\n%2\n\n"
                              "既定の辞書セットで起動しますが、辞書は開けません。")
            .arg(shown(f.file), f.cause ? causeReason(f) : describeWriteFailure(f.systemError));
    case Kind::SetFull: return QStringLiteral("登録できる辞書は") + QString::number(f.number) + QStringLiteral("個までです");
    case Kind::AlreadyRegistered: return f.file + QStringLiteral(" はすでに登録されています");
    default: return {};
    }
}

// A failure of one of the store's care operations (compaction, backup, restore, salvage).
QString careText(const Failure &f, int code)
{
    const QString file = shown(f.file);
    switch (f.kind) {
    case Kind::NotRemovable: return QStringLiteral("%1 を削除できません").arg(file);
    case Kind::NotCompactable: return QStringLiteral("この名前の辞書は最適化できません: %1").arg(file);
    case Kind::CompactedCopyDamaged: return QStringLiteral("最適化した辞書の検査で誤りが見つかりました");
    case Kind::CompactedCopyUnwritten: return QStringLiteral("最適化した辞書をディスクに書き込めませんでした");
    case Kind::CompactionBackupFailed: return QStringLiteral("バックアップ %1 を作成できません").arg(file);
    case Kind::CompactedNotPlaced: return QStringLiteral("最適化した辞書を %1 に置けません").arg(file);
    case Kind::CompactedNotOpened: return QStringLiteral("最適化した辞書を開けないため、元の辞書に戻しました（%1）").arg(causeText(f));
    case Kind::BackupCancelled: return QStringLiteral("バックアップを中止しました");
    case Kind::BackupDamaged: return QStringLiteral("辞書 %1 は壊れているため、バックアップできません").arg(file);
    case Kind::BackupDiskFull: return QStringLiteral("バックアップ先のディスクの空き容量が足りないため、%1 をバックアップできません").arg(file);
    case Kind::BackupFolderUnwritable: return QStringLiteral("バックアップ先のフォルダー %1 に書き込めません").arg(file);
    case Kind::BackupNotCreated: return QStringLiteral("バックアップ %1 を作成できません（%2）").arg(file, describeCode(code));
    case Kind::BackupNotCopied: return QStringLiteral("辞書 %1 をバックアップにコピーできません（%2）").arg(file, describeCode(code));
    case Kind::BackupSourceUnreadable:
        return QStringLiteral("辞書 %1 を読み取れないため、バックアップできません（%2）").arg(file, causeReason(f));
    case Kind::BackupNotWritten:
        return QStringLiteral("バックアップ %1 を書き込めません（%2）").arg(file, describeWriteFailure(f.systemError));
    case Kind::BackupCheckFailed: return QStringLiteral("辞書 %1 のバックアップの検査で誤りが見つかりました").arg(file);
    case Kind::CopyFailed: return QStringLiteral("%1 を %2 にコピーできません").arg(file, shown(f.other));
    case Kind::PlainBackupCheckFailed:
        return QStringLiteral("%1 のバックアップの検査で誤りが見つかったため、バックアップしませんでした（%2）").arg(file, causeText(f));
    case Kind::GenerationMissing: return QStringLiteral("バックアップ %1 が見つかりません").arg(file);
    case Kind::GenerationNotDictionary: return QStringLiteral("バックアップ %1 は辞書として開けないため、戻せません").arg(file);
    case Kind::RestoreCopyUnchecked: return QStringLiteral("戻す辞書のコピー %1 を検査できませんでした").arg(file);
    case Kind::RestoreNotPlaced: return QStringLiteral("バックアップを %1 に戻せません").arg(file);
    case Kind::GenerationUnopenable:
        return QStringLiteral("バックアップ %1 を開けません: %2")
            .arg(file, f.number != 0 ? QStringLiteral("辞書のバックアップではありません") : QStringLiteral("ファイルが見つかりません"));
    case Kind::SetFileGenerationUnreadable:
        return QStringLiteral("バックアップ %1 は辞書セットのファイルとして読めないため、戻せません").arg(file);
    case Kind::SetFileUnreadableForBackup:
        return QStringLiteral("辞書セットのファイルを読み取れないため、その辞書をバックアップできません: %1").arg(causeText(f));
    case Kind::NothingSalvageable: return QStringLiteral("辞書 %1 は壊れていて、読み出せる項目がありません").arg(file);
    case Kind::SalvagedCopyDamaged: return QStringLiteral("救出した辞書 %1 の検査で誤りが見つかりました").arg(file);
    case Kind::SalvageTargetChanged:
        return QStringLiteral("%1 は救出の間に別のファイルに変わりました。別の名前を指定してください").arg(file);
    case Kind::SalvageNotSaved: return QStringLiteral("救出した辞書を %1 として保存できません").arg(file);
    default: return setFileText(f);
    }
}

// A failure of a dictionary on a server; nothing for any other failure.
std::optional<QString> serverText(const Failure &f)
{
    switch (f.kind) {
    case Kind::ServerBadLocation: return QStringLiteral("サーバーの辞書の場所として読めません: %1 (%2)").arg(f.file, f.other);
    case Kind::ServerUnreachable: return QStringLiteral("サーバー %1 に接続できません (%2)").arg(f.file, f.other);
    case Kind::ServerLoginRefused: return QStringLiteral("サーバー %1 にログインできません (%2)").arg(f.file, f.other);
    case Kind::ServerDatabaseMissing: return QStringLiteral("サーバー %1 にデータベースがありません (%2)").arg(f.file, f.other);
    case Kind::ServerDictionaryMissing: return QStringLiteral("サーバーに辞書「%1」がありません").arg(f.file);
    case Kind::ServerNotDictionary:
        return QStringLiteral("サーバーの「%1」は、このプログラムの辞書ではありません").arg(f.file);
    case Kind::ServerOtherVersion:
        return QStringLiteral("サーバーの辞書「%1」は、このプログラムとは別の版 (%2) で作られているため開けません").arg(f.file).arg(f.number);
    case Kind::ServerFailed: return QStringLiteral("サーバー %1 でエラーが起きました (%2)").arg(f.file, f.other);
    case Kind::ServerConnectionLost: return QStringLiteral("サーバー %1 との接続が切れました (%2)").arg(f.file, f.other);
    case Kind::ServerNotSupported: return QStringLiteral("サーバーの辞書 %1 では、この操作はできません").arg(f.file);
    case Kind::ServerTextTooLong:
        return QStringLiteral("キーワードか見出しが長すぎるため、サーバーの辞書には登録できません (%1)").arg(f.other);
    case Kind::ServerChangedByOther:
        return QStringLiteral("このデータは、読み込んだ後に %1 が %2 に%3")
            .arg(f.file, f.other, f.number == 1 ? QStringLiteral("削除しました") : QStringLiteral("変更しました"));
    case Kind::ServerNeedsUpgrade:
        return QStringLiteral("サーバーの辞書「%1」は古い版 (%2) のため、このユーザーでは変更できません。"
                              "辞書の表の持ち主のユーザーで一度開くと、今の版に移されます")
            .arg(f.file)
            .arg(f.number);
    default: return std::nullopt;
    }
}

// A failure of one dictionary file, a set member or a file being written.
QString fileText(const Failure &f, int code)
{
    const QString file = shown(f.file);
    const auto notOpened = [&file](const QString &why) { return QStringLiteral("辞書 %1 を開けませんでした（%2）").arg(file, why); };
    switch (f.kind) {
    case Kind::NotDictionary: return QStringLiteral("%1 は辞書ファイルではありません").arg(file);
    case Kind::NumbersExhausted:
        return QStringLiteral("データの番号 (1～2147483647) がすべて使われているため、これ以上登録できません");
    case Kind::InUse:
        return QStringLiteral("%1 は、ほかのプログラムが使用中です。そのプログラムで辞書を閉じてから、やり直してください。").arg(file);
    case Kind::ReadOnly: return QStringLiteral("辞書 %1 は読み取り専用のため変更できません").arg(file);
    case Kind::WriteUndone: return QStringLiteral("辞書 %1 への変更は書き込みの失敗で取り消されました").arg(file);
    case Kind::NulInKeyword: return QStringLiteral("キーワードに NUL 文字 (U+0000) は使えません");
    case Kind::BodyTooLarge: return describeTooLargeBody(f.number);
    case Kind::BadPattern: return describePatternProblem(sqlite::LikePattern::Problem(f.number));
    case Kind::UnreadableWord: return QStringLiteral("「%1」は検索する言葉として読めません").arg(f.file);
    case Kind::FileMissing: return file + QStringLiteral("が見つかりません");
    case Kind::Unreadable: return QStringLiteral("%1を読み込めません").arg(file);
    case Kind::AttributesNotKept:
        return QStringLiteral("%1 のアクセス権を %2 に付けられないため、置き換えません").arg(file, shown(f.other));
    case Kind::Cancelled: return QStringLiteral("処理を中止しました");
    case Kind::TargetRefused: return describeTargetRefusal(targetOf(f));
    case Kind::TargetChanged:
        return QStringLiteral("%1 が書き込みの間にほかのプログラムによって変更されたため、上書きしませんでした").arg(file);
    case Kind::WriteFailed: return describeWriteFailure(f.systemError);
    case Kind::WriteOnly: return QStringLiteral("書き込み専用でしか開けません");
    case Kind::MemberIsFolder: return notOpened(QStringLiteral("ファイルではなくフォルダーです"));
    case Kind::MemberNotFile: return notOpened(QStringLiteral("通常のファイルではありません"));
    case Kind::MemberLinkLoop: return notOpened(QStringLiteral("リンクがそれ自身を指しているため、ファイルにたどり着けません"));
    case Kind::MemberNotOpened: return notOpened(causeReason(f));
    case Kind::DistributedNotRead:
        if (f.systemError == ENOENT)
            return QStringLiteral("ファイルが見つかりません");
        if (f.systemError == EACCES || f.systemError == EPERM)
            return QStringLiteral("ファイルを読む権限がありません");
        return QStringLiteral("ファイルを読めませんでした（エラー番号 %1）").arg(f.systemError);
    case Kind::DistributedNotFile: return QStringLiteral("通常のファイルではありません");
    case Kind::DistributedCopyBad: return QStringLiteral("コピーした辞書が正しくありません");
    default: return serverText(f).value_or(careText(f, code));
    }
}

} // namespace

QString errorText(const sqlite::Error &error)
{
    if (const Failure *f = storeFailure(error))
        return fileText(*f, error.code());
    if (error.code() == SQLITE_READONLY_ROLLBACK)
        return cutShortWriteText();
    return error.message();
}

QString describeFailure(const sqlite::Error &error)
{
    const Failure *f = storeFailure(error);
    if (f && serverText(*f))
        return *serverText(*f);
    if (f && f->kind == Kind::NotDictionary)
        return QStringLiteral("辞書ファイルではありません");
    if (f && (f->kind == Kind::NumbersExhausted || f->kind == Kind::InUse))
        return errorText(error);
    using EngineKind = sqlite::Error::Kind;
    switch (error.kind()) {
    case EngineKind::FolderMissing: return QStringLiteral("フォルダーが見つかりません");
    case EngineKind::Cancelled: return QStringLiteral("処理を中止しました");
    case EngineKind::ReadOnly:
    case EngineKind::TooLarge: return errorText(error);
    case EngineKind::General:
    case EngineKind::BadPattern: break;
    }
    switch (error.code() & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("ほかのプログラムが使用中です");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return QStringLiteral("ファイルが壊れているか、データベースではありません");
    case SQLITE_CANTOPEN: return QStringLiteral("ファイルが見つからないか、開けません");
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_READONLY:
        // A journal left by a write cut short makes a file read-only to a reader as well.
        return error.code() == SQLITE_READONLY_ROLLBACK ? cutShortWriteText()
                                                        : QStringLiteral("ファイルに書き込む権限がありません");
    case SQLITE_FULL: return QStringLiteral("ディスクの空き容量が足りません");
    case SQLITE_IOERR: return QStringLiteral("ファイルの読み書きに失敗しました");
    case SQLITE_NOMEM: return QStringLiteral("メモリが足りません");
    default: return QStringLiteral("データベースのエラーです（コード %1）").arg(error.code());
    }
}

QString failureReason(const sqlite::Error &error)
{
    if (storeFailure(error) && error.kind() == sqlite::Error::Kind::General)
        return errorText(error);
    return describeFailure(error);
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

QString describeTargetRefusal(const ResolvedTarget &target)
{
    const QString named = shown(target.named);
    const bool linked = !target.path.isEmpty() && target.path != QFileInfo(target.named).absoluteFilePath();
    // The file as the subject of a sentence: "<name> " or "<name>（<real file> へのリンク）".
    const QString file =
        linked ? QStringLiteral("%1（%2 へのリンク）").arg(named, shown(target.path)) : named + QLatin1Char(' ');
    switch (target.refusal) {
    case TargetRefusal::None: return {};
    case TargetRefusal::LinkLoop: return QStringLiteral("%1 のシンボリックリンクが循環しています").arg(named);
    case TargetRefusal::FolderMissing:
        return QStringLiteral("フォルダー %1 がありません").arg(shown(QFileInfo(target.named).absolutePath()));
    case TargetRefusal::Folder: return QStringLiteral("%1はフォルダーです").arg(file);
    case TargetRefusal::Special:
        return QStringLiteral("%1は通常のファイルではありません（デバイス、FIFO、ソケットには書き込めません）").arg(file);
    case TargetRefusal::Database: return QStringLiteral("%1はデータベース（辞書）のファイルです。上書きできません").arg(file);
    case TargetRefusal::SetMember: return QStringLiteral("%1は辞書セットの辞書です。上書きできません").arg(file);
    case TargetRefusal::Source: return QStringLiteral("%1は読み込み元のファイルです。上書きできません").arg(file);
    case TargetRefusal::NotWritable: return QStringLiteral("%1には書き込む権限がありません").arg(file);
    case TargetRefusal::Unexamined:
        return QStringLiteral("%1を調べられません: %2").arg(file, describeWriteFailure(target.errorCode));
    }
    return {};
}

QString incompleteMark()
{
    return QStringLiteral("救出:不完全");
}

QString describeBackupRemedy(BackupRemedy remedy)
{
    switch (remedy) {
    case BackupRemedy::ChangeFolder: return QStringLiteral("バックアップの保存先は、［ツール］メニューの［ｵﾌﾟｼｮﾝ］で変えられます。");
    case BackupRemedy::FreeSpace: return QStringLiteral("バックアップ先のディスクの空きを増やしてから、もう一度バックアップしてください。");
    case BackupRemedy::RepairDictionary:
        return QStringLiteral("壊れた辞書は修復してください。その辞書を引くと［辞書の修復］の画面が開きます。");
    case BackupRemedy::None: break;
    }
    return {};
}

void tellSetFailures(desktop::Prompter &prompter, const std::vector<sqlite::Error> &failures)
{
    if (failures.empty())
        return;
    QStringList lines;
    bool critical = false;
    for (const sqlite::Error &failure : failures) {
        lines.append(errorText(failure));
        // The set file that cannot be written (or made) is worse than a set that cannot be used.
        critical = critical || isStoreError(failure, Kind::SetFileNotSaved) || isStoreError(failure, Kind::SetFileCopyFailed)
                   || isStoreError(failure, Kind::DefaultFilesNotCreated);
    }
    prompter.inform(lines.join(QLatin1Char('\n')), {}, critical ? desktop::Prompter::Icon::Critical : desktop::Prompter::Icon::Warning);
}

FailureReport setFailuresTo(desktop::Prompter &prompter)
{
    return [&prompter](const std::vector<sqlite::Error> &failures) { tellSetFailures(prompter, failures); };
}

SetHost storeHost(desktop::Prompter &prompter)
{
    return {setFailuresTo(prompter), QStringLiteral("ユーザー辞書セット"), QStringLiteral("ユーザー辞書")};
}

} // namespace qm::app
