#pragma once

#include "controls/editorcontrol.h"
#include "corvane_export.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

// The link field ("Corvane.TextBoxURL"): one line, txtLink, holding a web address or the path
// of a file, under its label lblLink, with cmdRefer to choose a file and cmdShow to open what
// the line names (Enter in the field does the same). What is opened goes through DesktopLink.
class CORVANE_EXPORT TextBoxURL final : public EditorControl
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TextBoxURL)

public:
    explicit TextBoxURL(QWidget *parent = nullptr);
    ~TextBoxURL() override;

    QString text() const override;
    void setText(const QString &text) override;
    bool isLocked() const override;
    void setLocked(bool locked) override;

    void Clear() override;
    // Reads an Internet shortcut: every line starting with "URL" (any letter case) puts what
    // follows its fourth character into the field; the last one wins. An unreadable or empty
    // file, or a line of just "URL", is an error, and the field keeps what earlier lines set.
    Result LoadFile(const QString &strFileName) override;

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layOut();
    int rowOffset() const;
    void cmdRefer_Click();
    bool showLink();

    QLabel *lblLink;
    QLineEdit *txtLink;
    QPushButton *cmdRefer;
    QPushButton *cmdShow;
    int m_linkWidth; // twips; kept while the control is too narrow for the field
};

} // namespace corvane
