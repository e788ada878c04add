// Feeds arbitrary bytes to the link field as an Internet shortcut file.
#include "controls/textboxurl/textboxurl.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QApplication &application()
{
    static int argc = 1;
    static char name[] = "fuzz_urlfile";
    static char *argv[] = {name, nullptr};
    static QApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    application();
    static QTemporaryDir dir;
    static corvane::TextBoxURL *control = new corvane::TextBoxURL;
    const QString path = dir.filePath(QStringLiteral("link.url"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    control->setText(QStringLiteral("before"));
    const corvane::Result result = control->LoadFile(path);
    const QString text = control->text();
    if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        std::fprintf(stderr, "a line break reached the field: %s\n", qPrintable(text));
        std::abort();
    }
    if (size == 0 && result) {
        std::fprintf(stderr, "an empty file was read\n");
        std::abort();
    }
    return 0;
}
