#include "exchangefixture.h"

#include "app/common/exchangemessages.h"
#include "app/exchange/exporter.h"

#include <QRegularExpression>

using namespace qm::exchange;
using namespace qm::exchange::test;

// The exported page loads nothing from elsewhere and no body can leave its box.
class tst_HtmlPage final : public QObject
{
    Q_OBJECT

    static QString unescaped(QString text)
    {
        for (const char *entity : {"&lt;<", "&gt;>", "&quot;\"", "&#39;'", "&amp;&"}) {
            const QString e = QString::fromLatin1(entity);
            text.replace(e.chopped(1), e.right(1));
        }
        return text;
    }

private slots:
    void pageLoadsNothingAndKeepsBodiesInTheirBoxes()
    {
        const QString hostile = QStringLiteral(
            "<base href=\"https://x.example/\"><link rel=stylesheet href=\"https://x.example/s.css\">"
            "<meta http-equiv=\"refresh\" content=\"0;url=https://x.example/\">"
            "<style>@import url(https://x.example/d.css); p { background: url( 'http://x.example/e.png' ) }</style>"
            "<p style='background:url(&quot;//x.example/f.png&quot;)'>本文</p><img src=\"https://x.example/a.png\">"
            "<IMG SRC=http://x.example/b.png alt=\"a > b\"><img srcset=\"https://x.example/c.png 2x\" src=\"data:image/png;base64,AA\">"
            "<img srcset=\"data:image/png;base64,AA 1x, https://x.example/d.png 2x\"><svg><image xlink:href=\"https://x.example/g.png\"/><use href=\"https://x.example/h.svg#i\"/></svg>"
            "<video poster=https://x.example/p.png><source src=https://x.example/v.mp4></video>"
            "<iframe srcdoc=\"&lt;img src=https://x.example/i.png&gt;\"></iframe><a href=\"https://x.example/\">link</a>"
            "</template></script>\" ' --></div></article>");
        TempDictionary d;
        d->addEntries({{makeEntry(qm::store::Viewer::Html, QStringLiteral("page"), cp932(hostile)), {QStringLiteral("k")}}});
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        ExportOptions options;
        options.format = ExportFormat::Html;
        options.labels = qm::app::htmlLabels();
        exportDictionary(*d, out, options);
        const QString page = QString::fromUtf8(out.data());

        // One script, the page's own, allowed by its hash and by nothing else.
        QCOMPARE(page.count(QStringLiteral("<script")), 1);
        const qsizetype from = page.indexOf(QLatin1Char('>'), page.indexOf(QStringLiteral("<script"))) + 1;
        const QByteArray script = page.mid(from, page.indexOf(QStringLiteral("</script>")) - from).toUtf8();
        const QString policy = QStringLiteral("default-src 'none'; img-src data:; style-src 'unsafe-inline'; script-src 'sha256-%1';")
                                   .arg(QString::fromLatin1(QCryptographicHash::hash(script, QCryptographicHash::Sha256).toBase64()));
        QVERIFY2(page.contains(QStringLiteral("<meta http-equiv=\"Content-Security-Policy\" content=\"") + policy), qPrintable(page.left(600)));
        // No frame is made before its box is shown.
        QCOMPARE(page.count(QStringLiteral("<iframe")), 1);
        QVERIFY(page.contains(QStringLiteral("<template id=\"frame\"><iframe sandbox=\"\" class=\"page\">")));

        // The body sits whole in one attribute of its box.
        static const QRegularExpression box(QStringLiteral("<div class=\"body\" data-page=\"([^\"<>]*)\"><button"));
        const QRegularExpressionMatch m = box.match(page);
        QVERIFY(m.hasMatch());
        QCOMPARE(page.count(QStringLiteral("</article>")), 1);
        QVERIFY(!page.contains(QStringLiteral("</template></script>")));
        const QString body = unescaped(m.captured(1));
        QVERIFY2(body.endsWith(QStringLiteral("</template></script>\" ' --></div></article>")), qPrintable(body));

        // Nothing in it is fetched; images that were are named in a note, inline data stays.
        static const QRegularExpression load(
            QStringLiteral("\\b(src|srcset|href|poster|srcdoc)\\s*=\\s*[\"']?\\s*(https?:|//)|url\\(\\s*['\"]?\\s*(https?:|//|&quot;)|@import|http-equiv|<base|<link"),
            QRegularExpression::CaseInsensitiveOption);
        const QString remaining = QString(body).remove(QStringLiteral("<a href=\"https://x.example/\">"));
        QVERIFY2(!load.match(remaining).hasMatch(), qPrintable(load.match(remaining).captured()));
        QCOMPARE(body.count(QStringLiteral("外部の画像を省きました")), 5);
        QVERIFY(!body.contains(QStringLiteral("srcset")));
        QVERIFY(body.contains(QStringLiteral("src=\"data:image/png;base64,AA\"")));
        QVERIFY(body.contains(QStringLiteral("<p style=\"background:none\">本文</p>")));
    }

    // An object's name and type are written as they are, "%1" in them included.
    void objectNoteKeepsItsName()
    {
        TempDictionary d;
        const auto object = qm::objects::embedData(QStringLiteral("図%1.bin"), QStringLiteral("a/%2"), "not a picture");
        d->addEntries({{makeEntry(Viewer::Ole, QStringLiteral("o"), qm::objects::image::toBytes(object)), {QStringLiteral("k")}}});
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        ExportOptions options;
        options.format = ExportFormat::Html;
        options.labels = qm::app::htmlLabels();
        exportDictionary(*d, out, options);
        QVERIFY(QString::fromUtf8(out.data()).contains(QStringLiteral("<p class=\"object\">埋め込みファイル: 図%1.bin (a/%2, 13 バイト)</p>")));
    }
};

QTEST_MAIN(tst_HtmlPage)
#include "tst_htmlpage.moc"
