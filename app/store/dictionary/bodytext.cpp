#include "app/store/dictionary/bodytext.h"

#include "app/store/dictionary/viewertype.h"

#include "platform/sqlite/database.h"
#include "platform/sqlite/likepattern.h"
#include "platform/text/cp932.h"
#include "platform/text/fold.h"

#include <sqlite3.h>

#include <utility>

namespace qm::store {
namespace {

const RichTextReader &readerOf(sqlite3_context *ctx)
{
    static const RichTextReader none;
    const auto *reader = static_cast<const RichTextReader *>(sqlite3_user_data(ctx));
    return reader ? *reader : none;
}

// A rich-text body that is not RTF is shown as plain text, and searched so.
bool looksLikeRtf(QStringView text)
{
    return text.trimmed().startsWith(QLatin1String("{\\rtf"));
}

// A key is null only where there is no text to search; an empty body has the empty key.
QString nonNull(QString key)
{
    return key.isNull() ? QString(QLatin1String("")) : key;
}

QByteArrayView blobArgument(sqlite3_value *value)
{
    const void *data = sqlite3_value_blob(value);
    return QByteArrayView(static_cast<const char *>(data), sqlite3_value_bytes(value));
}

QString textArgument(sqlite3_value *value)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    return QString::fromUtf8(text, sqlite3_value_bytes(value));
}

void resultText(sqlite3_context *ctx, const QString &text)
{
    if (text.isNull()) {
        sqlite3_result_null(ctx);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// The search key of a body from its arguments (viewer, body, stored text key): a rich-text
// body's stored key where there is one.
QString bodyKeyOf(sqlite3_context *ctx, sqlite3_value **argv)
{
    const int viewer = sqlite3_value_int(argv[0]);
    if (viewer == int(Viewer::RichText) && sqlite3_value_type(argv[2]) != SQLITE_NULL)
        return textArgument(argv[2]);
    return bodySearchKey(quint8(qBound(0, viewer, 255)), blobArgument(argv[1]), readerOf(ctx));
}

void bodyLikeFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    bool failed = false;
    const sqlite::LikePattern *pattern = sqlite::patternArgument(ctx, 0, argv[0], failed);
    if (failed)
        return;
    if (!pattern || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString key = bodyKeyOf(ctx, argv + 1);
    sqlite3_result_int(ctx, !key.isNull() && pattern->matchesFolded(key) ? 1 : 0);
}

void bodyKeyFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    resultText(ctx, bodyKeyOf(ctx, argv));
}

void richTextKeyFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    resultText(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL
                        ? QString()
                        : bodySearchKey(quint8(Viewer::RichText), blobArgument(argv[0]), readerOf(ctx)));
}

} // namespace

QString bodySearchKey(quint8 viewer, QByteArrayView body, const RichTextReader &reader)
{
    switch (Viewer(viewer)) {
    case Viewer::Text:
    case Viewer::Url:
    case Viewer::Html:
        return nonNull(text::fold(text::cp932::decode(body)));
    case Viewer::RichText: {
        QString text = text::cp932::decode(body);
        if (!looksLikeRtf(text))
            return nonNull(text::fold(text));
        if (!reader)
            return {};
        // The RTF source goes before the visible text is folded: a large body is not held in
        // all three forms at once.
        const QString visible = reader(std::exchange(text, QString()));
        return nonNull(text::fold(visible));
    }
    case Viewer::Ole:
        break;
    }
    return {};
}

QString bodySearchKey(const Entry &entry, const RichTextReader &reader)
{
    if (Viewer(entry.Viewer) == Viewer::RichText && !entry.VisibleText.isNull())
        return nonNull(text::fold(entry.VisibleText));
    return bodySearchKey(entry.Viewer, entry.Document, reader);
}

void registerBodyFunctions(sqlite::Database &db, const RichTextReader *reader)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY;
    // The functions only read the reader: it is handed over as the functions' user data.
    auto *data = const_cast<RichTextReader *>(reader);
    int rc = sqlite3_create_function_v2(db.handle(), "qm_body_like", 4, flags, data, bodyLikeFunction,
                                        nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(db.handle(), "qm_rich_text_key", 1, flags, data,
                                        richTextKeyFunction, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(db.handle(), "qm_body_key", 3, flags, data, bodyKeyFunction,
                                        nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        db.raise(rc, "registering functions");
}

} // namespace qm::store
