#include "platform/objects/filechooser.h"
#include "platform/objects/objectcontainer.h"

#include "platform/desktop/recordingnavigator.h"
#include "platform/desktop/scriptedprompter.h"

#include "tests/common/testfiles.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qm::objects;
using Type = ObjectContainer::ObjectType;

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

// Runs `drive` on the modal dialog that the next exec() shows.
void whenDialogShows(std::function<void(QDialog *)> drive)
{
    QTimer::singleShot(0, qApp, [drive] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        drive(dialog);
    });
}

void click(QDialog *dialog, const char *name)
{
    auto *button = dialog->findChild<QPushButton *>(QLatin1String(name));
    QVERIFY(button);
    QVERIFY(button->isEnabled());
    button->click();
}

QImage redSquare()
{
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    return picture;
}

} // namespace

class tst_objectcontainer final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void embedAndLinkFiles();
    void brokenLinkIsShownAndReported();
    void linkedPicturesAreReadOnlyFromSmallRegularFiles();
    void openHandsACopyToTheDesktop();
    void pasteFromTheClipboard();
    void copyPutsFileAndData();
    void insertObjectDialog();
    void pasteSpecialDialog();

private:
    QTemporaryDir m_dir;
    qm::desktop::ScriptedPrompter m_prompter;
    qm::desktop::RecordingNavigator m_navigator;
};

void tst_objectcontainer::init()
{
    QApplication::clipboard()->clear();
    m_prompter.clear();
}

void tst_objectcontainer::embedAndLinkFiles()
{
    const QString path = writeFile(m_dir, QStringLiteral("メモ.txt"), "abc\r\n");
    ObjectContainer container;
    QCOMPARE(int(container.objectType()), 3); // empty
    QVERIFY(!container.copyToClipboard());
    QCOMPARE(container.openObject(), ObjectContainer::OpenResult::NoObject);
    QVERIFY(container.createEmbedFromFile(path));
    QCOMPARE(container.objectType(), Type::Embedded);
    QCOMPARE(container.object()->data, QByteArray("abc\r\n"));
    QCOMPARE(container.object()->name, QStringLiteral("メモ.txt"));
    QCOMPARE(container.object()->mimeType, QStringLiteral("text/plain"));
    QCOMPARE(container.displayText(), QStringLiteral("メモ.txt"));

    QVERIFY(container.createLinkFromFile(path));
    QCOMPARE(container.objectType(), Type::Linked);
    QVERIFY(container.object()->data.isEmpty());
    QVERIFY(container.displayText().endsWith(path));

    // A file that is not there changes nothing.
    QVERIFY(!container.createEmbedFromFile(m_dir.filePath(QStringLiteral("none"))));
    QVERIFY(!container.createLinkFromFile(m_dir.path()));
    QCOMPARE(container.objectType(), Type::Linked);

    container.deleteObject();
    QCOMPARE(container.objectType(), Type::None);
}

void tst_objectcontainer::brokenLinkIsShownAndReported()
{
    const QString path = writeFile(m_dir, QStringLiteral("消える.pdf"), "%PDF-1.4");
    ObjectContainer container;
    container.setPrompter(m_prompter);
    container.setNavigator(m_navigator);
    QVERIFY(container.createLinkFromFile(path));
    QVERIFY(!container.isBrokenLink());
    QVERIFY(QFile::remove(path));

    QVERIFY(container.isBrokenLink());
    QCOMPARE(container.objectType(), Type::Linked);
    QVERIFY(container.displayText().contains(path));
    QCOMPARE(container.openObject(), ObjectContainer::OpenResult::MissingFile);
    QCOMPARE(m_prompter.messages().size(), 1);
    QVERIFY(m_prompter.texts().constFirst().contains(path));
    QVERIFY(m_navigator.opened().isEmpty());
    QVERIFY(!container.copyToClipboard());
    container.grab(); // painting a broken link must not fail
}

