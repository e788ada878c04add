#include "frmnewdata.h"

#include "editormembers.h"

#include "app/common/listprocedures.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/entry.h"
#include "app/common/storemessages.h"
#include "app/store/settings.h"
#include "app/common/temporaryfiles.h"
#include "app/store/sets/slot.h"
#include "platform/desktop/programfolder.h"
#include "platform/desktop/prompter.h"
#include "platform/desktop/twips.h"
#include "platform/objects/objectcontainer.h"
#include "platform/sqlite/error.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>

namespace qm::app {

using desktop::Prompter;
using desktop::Twips;

namespace {

EntryEditorWindow::Captions captions()
{
    return {QStringLiteral("ｷｰﾜｰﾄﾞの削除"), QStringLiteral("ｷｰﾜｰﾄﾞをすべて選択"), QStringLiteral("ｵﾌﾞｼﾞｪｸﾄの挿入(I)")};
}

} // namespace

frmNewData::frmNewData(store::DatabaseModule &database, store::Settings &settings, desktop::Prompter &prompter,
                       HelpHandler help, QWidget *parent)
    : EntryEditorWindow(settings, prompter, captions(), parent)
    , m_database(database)
    , m_help(std::move(help))
{
    setObjectName(QStringLiteral("frmNewData"));
    setWindowTitle(QStringLiteral("Quillmere - 新規登録"));

    cboDictionary = new QComboBox(client());
    cboDictionary->setObjectName(QStringLiteral("cboDictionary"));
    cboDictionary->setGeometry(Twips::toPixels(600, 120, 3135, 300));
    setDictionaryControl(cboDictionary, 2760);
    lblDic->setText(QStringLiteral("辞書(&J)"));
    lblDic->setBuddy(cboDictionary);
    setTypeGeometry(160, 615, 1095);
    setHeadingWidth(3855);
    lblDocument->setToolTip(QStringLiteral("既にデータがあるときは，ここにドラッグしてください"));
    lblDocument->setAcceptDrops(true);
    lblDocument->installEventFilter(this);

    mnuEditRegister = mnuFile->addAction(QStringLiteral("登録(&R)"), this, &frmNewData::registerCommand);
    mnuEditRegister->setObjectName(QStringLiteral("mnuEditRegister"));
    mnuEditNullify = mnuFile->addAction(QStringLiteral("破棄(&N)"), this, &frmNewData::discardCommand);
    mnuEditNullify->setObjectName(QStringLiteral("mnuEditNullify"));
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuFileSeparator1"));
    mnuFileClose = mnuFile->addAction(QStringLiteral("閉じる(&C)"), this, [this] { close(); });
    mnuFileClose->setObjectName(QStringLiteral("mnuFileClose"));
    connect(mnuHelp, &QAction::triggered, this, [this] {
        if (m_help)
            m_help(QStringLiteral("EditData.htm#AddNewData"));
    });

    // Load: the dictionaries, the first type, the stored design, the editor fonts.
    fillDictionaries();
    cboViewer->setCurrentIndex(0);
    ClearEditor();
    ShowBodyEditor();
    EditorFonts fonts;
    for (int i = 0; i < store::EditorKindCount; ++i) {
        fonts.names[i] = settings.fontName(store::EditorKind(i));
        fonts.sizes[i] = settings.fontSize(store::EditorKind(i));
    }
    loadDesign(fonts);
}

frmNewData::~frmNewData() = default;

void frmNewData::fillDictionaries()
{
    cboDictionary->clear();
    for (int slot = 0; slot < m_database.DictionaryCount(); ++slot) {
        store::DictionaryStorage *d = m_database.storage(slot);
        const QString name = d ? d->displayName() : QStringLiteral("(開けなかった辞書)");
        // The row index is the slot the entry is written to.
        cboDictionary->addItem(store::dictionaryLabel(slot, name));
    }
    if (cboDictionary->count() > 0)
        cboDictionary->setCurrentIndex(0);
    else
        cboDictionary->setPlaceholderText(QStringLiteral("開いている辞書がありません"));
}

bool frmNewData::RegisterEntry()
{
    const int slot = cboDictionary->currentIndex();
    if (slot >= 0 && slot == m_moveSource) {
        prompter().inform(QStringLiteral("このデータは選ばれた辞書にすでにあります。\n"
                                         "移動先には別の辞書を選んでください。"),
                          {}, Prompter::Icon::Warning);
        return false;
    }

    const std::optional<store::Entry> entry = checkedEntry(desktop::ProgramFolder::filePath(newEntryObjectFileName()));
    if (!entry)
        return false;

    store::DictionaryStorage *dictionary = slot >= 0 ? m_database.storage(slot) : nullptr;
    if (!dictionary) {
        prompter().inform(cboDictionary->count() == 0
                              ? QStringLiteral("辞書が開かれていないため登録できません。\n辞書セットに辞書を加えてください。")
                              : QStringLiteral("選ばれた辞書は開かれていないため登録できません。"),
                          {}, Prompter::Icon::Warning);
        return false;
    }

    QStringList keywords;
    for (int i = 0; i < lstIndex->count(); ++i)
        keywords.append(lstIndex->item(i)->text());
    qint32 number = 0;
    try {
        number = dictionary->addEntry(*entry, keywords);
    } catch (const sqlite::Error &e) {
        // The entry and its keywords are one transaction: nothing of it was kept.
        prompter().inform(QStringLiteral("登録できませんでした。\n%1").arg(app::describeFailure(e)), {},
                          Prompter::Icon::Critical);
        return false;
    }
    m_moveSource = -1;
    emit registered(slot, number);
    return true;
}

void frmNewData::registerCommand()
{
    if (RegisterEntry())
        ClearEditor();
}

void frmNewData::discardCommand()
{
    if (IsEdited() && prompter().confirm(QStringLiteral("編集データを破棄してもよろしいですか"), Prompter::Answer::Yes)) {
        ClearEditor();
        m_moveSource = -1;
        emit inputAbandoned();
    }
}

void frmNewData::closeEvent(QCloseEvent *event)
{
    if (m_unloaded) {
        event->accept();
        return;
    }
    bool saved = false;
    if (IsEdited()) {
        const Prompter::Answer answer = prompter().ask({QStringLiteral("編集データを保存しますか"), {},
                                                        Prompter::Buttons::YesNoCancel, Prompter::Answer::Yes,
                                                        Prompter::Icon::Question});
        if (answer == Prompter::Answer::Cancel || (answer == Prompter::Answer::Yes && !RegisterEntry())) {
            event->ignore();
            // The window keeps what was typed and stays in front of the main window.
            raise();
            activateWindow();
            return;
        }
        saved = answer == Prompter::Answer::Yes;
    }
    ClearEditor();
    unloadDesign();
    m_unloaded = true;
    event->accept();
    if (!saved)
        emit inputAbandoned();
}

QString frmNewData::unreadableReason(const QString &path) const
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("ファイルがありません。");
    if (!info.isFile())
        return QStringLiteral("通常のファイルではありません。");
    if (info.size() > store::MaxBodyBytes)
        return QStringLiteral("ファイルが大きすぎます (%1 MB まで)。").arg(store::MaxBodyBytes / (1024 * 1024));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("ファイルを読み取れません (%1)。").arg(file.errorString());
    return {};
}

