#include "controls/textboxhtml/textboxhtml.h"

#include "controls/editorcommands.h"
#include "controls/libraryfolder.h"
#include "controls/textboxhtml/htmlsource.h"
#include "controls/webnavigate/desktoplink.h"

#include "platform/text/textfile.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QToolBar>

namespace corvane {

TextBoxHTML::TextBoxHTML(QWidget *parent)
    : TextBoxEdit(parent, {QStringLiteral("HTML Document (*.htm *.html)"), false})
{
    textWidget()->setAccessibleName(QStringLiteral("HTML"));
    toolBar()->addSeparator();
    const QString toolTip = QStringLiteral("イメージプレビュー");
    QAction *preview =
        toolBar()->addAction(QIcon(QStringLiteral(":/corvane/textboxhtml/ShowImage.svg")), toolTip);
    preview->setObjectName(QStringLiteral("btnShowImage"));
    preview->setToolTip(toolTip);
    connect(preview, &QAction::triggered, this, &TextBoxHTML::PreviewDocument);
    editorCommands().add(*this, {preview});
}

TextBoxHTML::~TextBoxHTML() = default;

Result TextBoxHTML::GetTitle(QString *strTitle) const
{
    const std::optional<QString> title = htmlsource::title(text());
    if (!title)
        return Result::failure(QStringLiteral("\"<title>\" の後に \"</title>\" がありません。"));
    if (strTitle)
        *strTitle = *title;
    return Result::success();
}

void TextBoxHTML::setEditorFont(const QFont &font)
{
    textWidget()->setFont(font);
    Q_EMIT propertyChanged(QStringLiteral("Font"));
}

QString TextBoxHTML::previewPath()
{
    return LibraryFolder::filePath(QStringLiteral("TempHTML.htm"));
}

// The current source, saved or not, shown as a page. The preview reports nothing: a page that
// could not be written or opened just does not appear (rather than an earlier preview in its
// place).
void TextBoxHTML::PreviewDocument()
{
    const QString path = previewPath();
    if (qm::text::writeBrowserPage(path, text()).ok)
        DesktopLink::open(path);
}

} // namespace corvane
