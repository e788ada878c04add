#include "entryeditorwindow.h"

#include "editormembers.h"

#include "app/common/listprocedures.h"
#include "app/common/windowsettings.h"
#include "app/common/oleprocedures.h"
#include "app/common/keywordcharacters.h"
#include "app/store/dictionary/entry.h"
#include "app/common/storemessages.h"
#include "app/store/settings.h"
#include "app/common/corvanehost.h"
#include "platform/desktop/accessiblename.h"
#include "platform/desktop/prompter.h"
#include "platform/desktop/twips.h"
#include "platform/desktop/windowstate.h"
#include "platform/objects/filechooser.h"
#include "platform/objects/objectcontainer.h"
#include "platform/rtf/rtf.h"
#include "platform/text/cp932.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace qm::app {

using desktop::Twips;
using store::Viewer;
namespace keys = store::keys::EditWindow;

namespace {

// The splitter never comes nearer than this to either edge of the window.
constexpr double SplitterMargin = 1920;
// The body area is only placed when it is at least this wide.
constexpr double MinimumBodyWidth = 840;

QLabel *label(const QString &name, const QString &caption, QWidget *parent)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

EntryEditorWindow::EntryEditorWindow(store::Settings &settings, desktop::Prompter &prompter,
                                     const Captions &captions, QWidget *parent)
    : QMainWindow(parent)
    , m_settings(settings)
    , m_prompter(prompter, *this)
    , m_ownChooser(std::make_unique<objects::DialogFileChooser>())
    , m_chooser(m_ownChooser.get())
{
    setWindowFlag(Qt::Window);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));
    m_client->installEventFilter(this);
    setCentralWidget(m_client);
    buildControls();
    buildMenus(captions);
    connect(qApp, &QApplication::focusChanged, this, &EntryEditorWindow::focusChanged);
}

EntryEditorWindow::~EntryEditorWindow()
{
    // The children go after this part of the window: their focus changes must not reach it.
    disconnect(qApp, &QApplication::focusChanged, this, &EntryEditorWindow::focusChanged);
}

QWidget *EntryEditorWindow::createEditor(const QString &className, const QString &name)
{
    QString error;
    QWidget *control = CorvaneHost::create(className, name, m_client, &error);
    if (control)
        return control;
    // The window stays usable for the other kinds of body.
    auto *placeholder = new QLabel(QStringLiteral("この種類の本文を編集する部品を作れません。\n%1").arg(error), m_client);
    placeholder->setObjectName(name);
    placeholder->setAlignment(Qt::AlignCenter);
    placeholder->setWordWrap(true);
    placeholder->setFrameShape(QFrame::StyledPanel);
    return placeholder;
}