// Opens the FIFO for writing whenever a reader appears, so a reader that blocked on it gets an
// end of file instead of hanging the test; records whether one ever did.
class FifoWatch final
{
public:
    explicit FifoWatch(const QString &path)
        : m_path(QFile::encodeName(path))
        , m_thread([this] { watch(); })
    {
    }
    ~FifoWatch() { stop(); }
    FifoWatch(const FifoWatch &) = delete;
    FifoWatch &operator=(const FifoWatch &) = delete;

    // Stops watching; true when something opened the FIFO for reading meanwhile.
    bool stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_readerSeen;
    }

private:
    void watch()
    {
        while (!m_stop) {
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                m_readerSeen = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    QByteArray m_path;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_readerSeen{false};
    std::thread m_thread;
};

void tst_objectcontainer::linkedPicturesAreReadOnlyFromSmallRegularFiles()
{
    QByteArray png;
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && redSquare().save(&buffer, "PNG"));
    auto linkedPicture = [](const QString &path) {
        StoredObject object;
        object.kind = StoredObject::Kind::Linked;
        object.name = QFileInfo(path).fileName();
        object.mimeType = QStringLiteral("image/png");
        object.linkPath = path;
        return object;
    };
    ObjectContainer container;

    const QString small = writeFile(m_dir, QStringLiteral("small.png"), png);
    container.setObject(linkedPicture(small));
    QVERIFY(container.displayText().isEmpty()); // shown as the picture

    // A picture followed by more bytes than the cap: shown by its icon and name, not read.
    const QString huge = writeFile(m_dir, QStringLiteral("huge.png"), png);
    QVERIFY(QFile(huge).resize(MaxLinkedPictureBytes + 1));
    container.setObject(linkedPicture(huge));
    QCOMPARE(container.displayText(), QStringLiteral("huge.png\n") + huge);

    // A FIFO is never opened: reading it would hang the window until someone wrote to it.
    const QString fifo = m_dir.filePath(QStringLiteral("fifo.png"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    FifoWatch watch(fifo);
    container.setObject(linkedPicture(fifo));
    QVERIFY(!container.copyToClipboard());
    container.grab();
    QVERIFY(!watch.stop());
    QVERIFY(!container.isBrokenLink());
    QCOMPARE(container.displayText(), QStringLiteral("fifo.png\n") + fifo);
}

void tst_objectcontainer::openHandsACopyToTheDesktop()
{
    ObjectContainer container;
    container.setPrompter(m_prompter);
    container.setNavigator(m_navigator);
    container.setObject(embedData(QStringLiteral("../../逃げる.txt"), QStringLiteral("text/plain"), "data"));
    QCOMPARE(container.openObject(), ObjectContainer::OpenResult::Opened);
    const QString opened = m_navigator.opened().constLast().toLocalFile();
    QCOMPARE(QFileInfo(opened).fileName(), QStringLiteral("逃げる.txt"));
    QVERIFY(!opened.startsWith(m_dir.path()));
    QCOMPARE(qm::test::readFile(opened), QByteArray("data"));

    m_navigator.setSucceeds(false);
    QCOMPARE(container.openObject(), ObjectContainer::OpenResult::Failed);
    QCOMPARE(m_prompter.messages().size(), 1);
}

void tst_objectcontainer::pasteFromTheClipboard()
{
    ObjectContainer container;
    QVERIFY(!container.canPaste());
    QVERIFY(!container.paste());
    QCOMPARE(container.objectType(), Type::None);

    QApplication::clipboard()->setText(QStringLiteral("貼る"));
    QVERIFY(container.canPaste());
    QVERIFY(container.paste());
    QCOMPARE(container.object()->mimeType, QStringLiteral("text/plain"));
    QCOMPARE(container.object()->data, QStringLiteral("貼る").toUtf8());

    QApplication::clipboard()->setImage(redSquare());
    QVERIFY(container.paste());
    QCOMPARE(container.object()->mimeType, QStringLiteral("image/png"));
    QCOMPARE(QImage::fromData(container.object()->data).pixelColor(3, 3), QColor(Qt::red));
    QVERIFY(container.displayText().isEmpty()); // shown as the picture

    const QString path = writeFile(m_dir, QStringLiteral("c.dat"), "file bytes");
    auto *files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(path)});
    QApplication::clipboard()->setMimeData(files);
    QVERIFY(container.paste());
    QCOMPARE(container.objectType(), Type::Embedded);
    QCOMPARE(container.object()->data, QByteArray("file bytes"));
}

