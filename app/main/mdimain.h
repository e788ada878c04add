#pragma once

#include "app/store/settings.h"
#include "app/viewers/viewercontext.h"

#include <QMainWindow>

#include <memory>

class QComboBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QToolBar;

namespace qm::desktop {
class Prompter;
}
namespace qm::store {
class DatabaseModule;
}

namespace qm::app {

class frmSearchIndexList;
class ViewerWindow;

// The program's frame: the keyword box, the lookup over every dictionary of the open set, and
// the viewer windows of the entries the user opens.
class mdiMain final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(mdiMain)

public:
    // How many viewer windows stay open: opening one more closes the oldest.
    static constexpr int MaxViewers = 8;

    mdiMain(store::DatabaseModule &database, store::Settings &settings, desktop::Prompter &prompter,
            QWidget *parent = nullptr);
    ~mdiMain() override;

    // Looks the pattern up and opens the entry the user picks from the result list.
    void SearchKeyword(const QString &pattern);
    // Opens an entry of the open set in a new viewer window.
    void ShowDocument(qint16 intDicIndex, qint32 lngDocNumber);
    // True while a window that registers or modifies an entry is open.
    bool IsEditorOpen() const;
    // Opens a help topic in the user's browser.
    void ShowHelp(const QString &topic);

    QMdiArea *mdiArea() const { return m_mdiArea; }
    frmSearchIndexList *searchIndexList() const { return m_searchIndexList; }
    store::SharedOptions &options() { return m_options; }
    QList<ViewerWindow *> viewers() const;

    QToolBar *tbKeyWord = nullptr;
    QComboBox *cboKeyWord = nullptr;
    QWidget *WebNavigate = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildKeywordStrip();
    void buildStatusBar();
    void load();
    void restorePlacement();
    void storePlacement();
    void keywordEntered();
    void focusKeywordBox();
    ViewerWindow *createViewer(quint8 viewer);
    void showViewer(ViewerWindow *viewer);
    void closeViewerWithTag(const QString &tag);
    void subWindowActivated(QMdiSubWindow *window);
    void deleteTemporaryFiles();

    store::DatabaseModule &m_database;
    store::Settings &m_settings;
    desktop::Prompter &m_prompter;
    store::SharedOptions m_options;
    ViewerContext m_viewerContext;
    QMdiArea *m_mdiArea = nullptr;
    frmSearchIndexList *m_searchIndexList = nullptr;
    QLabel *m_statusPanel = nullptr;
    qint32 ViewerSerial = 0;
    bool m_closed = false;
};

} // namespace qm::app
