#include "textfile.h"

#include "cp932.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>

namespace qm::text {

QString decodeTextFile(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    return cp932::decode(bytes);
}

std::optional<QString> readTextFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return decodeTextFile(bytes);
}

QString toCrLf(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            out.append(QLatin1String("\r\n"));
        } else if (c == QLatin1Char('\n')) {
            out.append(QLatin1String("\r\n"));
        } else {
            out.append(c);
        }
    }
    return out;
}

namespace {

WriteFaultHook &faultHook()
{
    static WriteFaultHook hook;
    return hook;
}

} // namespace

void setWriteFaultHook(WriteFaultHook hook)
{
    faultHook() = std::move(hook);
}

WriteResult writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    WriteResult r;
    int injected = 0;
    const auto proceed = [&](WriteStep step) {
        injected = faultHook() ? faultHook()(path, step) : 0;
        return injected == 0;
    };
    // Unbuffered, so a short write (a full disk, a size limit) shows in write()'s count instead
    // of vanishing in a buffer flush that commit() does not check. A file never committed is
    // discarded: the old one stays as it was.
    QSaveFile file(path);
    if (!proceed(WriteStep::Open) || !file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
        || !proceed(WriteStep::Write) || file.write(bytes) != bytes.size() || !proceed(WriteStep::Commit)
        || !file.commit()) {
        const int code = injected != 0 ? injected : errno;
        r.errorCode = code;
        r.error = injected != 0 || file.error() == QFileDevice::NoError
                          || file.errorString() == QLatin1String("Unknown error")
                      ? QString::fromLocal8Bit(std::strerror(code))
                      : file.errorString();
        return r;
    }
    r.ok = true;
    return r;
}

WriteResult writeCp932File(const QString &path, QStringView text)
{
    cp932::EncodeResult encoded = cp932::encode(text);
    if (!encoded.ok()) {
        WriteResult r;
        r.unencodable = encoded.unencodable;
        return r;
    }
    return writeFileAtomically(path, encoded.bytes);
}

WriteResult writeBrowserPage(const QString &path, QStringView page)
{
    return writeFileAtomically(path, QByteArrayLiteral("\xEF\xBB\xBF") + page.toUtf8());
}

} // namespace qm::text
