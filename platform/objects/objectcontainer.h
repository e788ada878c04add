#pragma once

#include "storedobject.h"

#include <QImage>
#include <QWidget>

#include <memory>
#include <optional>

class QIODevice;

namespace qm::desktop {
class Navigator;
class Prompter;
} // namespace qm::desktop

namespace qm::objects {

class FileChooser;

// A widget that holds one object (an embedded file or a link to a file), shows it (a picture
// as itself, anything else as the file's icon and name), saves it into an open file and reads
// it back, and exchanges it with the clipboard and the desktop's programs.
class ObjectContainer final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ObjectContainer)

public:
    // The codes the windows test for; an empty container reports None (3).
    enum class ObjectType { Linked = 0, Embedded = 1, None = 3 };
    enum class OpenResult { Opened, NoObject, MissingFile, Failed };

    explicit ObjectContainer(QWidget *parent = nullptr);
    ~ObjectContainer() override;

    ObjectType objectType() const;
    const std::optional<StoredObject> &object() const { return m_object; }
    void setObject(std::optional<StoredObject> object);
    void deleteObject() { setObject(std::nullopt); }

    // A link whose file is no longer there.
    bool isBrokenLink() const;
    // The text shown beside the icon ("" for a picture); an empty container shows its empty
    // text.
    QString displayText() const;
    // What an empty container says in its middle (nothing by default), e.g. why there is no
    // object.
    void setEmptyText(const QString &text);

    // Writes the object's image at the device's position; false when empty or not written.
    bool saveToFile(QIODevice &device) const;
    // Reads an image from the device's position; the container is empty when it is not valid.
    bool readFromFile(QIODevice &device);

    // Clipboard and dialog commands; each returns true when the container holds a new object,
    // false (and the container unchanged) on cancel or failure.
    bool canPaste() const;
    bool paste();
    bool pasteSpecial();
    bool insertObject();
    bool createLinkFromFile(const QString &path);
    bool createEmbedFromFile(const QString &path);

    // Opens the object with the program the desktop associates with its type; a missing link
    // or a failure is reported through the prompter.
    OpenResult openObject();
    // Puts the object on the clipboard; false when there is nothing to put.
    bool copyToClipboard() const;

    // Seams; by default the desktop's own dialogs, message boxes and handlers are used.
    void setFileChooser(FileChooser &chooser) { m_chooser = &chooser; }
    void setNavigator(desktop::Navigator &navigator) { m_navigator = &navigator; }
    void setPrompter(desktop::Prompter &prompter) { m_prompter = &prompter; }
    // The right-click menu with "開く" and "コピー" (on by default).
    void setVerbMenuEnabled(bool enabled) { m_verbMenu = enabled; }

signals:
    void objectChanged();
    void doubleClicked(const QPoint &globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    struct Defaults;

    bool replaceWith(std::optional<StoredObject> object);
    void loadPicture();
    void paintPicture(QPainter &painter) const;
    void paintIcon(QPainter &painter) const;
    void paintEmptyText(QPainter &painter) const;
    QIcon objectIcon() const;

    std::unique_ptr<Defaults> m_defaults;
    FileChooser *m_chooser = nullptr;
    desktop::Navigator *m_navigator = nullptr;
    desktop::Prompter *m_prompter = nullptr;
    std::optional<StoredObject> m_object;
    QImage m_picture;
    QString m_emptyText;
    bool m_verbMenu = true;
};

} // namespace qm::objects
