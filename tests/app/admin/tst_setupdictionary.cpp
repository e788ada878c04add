#include "adminfixture.h"

#include "app/common/storemessages.h"
#include "app/admin/frmsetupdictionary.h"
#include "app/store/sets/databasemodule.h"
#include "platform/desktop/programfolder.h"
#include "tests/common/stocksqlite.h"
#include "tests/common/testfiles.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <functional>
#include <memory>

using namespace qm;
using app::frmSetupDictionary;
using Answer = desktop::Prompter::Answer;

namespace {

// Answers like the scripted prompter, and lets a test change files while a question is open,
// as another program could.
class HookedPrompter final : public desktop::Prompter
{
public:
    Answer ask(const Message &message) override
    {
        if (onAsk)
            onAsk(message);
        return scripted.ask(message);
    }
    std::function<void(const Message &)> onAsk;
    desktop::ScriptedPrompter scripted;
};

} // namespace

class tst_setupdictionary final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void eachDroppedDictionaryIsAskedAbout();
    void hostileAndForeignFilesAreSkipped();
    void anExistingFileIsReplacedOnlyWhenAllowed();
    void aFileOfTheProgramFolderIsNotCopiedOntoItself();
    void aFailedCopyLeavesNothingAndAddsNothing();
    void aFullSetGetsTheCopyButNotTheFile();
    void theDropZone();

private:
    frmSetupDictionary &dialog();
    QStringList setFiles() const;
    QStringList programFolderFiles() const;
    QString target(const QString &name) const { return m_program.filePath(name); }

    QTemporaryDir m_program;
    test::Dictionaries m_offered;
    HookedPrompter m_prompter;
    std::unique_ptr<store::DatabaseModule> m_db;
    std::unique_ptr<frmSetupDictionary> m_dialog;
};

void tst_setupdictionary::init()
{
    m_dialog.reset();
    m_db.reset();
    m_prompter.onAsk = nullptr;
    m_prompter.scripted = {};
    for (const QString &name : QDir(m_program.path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(m_program.filePath(name));
    // The current set holds the program folder's own dictionary.
    store::Dictionary::CreateDictionary(target(QStringLiteral("User.dic")), QStringLiteral("ユーザー"), {}, {},
                                        {false, false, false});
    m_db = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_prompter), m_program.path());
    desktop::ProgramFolder::setPath(m_program.path());
    m_db->sets().add(store::DictionarySet(QStringLiteral("標準"), {target(QStringLiteral("User.dic"))}));
    m_db->sets().choose(0);
}

frmSetupDictionary &tst_setupdictionary::dialog()
{
    m_dialog = std::make_unique<frmSetupDictionary>(*m_db, m_prompter);
    m_dialog->show();
    return *m_dialog;
}

QStringList tst_setupdictionary::setFiles() const
{
    QStringList out;
    for (const QString &file : m_db->sets().at(0).fileNames())
        out.append(QFileInfo(file).fileName());
    return out;
}

