#pragma once

#include "controls/textboxedit/textboxedit.h"
#include "corvane_export.h"

namespace corvane {

// The HTML source editor ("Corvane.TextBoxHTML"): the plain text editor with HTML files in its
// open and save dialogs and, in the place of printing, btnShowImage, which shows the source as
// a page in the user's browser. Hosts take a page's title from GetTitle.
class CORVANE_EXPORT TextBoxHTML final : public TextBoxEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TextBoxHTML)

public:
    explicit TextBoxHTML(QWidget *parent = nullptr);
    ~TextBoxHTML() override;

    // "GetTitle": the page's title as written between "<title>" and "</title>"; empty when
    // the source has no "<title>". A title that is opened and never closed is an error.
    Q_INVOKABLE corvane::Result GetTitle(QString *strTitle) const;

    // Replaces the widget's font and tells a design-keeping host; "Edit" stays as it was.
    void setEditorFont(const QFont &font) override;

    // The page the preview writes: "TempHTML.htm" in the library's folder.
    static QString previewPath();

private:
    void PreviewDocument();
};

} // namespace corvane
