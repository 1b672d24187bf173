// What a tooltip shows of an ASCII-art piece: all of a piece of tip size, the corner of a big one.
#include "palette/tip_preview.h"
#include <QtTest>

using palette::kTipMaxLineChars;
using palette::kTipMaxLines;

class TipPreviewTest : public QObject {
    Q_OBJECT
private slots:
    void preview_data();
    void preview();
};

void TipPreviewTest::preview_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    const QString full(kTipMaxLineChars, QLatin1Char('x'));
    const QString e(QChar(u'…'));
    QTest::newRow("one line") << QStringLiteral("(^_^)") << QStringLiteral("(^_^)");
    QTest::newRow("line ends") << QStringLiteral("a\r\nb\rc\nd\r\n") << QStringLiteral("a\nb\nc\nd\n");
    QTest::newRow("empty lines") << QStringLiteral("\r\n\r\nz") << QStringLiteral("\n\nz");
    QTest::newRow("line at the bound") << full + QStringLiteral("\r\nb") << full + QStringLiteral("\nb");
    QTest::newRow("long line") << full + QStringLiteral("yy\r\nb") << full + e + QStringLiteral("\nb");
    const QString pair = QString(kTipMaxLineChars - 1, QLatin1Char('x')) + QStringLiteral("😀z");
    QTest::newRow("no half pair") << pair << QString(kTipMaxLineChars - 1, QLatin1Char('x')) + e;
    QStringList many;
    for (int i = 0; i < kTipMaxLines + 5; ++i)
        many << QString::number(i);
    QTest::newRow("many lines") << many.join(QStringLiteral("\r\n"))
                                << QStringList(many.mid(0, kTipMaxLines)).join(QLatin1Char('\n')) +
                                       QLatin1Char('\n') + e;
    QTest::newRow("exactly the lines") << QStringList(many.mid(0, kTipMaxLines)).join(QStringLiteral("\r\n"))
                                       << QStringList(many.mid(0, kTipMaxLines)).join(QLatin1Char('\n'));
}

void TipPreviewTest::preview() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(palette::tipPreview(text), shown);
}

QTEST_GUILESS_MAIN(TipPreviewTest)
#include "tip_preview.moc"
