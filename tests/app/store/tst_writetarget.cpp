#include "app/store/care/writetarget.h"

#include "app/common/storemessages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace qm::store;

class tst_WriteTarget final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString at(const QString &name) const { return m_dir.filePath(name); }

    static void put(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The files of the folder besides those the cases made: temporary files left behind.
    QStringList leftovers() const
    {
        return QDir(m_dir.path()).entryList(QStringList{QStringLiteral(".*.*")}, QDir::Files | QDir::Hidden);
    }

private slots:
    void initTestCase()
    {
        put(at(QStringLiteral("x.dic")), QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0'));
        put(at(QStringLiteral("member.txt")), "plain text, but a set lists it");
        put(at(QStringLiteral("source.jsonl")), "{}");
        put(at(QStringLiteral("notes.txt")), "old notes");
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
        QVERIFY(::mkfifo(QFile::encodeName(at(QStringLiteral("fifo"))).constData(), 0600) == 0);
        const auto link = [this](const char *to, const char *name) {
            QVERIFY(QFile::link(QString::fromLatin1(to), at(QString::fromLatin1(name))));
        };
        link("x.dic", "out.jsonl");
        link("out.jsonl", "chain.jsonl");
        link("loop-b", "loop-a");
        link("loop-a", "loop-b");
        link("member.txt", "member-link.jsonl");
        link("folder", "folder-link");
        link("new.jsonl", "dangling.jsonl");
        link("notes.txt", "notes-link.html");
    }

    void refusals()
    {
        const struct {
            const char *name;
            TargetRefusal refusal;
            const char *words;
        } cases[] = {
            {"out.jsonl", TargetRefusal::Database, "データベース"},
            {"chain.jsonl", TargetRefusal::Database, "x.dic へのリンク"},
            {"loop-a", TargetRefusal::LinkLoop, "循環"},
            {"loop-a/out.jsonl", TargetRefusal::LinkLoop, "循環"},
            {"nowhere/out.jsonl", TargetRefusal::FolderMissing, "フォルダー"},
            {"folder-link", TargetRefusal::Folder, "フォルダーです"},
            {"fifo", TargetRefusal::Special, "通常のファイルではありません"},
            {"/dev/null", TargetRefusal::Special, "通常のファイルではありません"},
            {"member-link.jsonl", TargetRefusal::SetMember, "辞書セット"},
            {"gone.dic", TargetRefusal::SetMember, "辞書セット"}, // a member that is missing now
            {"source.jsonl", TargetRefusal::Source, "読み込み元"},
            {"dangling.jsonl", TargetRefusal::None, ""},
        };
        const TargetGuard guard{{at(QStringLiteral("source.jsonl"))},
                                {at(QStringLiteral("member.txt")), at(QStringLiteral("gone.dic"))}};
        for (const auto &c : cases) {
            const QString name = QString::fromUtf8(c.name);
            const ResolvedTarget target = resolveWriteTarget(name.startsWith(QLatin1Char('/')) ? name : at(name), guard);
            const QString words = qm::app::describeTargetRefusal(target);
            QVERIFY2(target.refusal == c.refusal && words.contains(QString::fromUtf8(c.words)), c.name);
            TargetFile out(target);
            QCOMPARE(out.open(QIODevice::WriteOnly), c.refusal == TargetRefusal::None);
        }
    }

    // The real file behind the link gets the data and keeps its mode; the link stays a link.
    void replacesTheRealFile()
    {
        const QString notes = at(QStringLiteral("notes.txt"));
        QVERIFY(::chmod(QFile::encodeName(notes).constData(), 0640) == 0);
        {
            TargetFile out(resolveWriteTarget(at(QStringLiteral("notes-link.html"))));
            QVERIFY(out.open(QIODevice::WriteOnly));
            QCOMPARE(out.write("new page"), 8);
            QCOMPARE(read(notes), QByteArray("old notes"));
            QVERIFY2(out.commit(), qPrintable(out.errorString()));
        }
        QCOMPARE(read(notes), QByteArray("new page"));
        QVERIFY(QFileInfo(at(QStringLiteral("notes-link.html"))).isSymLink());
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(notes).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0640));
        QVERIFY(leftovers().isEmpty());

        // Not committed: nothing changes and nothing is left.
        {
            TargetFile out(resolveWriteTarget(notes));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("discarded");
        }
        QCOMPARE(read(notes), QByteArray("new page"));
        QVERIFY(leftovers().isEmpty());
    }

    // A file put under the name while the data was being written is not replaced.
    void targetChangedMeanwhile()
    {
        const QString path = at(QStringLiteral("raced.jsonl"));
        TargetFile out(resolveWriteTarget(path));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("export");
        put(path, QByteArray("SQLite format 3\0", 16));
        QVERIFY(!out.commit());
        QCOMPARE(read(path), QByteArray("SQLite format 3\0", 16));
        QVERIFY(leftovers().isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_WriteTarget)
#include "tst_writetarget.moc"
