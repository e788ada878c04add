#include "app/common/storemessages.h"

#include "platform/desktop/scriptedprompter.h"

#include <QRegularExpression>
#include <QTest>

#include <sqlite3.h>

#include <cerrno>

using namespace qm;
using store::FailureKind;
using store::Error;

namespace {

const QString File = QStringLiteral("/data/辞書 A.dic");
const QString Other = QStringLiteral("/data/b.dic");

// A failure of the kind with every fact filled in, as the store raises it.
Error failureOf(FailureKind kind)
{
    Error error(kind, File, SQLITE_IOERR);
    error.withOther(Other).withNumber(7).withSystemError(ENOSPC);
    error.withCause(Error(FailureKind::InUse, Other));
    if (kind == FailureKind::TargetRefused)
        error.withNumber(qint64(store::TargetRefusal::Database));
    if (kind == FailureKind::BadPattern)
        error.withNumber(qint64(sqlite::LikePattern::Problem::EmptyClass));
    return error;
}

// The kinds whose words do not name the file they were raised for.
bool namesNoFile(FailureKind kind)
{
    using K = FailureKind;
    switch (kind) {
    case K::NumbersExhausted: case K::NulInKeyword: case K::BodyTooLarge: case K::BadPattern:
    case K::Cancelled: case K::WriteFailed: case K::WriteOnly: case K::CompactedCopyDamaged:
    case K::CompactedCopyUnwritten: case K::CompactedNotOpened: case K::BackupCancelled:
    case K::SetFileUnreadableForBackup: case K::SetFileBadUtf8: case K::SetFileBadEncoding:
    case K::SetFileBadCp932: case K::SetFileTooManySets: case K::SetFileMemberFirst:
    case K::SetFileTooManyMembers: case K::SetFileBadNumber: case K::SetFileNoSets: case K::SetFileNotOpened:
    case K::SetFileNotRead: case K::SetFileNoSetsWritten: case K::SetFull: case K::DistributedNotRead:
    case K::DistributedNotFile: case K::DistributedCopyBad:
        return true;
    default:
        return false;
    }
}

} // namespace

class tst_storemessages final : public QObject
{
    Q_OBJECT

private slots:
    void everyKindIsWordedInJapanese();
    void wordsStayAsTheProgramSaysThem_data();
    void wordsStayAsTheProgramSaysThem();
    void aCopyAsEngineErrorKeepsTheFacts();
    void engineFailuresByCode();
    void setFailuresAreToldTogether();
};

void tst_storemessages::everyKindIsWordedInJapanese()
{
    // Words the program writes in Latin letters on purpose.
    static const QRegularExpression latin(QStringLiteral("UTF-8|UTF-16|Shift-JIS|NUL|U\\+0000|FIFO|MB|[A-Za-z]:"));
    for (int k = 0; k <= int(FailureKind::DistributedCopyBad); ++k) {
        const auto kind = FailureKind(k);
        const Error error = failureOf(kind);
        QString words = app::errorText(error);
        const QByteArray row = QByteArray::number(k) + ": " + words.toUtf8();
        QVERIFY2(!words.isEmpty(), row.constData());
        QVERIFY2(namesNoFile(kind) == !words.contains(File), row.constData());
        words.remove(File).remove(Other).remove(latin);
        QVERIFY2(!words.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))), row.constData());
        QVERIFY2(!app::describeFailure(error).isEmpty(), row.constData());
    }
}

