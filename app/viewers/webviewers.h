#pragma once

#include "viewerwindow.h"

#include <optional>

class QPrinter;

namespace qm::app {

// The four viewers of web addresses and HTML pages. The "external" pair hands the page to the
// user's browser through the navigation control and shows only the heading and that control;
// the "embedded" pair shows the page inside the window.
class WebViewer : public ViewerWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebViewer)

public:
    ~WebViewer() override;

    // Prints the page the window shows inside itself; false when it shows none there (the
    // external pair) or the page could not be printed.
    bool printPage(QPrinter &printer);

protected:
    enum class Kind { Url, Html };
    enum class Shown { External, Embedded };
    WebViewer(ViewerContext &context, Kind kind, Shown shown, QWidget *parent);

    void showBody(const QByteArray &body) override;
    bool bodyFillsWindow() const override { return m_shown == Shown::Embedded; }

    QString m_address;

private:
    // The address the control is given: the entry's URL, or the page written to a file;
    // nullopt (and the user told) when the page cannot be written.
    std::optional<QString> addressOf(const QByteArray &body);
    // Writes the page; false (and the user told) when it could not be written.
    bool writePage(const QString &path, const QString &page);

    Kind m_kind;
    Shown m_shown;
    QWidget *m_control = nullptr;
};

class mdiURL final : public WebViewer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(mdiURL)
public:
    explicit mdiURL(ViewerContext &context, QWidget *parent = nullptr);
    ~mdiURL() override;
    QString GetURL() const { return m_address; }
};

class mdiURLMDI final : public WebViewer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(mdiURLMDI)
public:
    explicit mdiURLMDI(ViewerContext &context, QWidget *parent = nullptr);
    ~mdiURLMDI() override;
    QString GetURL() const { return m_address; }
};

class mdiHTML final : public WebViewer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(mdiHTML)
public:
    explicit mdiHTML(ViewerContext &context, QWidget *parent = nullptr);
    ~mdiHTML() override;
};

class mdiHTMLMDI final : public WebViewer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(mdiHTMLMDI)
public:
    explicit mdiHTMLMDI(ViewerContext &context, QWidget *parent = nullptr);
    ~mdiHTMLMDI() override;
    void activated() override;
};

} // namespace qm::app