QStringList tst_setupdictionary::programFolderFiles() const
{
    // The set file written after a drop is checked on its own.
    QStringList files = QDir(m_program.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    files.removeAll(QStringLiteral("DicSets.ini"));
    return files;
}

void tst_setupdictionary::eachDroppedDictionaryIsAskedAbout()
{
    // A No ends the drop: the third file is never asked about.
    const QStringList dropped = {m_offered.make(QStringLiteral("one.dic"), QStringLiteral("一"), 3),
                                 m_offered.make(QStringLiteral("two.dic"), QStringLiteral("二")),
                                 m_offered.make(QStringLiteral("three.dic"), QStringLiteral("三"), 1)};
    for (Answer a : {Answer::Yes, Answer::No, Answer::Yes})
        m_prompter.scripted.queueAnswer(a);
    dialog().DropFiles(dropped);
    QCOMPARE(m_prompter.scripted.texts(), (QStringList{QStringLiteral("「一」を辞書セットに登録しますか"),
                                                       QStringLiteral("「二」を辞書セットに登録しますか")}));
    QCOMPARE(m_prompter.scripted.messages().at(0).defaultAnswer, Answer::Yes);
    QCOMPARE(setFiles(), (QStringList{QStringLiteral("User.dic"), QStringLiteral("one.dic")}));
    QCOMPARE(programFolderFiles(), (QStringList{QStringLiteral("User.dic"), QStringLiteral("one.dic")}));
    QCOMPARE(test::readFile(target(QStringLiteral("one.dic"))), test::readFile(dropped.at(0)));
    // The set file on disk has the addition at once, before the program ends.
    store::DatabaseModule reread(qm::app::storeHost(m_prompter), m_program.path());
    reread.LoadDictionarySets();
    QCOMPARE(reread.DictionarySetList()[0].count(), 2);
    QCOMPARE(reread.DictionarySetList()[0].fileName(1), target(QStringLiteral("one.dic")));
    // The copy opens with the set.
    m_db->OpenDictionarySet();
    QVERIFY(m_db->dictionary(1));
    QCOMPARE(m_db->dictionary(1)->documentRowCount(), qint64(3));
}

void tst_setupdictionary::hostileAndForeignFilesAreSkipped()
{
    // A dictionary another program gave a trigger, a damaged one, and a text file.
    const QString hostile = m_offered.make(QStringLiteral("hostile.dic"), QStringLiteral("罠"), 1);
    QCOMPARE(test::stockSqlite(hostile, QStringLiteral("CREATE TRIGGER t AFTER INSERT ON \"Index\" BEGIN "
                                                       "DELETE FROM Document; END;")),
             QString());
    const QString damaged = m_offered.path(QStringLiteral("damaged.dic"));
    QByteArray bytes = test::readFile(m_offered.make(QStringLiteral("whole.dic"), QStringLiteral("全体"), 20));
    QVERIFY(test::writeFile(damaged, bytes.left(bytes.size() / 2)));
    const QString text = m_offered.path(QStringLiteral("readme.txt"));
    QVERIFY(test::writeFile(text, "not a dictionary\r\n"));
    const QString good = m_offered.make(QStringLiteral("good.dic"), QStringLiteral("良"));

    dialog().DropFiles({text, hostile, good, damaged});
    QCOMPARE(m_prompter.scripted.texts(),
             (QStringList{hostile + QStringLiteral(" は辞書ファイルではないか、壊れているため登録できません"),
                          QStringLiteral("「良」を辞書セットに登録しますか"),
                          damaged + QStringLiteral(" は辞書ファイルではないか、壊れているため登録できません")}));
    QCOMPARE(programFolderFiles(), (QStringList{QStringLiteral("User.dic"), QStringLiteral("good.dic")}));
    QCOMPARE(setFiles(), (QStringList{QStringLiteral("User.dic"), QStringLiteral("good.dic")}));
}

void tst_setupdictionary::anExistingFileIsReplacedOnlyWhenAllowed()
{
    const QByteArray before = test::readFile(target(QStringLiteral("User.dic")));
    const QString offered = m_offered.make(QStringLiteral("User.dic"), QStringLiteral("配布版"), 2);
    // Register: Yes; overwrite a dictionary of the set: the default, which is No.
    m_prompter.scripted.queueAnswer(Answer::Yes);
    dialog().DropFiles({offered});
    const QList<desktop::Prompter::Message> asked = m_prompter.scripted.messages();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked.at(1).text, QStringLiteral("この辞書はすでに存在しますが，上書きしてもよろしいですか"));
    QCOMPARE(asked.at(1).defaultAnswer, Answer::No);
    QCOMPARE(test::readFile(target(QStringLiteral("User.dic"))), before);
    QCOMPARE(setFiles(), QStringList{QStringLiteral("User.dic")});

    // Yes replaces it, without the journal a crash left beside the old file; the set keeps it
    // once, and says so.
    QVERIFY(test::writeFile(target(QStringLiteral("User.dic-journal")), QByteArray(1024, '\xd9')));
    m_prompter.scripted = {};
    m_prompter.scripted.queueAnswer(Answer::Yes);
    m_prompter.scripted.queueAnswer(Answer::Yes);
    m_dialog->DropFiles({offered});
    QCOMPARE(test::readFile(target(QStringLiteral("User.dic"))), test::readFile(offered));
    QVERIFY(!QFile::exists(target(QStringLiteral("User.dic-journal"))));
    QCOMPARE(m_prompter.scripted.texts().last(), target(QStringLiteral("User.dic")) + QStringLiteral(" はすでに登録されています"));
    QCOMPARE(setFiles(), QStringList{QStringLiteral("User.dic")});

    // A file of that name outside the set: the question defaults to Yes.
    store::Dictionary::CreateDictionary(target(QStringLiteral("other.dic")), QStringLiteral("別"), {}, {},
                                        {false, false, false});
    m_prompter.scripted = {};
    m_dialog->DropFiles({m_offered.make(QStringLiteral("other.dic"), QStringLiteral("他"))});
    QCOMPARE(m_prompter.scripted.messages().at(1).defaultAnswer, Answer::Yes);
    QCOMPARE(setFiles(), (QStringList{QStringLiteral("User.dic"), QStringLiteral("other.dic")}));
}

void tst_setupdictionary::aFileOfTheProgramFolderIsNotCopiedOntoItself()
{
    const QString inPlace = target(QStringLiteral("here.dic"));
    store::Dictionary::CreateDictionary(inPlace, QStringLiteral("ここ"), {}, {}, {false, false, false});
    const QByteArray before = test::readFile(inPlace);
    // Also through another spelling of the same folder.
    dialog().DropFiles({m_program.path() + QStringLiteral("/./here.dic")});
    QCOMPARE(m_prompter.scripted.texts(), QStringList{QStringLiteral("「ここ」を辞書セットに登録しますか")});
    QCOMPARE(test::readFile(inPlace), before);
    QCOMPARE(setFiles(), (QStringList{QStringLiteral("User.dic"), QStringLiteral("here.dic")}));
}