void EntryEditorWindow::buildControls()
{
    lblKeyWord = label(QStringLiteral("lblKeyWord"), QStringLiteral("キーワード(&K)"), m_client);
    txtIndex = new QLineEdit(m_client);
    txtIndex->setObjectName(QStringLiteral("txtIndex"));
    txtIndex->installEventFilter(this);
    // Whatever way text arrives (typing, an input method, pasting), the reserved characters
    // never become part of a keyword.
    connect(txtIndex, &QLineEdit::textChanged, this, [this](const QString &text) {
        QString kept = text;
        kept.removeIf([](QChar c) { return IsReservedKeywordChar(c); });
        if (kept.size() != text.size()) {
            const int cursor = txtIndex->cursorPosition() - int(text.size() - kept.size());
            txtIndex->setText(kept);
            txtIndex->setCursorPosition(std::max(0, cursor));
        }
    });
    lblKeyWord->setBuddy(txtIndex);
    lstIndex = new QListWidget(m_client);
    lstIndex->setObjectName(QStringLiteral("lstIndex"));
    lstIndex->setAccessibleName(QStringLiteral("キーワード一覧"));
    lstIndex->setSelectionMode(QAbstractItemView::MultiSelection);
    lstIndex->installEventFilter(this);

    lblDic = label(QStringLiteral("lblDic"), QStringLiteral("辞書"), m_client);
    lblClassification = label(QStringLiteral("lblClassification"), QStringLiteral("種類(&C)"), m_client);
    cboViewer = new QComboBox(m_client);
    cboViewer->setObjectName(QStringLiteral("cboViewer"));
    lblClassification->setBuddy(cboViewer);
    desktop::nameBuddy(lblClassification);
    FillViewerTypeList(*cboViewer);
    connect(cboViewer, &QComboBox::currentIndexChanged, this, [this] { ShowBodyEditor(); });

    lblHeading = label(QStringLiteral("lblHeading"), QStringLiteral("見出し(&T)"), m_client);
    txtHeading = new QLineEdit(m_client);
    txtHeading->setObjectName(QStringLiteral("txtHeading"));
    lblHeading->setBuddy(txtHeading);
    connect(txtHeading, &QLineEdit::textChanged, this, [this] { Edited = true; });
    lblDocument = label(QStringLiteral("lblDocument"), QStringLiteral("本文(&D)"), m_client);

    TextBox = createEditor(QStringLiteral("Corvane.TextBoxEdit"), QStringLiteral("TextBox"));
    RTFBox = createEditor(QStringLiteral("Corvane.RichTextBoxEdit"), QStringLiteral("RTFBox"));
    URLBox = createEditor(QStringLiteral("Corvane.TextBoxURL"), QStringLiteral("URLBox"));
    HTMLBox = createEditor(QStringLiteral("Corvane.TextBoxHTML"), QStringLiteral("HTMLBox"));
    oleOLEContainer = new objects::ObjectContainer(m_client);
    oleOLEContainer->setObjectName(QStringLiteral("oleOLEContainer"));
    oleOLEContainer->setPrompter(m_prompter);
    oleOLEContainer->setFileChooser(*m_chooser);
    // An empty object body is otherwise a blank panel: it says how an object gets in.
    oleOLEContainer->setEmptyText(QStringLiteral("ダブルクリックでオブジェクトを挿入します"));
    connect(oleOLEContainer, &objects::ObjectContainer::doubleClicked, this, &EntryEditorWindow::showObjectMenu);
    for (std::size_t i = 0; i < store::Viewers.size(); ++i) {
        const Viewer viewer = store::Viewers[i];
        m_hasEditor[i] = viewer == Viewer::Ole || !qobject_cast<QLabel *>(bodyEditor(viewer));
    }

    imgSplitter = new QWidget(m_client);
    imgSplitter->setObjectName(QStringLiteral("imgSplitter"));
    imgSplitter->setCursor(Qt::SizeHorCursor);
    imgSplitter->installEventFilter(this);
    picSplitter = new QWidget(m_client);
    picSplitter->setObjectName(QStringLiteral("picSplitter"));
    picSplitter->setAutoFillBackground(true);
    QPalette grey = picSplitter->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    picSplitter->setPalette(grey);
    picSplitter->hide();

    // The fixed design places; the layout moves the rest.
    place(lblKeyWord, 120, 480, 1095, 255);
    place(lblDic, 120, 160, 375, 255);
    place(lblDocument, 2280, 1080, 615, 255);
    place(lblHeading, 2280, 480, 735, 255);
    place(oleOLEContainer, 2280, 1320, 1335, 2655);
    place(imgSplitter, 2160, 720, 120, 3570);
}