void tst_objectcontainer::copyPutsFileAndData()
{
    ObjectContainer container;
    container.setObject(embedData(QStringLiteral("t.txt"), QStringLiteral("text/plain"), "\x93\xFA\x96\x7B"));
    QVERIFY(container.copyToClipboard());
    const QMimeData *data = QApplication::clipboard()->mimeData();
    QCOMPARE(qm::test::readFile(data->urls().constFirst().toLocalFile()), container.object()->data);
    QCOMPARE(data->text(), QStringLiteral("日本")); // CP932 bytes offered as text
}

void tst_objectcontainer::insertObjectDialog()
{
    const QString path = writeFile(m_dir, QStringLiteral("d.odt"), "odt");
    ScriptedFileChooser chooser;
    chooser.queueAnswer(path);
    ObjectContainer container;
    container.setFileChooser(chooser);

    whenDialogShows([](QDialog *dialog) { click(dialog, "cmdCancel"); });
    QVERIFY(!container.insertObject());
    QCOMPARE(container.objectType(), Type::None);

    whenDialogShows([](QDialog *dialog) {
        QCOMPARE(dialog->objectName(), QStringLiteral("dlgInsertObject"));
        QVERIFY(!dialog->findChild<QPushButton *>(QStringLiteral("cmdOK"))->isEnabled());
        click(dialog, "cmdBrowse");
        dialog->findChild<QCheckBox *>(QStringLiteral("chkLink"))->setChecked(true);
        click(dialog, "cmdOK");
    });
    QVERIFY(container.insertObject());
    QCOMPARE(container.objectType(), Type::Linked);
    QCOMPARE(container.object()->linkPath, path);
}

void tst_objectcontainer::pasteSpecialDialog()
{
    const QString path = writeFile(m_dir, QStringLiteral("e.txt"), "e");
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path)});
    data->setText(QStringLiteral("text"));
    data->setData(QStringLiteral("text/html"), "<b>x</b>");
    QApplication::clipboard()->setMimeData(data);
    ObjectContainer container;

    whenDialogShows([](QDialog *dialog) {
        QCOMPARE(dialog->objectName(), QStringLiteral("dlgPasteSpecial"));
        auto *list = dialog->findChild<QListWidget *>(QStringLiteral("lstFormats"));
        QCOMPARE(list->count(), 3); // the file, the text, the HTML data
        dialog->findChild<QRadioButton *>(QStringLiteral("optPasteLink"))->setChecked(true);
        click(dialog, "cmdOK");
    });
    QVERIFY(container.pasteSpecial());
    QCOMPARE(container.objectType(), Type::Linked);

    whenDialogShows([](QDialog *dialog) {
        dialog->findChild<QListWidget *>(QStringLiteral("lstFormats"))->setCurrentRow(2);
        QVERIFY(!dialog->findChild<QRadioButton *>(QStringLiteral("optPasteLink"))->isEnabled());
        click(dialog, "cmdOK");
    });
    QVERIFY(container.pasteSpecial());
    QCOMPARE(container.object()->mimeType, QStringLiteral("text/html"));
    QCOMPARE(container.object()->data, QByteArray("<b>x</b>"));
}

QTEST_MAIN(tst_objectcontainer)
#include "tst_objectcontainer.moc"
