#include "objectcontainer.h"

#include "clipboardformats.h"
#include "filechooser.h"
#include "insertobjectdialog.h"
#include "linkedfile.h"
#include "objecthandoff.h"
#include "objectimage.h"
#include "pastespecialdialog.h"

#include "platform/desktop/desktopnavigator.h"
#include "platform/desktop/messageboxprompter.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QMimeDatabase>
#include <QPainter>
#include <QStyle>
#include <QUrl>

namespace qm::objects {

struct ObjectContainer::Defaults {
    explicit Defaults(QWidget *owner) : prompter(owner) {}
    DialogFileChooser chooser;
    desktop::DesktopNavigator navigator;
    desktop::MessageBoxPrompter prompter;
};

namespace {

constexpr int IconSize = 48;
constexpr int Margin = 4;

} // namespace

ObjectContainer::ObjectContainer(QWidget *parent)
    : QWidget(parent)
    , m_defaults(std::make_unique<Defaults>(this))
    , m_chooser(&m_defaults->chooser)
    , m_navigator(&m_defaults->navigator)
    , m_prompter(&m_defaults->prompter)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setMinimumSize(IconSize + 2 * Margin, IconSize + 2 * Margin);
}

ObjectContainer::~ObjectContainer() = default;

ObjectContainer::ObjectType ObjectContainer::objectType() const
{
    if (!m_object)
        return ObjectType::None;
    return m_object->isLink() ? ObjectType::Linked : ObjectType::Embedded;
}

void ObjectContainer::setObject(std::optional<StoredObject> object)
{
    m_object = std::move(object);
    loadPicture();
    update();
    emit objectChanged();
}

bool ObjectContainer::isBrokenLink() const
{
    // Something that is there but no regular file (a FIFO, a device) is not missing: it is
    // shown by its icon and name and never read.
    return m_object && m_object->isLink() && !QFileInfo::exists(m_object->linkPath);
}

QString ObjectContainer::displayText() const
{
    if (!m_object)
        return m_emptyText;
    if (!m_picture.isNull())
        return {};
    if (isBrokenLink())
        return QStringLiteral("リンク先が見つかりません\n") + m_object->linkPath;
    if (m_object->isLink())
        return m_object->name + QLatin1Char('\n') + m_object->linkPath;
    return m_object->name;
}

void ObjectContainer::setEmptyText(const QString &text)
{
    m_emptyText = text;
    update();
}

bool ObjectContainer::saveToFile(QIODevice &device) const
{
    return m_object && image::write(*m_object, device);
}

bool ObjectContainer::readFromFile(QIODevice &device)
{
    auto object = image::read(device);
    const bool ok = object.has_value();
    setObject(std::move(object));
    return ok;
}

bool ObjectContainer::canPaste() const
{
    return objects::canPaste(QApplication::clipboard()->mimeData());
}

bool ObjectContainer::paste()
{
    const QMimeData *data = QApplication::clipboard()->mimeData();
    const QList<PasteFormat> formats = pasteFormats(data);
    if (formats.isEmpty())
        return false;
    return replaceWith(objectFromFormat(data, formats.constFirst(), false));
}

