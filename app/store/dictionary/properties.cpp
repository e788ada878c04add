#include "app/store/dictionary/properties.h"

#include "platform/sqlite/database.h"
#include "platform/sqlite/statement.h"

#include <sqlite3.h>

namespace qm::store {
namespace {
using sqlite::Statement;

QString typeName(PropertyType t)
{
    switch (t) {
    case PropertyType::Text: return QStringLiteral("Text");
    case PropertyType::Boolean: return QStringLiteral("Boolean");
    case PropertyType::Long: return QStringLiteral("Long");
    }
    return {};
}

sqlite::Error notFound(const QString &name)
{
    return sqlite::Error(sqlite::Error::Kind::General, SQLITE_NOTFOUND, QStringLiteral("property not found: %1").arg(name));
}

void bindValue(Statement &st, int index, bool isText, const QVariant &value)
{
    if (isText)
        st.bind(index, value.toString());
    else
        st.bind(index, qint64(value.toLongLong()));
}

} // namespace

void createProperty(sqlite::Database &db, const QString &name, PropertyType type, const QVariant &value)
{
    Statement st(db, "INSERT INTO Properties (Name, Type, Value) VALUES (?1, ?2, ?3)");
    st.bind(1, name).bind(2, typeName(type));
    bindValue(st, 3, type == PropertyType::Text, value);
    st.run();
}

std::optional<QVariant> findProperty(sqlite::Database &db, const QString &name)
{
    Statement st(db, "SELECT Type, Value FROM Properties WHERE Name = ?1");
    st.bind(1, name);
    if (!st.step())
        return std::nullopt;
    const QString type = st.toText(0);
    if (type == typeName(PropertyType::Boolean))
        return QVariant(st.toInt64(1) != 0);
    if (type == typeName(PropertyType::Long))
        return QVariant(st.toInt(1));
    return QVariant(st.toText(1));
}

QVariant readProperty(sqlite::Database &db, const QString &name)
{
    std::optional<QVariant> value = findProperty(db, name);
    if (!value)
        throw notFound(name);
    return *value;
}

void writeProperty(sqlite::Database &db, const QString &name, const QVariant &value)
{
    Statement type(db, "SELECT Type FROM Properties WHERE Name = ?1");
    type.bind(1, name);
    if (!type.step())
        throw notFound(name);
    const bool isText = type.toText(0) == typeName(PropertyType::Text);
    Statement st(db, "UPDATE Properties SET Value = ?2 WHERE Name = ?1");
    st.bind(1, name);
    bindValue(st, 2, isText, value);
    st.run();
}

} // namespace qm::store
