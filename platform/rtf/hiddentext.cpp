#include "hiddentext.h"

#include <QAbstractTextDocumentLayout>
#include <QObject>
#include <QSizeF>
#include <QTextDocument>

namespace qm::rtf {
namespace {

// Without a handler the layout would give an object a width of -1. One handler lives in each
// document that holds hidden text and serves every layout the document gets.
class HiddenTextHandler final : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    explicit HiddenTextHandler(QTextDocument &document)
        : QObject(&document)
        , m_document(document)
    {
    }

    void install() { m_document.documentLayout()->registerHandler(HiddenTextObject, this); }

    QSizeF intrinsicSize(QTextDocument *, int, const QTextFormat &) override { return {0, 0}; }
    void drawObject(QPainter *, const QRectF &, QTextDocument *, int, const QTextFormat &) override {}

private:
    QTextDocument &m_document;
};

} // namespace

QTextCharFormat hiddenTextFormat(const QTextCharFormat &format, const QString &text)
{
    QTextCharFormat hidden = format;
    hidden.setObjectType(HiddenTextObject);
    hidden.setProperty(HiddenTextProperty, text);
    return hidden;
}

bool isHiddenText(const QTextFormat &format)
{
    return format.objectType() == HiddenTextObject;
}

QString hiddenText(const QTextFormat &format)
{
    return isHiddenText(format) ? format.stringProperty(HiddenTextProperty) : QString();
}

// documentLayout() would make a layout when there is none, and a new layout lays the document
// out with fonts, which needs a GUI application and slows reading down. So a layout the
// document has (its child) gets the handler now, and any later one when it comes.
void layOutHiddenText(QTextDocument &document)
{
    if (document.findChild<HiddenTextHandler *>(QString(), Qt::FindDirectChildrenOnly))
        return;
    auto *handler = new HiddenTextHandler(document);
    QObject::connect(&document, &QTextDocument::documentLayoutChanged, handler,
                     &HiddenTextHandler::install);
    if (document.findChild<QAbstractTextDocumentLayout *>(QString(), Qt::FindDirectChildrenOnly))
        handler->install();
}

} // namespace qm::rtf

#include "hiddentext.moc"
