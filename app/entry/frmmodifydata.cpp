#include "frmmodifydata.h"

#include "editormembers.h"
#include "frmnewdata.h"

#include "app/common/listprocedures.h"
#include "app/common/oleprocedures.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/entry.h"
#include "app/common/storemessages.h"
#include "app/common/temporaryfiles.h"
#include "app/store/sets/slot.h"
#include "app/store/server/serverdictionary.h"
#include "platform/desktop/programfolder.h"
#include "platform/desktop/prompter.h"
#include "platform/desktop/twips.h"
#include "platform/objects/objectcontainer.h"
#include "platform/sqlite/error.h"
#include "platform/text/cp932.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

#include <sqlite3.h>

namespace qm::app {

using desktop::Prompter;
using desktop::Twips;

namespace {

EntryEditorWindow::Captions captions()
{
    return {QStringLiteral("ｷｰﾜｰﾄﾞの削除(&D)"), QStringLiteral("ｷｰﾜｰﾄﾞをすべて選択(&A)"),
            QStringLiteral("ｵﾌﾞｼﾞｪｸﾄの挿入(&I)")};
}

// The engine could not lock the entry's dictionary: another program is writing to it.
bool heldByAnotherProgram(const sqlite::Error &error)
{
    const int code = error.code() & 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

// A file by its native path; a dictionary on a server without the password its location may hold.
QString shownLocation(const QString &location)
{
    return store::isServerLocation(location) ? store::shownServerLocation(location) : QDir::toNativeSeparators(location);
}

QString handOverQuestion(const QString &firstLine)
{
    return firstLine + QLatin1Char('\n') + QStringLiteral("登録する辞書を選んで登録を行ってください");
}

} // namespace

frmModifyData::frmModifyData(store::DatabaseModule &database, store::Settings &settings, desktop::Prompter &prompter,
                             const EditorFonts &fonts, Host host, QWidget *parent)
    : EntryEditorWindow(settings, prompter, captions(), parent)
    , m_database(database)
    , m_host(std::move(host))
{
    setObjectName(QStringLiteral("frmModifyData"));
    setWindowTitle(QStringLiteral("Quillmere - データ修正"));

    lblDictionary = new QLabel(client());
    lblDictionary->setObjectName(QStringLiteral("lblDictionary"));
    lblDictionary->setGeometry(Twips::toPixels(600, 120, 3255, 255));
    setDictionaryControl(lblDictionary, 2520);
    setTypeGeometry(165, 735, 855);
    setHeadingWidth(4215);
    buildMenus();
    connect(mnuHelp, &QAction::triggered, this, [this] {
        if (m_host.showHelp)
            m_host.showHelp(QStringLiteral("EditData.htm#ModifyData"));
    });

    ClearEditor();
    ShowBodyEditor();
    loadDesign(fonts);
}

frmModifyData::~frmModifyData()
{
    Unload();
}

QString frmModifyData::objectFilePath(qint16 slot, qint32 number)
{
    return temporaryFilePath(desktop::ProgramFolder::path(), slot, number, QStringLiteral(".ole"));
}

void frmModifyData::buildMenus()
{
    const auto add = [this](QMenu *menu, const char *name, const QString &caption, auto handler) {
        QAction *a = menu->addAction(caption, this, handler);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    mnuFileRenew = add(mnuFile, "mnuFileRenew", QStringLiteral("更新(&R)"), &frmModifyData::renewCommand);
    mnuFileNullify = add(mnuFile, "mnuFileNullify", QStringLiteral("破棄(&N)"), &frmModifyData::discardCommand);
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuFileSeparator1"));
    mnuFileDelete = add(mnuFile, "mnuFileDelete", QStringLiteral("削除(&D)"), &frmModifyData::deleteCommand);
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuFileSeparator2"));
    mnuFileClose = add(mnuFile, "mnuFileClose", QStringLiteral("閉じる(&C)"), [this] { close(); });

    mnuEdit->addSeparator()->setObjectName(QStringLiteral("mnuEditSeparator1"));
    mnuEditChange = mnuEdit->addMenu(QStringLiteral("種類の変更(&C)"));
    mnuEditChange->setObjectName(QStringLiteral("mnuEditChange"));
    const auto type = [&](const char *name, const QString &caption, store::Viewer viewer) {
        QAction *a = add(mnuEditChange, name, caption, [this, viewer] { ChangeViewerType(viewer); });
        a->setData(store::viewerCode(viewer));
        return a;
    };
    mnuEditChangeText = type("mnuEditChangeText", QStringLiteral("ﾃｷｽﾄ"), store::Viewer::Text);
    mnuEditChangeRichText = type("mnuEditChangeRichText", QStringLiteral("ﾘｯﾁﾃｷｽﾄ"), store::Viewer::RichText);
    mnuEditChangeHTML = type("mnuEditChangeHTML", QStringLiteral("HTML"), store::Viewer::Html);
    mnuEditChangeURL = type("mnuEditChangeURL", QStringLiteral("URL"), store::Viewer::Url);
    mnuEditChangeOLE = type("mnuEditChangeOLE", QStringLiteral("OLE"), store::Viewer::Ole);
    mnuEditReproduce = add(mnuEdit, "mnuEditReproduce", QStringLiteral("種類を変えて複製(&R)"),
                           &frmModifyData::reproduceCommand);
    mnuEditCopyDic = add(mnuEdit, "mnuEditCopyDic", QStringLiteral("他の辞書にデータをコピー(&C)"),
                         &frmModifyData::copyCommand);
    mnuEditMoveDic = add(mnuEdit, "mnuEditMoveDic", QStringLiteral("他の辞書にデータを移動(&M)"),
                         &frmModifyData::moveCommand);
    connect(mnuEdit, &QMenu::aboutToShow, this, &frmModifyData::refreshTypeItems);
}

void frmModifyData::refreshTypeItems()
{
    const std::optional<store::Viewer> selected = selectedViewer();
    for (QAction *a : mnuEditChange->actions())
        a->setEnabled(store::viewerFromCode(a->data().toInt()) != selected);
}

store::DictionaryStorage *frmModifyData::dictionary() const
{
    return m_database.storage(EntrySlot);
}

bool frmModifyData::SetDocument(qint16 intDicIndex, qint32 lngDocNumber)
{
    if (lngDocNumber == 0)
        return false;
    rollbackSession();
    releaseHold();
    EntrySlot = intDicIndex;
    EntryNumber = lngDocNumber;
    store::DictionaryStorage *d = dictionary();
    lblDictionary->setText(store::dictionaryLabel(intDicIndex, d ? d->displayName() : QString()));
    ClearEditor();
    // The window outlives a change of the fonts in the options: each edit takes them anew.
    if (m_host.editorFonts)
        setEditorFonts(m_host.editorFonts());
    if (!d) {
        prompter().inform(QStringLiteral("このデータの辞書は開かれていないため修正できません。"), {}, Prompter::Icon::Warning);
        hide();
        return false;
    }
    if (d->isReadOnly()) {
        prompter().inform(QStringLiteral("辞書 %1 は読み取り専用のため、データを修正できません。")
                              .arg(shownLocation(d->location())),
                          {}, Prompter::Icon::Warning);
        hide();
        return false;
    }
    try {
        // Held before it is read, so what the window shows is what no other program changes meanwhile.
        d->holdEntry(lngDocNumber);
        const std::optional<store::Entry> entry = d->document(lngDocNumber);
        if (!entry) {
            prompter().inform(QStringLiteral("このデータは削除されました"), {}, Prompter::Icon::Warning);
            endEdit();
            return false;
        }
        const QStringList keywords = d->keywords(lngDocNumber);
        if (keywords.isEmpty()) {
            endEdit();
            return false;
        }
        const std::optional<store::Viewer> viewer = store::viewerFromCode(entry->Viewer);
        if (!viewer || !hasBodyEditor(*viewer)) {
            prompter().inform(QStringLiteral("このデータの種類 (%1) は修正できません。").arg(entry->Viewer), {},
                              Prompter::Icon::Warning);
            endEdit();
            return false;
        }
        txtHeading->setText(entry->Heading);
        lstIndex->addItems(keywords);
        SelectItemByData(*cboViewer, store::viewerCode(*viewer));
        ShowBodyEditor();
        loadBody(*viewer, entry->Document);
        m_storedObject = viewer == store::Viewer::Ole ? entry->Document : QByteArray();
        d->beginEditSession();
    } catch (const sqlite::Error &e) {
        if (heldByAnotherProgram(e))
            prompter().inform(QStringLiteral("このデータはほかのプログラムが使用中のため修正できません。\n"
                                             "しばらくしてからやり直してください。"),
                              {}, Prompter::Icon::Warning);
        else if (!m_database.offerRecovery(EntrySlot, e)) // a damaged file is offered for repair
            prompter().inform(QStringLiteral("データを読み込めませんでした。\n%1").arg(app::describeFailure(e)), {},
                              Prompter::Icon::Critical);
        rollbackSession();
        endEdit();
        return false;
    }
    Edited = false;
    return true;
}

bool frmModifyData::loadBody(store::Viewer viewer, const QByteArray &body)
{
    if (viewer != store::Viewer::Ole) {
        editor::setBody(bodyEditor(viewer), text::cp932::decode(body));
        return true;
    }
    if (LoadOleObject(*oleOLEContainer, body, objectFilePath(EntrySlot, EntryNumber)))
        return true;
    prompter().inform(QStringLiteral("このデータのオブジェクトを読み込めませんでした。"), {}, Prompter::Icon::Warning);
    return false;
}

bool frmModifyData::beginSession()
{
    store::DictionaryStorage *d = dictionary();
    if (!d) {
        prompter().inform(QStringLiteral("このデータの辞書は開かれていないため変更できません。"), {}, Prompter::Icon::Warning);
        return false;
    }
    if (d->isEditSessionLive())
        return true;
    try {
        // A session the engine ended by itself (a failed write) is given up, so that no later
        // write runs outside one. A server connection made anew holds the entry again.
        d->rollbackEditSession();
        d->holdEntry(EntryNumber);
        d->beginEditSession();
        return true;
    } catch (const sqlite::Error &e) {
        prompter().inform(QStringLiteral("辞書を変更できません。\n%1").arg(app::describeFailure(e)), {},
                          Prompter::Icon::Critical);
        return false;
    }
}

void frmModifyData::rollbackSession()
{
    store::DictionaryStorage *d = dictionary();
    if (!d || !d->inEditSession())
        return;
    try {
        d->rollbackEditSession();
    } catch (const sqlite::Error &) {
        // The engine has ended the transaction itself; nothing of it was stored.
    }
}

void frmModifyData::releaseHold()
{
    if (store::DictionaryStorage *d = dictionary())
        d->releaseEntry();
}

void frmModifyData::writeFailed(const QString &what, const sqlite::Error &error)
{
    rollbackSession();
    if (store::isStoreError(error, store::FailureKind::ServerChangedByOther)) {
        // Storing the window's text again would overwrite the other program's change.
        prompter().inform(QStringLiteral("%1\n%2\n\n画面の内容はそのまま残してあります。必要な内容を控えてから「破棄」し、"
                                         "データを開き直してください。")
                              .arg(what, app::describeFailure(error)),
                          {}, Prompter::Icon::Warning);
        return;
    }
    prompter().inform(QStringLiteral("%1\n%2\n\nこの修正で書き込んだ内容は取り消されました。画面の内容は「更新」で保存し直せます。")
                          .arg(what, app::describeFailure(error)),
                      {}, Prompter::Icon::Critical);
}

void frmModifyData::addKeyword(const QString &keyword)
{
    if (!beginSession())
        return;
    try {
        dictionary()->addKeyword(EntryNumber, keyword);
    } catch (const sqlite::Error &e) {
        writeFailed(QStringLiteral("キーワードを追加できませんでした。"), e);
        return;
    }
    EntryEditorWindow::addKeyword(keyword);
}

bool frmModifyData::removeKeywordRow(int row)
{
    Edited = true;
    if (!beginSession())
        return false;
    try {
        dictionary()->deleteKeyword(EntryNumber, lstIndex->item(row)->text());
    } catch (const sqlite::Error &e) {
        writeFailed(QStringLiteral("キーワードを削除できませんでした。"), e);
        return false;
    }
    return EntryEditorWindow::removeKeywordRow(row);
}

void frmModifyData::syncKeywords(store::DictionaryStorage &d)
{
    // Normally the keyword rows already match the list; after a failed write was rolled back they
    // are brought back to what the window shows.
    QStringList stored = d.keywords(EntryNumber);
    QStringList missing;
    for (int i = 0; i < lstIndex->count(); ++i) {
        const QString keyword = lstIndex->item(i)->text();
        if (!stored.removeOne(keyword))
            missing.append(keyword);
    }
    d.changeKeywords(EntryNumber, stored, missing);
}

bool frmModifyData::UpdateEntry()
{
    std::optional<store::Entry> entry = checkedEntry(objectFilePath(EntrySlot, EntryNumber));
    if (!entry || !beginSession())
        return false;
    store::DictionaryStorage &d = *dictionary();
    entry->DocumentNumber = EntryNumber;
    try {
        syncKeywords(d);
        if (!d.updateEntry(*entry)) {
            rollbackSession();
            prompter().inform(QStringLiteral("このデータは削除されました"), {}, Prompter::Icon::Warning);
            return false;
        }
        d.commitEditSession();
    } catch (const sqlite::Error &e) {
        writeFailed(QStringLiteral("データを更新できませんでした。"), e);
        return false;
    }
    return true;
}

void frmModifyData::FinishEditing()
{
    if (m_host.closeActiveViewer)
        m_host.closeActiveViewer();
    if (m_host.showDocument)
        m_host.showDocument(EntrySlot, EntryNumber);
    endEdit();
}

void frmModifyData::endEdit()
{
    releaseHold();
    ClearEditor();
    hide();
}

void frmModifyData::renewCommand()
{
    if (UpdateEntry())
        FinishEditing();
}

void frmModifyData::discardCommand()
{
    if (!prompter().confirm(QStringLiteral("編集データを破棄してもよろしいですか"), Prompter::Answer::No))
        return;
    rollbackSession();
    endEdit();
}

void frmModifyData::deleteCommand()
{
    if (!prompter().confirm(QStringLiteral("削除してもよろしいですか"), Prompter::Answer::Yes) || !beginSession())
        return;
    try {
        store::DictionaryStorage &d = *dictionary();
        d.deleteEntry(EntryNumber);
        d.commitEditSession();
    } catch (const sqlite::Error &e) {
        writeFailed(QStringLiteral("データを削除できませんでした。"), e);
        return;
    }
    endEdit();
}

void frmModifyData::closeCommand()
{
    if (IsEdited()) {
        const Prompter::Answer answer = prompter().ask({QStringLiteral("編集データを保存しますか"), {},
                                                        Prompter::Buttons::YesNoCancel, Prompter::Answer::Yes,
                                                        Prompter::Icon::Question});
        if (answer == Prompter::Answer::Cancel || (answer == Prompter::Answer::Yes && !UpdateEntry()))
            return;
        if (answer == Prompter::Answer::Yes) {
            FinishEditing();
            return;
        }
    }
    rollbackSession();
    FinishEditing();
}

void frmModifyData::closeEvent(QCloseEvent *event)
{
    if (m_unloaded) {
        event->accept();
        return;
    }
    // The close box ends the edit; the window itself stays for the next one.
    event->ignore();
    if (isVisible())
        closeCommand();
}

void frmModifyData::Unload()
{
    if (m_unloaded)
        return;
    rollbackSession();
    releaseHold();
    ClearEditor();
    unloadDesign();
    m_unloaded = true;
}

void frmModifyData::ChangeViewerType(store::Viewer viewer)
{
    if (!prompter().confirm(QStringLiteral("種類を変更すると，本文が消去されますがよろしいですか"), Prompter::Answer::No))
        return;
    clearBodies();
    oleOLEContainer->deleteObject();
    SelectItemByData(*cboViewer, store::viewerCode(viewer));
    Edited = true;
}

frmNewData *frmModifyData::handOver(const QString &question)
{
    if (!prompter().confirm(question, Prompter::Answer::No))
        return nullptr;
    rollbackSession();
    releaseHold();
    hide();
    frmNewData *form = m_host.newEntryWindow ? m_host.newEntryWindow() : nullptr;
    if (!form)
        return nullptr;
    for (int i = 0; i < lstIndex->count(); ++i)
        form->lstIndex->addItem(lstIndex->item(i)->text());
    form->txtHeading->setText(txtHeading->text());
    form->Edited = true;
    return form;
}

void frmModifyData::reproduceCommand()
{
    handOver(QStringLiteral("ｷｰﾜｰﾄﾞや種類を複製して新規登録モードに移行しますがよろしいですか"));
}

void frmModifyData::PrefillNewEntry(frmNewData &form)
{
    form.cboViewer->setCurrentIndex(cboViewer->currentIndex());
    const std::optional<store::Viewer> viewer = selectedViewer();
    if (!viewer)
        return;
    if (viewer != store::Viewer::Ole) {
        editor::setBody(form.bodyEditor(*viewer), editor::body(bodyEditor(*viewer)));
        return;
    }
    // The object as it was loaded from the dictionary (an update that failed may already have
    // rewritten the entry's temporary file with the edited one).
    if (!LoadOleObject(*form.oleOLEContainer, m_storedObject,
                       desktop::ProgramFolder::filePath(newEntryObjectFileName())))
        prompter().inform(QStringLiteral("オブジェクトを引き継げませんでした。"), {}, Prompter::Icon::Warning);
}

void frmModifyData::copyCommand()
{
    if (frmNewData *form = handOver(handOverQuestion(QStringLiteral("データをコピーして新規登録モードに移行します。"))))
        PrefillNewEntry(*form);
}

bool frmModifyData::hasOtherDictionary() const
{
    for (int slot = 0; slot < m_database.DictionaryCount(); ++slot)
        if (slot != EntrySlot && m_database.storage(slot))
            return true;
    return false;
}

void frmModifyData::moveCommand()
{
    if (!hasOtherDictionary()) {
        prompter().inform(QStringLiteral("ほかに開いている辞書がないため、データを移動できません。"), {},
                          Prompter::Icon::Warning);
        return;
    }
    // The entry stays in its dictionary until the new-entry window has registered it elsewhere:
    // a move that is never registered loses nothing.
    frmNewData *form = handOver(handOverQuestion(QStringLiteral("データを移動するため新規登録モードに移行します。")));
    if (!form)
        return;
    PrefillNewEntry(*form);
    // Registered into its own dictionary, the entry would only change its number.
    form->setMoveSource(EntrySlot);
    const qint16 slot = EntrySlot;
    const qint32 number = EntryNumber;
    stopWaitingForMove();
    m_moveRegistered = connect(form, &frmNewData::registered, this, [this, slot, number] { completeMove(slot, number); });
    m_moveAbandoned = connect(form, &frmNewData::inputAbandoned, this, [this] {
        stopWaitingForMove();
        prompter().inform(QStringLiteral("データの移動を取り消しました。データは元の辞書に残っています。"));
    });
}

void frmModifyData::stopWaitingForMove()
{
    disconnect(m_moveRegistered);
    disconnect(m_moveAbandoned);
}

void frmModifyData::completeMove(qint16 slot, qint32 number)
{
    stopWaitingForMove();
    const QString failed = QStringLiteral("移動元の辞書からデータを削除できませんでした。データは両方の辞書にあります。");
    store::DictionaryStorage *d = m_database.storage(slot);
    if (!d) {
        prompter().inform(failed + QStringLiteral("\n移動元の辞書が開かれていません。"), {}, Prompter::Icon::Warning);
        return;
    }
    try {
        d->deleteEntry(number);
    } catch (const sqlite::Error &e) {
        prompter().inform(failed + QLatin1Char('\n') + app::describeFailure(e), {}, Prompter::Icon::Critical);
    }
}

} // namespace qm::app
