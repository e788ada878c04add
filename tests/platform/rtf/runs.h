#pragma once

#include "platform/rtf/charformat.h"
#include "platform/rtf/hiddentext.h"

#include <QColor>
#include <QDebug>
#include <QList>
#include <QTextBlock>
#include <QTextDocument>

// A document as the list of what the RTF layer promises to keep: per paragraph its alignment,
// per run its text and attributes. Adjacent runs with equal attributes are merged, so two
// documents compare equal exactly when they look the same to the rich-text editor.
struct Run {
    int paragraph = 0;
    int alignment = 0;
    QString text;
    QString family;
    qreal size = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool caps = false;
    QRgb color = 0;
    int offset = 0;
    int verticalAlignment = 0;
    QString image; // size of a picture, "WxH"
    QString hidden; // the text of hidden text

    bool sameAttributes(const Run &o) const
    {
        return paragraph == o.paragraph && alignment == o.alignment && family == o.family
               && size == o.size && bold == o.bold && italic == o.italic
               && underline == o.underline && strike == o.strike && caps == o.caps && color == o.color
               && offset == o.offset && verticalAlignment == o.verticalAlignment;
    }
    // Text runs that may be merged; pictures and hidden text stay apart.
    bool sameLook(const Run &o) const
    {
        return sameAttributes(o) && image.isEmpty() && o.image.isEmpty() && hidden.isEmpty()
               && o.hidden.isEmpty();
    }
    bool operator==(const Run &o) const
    {
        return sameAttributes(o) && text == o.text && image == o.image && hidden == o.hidden;
    }
};

inline QDebug operator<<(QDebug d, const Run &r)
{
    QDebugStateSaver s(d);
    d.nospace() << "Run(p" << r.paragraph << " a" << r.alignment << " " << r.text << " " << r.family
                << " " << r.size << (r.bold ? " B" : "") << (r.italic ? " I" : "")
                << (r.underline ? " U" : "") << (r.strike ? " S" : "") << (r.caps ? " C" : "") << " #" << Qt::hex
                << r.color << Qt::dec << " off" << r.offset << " v" << r.verticalAlignment << " "
                << r.image << (r.hidden.isEmpty() ? "" : " hidden ") << r.hidden << ")";
    return d;
}

inline QList<Run> runsOf(const QTextDocument &doc)
{
    QList<Run> runs;
    int paragraph = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next(), ++paragraph) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat c = f.charFormat();
            Run r;
            r.paragraph = paragraph;
            r.alignment = int(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask);
            r.text = f.text();
            const QStringList families = c.fontFamilies().toStringList();
            r.family = families.isEmpty() ? doc.defaultFont().family() : families.first();
            r.size = c.fontPointSize() > 0 ? c.fontPointSize() : doc.defaultFont().pointSizeF();
            r.bold = c.fontWeight() >= QFont::DemiBold;
            r.italic = c.fontItalic();
            r.underline = c.fontUnderline();
            r.strike = c.fontStrikeOut();
            r.caps = c.fontCapitalization() == QFont::AllUppercase;
            r.color = c.hasProperty(QTextFormat::ForegroundBrush) ? c.foreground().color().rgb() : 0;
            r.offset = qm::rtf::characterOffset(c);
            r.verticalAlignment = int(c.verticalAlignment());
            r.hidden = qm::rtf::hiddenText(c);
            if (c.isImageFormat()) {
                const QTextImageFormat i = c.toImageFormat();
                const QImage img = doc.resource(QTextDocument::ImageResource, QUrl(i.name())).value<QImage>();
                const qreal w = i.hasProperty(QTextFormat::ImageWidth) ? i.width() : img.width();
                const qreal h = i.hasProperty(QTextFormat::ImageHeight) ? i.height() : img.height();
                r.image = QStringLiteral("%1x%2").arg(w).arg(h);
            }
            if (!runs.isEmpty() && runs.last().sameLook(r))
                runs.last().text += r.text;
            else
                runs.append(r);
        }
        if (b.length() <= 1) {
            Run empty;
            empty.paragraph = paragraph;
            empty.alignment = int(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask);
            runs.append(empty);
        }
    }
    return runs;
}
