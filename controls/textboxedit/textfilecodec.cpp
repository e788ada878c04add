#include "controls/textboxedit/textfilecodec.h"

#include "platform/text/cp932.h"

#include <QStringDecoder>

#include <algorithm>

namespace corvane {
namespace {

const QByteArray byteOrderMark("\xEF\xBB\xBF");

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
}

std::optional<QString> validUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

} // namespace

DecodedTextFile decodeTextFile(const QByteArray &bytes)
{
    const bool marked = bytes.startsWith(byteOrderMark);
    const QByteArrayView body = QByteArrayView(bytes).sliced(marked ? byteOrderMark.size() : 0);
    if (!marked && isAscii(body))
        return {QString::fromLatin1(body), TextEncoding::Cp932};
    if (std::optional<QString> text = validUtf8(body))
        return {*std::move(text), marked ? TextEncoding::Utf8WithBom : TextEncoding::Utf8};
    return {qm::text::cp932::decode(bytes), TextEncoding::Cp932};
}

QByteArray encodeTextFile(QStringView text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8: return text.toUtf8();
    case TextEncoding::Utf8WithBom: return byteOrderMark + text.toUtf8();
    case TextEncoding::Cp932: break;
    }
    qm::text::cp932::EncodeResult cp932 = qm::text::cp932::encode(text);
    if (cp932.ok())
        return std::move(cp932.bytes);
    return byteOrderMark + text.toUtf8();
}

} // namespace corvane
