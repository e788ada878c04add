#include "controls/corvanemodule.h"

#include "platform/text/cp932.h"
#include "platform/text/textfile.h"

#include <QDir>
#include <QFile>

namespace corvane {

Result CorvaneModule::WriteTextFile(const QString &path, const QString &text)
{
    const qm::text::WriteResult written = qm::text::writeCp932File(path, text);
    if (written.ok)
        return Result::success();
    const QString shownPath = QDir::toNativeSeparators(path);
    if (!written.unencodable.isEmpty()) {
        return Result::failure(
            QStringLiteral("次の文字はシフトJISで保存できないため、\"%1\" に書き込めません: %2")
                .arg(shownPath, qm::text::cp932::describe(written.unencodable)));
    }
    return Result::failure(
        QStringLiteral("\"%1\" に書き込めません。\n%2").arg(shownPath, written.error));
}

std::optional<QString> CorvaneModule::ReadTextFile(const QString &path, QString *error)
{
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("\"%1\" を読み込めません。\n%2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return std::nullopt;
    }
    return qm::text::decodeTextFile(bytes);
}

} // namespace corvane