void tst_setupdictionary::aFailedCopyLeavesNothingAndAddsNothing()
{
    // The file is replaced by something else after it was checked: the copy is refused whole.
    const QString changed = m_offered.make(QStringLiteral("changed.dic"), QStringLiteral("変化"), 5);
    // The file disappears while the user is asked.
    const QString vanished = m_offered.make(QStringLiteral("vanished.dic"), QStringLiteral("消失"));
    const QString fine = m_offered.make(QStringLiteral("fine.dic"), QStringLiteral("無事"));
    m_prompter.onAsk = [&](const desktop::Prompter::Message &m) {
        if (m.buttons == desktop::Prompter::Buttons::Ok)
            return;
        if (m.text.contains(QStringLiteral("変化"))) {
            QVERIFY(test::writeFile(changed, QByteArray(8192, 'x')));
        } else if (m.text.contains(QStringLiteral("消失"))) {
            QVERIFY(QFile::remove(vanished));
        }
    };
    dialog().DropFiles({changed, vanished, fine});
    const QStringList said = m_prompter.scripted.texts();
    QCOMPARE(said.size(), 5);
    QCOMPARE(said.at(1), QStringLiteral("「変化」(") + changed + QStringLiteral(") をコピーできませんでした。\n"
                                                                          "コピーした辞書が正しくありません"));
    QCOMPARE(said.at(3), QStringLiteral("「消失」(") + vanished + QStringLiteral(") をコピーできませんでした。\n"
                                                                           "ファイルが見つかりません"));
    // No partial copy, no temporary file; only the sound one is added.
    QCOMPARE(programFolderFiles(), (QStringList{QStringLiteral("User.dic"), QStringLiteral("fine.dic")}));
    QCOMPARE(setFiles(), (QStringList{QStringLiteral("User.dic"), QStringLiteral("fine.dic")}));
}

void tst_setupdictionary::aFullSetGetsTheCopyButNotTheFile()
{
    store::DictionarySet full = m_db->sets().at(0);
    for (int i = 1; i < store::MaxDictionariesPerSet; ++i)
        full.append(target(QStringLiteral("slot%1.dic").arg(i)));
    m_db->sets().replace(0, full);
    const store::DictionarySet &set = m_db->sets().at(0);
    dialog().DropFiles({m_offered.make(QStringLiteral("eleventh.dic"), QStringLiteral("十一"))});
    QCOMPARE(m_prompter.scripted.texts().last(), QStringLiteral("登録できる辞書は10個までです"));
    QVERIFY(QFile::exists(target(QStringLiteral("eleventh.dic"))));
    QCOMPARE(set.count(), store::MaxDictionariesPerSet);

    // With no set current nothing is copied.
    m_db->sets().choose(-1);
    m_prompter.scripted = {};
    m_dialog->DropFiles({m_offered.make(QStringLiteral("twelfth.dic"), QStringLiteral("十二"))});
    QCOMPARE(m_prompter.scripted.texts().size(), 1);
    QVERIFY(!QFile::exists(target(QStringLiteral("twelfth.dic"))));
}

void tst_setupdictionary::theDropZone()
{
    frmSetupDictionary &d = dialog();
    QCOMPARE(d.windowTitle(), QStringLiteral("Quillmere - 配布辞書の登録"));
    QCOMPARE(d.cmdClose->text(), QStringLiteral("閉じる"));
    QVERIFY(QTest::qWaitForWindowExposed(&d));

    // The prompt is drawn in the middle of the zone.
    QCOMPARE(d.Picture1->prompt(), QStringLiteral("この中に辞書ファイルをドラッグしてください"));
    const QImage image = d.Picture1->grab().toImage();
    const QColor background = d.Picture1->palette().color(QPalette::Base);
    QRect ink;
    for (int y = 4; y < image.height() - 4; ++y)
        for (int x = 4; x < image.width() - 4; ++x)
            if (qGray(image.pixel(x, y)) < qGray(background.rgb()) - 96)
                ink |= QRect(x, y, 1, 1);
    QVERIFY(!ink.isEmpty());
    QVERIFY2(qAbs(ink.center().x() - image.rect().center().x()) <= 3, "centred across");
    QVERIFY2(qAbs(ink.center().y() - image.rect().center().y()) <= 3, "centred down");

    // Files dropped from the file manager, in their order; a drop without files does nothing.
    const QString a = m_offered.make(QStringLiteral("a.dic"), QStringLiteral("甲"));
    const QString b = m_offered.make(QStringLiteral("b.dic"), QStringLiteral("乙"));
    auto drop = [&d](QMimeData *data) {
        const QPoint at = d.Picture1->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(d.Picture1, &enter);
        QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(d.Picture1, &dropped);
        return enter.isAccepted();
    };
    QMimeData text;
    text.setText(QStringLiteral("a.dic"));
    QVERIFY(!drop(&text));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(b), QUrl::fromLocalFile(a)});
    QVERIFY(drop(&files));
    QCOMPARE(setFiles(), (QStringList{QStringLiteral("User.dic"), QStringLiteral("b.dic"), QStringLiteral("a.dic")}));
    d.cmdClose->click();
    QVERIFY(!d.isVisible());
}

QTEST_MAIN(tst_setupdictionary)
#include "tst_setupdictionary.moc"
