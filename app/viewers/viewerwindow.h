#pragma once

#include "viewercontext.h"

#include <QByteArray>
#include <QDateTime>
#include <QFont>
#include <QWidget>

class QLabel;

namespace qm::store {
enum class EditorKind;
}

namespace qm::app {

// The base of the seven viewer windows: one opened entry in a child window of the main window,
// with the heading strip `Label1` (shown only while maximized) above the body control.
class ViewerWindow : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ViewerWindow)

public:
    ~ViewerWindow() override;

    // Stores the entry's slot, number and date, shows the heading and puts the body (the stored
    // bytes) into the body control.
    void SetDocument(qint16 intDicIndex, qint32 lngDocNumber, const QString &strHeading,
                     const QByteArray &strDocument, const QDateTime &dtmDate);
    void GetDocument(qint16 &intDicIndex, qint32 &lngDocNumber) const;

    // The serial number the main window gave this viewer, in decimal.
    QString Tag;

    QDateTime renewalDate() const { return m_date; }
    QLabel *label1() const { return m_label; }
    QWidget *bodyControl() const { return m_body; }

    // The size a new viewer window opens with.
    QSize sizeHint() const override;

    // Called by the main window when this viewer becomes the active child.
    virtual void activated();
    // Called by the main window when the child window's state changes.
    void windowStateChanged(Qt::WindowStates state);

protected:
    ViewerWindow(ViewerContext &context, QWidget *parent);

    // The body control; set once by the subclass's constructor.
    void setBodyControl(QWidget *body);
    // Puts the body into the body control.
    virtual void showBody(const QByteArray &body) = 0;
    // Whether the body control fills the window (false: it keeps its own size).
    virtual bool bodyFillsWindow() const { return true; }

    ViewerContext &context() const { return m_context; }
    // The font the options give to bodies of this kind.
    QFont editorFont(store::EditorKind kind) const;
    qint16 slot() const { return m_slot; }
    qint32 number() const { return m_number; }

    void resizeEvent(QResizeEvent *event) override;

private:
    bool isMaximizedChild() const;
    void layoutBody();

    ViewerContext &m_context;
    QLabel *m_label;
    QWidget *m_body = nullptr;
    qint16 m_slot = 0;
    qint32 m_number = 0;
    QDateTime m_date;
};

} // namespace qm::app
