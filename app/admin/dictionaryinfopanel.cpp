#include "dictionaryinfopanel.h"

#include "adminparts.h"

#include "app/store/dictionary/dictionaryinfo.h"
#include "app/store/dictionary/dictionarystorage.h"
#include "app/store/sets/memberopener.h"
#include "platform/sqlite/error.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qm::app {

using admin::place;

DictionaryInfoPanel::DictionaryInfoPanel(QWidget *parent)
    : QGroupBox(QStringLiteral("辞書の情報"), parent)
{
    setObjectName(QStringLiteral("Frame"));
    txtDicName = place(new QLineEdit(this), QStringLiteral("txtDicName"), 960, 300, 4335, 270);
    admin::setLocked(txtDicName, true);
    lblKeyWord = place(new QLabel(this), QStringLiteral("lblKeyWord"), 960, 690, 1095, 255);
    lblDocument = place(new QLabel(this), QStringLiteral("lblDocument"), 2760, 690, 1095, 255);
    lblSize = place(new QLabel(QStringLiteral("0"), this), QStringLiteral("lblSize"), 960, 1050, 2295, 255);
    cmdProperty = place(new QPushButton(QStringLiteral("詳細(&P)"), this), QStringLiteral("cmdProperty"), 4080, 990,
                        1215, 375);
    cmdProperty->setAutoDefault(false);
    lblInfoMessage = place(new QLabel(this), QStringLiteral("lblInfoMessage"), 120, 1380, 5175, 480);
    lblInfoMessage->setWordWrap(true);
    lblInfoMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblInfoMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblInfoMessage->setStyleSheet(QStringLiteral("color: #b00020;"));
    buildCaptions();
}

void DictionaryInfoPanel::buildCaptions()
{
    lblDicName = admin::label(this, QStringLiteral("lblDicName"), QStringLiteral("辞書名(&N)"), txtDicName, 120, 330, 795);
    admin::label(this, QStringLiteral("Label2"), QStringLiteral("ｷｰﾜｰﾄﾞ"), nullptr, 120, 690, 795);
    admin::label(this, QStringLiteral("Label3"), QStringLiteral("本文"), nullptr, 2160, 690, 555);
    admin::label(this, QStringLiteral("Label1"), QStringLiteral("ｻｲｽﾞ"), nullptr, 120, 1050, 795);
}

QString DictionaryInfoPanel::kilobytes(qint64 bytes)
{
    // Fifteen significant digits, and only as many fraction digits as the quotient needs.
    return QString::number(double(bytes) / 1024.0, 'g', 15) + QStringLiteral("KB");
}

void DictionaryInfoPanel::showDictionary(const QString &path)
{
    lblInfoMessage->setToolTip({});
    try {
        showSummary(store::summarizeDictionary(path));
        lblSize->setText(kilobytes(QFileInfo(path).size()));
    } catch (const sqlite::Error &e) {
        const bool there = QFileInfo(path).isFile();
        showFailure(path, there ? QStringLiteral("辞書として開けません（%1）").arg(admin::failureReason(e))
                                : QStringLiteral("ファイルが見つかりません"));
    }
}

void DictionaryInfoPanel::showStorage(store::DictionaryStorage &storage)
{
    try {
        lblInfoMessage->setToolTip({});
        showSummary({storage.displayName(), qint32(storage.keywordCount()), qint32(storage.entryCount())});
        lblSize->setText(QStringLiteral("－"));
    } catch (const sqlite::Error &e) {
        showServerFailure(store::shownMember(storage.location()), e);
    }
}

void DictionaryInfoPanel::showServerFailure(const QString &shownLocation, const sqlite::Error &failure)
{
    txtDicName->clear();
    lblKeyWord->clear();
    lblDocument->clear();
    lblSize->setText(QStringLiteral("－"));
    // The list shows the location; the reason comes first here, whole in the tip.
    const QString reason = QStringLiteral("サーバーの辞書を開けません（%1）").arg(admin::failureReason(failure));
    lblInfoMessage->setText(fitted(reason));
    lblInfoMessage->setToolTip(shownLocation + QLatin1Char('\n') + reason);
}

QString DictionaryInfoPanel::fitted(const QString &text) const
{
    // A server's reason may run to several long lines: what the message's lines hold is shown,
    // cut with an ellipsis, and the whole text is in the tip.
    const QFontMetrics metrics = lblInfoMessage->fontMetrics();
    QString flat = text.simplified();
    const auto fits = [&] { return lblInfoMessage->heightForWidth(lblInfoMessage->width()) <= lblInfoMessage->height(); };
    const QString whole = lblInfoMessage->text();
    lblInfoMessage->setText(flat);
    for (int room = lblInfoMessage->width() * std::max(1, lblInfoMessage->height() / metrics.lineSpacing());
         !fits() && room > 0; room -= metrics.averageCharWidth()) {
        flat = metrics.elidedText(text.simplified(), Qt::ElideRight, room);
        lblInfoMessage->setText(flat);
    }
    lblInfoMessage->setText(whole);
    return flat;
}

void DictionaryInfoPanel::showSummary(const store::DictionarySummary &summary)
{
    txtDicName->setText(summary.name);
    txtDicName->setCursorPosition(0);
    lblKeyWord->setText(QString::number(summary.keywordCount));
    lblDocument->setText(QString::number(summary.documentCount));
    lblInfoMessage->clear();
}

void DictionaryInfoPanel::showFailure(const QString &path, const QString &reason)
{
    txtDicName->clear();
    lblKeyWord->clear();
    lblDocument->clear();
    const QFileInfo file(path);
    lblSize->setText(file.isFile() ? kilobytes(file.size()) : QStringLiteral("0"));
    lblInfoMessage->setText(QDir::toNativeSeparators(path) + QLatin1Char('\n') + reason);
}

} // namespace qm::app