bool ObjectContainer::pasteSpecial()
{
    const QMimeData *data = QApplication::clipboard()->mimeData();
    PasteSpecialDialog dialog(pasteFormats(data), this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const auto choice = dialog.choice();
    // The clipboard may have changed while the dialog was open.
    data = QApplication::clipboard()->mimeData();
    return choice && replaceWith(objectFromFormat(data, choice->format, choice->link));
}

bool ObjectContainer::insertObject()
{
    InsertObjectDialog dialog(*m_chooser, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const InsertObjectDialog::Choice choice = dialog.choice();
    return choice.link ? createLinkFromFile(choice.path) : createEmbedFromFile(choice.path);
}

bool ObjectContainer::createLinkFromFile(const QString &path)
{
    return replaceWith(linkFile(path));
}

bool ObjectContainer::createEmbedFromFile(const QString &path)
{
    return replaceWith(embedFile(path));
}

ObjectContainer::OpenResult ObjectContainer::openObject()
{
    if (!m_object)
        return OpenResult::NoObject;
    if (isBrokenLink()) {
        m_prompter->inform(QStringLiteral("リンク先のファイルが見つかりません。\n") + m_object->linkPath);
        return OpenResult::MissingFile;
    }
    const auto file = ObjectHandoff::fileFor(*m_object);
    if (!file || !m_navigator->open(QUrl::fromLocalFile(*file))) {
        m_prompter->inform(QStringLiteral("オブジェクトを開けませんでした。\n") + m_object->name);
        return OpenResult::Failed;
    }
    return OpenResult::Opened;
}

bool ObjectContainer::copyToClipboard() const
{
    if (!m_object)
        return false;
    const auto file = ObjectHandoff::fileFor(*m_object);
    if (!file)
        return false;
    QApplication::clipboard()->setMimeData(mimeDataFor(*m_object, *file).release());
    return true;
}

void ObjectContainer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_object)
        paintEmptyText(painter);
    else if (!m_picture.isNull())
        paintPicture(painter);
    else
        paintIcon(painter);
}

void ObjectContainer::mouseDoubleClickEvent(QMouseEvent *event)
{
    emit doubleClicked(event->globalPosition().toPoint());
}

void ObjectContainer::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_verbMenu || !m_object)
        return;
    QMenu menu(this);
    menu.addAction(QStringLiteral("開く(&O)"), this, [this] { openObject(); });
    menu.addAction(QStringLiteral("コピー(&C)"), this, [this] { copyToClipboard(); });
    menu.exec(event->globalPos());
}

bool ObjectContainer::replaceWith(std::optional<StoredObject> object)
{
    if (!object)
        return false;
    setObject(std::move(object));
    return true;
}

void ObjectContainer::loadPicture()
{
    m_picture = QImage();
    if (!m_object || !m_object->mimeType.startsWith(QLatin1String("image/")))
        return;
    if (!m_object->isLink()) {
        m_picture.loadFromData(m_object->data);
        return;
    }
    if (const auto bytes = readLinkedFile(m_object->linkPath, MaxLinkedPictureBytes))
        m_picture.loadFromData(*bytes);
}

void ObjectContainer::paintPicture(QPainter &painter) const
{
    const QSize size = m_picture.size().scaled(rect().size(), Qt::KeepAspectRatio).boundedTo(m_picture.size());
    QRect target(QPoint(), size);
    target.moveCenter(rect().center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_picture);
}

void ObjectContainer::paintIcon(QPainter &painter) const
{
    QRect iconRect(0, 0, IconSize, IconSize);
    iconRect.moveCenter(QPoint(rect().center().x(), Margin + IconSize / 2));
    objectIcon().paint(&painter, iconRect);
    const QRect textRect = rect().adjusted(Margin, iconRect.bottom() + Margin, -Margin, -Margin);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWrapAnywhere, displayText());
}

void ObjectContainer::paintEmptyText(QPainter &painter) const
{
    if (m_emptyText.isEmpty())
        return;
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(rect().adjusted(Margin, Margin, -Margin, -Margin), Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
}

QIcon ObjectContainer::objectIcon() const
{
    if (isBrokenLink())
        return QIcon::fromTheme(QStringLiteral("dialog-warning"), style()->standardIcon(QStyle::SP_MessageBoxWarning));
    const QMimeType type = QMimeDatabase().mimeTypeForName(m_object->mimeType);
    const QIcon fallback = QIcon::fromTheme(type.genericIconName(), style()->standardIcon(QStyle::SP_FileIcon));
    return QIcon::fromTheme(type.iconName(), fallback);
}

} // namespace qm::objects
