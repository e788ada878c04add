// Feeds arbitrary bytes to the object container as a saved image; an image it accepts is
// written back, must give the bytes it was read from, and must read again as the same object.
#include "platform/objects/objectcontainer.h"

#include <QApplication>
#include <QBuffer>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using qm::objects::ObjectContainer;

namespace {

QApplication &application()
{
    static int argc = 1;
    static char name[] = "fuzz_objectimage";
    static char *argv[] = {name, nullptr};
    static QApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    application();
    QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer device(&input);
    device.open(QIODevice::ReadOnly);
    ObjectContainer first;
    if (!first.readFromFile(device)) {
        if (first.object() || first.objectType() != ObjectContainer::ObjectType::None)
            fail("a refused image left an object");
        return 0;
    }
    if (!first.object())
        fail("an accepted image left no object");
    const qint64 used = device.pos();
    first.displayText();

    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    if (!first.saveToFile(out))
        fail("an object read from an image cannot be saved");
    if (written != input.left(used))
        fail("the saved image differs from the bytes it was read from");

    out.close();
    out.open(QIODevice::ReadOnly);
    ObjectContainer second;
    if (!second.readFromFile(out) || second.object() != first.object())
        fail("the saved image reads as another object");
    return 0;
}
