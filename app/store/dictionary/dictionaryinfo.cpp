#include "app/store/dictionary/dictionaryinfo.h"

#include "app/store/dictionary/dictionary.h"

#include "platform/sqlite/error.h"
#include "platform/sqlite/transaction.h"

#include <QDir>

#include <sqlite3.h>

namespace qm::store {
namespace {

const QString DictionaryName = QStringLiteral("DictionaryName");
const QString Author = QStringLiteral("Author");
const QString Comment = QStringLiteral("Comment");
const QString Blank = QStringLiteral(" ");

QString shown(const QVariant &stored)
{
    const QString text = stored.toString();
    return text == Blank ? QString() : text;
}

QString stored(const QString &shown)
{
    return shown.isEmpty() ? Blank : shown;
}

} // namespace

DictionaryDescription readDescription(Dictionary &dictionary)
{
    DictionaryDescription d;
    d.name = dictionary.property(DictionaryName).toString();
    d.author = shown(dictionary.property(Author));
    d.comment = shown(dictionary.property(Comment));
    d.locks = {dictionary.property(QStringLiteral("DictionaryNameLock")).toBool(),
               dictionary.property(QStringLiteral("AuthorLock")).toBool(),
               dictionary.property(QStringLiteral("CommentLock")).toBool()};
    return d;
}

void writeDescription(Dictionary &dictionary, const DictionaryDescription &description)
{
    // The locks are read from the file, not taken from the caller, so nothing can unlock a text.
    const DictionaryDescription current = readDescription(dictionary);
    if (dictionary.isReadOnly())
        throw sqlite::Error(sqlite::Error::Kind::ReadOnly, SQLITE_READONLY,
                            QStringLiteral("辞書 %1 は読み取り専用のため変更できません")
                                .arg(QDir::toNativeSeparators(dictionary.path())));
    sqlite::Transaction tx(dictionary.database());
    if (!current.locks[0])
        dictionary.setProperty(DictionaryName, description.name);
    if (!current.locks[1])
        dictionary.setProperty(Author, stored(description.author));
    if (!current.locks[2])
        dictionary.setProperty(Comment, stored(description.comment));
    tx.commit();
}

DictionarySummary summarizeDictionary(const QString &path)
{
    Dictionary::Options options;
    options.readOnly = true;
    Dictionary dictionary(path, options);
    DictionarySummary s;
    s.name = dictionary.property(DictionaryName).toString();
    s.keywordCount = dictionary.property(QStringLiteral("IndexRecordCount")).toInt();
    s.documentCount = dictionary.property(QStringLiteral("DocumentRecordCount")).toInt();
    return s;
}

} // namespace qm::store
