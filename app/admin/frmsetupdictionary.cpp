#include "frmsetupdictionary.h"

#include "adminparts.h"

#include "app/common/storemessages.h"
#include "app/common/waitcursor.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/sets/distribution.h"
#include "platform/desktop/programfolder.h"
#include "platform/desktop/prompter.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>

namespace qm::app {
namespace {

using admin::place;
using desktop::Prompter;
using store::OfferedDictionary;

QStringList localFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    return paths;
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

FileDropZone::FileDropZone(const QString &prompt, QWidget *parent)
    : QFrame(parent)
    , m_prompt(prompt)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setAcceptDrops(true);
}

FileDropZone::~FileDropZone() = default;

void FileDropZone::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(contentsRect(), Qt::AlignCenter, m_prompt);
}

void FileDropZone::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void FileDropZone::dragMoveEvent(QDragMoveEvent *event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void FileDropZone::dropEvent(QDropEvent *event)
{
    // A drop that carries no file is left alone.
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    emit filesDropped(paths);
}

frmSetupDictionary::frmSetupDictionary(store::DatabaseModule &database, Prompter &prompter, QWidget *parent)
    : QDialog(parent)
    , m_database(database)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("frmSetupDictionary"));
    setWindowTitle(QStringLiteral("Quillmere - 配布辞書の登録"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QWidget *client = admin::fixedClient(this, 4335, 2280);
    Picture1 = place(new FileDropZone(QStringLiteral("この中に辞書ファイルをドラッグしてください"), client),
                     QStringLiteral("Picture1"), 120, 120, 4095, 1575);
    cmdClose = place(new QPushButton(QStringLiteral("閉じる"), client), QStringLiteral("cmdClose"), 2640, 1800,
                     1575, 375);
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(Picture1, &FileDropZone::filesDropped, this, &frmSetupDictionary::DropFiles);
}

frmSetupDictionary::~frmSetupDictionary() = default;

void frmSetupDictionary::DropFiles(const QStringList &paths)
{
    if (!m_database.sets().currentSet()) {
        m_prompter.inform(QStringLiteral("辞書セットが選ばれていないため、辞書を登録できません。\n"
                                         "先に「辞書セットの設定」で辞書セットを選んでください。"),
                          {}, Prompter::Icon::Warning);
        return;
    }
    for (const QString &path : paths) {
        OfferedDictionary offered;
        {
            const WaitCursor busy;
            offered = store::examineOfferedDictionary(path);
        }
        if (offered.kind == OfferedDictionary::Kind::NotDatabase)
            continue;
        if (offered.kind == OfferedDictionary::Kind::Unsound) {
            m_prompter.inform(shown(path) + QStringLiteral(" は辞書ファイルではないか、壊れているため登録できません"),
                              {}, Prompter::Icon::Warning);
            continue;
        }
        if (!registerFile(path, offered.name))
            break;
    }
    m_database.CommitDictionarySets();
}

bool frmSetupDictionary::registerFile(const QString &path, const QString &dictionaryName)
{
    const QString target = desktop::ProgramFolder::filePath(QFileInfo(path).fileName());
    if (!storable(target))
        return true;
    if (!m_prompter.confirm(QStringLiteral("「") + dictionaryName + QStringLiteral("」を辞書セットに登録しますか")))
        return false;
    // A file that already lies in the program folder is registered as it is; copying it onto
    // itself would destroy it.
    const bool alreadyThere = store::isSameFile(path, target);
    if (!alreadyThere) {
        if (QFileInfo(target).exists() || QFileInfo(target).isSymLink()) {
            // Replacing a dictionary of the set loses its entries: then No is the safe default.
            const auto safe = isInCurrentSet(target) ? Prompter::Answer::No : Prompter::Answer::Yes;
            if (!m_prompter.confirm(QStringLiteral("この辞書はすでに存在しますが，上書きしてもよろしいですか"), safe))
                return false;
        }
        store::CopyOutcome copied;
        {
            const WaitCursor busy;
            // The program's own connections let go of the file it replaces.
            m_database.releaseWhile(target, [&] { copied = store::copyDictionaryFile(path, target); });
        }
        if (!copied.ok) {
            m_prompter.inform(QStringLiteral("「") + dictionaryName + QStringLiteral("」(") + shown(path)
                                  + QStringLiteral(") をコピーできませんでした。\n") + (copied.reason ? app::errorText(*copied.reason) : QString()),
                              {}, Prompter::Icon::Warning);
            return true;
        }
    }
    m_database.AddDictionaryToSet(target);
    return true;
}

bool frmSetupDictionary::isInCurrentSet(const QString &path) const
{
    const store::DictionarySet *set = m_database.sets().currentSet();
    if (!set)
        return false;
    for (const QString &member : set->fileNames()) {
        if (QDir::cleanPath(member) == QDir::cleanPath(path) || store::isSameFile(member, path))
            return true;
    }
    return false;
}

bool frmSetupDictionary::storable(const QString &target)
{
    // The set file keeps each path between double quotes and trims it when it is read back, so
    // such a name would name another file at the next start.
    if (!target.contains(QLatin1Char('"')) && target == target.trimmed())
        return true;
    m_prompter.inform(shown(target) + QStringLiteral(" は名前に「\"」か前後の空白を含むため、辞書セットに登録できません"),
                      {}, Prompter::Icon::Warning);
    return false;
}

} // namespace qm::app