void EntryEditorWindow::buildMenus(const Captions &captions)
{
    mnuFile = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuEdit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    mnuEditKeyWordDelete = mnuEdit->addAction(captions.keywordDelete, this, [this] { DeleteSelectedKeywords(); });
    mnuEditKeyWordDelete->setObjectName(QStringLiteral("mnuEditKeyWordDelete"));
    mnuEditAllSelect = mnuEdit->addAction(captions.selectAll, this, [this] { lstIndex->selectAll(); });
    mnuEditAllSelect->setObjectName(QStringLiteral("mnuEditAllSelect"));
    connect(mnuEdit, &QMenu::aboutToShow, this, &EntryEditorWindow::refreshEditMenu);
    mnuHelp = menuBar()->addAction(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));

    // Only ever a pop-up over the object container.
    mnuOLE = new QMenu(QStringLiteral("OLE"), this);
    mnuOLE->setObjectName(QStringLiteral("mnuOLE"));
    const auto add = [this](const QString &name, const QString &caption, auto handler) {
        QAction *a = mnuOLE->addAction(caption, this, handler);
        a->setObjectName(name);
        return a;
    };
    mnuOLEInsertObject = add(QStringLiteral("mnuOLEInsertObject"), captions.insertObject,
                             [this] { objectCommand(&objects::ObjectContainer::insertObject); });
    mnuOLEPaste = add(QStringLiteral("mnuOLEPaste"), QStringLiteral("貼り付け(&P)"),
                      [this] { objectCommand(&objects::ObjectContainer::paste); });
    mnuOLESpecialPaste = add(QStringLiteral("mnuOLESpecialPaste"), QStringLiteral("形式を選択して貼り付け(&S)"),
                             [this] { objectCommand(&objects::ObjectContainer::pasteSpecial); });
    mnuOLECreateLink = add(QStringLiteral("mnuOLECreateLink"), QStringLiteral("ﾘﾝｸの作成(&L)"),
                           [this] { objectFromFile(true); });
    mnuOLECreateEmbed = add(QStringLiteral("mnuOLECreateEmbed"), QStringLiteral("埋め込みｵﾌﾞｼﾞｪｸﾄの作成(&E)"),
                            [this] { objectFromFile(false); });
    mnuOLEDelete = add(QStringLiteral("mnuOLEDelete"), QStringLiteral("ｵﾌﾞｼﾞｪｸﾄの削除(&D)"), [this] { deleteObject(); });
}

void EntryEditorWindow::place(QWidget *widget, double left, double top, double width, double height)
{
    QRect r = Twips::toPixels(left, top, width, height);
    // A caption, or the chosen item of a list, is never cut off: the design's sizes were made
    // for another font.
    if ((qobject_cast<QLabel *>(widget) || widget == cboViewer) && widget != TextBox && widget != RTFBox
        && widget != URLBox && widget != HTMLBox)
        r.setSize(r.size().expandedTo(widget->sizeHint()));
    widget->setGeometry(r);
}

void EntryEditorWindow::setDictionaryControl(QWidget *control, double widthOffset)
{
    m_dictionaryControl = control;
    m_dictionaryOffset = widthOffset;
}

void EntryEditorWindow::setTypeGeometry(double labelTop, double labelWidth, double listWidth)
{
    m_typeLabelTop = labelTop;
    m_typeLabelWidth = labelWidth;
    m_typeListWidth = listWidth;
}

void EntryEditorWindow::setHeadingWidth(double width)
{
    m_headingWidth = width;
    place(txtHeading, 2280, 720, width, 270);
}

void EntryEditorWindow::setFileChooser(objects::FileChooser &chooser)
{
    m_chooser = &chooser;
    oleOLEContainer->setFileChooser(chooser);
}

std::optional<Viewer> EntryEditorWindow::selectedViewer() const
{
    return store::viewerFromCode(cboViewer->currentData().toInt());
}

QWidget *EntryEditorWindow::bodyEditor(Viewer viewer) const
{
    switch (viewer) {
    case Viewer::Text:
        return TextBox;
    case Viewer::RichText:
        return RTFBox;
    case Viewer::Url:
        return URLBox;
    case Viewer::Html:
        return HTMLBox;
    case Viewer::Ole:
        return oleOLEContainer;
    }
    return nullptr;
}

bool EntryEditorWindow::hasBodyEditor(Viewer viewer) const
{
    const quint8 code = store::viewerCode(viewer);
    return store::isViewerCode(code) && m_hasEditor[std::size_t(code - store::FirstViewer)];
}

void EntryEditorWindow::ShowBodyEditor()
{
    const std::optional<Viewer> selected = selectedViewer();
    for (const Viewer viewer : store::Viewers)
        bodyEditor(viewer)->setVisible(viewer == selected);
    // The body label's accelerator leads into the editor shown: to the control inside it that
    // takes the focus (the frame of a library control takes none itself).
    if (QWidget *shown = selected ? bodyEditor(*selected) : nullptr) {
        while (shown->focusProxy())
            shown = shown->focusProxy();
        lblDocument->setBuddy(shown);
        // The text editors are the body itself; the address field keeps its own label.
        if (qobject_cast<QAbstractScrollArea *>(shown))
            desktop::setAccessibleName(shown, desktop::withoutAccessKey(lblDocument->text()));
    }
    layOut();
}

