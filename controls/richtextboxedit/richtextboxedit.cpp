#include "controls/richtextboxedit/richtextboxedit.h"

#include "controls/dialogs/commondialogs.h"
#include "controls/dialogs/frmattributechangedialog.h"
#include "controls/dialogs/frmfinddialog.h"
#include "controls/dialogs/sizekeyfilter.h"
#include "controls/dialogs/textwidgettargets.h"
#include "controls/editorcommands.h"
#include "controls/fontlist.h"
#include "controls/messages.h"
#include "controls/richtextboxedit/selectionformat.h"
#include "controls/services.h"
#include "controls/textboxedit/textfilecodec.h"

#include "platform/desktop/accessiblename.h"
#include "platform/desktop/twips.h"
#include "platform/rtf/charformat.h"
#include "platform/rtf/printing.h"
#include "platform/rtf/rtf.h"
#include "platform/text/textfile.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

#include <cmath>

namespace corvane {
namespace {

using qm::desktop::Prompter;
using qm::desktop::Twips;

constexpr float MaxFontSize = 1638.0f; // the largest size RTF can carry (\fs32767)
constexpr double MinRaisedSize = 3.0;  // raising or lowering makes no text smaller than this

QString fileFilter()
{
    return QStringLiteral("ﾘｯﾁﾃｷｽﾄ ﾌｧｲﾙ (*.rtf);;ﾃｷｽﾄ ﾌｧｲﾙ (*.txt)");
}

// The colours of Ctrl+0 ... Ctrl+9: the digit's character of "09abcdef87" is an index into the
// sixteen colours of the classic text-mode palette.
QColor paletteColor(int digit)
{
    static const QRgb palette[16] = {
        qRgb(0, 0, 0),       qRgb(0, 0, 128),   qRgb(0, 128, 0),   qRgb(0, 128, 128),
        qRgb(128, 0, 0),     qRgb(128, 0, 128), qRgb(128, 128, 0), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(0, 0, 255),   qRgb(0, 255, 0),   qRgb(0, 255, 255),
        qRgb(255, 0, 0),     qRgb(255, 0, 255), qRgb(255, 255, 0), qRgb(255, 255, 255)};
    static const QLatin1String indexes("09abcdef87");
    return QColor(palette[QString(indexes.at(digit)).toInt(nullptr, 16)]);
}

QString sizeText(double points)
{
    return QString::number(points, 'g', 6);
}

// Shows a format button pressed, released, or in its mixed look (released, shaded).
void showState(QToolBar &bar, QAction *button, std::optional<bool> state)
{
    button->setChecked(state.value_or(false));
    const bool mixed = !state.has_value();
    if (button->property("mixed").toBool() == mixed)
        return;
    button->setProperty("mixed", mixed);
    if (QWidget *widget = bar.widgetForAction(button)) {
        widget->setProperty("mixed", mixed);
        widget->style()->unpolish(widget);
        widget->style()->polish(widget);
        widget->update();
    }
}

// One of a group of three: pressed when the value is `pressedFor`, all three mixed when the
// value is.
std::optional<bool> groupState(const std::optional<int> &value, bool pressed)
{
    if (!value)
        return std::nullopt;
    return pressed;
}

} // namespace

RichTextBoxEdit::RichTextBoxEdit(QWidget *parent)
    : FontEditorControl(parent)
    , tbEditToolBar(new QToolBar(this))
    , tbFormToolBar(new QToolBar(this))
    , RichText(new QTextEdit(this))
    , m_findTarget(new RichTextTarget(RichText))
    , m_commands(new EditorCommands(RichText))
{
    RichText->setObjectName(QStringLiteral("RichText"));
    RichText->setAccessibleName(QStringLiteral("リッチテキスト"));
    RichText->setAcceptRichText(true);
    RichText->installEventFilter(this);
    setFocusProxy(RichText);
    captureDefaultFont(RichText->font());
    createEditToolBar();
    m_commands->add(*this, tbEditToolBar->actions());
    createFormToolBar();
    FillFontLists();

    connect(RichText, &QTextEdit::textChanged, this, &RichTextBoxEdit::RichText_Change);
    connect(RichText, &QTextEdit::currentCharFormatChanged, this, &RichTextBoxEdit::UpdateFormatToolbar);
    connect(RichText, &QTextEdit::cursorPositionChanged, this, &RichTextBoxEdit::UpdateFormatToolbar);
    connect(RichText, &QTextEdit::selectionChanged, this, &RichTextBoxEdit::UpdateFormatToolbar);
    // A format applied to a selection moves no cursor; the toolbar follows it all the same.
    connect(RichText->document(), &QTextDocument::contentsChanged, this,
            &RichTextBoxEdit::UpdateFormatToolbar);
    layOut();
    UpdateFormatToolbar();
}

// The widgets outlive this part of the control: they must not call back into it while they go.
RichTextBoxEdit::~RichTextBoxEdit()
{
    RichText->removeEventFilter(this);
    cboFontName->removeEventFilter(this);
    cboFontSize->removeEventFilter(this);
    disconnect(RichText, nullptr, this, nullptr);
    disconnect(RichText->document(), nullptr, this, nullptr);
    disconnect(cboFontName, nullptr, this, nullptr);
    disconnect(cboFontSize, nullptr, this, nullptr);
}

void RichTextBoxEdit::createEditToolBar()
{
    struct Button {
        const char *key;
        const char16_t *toolTip;
        const char *image;
        void (RichTextBoxEdit::*command)();
        bool separatorAfter;
    };
    static constexpr Button buttons[] = {
        {"btnNew", u"新規作成 Ctrl+N", "textboxedit/New", &RichTextBoxEdit::NewDocument, false},
        {"btnOpen", u"開く", "textboxedit/Open", &RichTextBoxEdit::OpenDocument, false},
        {"btnSave", u"保存", "textboxedit/Save", &RichTextBoxEdit::SaveDocument, true},
        {"btnPrint", u"印刷 Ctrl+P", "textboxedit/Print", &RichTextBoxEdit::PrintDocument, true},
        {"btnCut", u"切り取り Ctrl+X", "textboxedit/Cut", nullptr, false},
        {"btnCopy", u"ｺﾋﾟｰ Ctrl+C", "textboxedit/Copy", nullptr, false},
        {"btnPaste", u"貼り付け Ctrl+V", "textboxedit/Paste", nullptr, false},
        {"btnUndo", u"元に戻す Ctrl+Z", "textboxedit/Undo", nullptr, true},
        {"btnFind", u"検索 Ctrl+F", "textboxedit/Find", &RichTextBoxEdit::showFind, false},
        {"btnReplace", u"置換", "textboxedit/Replace", &RichTextBoxEdit::showReplace, false},
        {"btnAttribute", u"書式変更", "richtextboxedit/Attribute", &RichTextBoxEdit::showAttribute, false},
    };
    static constexpr Qt::Key keystrokes[] = {Qt::Key_X, Qt::Key_C, Qt::Key_V, Qt::Key_Z};
    tbEditToolBar->setObjectName(QStringLiteral("tbEditToolBar"));
    tbEditToolBar->setMovable(false);
    tbEditToolBar->setFloatable(false);
    tbEditToolBar->setIconSize(QSize(16, 16));
    qm::desktop::nameToolBarExtension(tbEditToolBar);
    int keystroke = 0;
    for (const Button &b : buttons) {
        const QString toolTip = QString::fromUtf16(b.toolTip);
        const QIcon icon(QStringLiteral(":/corvane/%1.svg").arg(QLatin1String(b.image)));
        QAction *action = tbEditToolBar->addAction(icon, toolTip);
        action->setObjectName(QLatin1String(b.key));
        action->setToolTip(toolTip);
        if (b.command) {
            connect(action, &QAction::triggered, this, b.command);
        } else {
            const Qt::Key key = keystrokes[keystroke++];
            connect(action, &QAction::triggered, this, [this, key] { sendKeystroke(key); });
        }
        connect(action, &QAction::triggered, this, &RichTextBoxEdit::UpdateFormatToolbar);
        if (b.separatorAfter)
            tbEditToolBar->addSeparator();
    }
}

QWidget *RichTextBoxEdit::createFontBoxes()
{
    auto *holder = new QWidget(tbFormToolBar);
    holder->setObjectName(QStringLiteral("picFontBoxes"));
    const QFont boxFont(QStringLiteral("ＭＳ Ｐゴシック"), 9);
    cboFontName = new QComboBox(holder);
    cboFontSize = new QComboBox(holder);
    cboFontName->setObjectName(QStringLiteral("cboFontName"));
    cboFontSize->setObjectName(QStringLiteral("cboFontSize"));
    const int top = Twips::toPixels(45);
    for (QComboBox *box : {cboFontName, cboFontSize}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setFont(boxFont);
        box->setMaxVisibleItems(20);
        box->installEventFilter(this);
    }
    cboFontName->setGeometry(0, top, Twips::toPixels(2415), cboFontName->sizeHint().height());
    qm::desktop::setAccessibleName(cboFontName, QStringLiteral("フォント"));
    qm::desktop::setAccessibleName(cboFontSize, QStringLiteral("サイズ"));
    cboFontSize->setGeometry(Twips::toPixels(2520), top, Twips::toPixels(735),
                             cboFontSize->sizeHint().height());
    // This control's filter goes last, so it sees Enter before the size filter swallows it.
    cboFontSize->installEventFilter(new SizeKeyFilter(cboFontSize));
    cboFontSize->removeEventFilter(this);
    cboFontSize->installEventFilter(this);
    holder->setFixedSize(Twips::toPixels(3350), cboFontName->height() + 2 * top);
    connect(cboFontName, &QComboBox::activated, this, &RichTextBoxEdit::cboFontName_Click);
    connect(cboFontSize, &QComboBox::activated, this, &RichTextBoxEdit::cboFontSize_Click);
    return holder;
}

void RichTextBoxEdit::createFormToolBar()
{
    tbFormToolBar->setObjectName(QStringLiteral("tbFormToolBar"));
    tbFormToolBar->setMovable(false);
    tbFormToolBar->setFloatable(false);
    tbFormToolBar->setIconSize(QSize(16, 16));
    qm::desktop::nameToolBarExtension(tbFormToolBar);
    tbFormToolBar->setStyleSheet(QStringLiteral(
        "QToolButton[mixed=\"true\"] { background: #d9dee6; border: 1px dashed #6f7b8c; border-radius: 2px; }"));
    tbFormToolBar->addWidget(createFontBoxes());

    auto add = [this](const char *key, const char16_t *toolTip, const char *image, bool checkable) {
        const QString tip = QString::fromUtf16(toolTip);
        QAction *action = tbFormToolBar->addAction(
            QIcon(QStringLiteral(":/corvane/richtextboxedit/%1.svg").arg(QLatin1String(image))), tip);
        action->setObjectName(QLatin1String(key));
        action->setToolTip(tip);
        action->setCheckable(checkable);
        action->setProperty("mixed", false);
        return action;
    };
    m_bold = add("btnBold", u"太字 Ctrl+B", "Bold", true);
    m_italic = add("btnItalic", u"斜体 Ctrl+I", "Italic", true);
    m_underline = add("btnUnderline", u"下線 Ctrl+U", "Underline", true);
    m_strikethrough = add("btnStrikethrough", u"取り消し線 Ctrl+T", "Strikethrough", true);
    QAction *color = add("btnColor", u"色 Ctrl+(0～9)", "Color", false);
    tbFormToolBar->addSeparator();
    m_sup = add("btnSup", u"上付き Ctrl+S", "Sup", true);
    m_sub = add("btnSub", u"下付き Shift+Ctrl+S", "Sub", true);
    m_original = add("btnOriginal", u"元のｻｲｽﾞ Ctrl+D", "Original", true);
    tbFormToolBar->addSeparator();
    m_left = add("btnLeft", u"左 Ctrl+L", "Left", true);
    m_center = add("btnCenter", u"中央 Ctrl+E", "Center", true);
    m_right = add("btnRight", u"右 Ctrl+R", "Right", true);

    // Pressing one of a group releases the others; none is pressed while the selection mixes.
    for (const auto &group : {std::array{m_sup, m_sub, m_original}, std::array{m_left, m_center, m_right}}) {
        auto *actions = new QActionGroup(tbFormToolBar);
        actions->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        for (QAction *action : group)
            actions->addAction(action);
    }

    for (QAction *style : {m_bold, m_italic, m_underline, m_strikethrough}) {
        // The bar has already toggled the button: the selection gets its new state.
        connect(style, &QAction::triggered, this, [this, style](bool on) { applyStyle(style, on); });
    }
    connect(color, &QAction::triggered, this, &RichTextBoxEdit::ChooseSelectionColor);
    connect(m_sup, &QAction::triggered, this, &RichTextBoxEdit::MakeSuperscript);
    connect(m_sub, &QAction::triggered, this, &RichTextBoxEdit::MakeSubscript);
    connect(m_original, &QAction::triggered, this, &RichTextBoxEdit::RestoreNormalSize);
    connect(m_left, &QAction::triggered, this, [this] { setAlignment(SelectionFormat::Left); });
    connect(m_center, &QAction::triggered, this, [this] { setAlignment(SelectionFormat::Center); });
    connect(m_right, &QAction::triggered, this, [this] { setAlignment(SelectionFormat::Right); });
    for (QAction *action : tbFormToolBar->actions())
        connect(action, &QAction::triggered, this, &RichTextBoxEdit::UpdateFormatToolbar);
}

// Every size from 5 to 16 points, then the even sizes to 32.
void RichTextBoxEdit::FillFontLists()
{
    cboFontName->addItems(FontListCache::load());
    for (int size = 5; size <= 32; size += size < 16 ? 1 : 2)
        cboFontSize->addItem(QString::number(size));
    cboFontName->setCurrentIndex(-1);
    cboFontSize->setCurrentIndex(-1);
}

QSize RichTextBoxEdit::sizeHint() const
{
    return {640, 400};
}

void RichTextBoxEdit::resizeEvent(QResizeEvent *event)
{
    FontEditorControl::resizeEvent(event);
    layOut();
    UpdateFormatToolbar();
}

// Both bars over the full width, the text below them; a control no taller than the bars keeps
// the text's last height.
void RichTextBoxEdit::layOut()
{
    const int editHeight = tbEditToolBar->sizeHint().height();
    const int formHeight = tbFormToolBar->sizeHint().height();
    tbEditToolBar->setGeometry(0, 0, width(), editHeight);
    tbFormToolBar->setGeometry(0, editHeight, width(), formHeight);
    const int top = editHeight + formHeight;
    const int textHeight = height() - top;
    RichText->setGeometry(0, top, width(), textHeight > 0 ? textHeight : RichText->height());
}

// ---- members

QString RichTextBoxEdit::text() const
{
    return qm::text::toCrLf(RichText->document()->toPlainText());
}

void RichTextBoxEdit::setText(const QString &text)
{
    setPlainContents(text);
    Q_EMIT propertyChanged(QStringLiteral("Text"));
    clearEdited();
}

QString RichTextBoxEdit::textRtf() const
{
    return qm::rtf::toRtf(*RichText->document());
}

QString RichTextBoxEdit::visibleText() const
{
    return qm::rtf::visibleText(*RichText->document());
}

void RichTextBoxEdit::setTextRtf(const QString &rtf)
{
    qm::rtf::setRtf(*RichText->document(), rtf);
    clearEdited();
    UpdateFormatToolbar();
}

bool RichTextBoxEdit::isLocked() const
{
    return RichText->isReadOnly();
}

// Locked text can still be selected and copied with the keyboard.
void RichTextBoxEdit::setLocked(bool locked)
{
    RichText->setReadOnly(locked);
    if (locked)
        RichText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Q_EMIT propertyChanged(QStringLiteral("Locked"));
}

QFont RichTextBoxEdit::editorFont() const
{
    return RichText->font();
}

void RichTextBoxEdit::setEditorFont(const QFont &font)
{
    RichText->setFont(font);
    Q_EMIT propertyChanged(QStringLiteral("Font"));
    UpdateFormatToolbar();
}

SelectionValue<QString> RichTextBoxEdit::SelFontName() const
{
    const SelectionFormat format = selectionFormat();
    if (!format.fontName)
        return {{}, QStringLiteral("選択範囲に複数のフォントが含まれています。")};
    return {*format.fontName, {}};
}

void RichTextBoxEdit::setSelFontName(const QString &name)
{
    QTextCharFormat format;
    format.setFontFamilies({name});
    applyFormat(format);
    Q_EMIT propertyChanged(QStringLiteral("SelFontName"));
    clearEdited();
}

SelectionValue<float> RichTextBoxEdit::SelFontSize() const
{
    const SelectionFormat format = selectionFormat();
    if (!format.fontSize)
        return {{}, QStringLiteral("選択範囲に複数のサイズが含まれています。")};
    return {float(*format.fontSize), {}};
}

void RichTextBoxEdit::setSelFontSize(float points)
{
    if (!(points > 0 && points <= MaxFontSize))
        return;
    QTextCharFormat format;
    format.setFontPointSize(points);
    applyFormat(format);
    Q_EMIT propertyChanged(QStringLiteral("SelFontSize"));
    clearEdited();
}

QVariant RichTextBoxEdit::selFontNameValue() const
{
    const SelectionValue<QString> name = SelFontName();
    return name.ok() ? QVariant(name.value) : QVariant();
}

void RichTextBoxEdit::setSelFontNameValue(const QVariant &value)
{
    setSelFontName(value.toString());
}

QVariant RichTextBoxEdit::selFontSizeValue() const
{
    const SelectionValue<float> size = SelFontSize();
    return size.ok() ? QVariant(size.value) : QVariant();
}

void RichTextBoxEdit::setSelFontSizeValue(const QVariant &value)
{
    bool ok = false;
    const float points = value.toFloat(&ok);
    if (ok)
        setSelFontSize(points);
}

void RichTextBoxEdit::Clear()
{
    resetTypingAttributes();
}

Result RichTextBoxEdit::LoadFile(const QString &strFileName)
{
    const Result read = readFile(strFileName);
    if (read)
        markEdited(); // the widget reports the load as a change
    return read;
}

// The widget would give new plain text the caret's format (raised, coloured ...); text from
// the host or a file starts plain, in the base font.
void RichTextBoxEdit::setPlainContents(const QString &text)
{
    RichText->setCurrentCharFormat(QTextCharFormat());
    RichText->setPlainText(text);
}

// ---- the edited flag

// Text an input method is still composing is shown but not yet in the document; the widget
// reports it as a change all the same, which is not one.
void RichTextBoxEdit::RichText_Change()
{
    if (RichText->document()->isModified())
        markEdited();
}

void RichTextBoxEdit::clearEdited()
{
    RichText->document()->setModified(false);
    clearEditFlag();
}

// ---- formats

SelectionFormat RichTextBoxEdit::selectionFormat() const
{
    QTextCursor cursor = RichText->textCursor();
    if (cursor.isNull()) // while the widget replaces its whole document
        cursor = QTextCursor(RichText->document());
    return SelectionFormat::of(cursor, RichText->currentCharFormat());
}

void RichTextBoxEdit::applyFormat(const QTextCharFormat &format)
{
    if (isLocked())
        return;
    RichText->mergeCurrentCharFormat(format);
}

void RichTextBoxEdit::setAlignment(int alignment)
{
    if (isLocked())
        return;
    static constexpr Qt::Alignment flags[] = {Qt::AlignLeft | Qt::AlignAbsolute,
                                              Qt::AlignRight | Qt::AlignAbsolute, Qt::AlignHCenter};
    RichText->setAlignment(flags[alignment]);
}

void RichTextBoxEdit::setColor(const QColor &color)
{
    QTextCharFormat format;
    format.setForeground(color);
    applyFormat(format);
}

void RichTextBoxEdit::applyStyle(QAction *button, bool on)
{
    QTextCharFormat format;
    if (button == m_bold)
        format.setFontWeight(on ? QFont::Bold : QFont::Normal);
    else if (button == m_italic)
        format.setFontItalic(on);
    else if (button == m_underline)
        format.setFontUnderline(on);
    else
        format.setFontStrikeOut(on);
    applyFormat(format);
}

// On when the selection has it off or mixed, off when it has it on.
void RichTextBoxEdit::toggleStyle(QAction *button)
{
    const SelectionFormat now = selectionFormat();
    const std::optional<bool> state = button == m_bold     ? now.bold
                                      : button == m_italic ? now.italic
                                      : button == m_underline ? now.underline
                                                              : now.strikeOut;
    applyStyle(button, !state.value_or(false));
}

void RichTextBoxEdit::resetTypingAttributes()
{
    RichText->clear();
    const QFont base = RichText->document()->defaultFont();
    QTextCharFormat format;
    format.setFontFamilies({base.family()});
    format.setFontPointSize(base.pointSizeF() > 0 ? base.pointSizeF() : 12.0);
    format.setFontWeight(base.bold() ? QFont::Bold : QFont::Normal);
    format.setFontItalic(base.italic());
    format.setFontUnderline(base.underline());
    format.setFontStrikeOut(base.strikeOut());
    format.setForeground(QColor(Qt::black));
    qm::rtf::setCharacterOffset(format, 0);
    RichText->setCurrentCharFormat(format);
    QTextCursor cursor = RichText->textCursor();
    QTextBlockFormat block = cursor.blockFormat();
    block.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    cursor.setBlockFormat(block);
    UpdateFormatToolbar();
    clearEdited();
}

// Half the size, raised by 80 % of the new size; nothing below 3 points is made.
void RichTextBoxEdit::MakeSuperscript()
{
    halveSize([](int offset, double half) { return offset + int(std::lround(half * 0.8 * 20)); });
}

// Half the size, lowered (the offset -1 marks lowered text).
void RichTextBoxEdit::MakeSubscript()
{
    halveSize([](int, double) { return -1; });
}

void RichTextBoxEdit::halveSize(int (*newOffset)(int offset, double half))
{
    const SelectionFormat now = selectionFormat();
    if (!now.offset || !now.fontSize)
        return;
    const double half = *now.fontSize / 2;
    if (half < MinRaisedSize)
        return;
    QTextCharFormat format;
    format.setFontPointSize(half);
    qm::rtf::setCharacterOffset(format, newOffset(*now.offset, half));
    applyFormat(format);
    UpdateFormatToolbar();
}

// Twice the size, on the line: the inverse of raising or lowering, applied whatever the text was.
void RichTextBoxEdit::RestoreNormalSize()
{
    const SelectionFormat now = selectionFormat();
    if (!now.offset || !now.fontSize)
        return;
    const double doubled = *now.fontSize * 2;
    if (doubled > MaxFontSize)
        return;
    QTextCharFormat format;
    format.setFontPointSize(doubled);
    qm::rtf::setCharacterOffset(format, 0);
    applyFormat(format);
    UpdateFormatToolbar();
}

void RichTextBoxEdit::UpdateFormatToolbar()
{
    const SelectionFormat now = selectionFormat();
    if (!cboFontName->hasFocus())
        cboFontName->setEditText(now.fontName.value_or(QString()));
    if (!cboFontSize->hasFocus())
        cboFontSize->setEditText(now.fontSize ? sizeText(*now.fontSize) : QString());
    showState(*tbFormToolBar, m_bold, now.bold);
    showState(*tbFormToolBar, m_italic, now.italic);
    showState(*tbFormToolBar, m_underline, now.underline);
    showState(*tbFormToolBar, m_strikethrough, now.strikeOut);
    showState(*tbFormToolBar, m_sup, groupState(now.offset, now.offset > 0));
    showState(*tbFormToolBar, m_sub, groupState(now.offset, now.offset == -1));
    showState(*tbFormToolBar, m_original, groupState(now.offset, now.offset == 0));
    showState(*tbFormToolBar, m_left, groupState(now.alignment, now.alignment == SelectionFormat::Left));
    showState(*tbFormToolBar, m_center, groupState(now.alignment, now.alignment == SelectionFormat::Center));
    showState(*tbFormToolBar, m_right, groupState(now.alignment, now.alignment == SelectionFormat::Right));
}

// ---- files

Result RichTextBoxEdit::readFile(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (!info.exists())
        return Result::failure(QStringLiteral("\"%1\" が見つかりません。").arg(shown));
    if (!info.isFile())
        return Result::failure(QStringLiteral("\"%1\" はファイルではありません。").arg(shown));
    if (info.size() > MaxFileSize) {
        return Result::failure(QStringLiteral("\"%1\" は大きすぎるため開けません (%2 MB まで)。")
                                   .arg(shown)
                                   .arg(MaxFileSize / (1024 * 1024)));
    }
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.read(MaxFileSize + 1);
    if (!file.isOpen() || file.error() != QFileDevice::NoError || bytes.size() > MaxFileSize) {
        return Result::failure(
            QStringLiteral("\"%1\" を読み込めません。\n%2").arg(shown, file.errorString()));
    }
    if (qm::rtf::looksLikeRtf(bytes))
        qm::rtf::setRtfBytes(*RichText->document(), bytes);
    else
        setPlainContents(decodeTextFile(bytes).text);
    UpdateFormatToolbar();
    return Result::success();
}

// A name whose last three characters are "rtf" (any case) is saved as RTF, any other as text.
Result RichTextBoxEdit::writeFile(const QString &path)
{
    const QByteArray bytes = path.right(3).compare(QLatin1String("rtf"), Qt::CaseInsensitive) == 0
                                 ? qm::rtf::toRtfBytes(*RichText->document())
                                 : encodeTextFile(text(), TextEncoding::Cp932);
    const qm::text::WriteResult written = qm::text::writeFileAtomically(path, bytes);
    if (written.ok)
        return Result::success();
    return Result::failure(QStringLiteral("\"%1\" に書き込めません。\n%2")
                               .arg(QDir::toNativeSeparators(path), written.error));
}

bool RichTextBoxEdit::mayDiscardEdits()
{
    if (!isEdited())
        return true;
    const Prompter::Answer answer = Services::prompter().ask(
        {QStringLiteral("編集内容を破棄してもよろしいですか"), texts::title(),
         Prompter::Buttons::YesNo, Prompter::Answer::No, Prompter::Icon::None});
    return answer == Prompter::Answer::Yes;
}

// ---- commands

void RichTextBoxEdit::NewDocument()
{
    if (!isLocked() && mayDiscardEdits())
        resetTypingAttributes();
}

// A cancelled dialog leaves the contents and "Edit" as they were. A file that cannot be loaded
// is reported.
void RichTextBoxEdit::OpenDocument()
{
    if (isLocked() || !mayDiscardEdits())
        return;
    const std::optional<QString> path =
        CommonDialogs::fileChooser().openFile({QStringLiteral("開く"), fileFilter(), {}});
    if (!path)
        return;
    const Result read = readFile(*path);
    if (read)
        clearEdited();
    else
        Services::prompter().inform(read.error, texts::title(), Prompter::Icon::Warning);
}

// A file that could not be written is reported and leaves "Edit" as it was.
void RichTextBoxEdit::SaveDocument()
{
    const std::optional<QString> path = CommonDialogs::fileChooser().saveFile(
        {QStringLiteral("名前を付けて保存"), fileFilter(), {}});
    if (!path)
        return;
    const Result written = writeFile(*path);
    if (written)
        clearEdited();
    else
        Services::prompter().inform(written.error, texts::title(), Prompter::Icon::Warning);
}

// The selection (offered and preselected when there is one) or everything, as the print
// dialog chose.
void RichTextBoxEdit::PrintDocument()
{
    const QTextCursor cursor = RichText->textCursor();
    CommonDialogs::withPrintService([&cursor](qm::desktop::PrintService &service) {
        if (service.choosePrinter(QStringLiteral("印刷"), cursor.hasSelection()))
            qm::rtf::printChosenRichText(cursor, service.printer());
    });
}

void RichTextBoxEdit::ChooseSelectionColor()
{
    const std::optional<quint32> chosen =
        CommonDialogs::colorChooser().chooseColor(m_dialogColor.rgba(), QStringLiteral("色の設定"));
    if (!chosen)
        return;
    m_dialogColor = QColor::fromRgba(*chosen);
    setColor(m_dialogColor);
}

void RichTextBoxEdit::showFind()
{
    frmFindDialog::showFor(*m_findTarget, 1);
}

void RichTextBoxEdit::showReplace()
{
    frmFindDialog::showFor(*m_findTarget, 2);
}

void RichTextBoxEdit::showAttribute()
{
    frmAttributeChangeDialog::showFor(*m_findTarget);
}

// The widget's own clipboard and undo handling, under its rules (nothing is cut or pasted
// while it is locked).
void RichTextBoxEdit::sendKeystroke(Qt::Key key)
{
    RichText->setFocus();
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
    QApplication::sendEvent(RichText, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
    QApplication::sendEvent(RichText, &release);
}

// ---- keys

// The keys RichText_KeyDown consumes, which a window's shortcuts must leave to the editor.
bool RichTextBoxEdit::handlesShortcut(const QKeyEvent &key)
{
    const Qt::KeyboardModifiers modifiers = key.modifiers();
    if (modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return key.key() == Qt::Key_S;
    if (modifiers != Qt::ControlModifier)
        return false;
    switch (key.key()) {
    case Qt::Key_N: case Qt::Key_P: case Qt::Key_F: case Qt::Key_B: case Qt::Key_I:
    case Qt::Key_U: case Qt::Key_T: case Qt::Key_S: case Qt::Key_D: case Qt::Key_L:
    case Qt::Key_E: case Qt::Key_R: return true;
    default: return key.key() >= Qt::Key_0 && key.key() <= Qt::Key_9;
    }
}

bool RichTextBoxEdit::RichText_KeyDown(const QKeyEvent &key)
{
    const Qt::KeyboardModifiers modifiers = key.modifiers();
    if (modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) {
        if (key.key() != Qt::Key_S)
            return false;
        MakeSubscript();
        return true;
    }
    if (modifiers != Qt::ControlModifier) // keypad digits carry the keypad modifier as well
        return false;
    bool consumed = true;
    const int k = key.key();
    if (k >= Qt::Key_0 && k <= Qt::Key_9) {
        setColor(paletteColor(k - Qt::Key_0));
    } else {
        switch (k) {
        case Qt::Key_N: NewDocument(); break;
        case Qt::Key_P: PrintDocument(); break;
        case Qt::Key_F: showFind(); break;
        case Qt::Key_B: toggleStyle(m_bold); break;
        case Qt::Key_I: toggleStyle(m_italic); break;
        case Qt::Key_U: toggleStyle(m_underline); break;
        case Qt::Key_T:
            toggleStyle(m_strikethrough);
            consumed = false;
            break;
        case Qt::Key_S: MakeSuperscript(); break;
        case Qt::Key_D: RestoreNormalSize(); break;
        case Qt::Key_L: setAlignment(SelectionFormat::Left); break;
        case Qt::Key_E: setAlignment(SelectionFormat::Center); break;
        case Qt::Key_R: setAlignment(SelectionFormat::Right); break;
        default: consumed = false; break;
        }
    }
    UpdateFormatToolbar();
    if (!consumed) // once the widget has done what the key does (undo, paste ...)
        QMetaObject::invokeMethod(this, &RichTextBoxEdit::UpdateFormatToolbar, Qt::QueuedConnection);
    return consumed;
}

void RichTextBoxEdit::cboFontName_Click(int index)
{
    const QString name = cboFontName->itemText(index);
    if (!name.isEmpty())
        setSelFontName(name);
    RichText->viewport()->update();
    RichText->setFocus();
}

void RichTextBoxEdit::cboFontSize_Click(int index)
{
    const QString size = cboFontSize->itemText(index);
    if (!size.isEmpty())
        setSelFontSize(size.toFloat());
    RichText->setFocus();
}

bool RichTextBoxEdit::fontBoxKeyPress(QComboBox *box, const QKeyEvent &key)
{
    if (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter)
        return false;
    const QString text = box->currentText().trimmed();
    if (!text.isEmpty()) {
        if (box == cboFontName) {
            setSelFontName(text);
        } else {
            bool ok = false;
            const float size = text.toFloat(&ok);
            if (ok)
                setSelFontSize(size);
        }
    }
    RichText->setFocus();
    UpdateFormatToolbar();
    return true;
}

bool RichTextBoxEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == RichText) {
        switch (event->type()) {
        case QEvent::ShortcutOverride: {
            auto *key = static_cast<QKeyEvent *>(event);
            if (handlesShortcut(*key)) {
                key->accept();
                return true;
            }
            break;
        }
        case QEvent::KeyPress:
            return RichText_KeyDown(*static_cast<QKeyEvent *>(event));
        // The widget takes committed text even when it is read-only.
        case QEvent::InputMethod:
            return isLocked();
        // Tab stays in the text: the boxes leave the tab order while it has the focus.
        case QEvent::FocusIn:
            cboFontName->setFocusPolicy(Qt::ClickFocus);
            cboFontSize->setFocusPolicy(Qt::ClickFocus);
            break;
        case QEvent::FocusOut:
            cboFontName->setFocusPolicy(Qt::StrongFocus);
            cboFontSize->setFocusPolicy(Qt::StrongFocus);
            break;
        default: break;
        }
    } else if ((watched == cboFontName || watched == cboFontSize) && event->type() == QEvent::KeyPress) {
        return fontBoxKeyPress(static_cast<QComboBox *>(watched), *static_cast<QKeyEvent *>(event));
    }
    return FontEditorControl::eventFilter(watched, event);
}

} // namespace corvane
