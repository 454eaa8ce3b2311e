// Widths of search result lines in every script a page may be written in,
// against what a browser measures for the same text in "Arial".
//
// The reference widths were measured once with Debian's Chromium
// 156.0.8078.129-1~deb12u1, headless, as canvas measureText() with
// ctx.font = "20px Arial" and "14px Arial", fontconfig mapping Arial to
// Liberation Sans, with these fonts installed:
//   fonts-liberation2 2.1.5-1        (Latin, Greek, Cyrillic, Hebrew)
//   fonts-noto-core   20201225-1     (Thai, Devanagari)
//   fonts-noto-cjk    1:20220127+repack1-1 (Chinese, Japanese, Korean)
//   fonts-dejavu-core 2.37-6         (Arabic: fontconfig prefers DejaVu Sans)
//   fontconfig        2.14.1-4
// Other versions of these fonts may measure otherwise; a failure names the
// font each script came from.

#include "check/textmeasure.h"

#include <QTest>

#include <thread>
#include <vector>

using namespace Qt::StringLiterals;
using brindle::check::FontMeasure;

class TestTextWidths : public QObject
{
    Q_OBJECT

private slots:
    void asTheBrowserMeasures_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<double>("browser");

        struct Reference
        {
            const char *script;
            const char16_t *text;
            double at20;
            double at14;
        };
        static constexpr Reference kReferences[] = {
            {"Latin", u"Home & Garden – Tips for Small Gardens and Balconies", 501.71875, 351.203125},
            {"Greek", u"Σπίτι και κήπος: συμβουλές για μικρούς κήπους και μπαλκόνια", 550.72265625,
             385.505859375},
            {"Cyrillic", u"Дом и сад: советы для маленьких садов и балконов", 483.974609375, 338.7822265625},
            {"Chinese", u"家居与园艺：小花园和阳台的实用建议", 339.99981689453125, 237.99896240234375},
            {"Chinese, 38 characters",
             u"家居与园艺：小花园和阳台的实用建议，从选土、播种、浇水、修剪到施肥的完整指南",
             759.9996337890625, 531.9976806640625},
            {"Japanese", u"家と庭：小さな庭とベランダのためのヒント集", 419.99981689453125,
             293.99871826171875},
            {"Korean", u"집과 정원: 작은 정원과 발코니를 위한 팁", 333.296142578125, 233.306640625},
            {"Arabic", u"المنزل والحديقة: نصائح للحدائق الصغيرة والشرفات", 421.54296875, 295.080078125},
            {"Hebrew", u"בית וגן: טיפים לגינות קטנות ולמרפסות", 317.01171875, 221.908203125},
            {"Thai", u"บ้านและสวน: เคล็ดลับสำหรับสวนขนาดเล็กและระเบียง", 417.3529052734375, 292.14617919921875},
            {"Devanagari", u"घर और बगीचा: छोटे बगीचों और बालकनियों के लिए सुझाव", 422.00604248046875,
             295.403564453125},
            {"Latin, Chinese, Cyrillic", u"Brindle 2.0 – 使用指南 | Руководство (PDF)", 389.91204833984375,
             272.938232421875},
            {"Latin, Arabic, Hebrew", u"Café «Olive» – مطعم ومقهى – מסעדה", 333.759765625, 233.6318359375},
        };
        for (const Reference &r : kReferences) {
            const QString text = QString::fromUtf16(r.text);
            QTest::addRow("%s, 20 px", r.script) << text << 20 << r.at20;
            QTest::addRow("%s, 14 px", r.script) << text << 14 << r.at14;
        }
    }
    void asTheBrowserMeasures()
    {
        QFETCH(QString, text);
        QFETCH(int, pixelSize);
        QFETCH(double, browser);
        const FontMeasure &measure = FontMeasure::liberationSans();
        const double ours = measure.width(text, pixelSize);
        if (qAbs(ours - browser) <= browser * 0.02)
            return;
        QStringList fonts;
        for (char32_t c : text.toUcs4()) {
            const QString file = measure.fontFileFor(c);
            if (!fonts.contains(file))
                fonts << file;
        }
        QFAIL(qPrintable(u"%1 px instead of the browser's %2 px (%3 %); measured in %4"_s.arg(ours)
                             .arg(browser)
                             .arg(100 * ours / browser, 0, 'f', 1)
                             .arg(fonts.join(u", "_s))));
    }

    // What the main font has is measured in it, even where another font
    // would be preferred for the script; only the rest falls back.
    void fontOfEachCharacter_data()
    {
        QTest::addColumn<uint>("character");
        QTest::addColumn<bool>("mainFont");
        QTest::addRow("Latin a") << uint(u'a') << true;
        QTest::addRow("Cyrillic zhe") << uint(0x416) << true;
        QTest::addRow("Hebrew alef") << uint(0x5d0) << true;
        QTest::addRow("Arabic alef") << uint(0x627) << false;
        QTest::addRow("Thai ko kai") << uint(0xe01) << false;
        QTest::addRow("Han, outside the BMP") << uint(0x20bb7) << false;
    }
    void fontOfEachCharacter()
    {
        QFETCH(uint, character);
        QFETCH(bool, mainFont);
        const FontMeasure &measure = FontMeasure::liberationSans();
        const QString file = measure.fontFileFor(character);
        QVERIFY2(!file.isEmpty(), "no installed font has the character");
        QCOMPARE(file == measure.fontFile(), mainFont);
    }

    void charactersNoFontHas()
    {
        // A private-use character: the missing glyph's box, as the browser
        // draws it, not nothing.
        const FontMeasure &measure = FontMeasure::liberationSans();
        QVERIFY(measure.fontFileFor(0xf0000).isEmpty());
        QVERIFY(measure.width(u"\U000F0000", 20) > 0);
        QCOMPARE(measure.width(u"a\U000F0000", 20) - measure.width(u"\U000F0000", 20),
                 measure.width(u"a", 20));
    }

    void samePiecesGiveTheSameWidthsFromManyThreads()
    {
        // check measures pages on every core; the fallback fonts are looked up
        // and loaded by whichever thread meets them first.
        const FontMeasure measure(FontMeasure::liberationSans().fontFile());
        const QString text = u"ครัว 厨房 부엌 مطبخ रसोई"_s;
        QList<double> widths(8);
        std::vector<std::thread> threads;
        for (qsizetype i = 0; i < widths.size(); ++i)
            threads.emplace_back([&, i] { widths[i] = measure.width(text, 20); });
        for (std::thread &t : threads)
            t.join();
        for (double w : widths)
            QCOMPARE(w, widths.first());
    }
};

QTEST_GUILESS_MAIN(TestTextWidths)
#include "tst_textwidths.moc"
