#include "platform/objects/objectimage.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace qm::objects;

namespace {

StoredObject sampleEmbedded()
{
    QByteArray data;
    for (int i = 0; i < 300; ++i)
        data.append(char(i)); // every byte value, NUL included
    return embedData(QStringLiteral("報告 書.bin"), QStringLiteral("application/octet-stream"), data);
}

StoredObject sampleLink()
{
    StoredObject link;
    link.kind = StoredObject::Kind::Linked;
    link.name = QStringLiteral("図.png");
    link.mimeType = QStringLiteral("image/png");
    link.linkPath = QStringLiteral("/home/user/資料/図.png");
    return link;
}

// A device that cannot tell how much data is left, like a pipe.
class SequentialBuffer final : public QBuffer
{
public:
    bool isSequential() const override { return true; }
};

QByteArray withLength(QByteArray image, int offset, quint32 length)
{
    qToBigEndian(length, image.data() + offset);
    return image;
}

} // namespace

class tst_objectimage final : public QObject
{
    Q_OBJECT

private slots:
    void roundTripIsByteExact();
    void readsFromThePositionAndStopsAfterTheImage();
    void rejectsDamagedImages_data();
    void rejectsDamagedImages();
    void everyTruncationIsRejected();
    void hostileLengthOnSequentialDevice();
};

void tst_objectimage::roundTripIsByteExact()
{
    for (const StoredObject &object : {sampleEmbedded(), sampleLink(),
                                      embedData(QStringLiteral("\uFEFFempty"), QString(), QByteArray())}) {
        const QByteArray bytes = image::toBytes(object);
        const auto read = image::fromBytes(bytes);
        QVERIFY(read.has_value());
        QCOMPARE(*read, object);
        QCOMPARE(image::toBytes(*read), bytes);
    }
}

void tst_objectimage::readsFromThePositionAndStopsAfterTheImage()
{
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::ReadWrite));
    buffer.write("prefix");
    QVERIFY(image::write(sampleLink(), buffer));
    buffer.write("trailer");
    QVERIFY(buffer.seek(6));
    QCOMPARE(image::read(buffer), std::optional<StoredObject>(sampleLink()));
    QCOMPARE(buffer.read(7), QByteArray("trailer"));
}

void tst_objectimage::rejectsDamagedImages_data()
{
    const QByteArray good = image::toBytes(sampleEmbedded());
    const int nameLength = 8 + 2 + 1;
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("other format") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
    QTest::newRow("newer version") << good.left(8) + QByteArray("\0\x02", 2) + good.mid(10);
    QTest::newRow("unknown kind") << good.left(10) + QByteArray("\x07") + good.mid(11);
    QTest::newRow("name longer than the data") << withLength(good, nameLength, 0x7FFFFFFF);
    QTest::newRow("name beyond its limit") << withLength(good, nameLength, 100000);
    QTest::newRow("name not UTF-8") << good.left(nameLength + 4) + QByteArray("\xFF") + good.mid(nameLength + 5);

    QByteArray emptyLink = image::toBytes(sampleLink());
    emptyLink = withLength(emptyLink, emptyLink.size() - sampleLink().linkPath.toUtf8().size() - 4, 0);
    emptyLink.chop(sampleLink().linkPath.toUtf8().size());
    QTest::newRow("link without a path") << emptyLink;
}

void tst_objectimage::rejectsDamagedImages()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!image::fromBytes(bytes).has_value());
}

void tst_objectimage::everyTruncationIsRejected()
{
    const QByteArray good = image::toBytes(sampleEmbedded());
    for (qsizetype size = 0; size < good.size(); ++size)
        QVERIFY2(!image::fromBytes(good.left(size)).has_value(), qPrintable(QString::number(size)));
}

void tst_objectimage::hostileLengthOnSequentialDevice()
{
    // A payload length just under the limit, with ten bytes behind it: the reader must fail
    // when the data runs out rather than trust the length.
    QByteArray bytes = image::toBytes(embedData(QStringLiteral("a"), QStringLiteral("b"), QByteArray(10, 'x')));
    bytes = withLength(bytes, bytes.size() - 14, quint32(MaxEmbeddedBytes));
    SequentialBuffer device;
    device.setData(bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QVERIFY(!image::read(device).has_value());
}

QTEST_GUILESS_MAIN(tst_objectimage)
#include "tst_objectimage.moc"