void tst_storemessages::wordsStayAsTheProgramSaysThem_data()
{
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("expected");
    const auto add = [](const char *name, const Error &error, const QString &expected) {
        QTest::newRow(name) << app::errorText(error) << expected;
    };
    add("member missing", Error(FailureKind::FileMissing, File), File + QStringLiteral("が見つかりません"));
    add("member not opened", Error(FailureKind::MemberNotOpened, File).withCause(store::notDictionaryError(File)),
        QStringLiteral("辞書 %1 を開けませんでした（辞書ファイルではありません）").arg(File));
    add("set file line", Error(FailureKind::SetFileDuplicateMember, QStringLiteral("/A.DIC")).withNumber(6),
        QStringLiteral("6 行目: 同じ辞書セットに同じ辞書が 2 度あります: /A.DIC"));
    add("set file kept",
        Error(FailureKind::SetFileNotLoaded, File).withCause(Error(FailureKind::SetFileNoSets)),
        QStringLiteral("辞書セットファイル %1 を読み込めませんでした。\n辞書セットが 1 つもありません。\n\n"
                       "このファイルは変更せずに残し、既定の辞書セットで起動します。")
            .arg(File));
    add("set full", Error(FailureKind::SetFull).withNumber(10), QStringLiteral("登録できる辞書は10個までです"));
    add("backup not created", Error(FailureKind::BackupNotCreated, File, SQLITE_FULL),
        QStringLiteral("バックアップ %1 を作成できません（ディスクの空き容量が足りません）").arg(File));
    add("write target", Error(FailureKind::TargetRefused, File).withOther(Other).withNumber(qint64(store::TargetRefusal::SetMember)),
        QStringLiteral("%1（%2 へのリンク）は辞書セットの辞書です。上書きできません").arg(File, Other));
    add("default files", Error(FailureKind::DefaultFilesNotCreated, QStringLiteral("/data")).withSystemError(EACCES),
        QStringLiteral("フォルダー /data に辞書セットファイルと辞書を作成できませんでした。\n書き込む権限がありません\n\n"
                       "既定の辞書セットで起動しますが、辞書は開けません。"));
}

void tst_storemessages::wordsStayAsTheProgramSaysThem()
{
    QFETCH(QString, said);
    QFETCH(QString, expected);
    QCOMPARE(said, expected);
}

void tst_storemessages::aCopyAsEngineErrorKeepsTheFacts()
{
    // Windows keep failures as engine errors (a search's failure, a damaged member).
    const std::optional<sqlite::Error> kept = sqlite::Error(Error(FailureKind::InUse, File));
    QVERIFY(store::isStoreError(*kept, FailureKind::InUse));
    QCOMPARE(kept->code(), SQLITE_BUSY);
    QCOMPARE(app::describeFailure(*kept), app::errorText(*kept));
    QVERIFY(app::errorText(*kept).startsWith(File + QStringLiteral(" は、ほかのプログラムが使用中です")));
}

void tst_storemessages::engineFailuresByCode()
{
    const auto engine = [](int code) { return sqlite::Error(sqlite::Error::Kind::General, code, QStringLiteral("engine")); };
    QCOMPARE(app::describeFailure(engine(SQLITE_BUSY)), QStringLiteral("ほかのプログラムが使用中です"));
    QCOMPARE(app::describeFailure(engine(SQLITE_NOTADB)), QStringLiteral("ファイルが壊れているか、データベースではありません"));
    QCOMPARE(app::errorText(engine(SQLITE_ERROR)), QStringLiteral("engine"));
    // A write cut short reads the same whether worded alone or as the reason.
    QVERIFY(app::errorText(engine(SQLITE_READONLY_ROLLBACK)).startsWith(QStringLiteral("前回の書き込みが途中で終わったまま")));
    QCOMPARE(app::describeFailure(engine(SQLITE_READONLY_ROLLBACK)), app::errorText(engine(SQLITE_READONLY_ROLLBACK)));
    QCOMPARE(app::failureReason(Error(FailureKind::NothingSalvageable, File)),
             QStringLiteral("辞書 %1 は壊れていて、読み出せる項目がありません").arg(File));
}

void tst_storemessages::setFailuresAreToldTogether()
{
    desktop::ScriptedPrompter prompter;
    const auto report = app::setFailuresTo(prompter);
    report({Error(FailureKind::FileMissing, File), Error(FailureKind::MemberIsFolder, Other)});
    report({Error(FailureKind::SetFileCopyFailed, File)});
    report({});
    QCOMPARE(prompter.texts().size(), 2);
    QCOMPARE(prompter.texts().at(0), File + QStringLiteral("が見つかりません\n辞書 /data/b.dic を開けませんでした（ファイルではなくフォルダーです）"));
    QCOMPARE(prompter.messages().at(0).icon, desktop::Prompter::Icon::Warning);
    QCOMPARE(prompter.messages().at(1).icon, desktop::Prompter::Icon::Critical);
}

QTEST_GUILESS_MAIN(tst_storemessages)
#include "tst_storemessages.moc"
