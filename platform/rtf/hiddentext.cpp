#include "hiddentext.h"

#include <QAbstractTextDocumentLayout>
#include <QObject>
#include <QSizeF>
#include <QTextDocument>

namespace qm::rtf {
namespace {

// Without a handler the layout would give an object a width of -1.
class HiddenTextHandler final : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    using QObject::QObject;

    QSizeF intrinsicSize(QTextDocument *, int, const QTextFormat &) override { return {0, 0}; }
    void drawObject(QPainter *, const QRectF &, QTextDocument *, int, const QTextFormat &) override {}
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

void layOutHiddenText(QTextDocument &document)
{
    QAbstractTextDocumentLayout *layout = document.documentLayout();
    if (!layout->handlerForObject(HiddenTextObject))
        layout->registerHandler(HiddenTextObject, new HiddenTextHandler(layout));
}

} // namespace qm::rtf

#include "hiddentext.moc"
