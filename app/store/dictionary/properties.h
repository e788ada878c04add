#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace qm::sqlite {
class Database;
}

namespace qm::store {

// The custom properties of a dictionary, kept in its table Properties(Name, Type, Value).
enum class PropertyType { Text, Boolean, Long };

namespace property {
inline const QString Marker = QStringLiteral("QuillmereDatabase");
inline const QString FoldVersion = QStringLiteral("FoldVersion");
} // namespace property

void createProperty(sqlite::Database &db, const QString &name, PropertyType type, const QVariant &value);
// nullopt when the property does not exist.
std::optional<QVariant> findProperty(sqlite::Database &db, const QString &name);
// Throws sqlite::Error when the property does not exist.
QVariant readProperty(sqlite::Database &db, const QString &name);
void writeProperty(sqlite::Database &db, const QString &name, const QVariant &value);

} // namespace qm::store