void EntryEditorWindow::ClearEditor()
{
    txtIndex->clear();
    lstIndex->clear();
    txtHeading->clear();
    clearBodies();
    oleOLEContainer->deleteObject();
    Edited = false;
}

bool EntryEditorWindow::IsEdited() const
{
    for (const QWidget *w : {TextBox, RTFBox, URLBox, HTMLBox})
        if (editor::isEdited(w))
            return true;
    return Edited;
}

void EntryEditorWindow::SetTabStops(bool on)
{
    if (on == m_tabStopsOn)
        return;
    m_tabStopsOn = on;
    if (!on) {
        m_tabStops.clear();
        QList<QWidget *> controls{txtIndex, lstIndex, cboViewer, txtHeading};
        if (m_dictionaryControl && (m_dictionaryControl->focusPolicy() & Qt::TabFocus))
            controls.append(m_dictionaryControl);
        for (QWidget *w : controls) {
            m_tabStops.append({w, w->focusPolicy()});
            // Still reachable by the mouse and by the labels' accelerators.
            w->setFocusPolicy(Qt::ClickFocus);
        }
    } else {
        for (const auto &[w, policy] : m_tabStops)
            w->setFocusPolicy(policy);
        m_tabStops.clear();
    }
}

bool EntryEditorWindow::insideTabbingEditor(const QWidget *widget) const
{
    for (const QWidget *w : {TextBox, RTFBox, HTMLBox})
        if (widget && (widget == w || w->isAncestorOf(widget)))
            return true;
    return false;
}

void EntryEditorWindow::focusChanged(QWidget *old, QWidget *now)
{
    const bool was = insideTabbingEditor(old);
    const bool is = insideTabbingEditor(now);
    if (is && !was)
        SetTabStops(false);
    else if (was && !is)
        SetTabStops(true);
}

void EntryEditorWindow::loadDesign(const EditorFonts &fonts)
{
    restoreWindow(*this, m_settings, keys::Placement);
    m_splitterLeft = m_settings.value(keys::Separator);
    m_listWidth = m_splitterLeft - 120;
    layOut();
    setEditorFonts(fonts);
}

void EntryEditorWindow::unloadDesign()
{
    saveWindow(*this, m_settings, keys::Placement);
    setWindowState(Qt::WindowNoState);
    m_settings.setValue(keys::Separator, float(m_splitterLeft));
}

void EntryEditorWindow::setEditorFonts(const EditorFonts &fonts)
{
    m_fonts = fonts;
    const auto font = [&](int i) {
        QFont f(fonts.names[i]);
        if (fonts.sizes[i] > 0)
            f.setPointSizeF(fonts.sizes[i]);
        return f;
    };
    editor::setFont(TextBox, font(0));
    editor::setFont(HTMLBox, font(2));
    // Setting a font is no edit of the body.
    for (QWidget *w : {TextBox, HTMLBox})
        editor::clear(w);
    applyRichTextFont();
}

void EntryEditorWindow::applyRichTextFont()
{
    // The rich-text editor's font is the format of what is typed next, which its Clear resets.
    editor::setTypingFont(RTFBox, m_fonts.names[1], m_fonts.sizes[1]);
}

void EntryEditorWindow::clearBodies()
{
    for (QWidget *w : {TextBox, RTFBox, URLBox, HTMLBox})
        editor::clear(w);
    applyRichTextFont();
}