void frmNewData::LoadDroppedFile(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1).toLower();
    const QString baseName = dot < 0 ? name : name.left(dot);

    std::optional<store::Viewer> viewer;
    if (extension == QLatin1String("txt"))
        viewer = store::Viewer::Text;
    else if (extension == QLatin1String("rtf"))
        viewer = store::Viewer::RichText;
    else if (extension == QLatin1String("htm") || extension == QLatin1String("html"))
        viewer = store::Viewer::Html;
    else if (extension == QLatin1String("url"))
        viewer = store::Viewer::Url;

    if (viewer) {
        // Nothing changes unless the file can be read into its editor.
        QString reason = unreadableReason(path);
        if (reason.isEmpty())
            reason = editor::loadFile(bodyEditor(*viewer), path);
        if (!reason.isEmpty()) {
            prompter().inform(QStringLiteral("ファイル \"%1\" を読み込めません。\n%2").arg(name, reason), {},
                              Prompter::Icon::Warning);
        } else {
            SelectItemByData(*cboViewer, store::viewerCode(*viewer));
            // A page whose title cannot be read keeps the file's name as its heading.
            txtHeading->setText(viewer == store::Viewer::Html ? editor::title(HTMLBox).value_or(baseName) : baseName);
        }
    }
    ShowBodyEditor();
}

bool frmNewData::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lblDocument) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDropEvent *>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
            break;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            const QList<QUrl> urls = drop->mimeData()->urls();
            // Only files: dragged text or a web address is not a file to load.
            if (!urls.isEmpty() && urls.first().isLocalFile()) {
                drop->acceptProposedAction();
                LoadDroppedFile(urls.first().toLocalFile());
            }
            return true;
        }
        default:
            break;
        }
    }
    return EntryEditorWindow::eventFilter(watched, event);
}

} // namespace qm::app