void EntryEditorWindow::layOut()
{
    if (isMinimized())
        return;
    const double sw = Twips::fromPixels(m_client->width());
    const double sh = Twips::fromPixels(m_client->height());

    // The type's caption and list are shown whole, right of the dictionary, whose box gives way
    // to them when the window is narrow.
    const double labelWidth = std::max(m_typeLabelWidth, Twips::fromPixels(lblClassification->sizeHint().width()));
    const double listWidth = std::max(m_typeListWidth, Twips::fromPixels(cboViewer->sizeHint().width()));
    const double listOffset = std::max(720.0, labelWidth + 60);
    // The dictionary's box starts right of its caption, however wide the caption is.
    place(lblDic, 120, 160, 375, 255);
    const double dictionaryShift = std::max(0.0, Twips::fromPixels(lblDic->geometry().right() + 4) - 600);
    double dictionaryWidth = 0;
    if (m_dictionaryControl) {
        m_dictionaryControl->move(Twips::toPixels(600 + dictionaryShift), m_dictionaryControl->y());
        dictionaryWidth = std::min(sw - m_dictionaryOffset, sw - 840 - listOffset - listWidth - 105) - dictionaryShift;
        if (dictionaryWidth > 0)
            m_dictionaryControl->resize(Twips::toPixels(dictionaryWidth), m_dictionaryControl->height());
        else
            dictionaryWidth = Twips::fromPixels(m_dictionaryControl->width());
    }
    const double classificationLeft = dictionaryShift + dictionaryWidth + 840;
    place(lblClassification, classificationLeft, m_typeLabelTop, labelWidth, 255);
    place(cboViewer, classificationLeft + listOffset, 120, listWidth, 300);

    if (sh - 1200 > 0) {
        place(txtIndex, 120, 720, m_listWidth, 270);
        place(lstIndex, 120, 1080, m_listWidth, sh - 1200);
    } else {
        place(txtIndex, 120, 720, m_listWidth, 270);
    }
    if (sh - 840 > 0)
        place(imgSplitter, m_splitterLeft, 720, 120, sh - 840);

    const double x = std::round(m_listWidth + 240);
    const double w = std::round(sw - m_listWidth - 360);
    const double h = std::round(sh - 1440);
    if (w >= MinimumBodyWidth) {
        place(lblHeading, x, 480, 735, 255);
        place(lblDocument, x, 1080, 615, 255);
        place(txtHeading, x, 720, w, 270);
        if (h > 0)
            for (QWidget *body : {TextBox, RTFBox, HTMLBox, URLBox, static_cast<QWidget *>(oleOLEContainer)})
                place(body, x, 1320, w, h);
    }
    picSplitter->raise();
}

bool EntryEditorWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        layOut();
    } else if (watched == txtIndex && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            keywordEntered();
            return true;
        }
        if (key->text().size() == 1 && IsReservedKeywordChar(key->text().at(0)))
            return true;
    } else if (watched == lstIndex && event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
            DeleteSelectedKeywords();
            return true;
        }
    } else if (watched == imgSplitter) {
        // Only mouse events are read as such: a static_cast of any other event is undefined.
        const auto *mouse = dynamic_cast<QMouseEvent *>(event);
        switch (mouse ? event->type() : QEvent::None) {
        case QEvent::MouseButtonPress:
            if (mouse->button() == Qt::LeftButton)
                splitterPressed();
            return true;
        case QEvent::MouseMove:
            splitterMoved(int(mouse->position().x()));
            return true;
        case QEvent::MouseButtonRelease:
            if (SplitterDragging)
                splitterReleased();
            return true;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void EntryEditorWindow::keyPressEvent(QKeyEvent *event)
{
    // The body editors keep Tab for the text; Ctrl+Tab (with Shift, backwards) leaves them for
    // the window's other controls, so the keyboard alone can always move on.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (event->modifiers() & Qt::ControlModifier) && insideTabbingEditor(focusWidget())) {
        SetTabStops(true);
        focusNextPrevChild(event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier));
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void EntryEditorWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        layOut();
}

void EntryEditorWindow::keywordEntered()
{
    const QString text = txtIndex->text();
    if (ListContains(*lstIndex, text)) {
        m_prompter.inform(QStringLiteral("すでに登録されています"), {}, desktop::Prompter::Icon::Warning);
        return;
    }
    if (text.isEmpty())
        return;
    addKeyword(text);
}

void EntryEditorWindow::addKeyword(const QString &keyword)
{
    lstIndex->addItem(keyword);
    txtIndex->clear();
    Edited = true;
}

bool EntryEditorWindow::removeKeywordRow(int row)
{
    delete lstIndex->takeItem(row);
    return true;
}

bool EntryEditorWindow::fitsDictionary(qint64 bytes)
{
    if (bytes <= store::MaxBodyBytes)
        return true;
    m_prompter.inform(QStringLiteral("本文を保存できません。\n%1").arg(app::describeTooLargeBody(bytes)), {},
                      desktop::Prompter::Icon::Warning);
    return false;
}

std::optional<QByteArray> EntryEditorWindow::encodedBody(const QString &text)
{
    // Counting the bytes first refuses a body that is too large before any memory is spent on
    // its encoded form.
    if (!fitsDictionary(text::cp932::encodedSize(text)))
        return std::nullopt;
    text::cp932::EncodeResult encoded = text::cp932::encode(text);
    if (!encoded.ok()) {
        m_prompter.inform(QStringLiteral("本文に辞書へ保存できない文字があります: %1\n"
                                         "これらの文字を別の文字に置き換えてから登録してください。")
                              .arg(text::cp932::describe(encoded.unencodable)),
                          {}, desktop::Prompter::Icon::Warning);
        return std::nullopt;
    }
    return std::move(encoded.bytes);
}

std::optional<QByteArray> EntryEditorWindow::richTextInstead(const QString &text, const QList<char32_t> &unencodable)
{
    const bool agreed = m_prompter.ask({QStringLiteral("本文に CP932 で表せない文字があるため、テキストとしては保存できません: %1\n"
                                                       "リッチテキストとして保存しますか? (リッチテキストはすべての文字を保存できます)")
                                            .arg(text::cp932::describe(unencodable)),
                                        {}, desktop::Prompter::Buttons::YesNo, desktop::Prompter::Answer::Yes,
                                        desktop::Prompter::Icon::Question})
                        == desktop::Prompter::Answer::Yes;
    if (!agreed)
        return std::nullopt;
    QFont font(m_fonts.names[0]);
    if (m_fonts.sizes[0] > 0)
        font.setPointSizeF(m_fonts.sizes[0]);
    // The RTF is ASCII: characters outside CP932 are \uN escapes, the others \'hh bytes.
    QByteArray rtf = rtf::plainTextToRtf(text, font).toLatin1();
    if (!fitsDictionary(rtf.size()))
        return std::nullopt;
    return rtf;
}

std::optional<QByteArray> EntryEditorWindow::storedBody(Viewer &viewer, const QString &objectFile)
{
    // The body's text is taken from its editor once and goes when this returns, once encoded.
    QString text;
    switch (viewer) {
    case Viewer::Ole: {
        QByteArray object = SaveOleObject(*oleOLEContainer, objectFile);
        if (!fitsDictionary(object.size()))
            return std::nullopt;
        return object;
    }
    case Viewer::RichText:
        text = editor::body(RTFBox);
        // An empty rich text box still gives the frame of an RTF document.
        if (!text.contains(QLatin1String("\\pict")) && editor::text(RTFBox).isEmpty())
            return QByteArray();
        break;
    case Viewer::Html:
        text = editor::text(HTMLBox);
        // Characters CP932 cannot hold are kept as character references.
        if (!fitsDictionary(text::cp932::encodedHtmlSize(text)))
            return std::nullopt;
        return text::cp932::encodeHtml(text);
    case Viewer::Text: {
        text = editor::text(TextBox);
        if (text.isEmpty())
            return QByteArray();
        if (!fitsDictionary(text::cp932::encodedSize(text)))
            return std::nullopt;
        text::cp932::EncodeResult encoded = text::cp932::encode(text);
        if (encoded.ok())
            return std::move(encoded.bytes);
        std::optional<QByteArray> rtf = richTextInstead(text, encoded.unencodable);
        if (rtf)
            viewer = Viewer::RichText;
        return rtf;
    }
    case Viewer::Url:
        text = editor::text(URLBox);
        break;
    }
    if (text.isEmpty())
        return QByteArray();
    return encodedBody(text);
}

std::optional<store::Entry> EntryEditorWindow::checkedEntry(const QString &objectFile)
{
    if (lstIndex->count() == 0) {
        m_prompter.inform(QStringLiteral("キーワードがありません"), {}, desktop::Prompter::Icon::Warning);
        return std::nullopt;
    }
    if (txtHeading->text().isEmpty()) {
        m_prompter.inform(QStringLiteral("見出しがありません"), {}, desktop::Prompter::Icon::Warning);
        return std::nullopt;
    }
    // An empty body is found before anything is said about its characters or its size.
    const std::optional<Viewer> selected = selectedViewer();
    std::optional<Viewer> viewer = selected;
    std::optional<QByteArray> bytes = viewer ? storedBody(*viewer, objectFile) : QByteArray();
    if (!bytes)
        return std::nullopt;
    if (bytes->isEmpty()) {
        m_prompter.inform(QStringLiteral("本文がありません"), {}, desktop::Prompter::Icon::Warning);
        return std::nullopt;
    }
    store::Entry entry;
    entry.Viewer = viewer ? store::viewerCode(*viewer) : 0;
    entry.Heading = txtHeading->text();
    entry.Document = std::move(*bytes);
    entry.RenewalDate = QDateTime::currentDateTime();
    // The editor has the text it wrote as RTF: the store need not read it back.
    if (selected == Viewer::RichText)
        entry.VisibleText = editor::visibleText(RTFBox);
    return entry;
}

void EntryEditorWindow::DeleteSelectedKeywords()
{
    for (;;) {
        int first = -1;
        for (int i = 0; i < lstIndex->count(); ++i) {
            if (lstIndex->item(i)->isSelected()) {
                first = i;
                break;
            }
        }
        if (first < 0 || !removeKeywordRow(first))
            return;
    }
}

void EntryEditorWindow::refreshEditMenu()
{
    if (lstIndex->count() == 0) {
        mnuEditKeyWordDelete->setEnabled(false);
        mnuEditAllSelect->setEnabled(false);
        return;
    }
    mnuEditAllSelect->setEnabled(true);
    mnuEditKeyWordDelete->setEnabled(!lstIndex->selectedItems().isEmpty());
}

void EntryEditorWindow::showObjectMenu(const QPoint &globalPos)
{
    const bool canPaste = oleOLEContainer->canPaste();
    mnuOLEPaste->setEnabled(canPaste);
    mnuOLESpecialPaste->setEnabled(canPaste);
    mnuOLEDelete->setEnabled(oleOLEContainer->objectType() != objects::ObjectContainer::ObjectType::None);
    mnuOLE->popup(globalPos);
}

void EntryEditorWindow::objectCommand(bool (objects::ObjectContainer::*command)())
{
    if ((oleOLEContainer->*command)())
        Edited = true;
}

void EntryEditorWindow::objectFromFile(bool link)
{
    const std::optional<QString> path = m_chooser->chooseExistingFile(this, QString());
    if (!path || path->isEmpty())
        return;
    const bool made = link ? oleOLEContainer->createLinkFromFile(*path) : oleOLEContainer->createEmbedFromFile(*path);
    if (made)
        Edited = true;
}

void EntryEditorWindow::deleteObject()
{
    if (m_prompter.confirm(QStringLiteral("ｵﾌﾞｼﾞｪｸﾄを削除してもよろしいですか"), desktop::Prompter::Answer::No))
        oleOLEContainer->deleteObject();
}

void EntryEditorWindow::splitterPressed()
{
    picSplitter->setGeometry(imgSplitter->geometry());
    m_dragLeft = m_splitterLeft;
    picSplitter->show();
    picSplitter->raise();
    SplitterDragging = true;
}

void EntryEditorWindow::splitterMoved(int x)
{
    if (!SplitterDragging)
        return;
    const double p = Twips::fromPixels(imgSplitter->x() + x);
    const double outerWidth = Twips::fromPixels(frameGeometry().width());
    double left = p;
    if (p < SplitterMargin)
        left = SplitterMargin;
    else if (p > outerWidth - SplitterMargin)
        left = outerWidth - SplitterMargin;
    picSplitter->move(Twips::toPixels(left), picSplitter->y());
    m_dragLeft = left;
}

void EntryEditorWindow::splitterReleased()
{
    m_splitterLeft = m_dragLeft;
    m_listWidth = m_splitterLeft - 120;
    picSplitter->hide();
    SplitterDragging = false;
    layOut();
}

} // namespace qm::app
