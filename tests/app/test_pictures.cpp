// The shipped pictures as the program reads them: the three data-folder GIFs through QMovie,
// the built-in images through the resources that the main window registers, the desktop
// icons from the icon theme folder. (test_pictures_current checks that they are what the
// drawing scripts in art/ make; this checks what the program needs of them.)

#include "app/MainForm.h"
#include "settings/IdPassForm.h"
#include "settings/OptionForm.h"
#include "settings/SetForm.h"
#include "settings/SettingsFiles.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QTest>
#include <cmath>

using namespace pelloway;

namespace {

// Relative luminance of an sRGB colour, as used for text contrast.
double Luminance(QColor c)
{
    auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(QColor a, QColor b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    // The main window registers the built-in pictures itself (they live in a static library)
    // and puts them in place: the banner strip, the window icon (the dialogs' too), the four
    // picture buttons. The later cases read the same resources.
    void initTestCase()
    {
        test::AppFolder app;
        test::RecordingServices services;
        SettingsFiles files{app.path(), app.file(QStringLiteral("vbmail.ini"))};
        MainForm form(files, MainFormServices{services.pop3, services.mci, services.ras, services.character});
        QCOMPARE(form.Picture5->pixmap().size(), QSize(397, 65));
        const QImage icon = form.windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!icon.isNull());
        for (QWidget* dialog : std::initializer_list<QWidget*>{
                 &form.setForm().get(), &form.optionForm().get(), &form.idPassForm().get()})
            QCOMPARE(dialog->windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
                     icon);
        for (QPushButton* button : {form.Picture7, form.Picture1, form.Picture10, form.Picture8}) {
            QVERIFY(!button->icon().isNull());
            QCOMPARE(button->icon().pixmap(22, 22).size(), QSize(22, 22));
        }
        // What shows of the picture area at the run-time size: the client's width, down to
        // the banner.
        form.Form_Load();
        m_pictureArea =
            QSize(std::min(form.Picture2->width(), form.centralWidget()->width()), form.Picture4->y());
    }

    void dataFolderPictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("quiet") << QStringLiteral("infant.gif") << m_pictureArea;
        QTest::newRow("new mail") << QStringLiteral("wife.gif") << m_pictureArea;
        // the compact size narrows the picture area to 1455 x 1455 twips
        QTest::newRow("compact") << QStringLiteral("Yatai.gif") << QSize(97, 97);
    }

    // Every frame has the size of the picture area that shows and covers it completely (the
    // area behind is white); an animation loops for good and never asks for a zero delay,
    // which would keep the UI thread busy redrawing.
    void dataFolderPictures()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QMovie movie(test::SourceDir() + QStringLiteral("/assets/★MailData/") + name);
        movie.setCacheMode(QMovie::CacheAll);
        QVERIFY2(movie.isValid(), qPrintable(movie.lastErrorString()));
        QVERIFY(movie.frameCount() >= 1);
        if (movie.frameCount() > 1)
            QCOMPARE(movie.loopCount(), -1);
        for (int i = 0; i < movie.frameCount(); ++i) {
            QVERIFY(movie.jumpToFrame(i));
            const QImage frame = movie.currentImage();
            QCOMPARE(frame.size(), size);
            for (int y = 0; y < frame.height(); ++y)
                for (int x = 0; x < frame.width(); ++x)
                    QVERIFY2(
                        qAlpha(frame.pixel(x, y)) == 255,
                        qPrintable(QStringLiteral("frame %1 pixel %2,%3 not opaque").arg(i).arg(x).arg(y)));
            if (movie.frameCount() > 1)
                QVERIFY2(movie.nextFrameDelay() >= 20, qPrintable(QString::number(movie.nextFrameDelay())));
        }
    }

    // The banner strip: 397 x 65 without alpha, and dark enough under the scrolling green
    // caption (its top-left 105 x 17 pixels) for the text to read at every pixel.
    void banner()
    {
        const QImage banner(QStringLiteral(":/pelloway/banner.png"));
        QCOMPARE(banner.size(), QSize(397, 65));
        QVERIFY(!banner.hasAlphaChannel());
        QVERIFY(!banner.isGrayscale());
        const QColor green(0x00, 0xFF, 0x00);
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 105; ++x) {
                const double ratio = Contrast(banner.pixelColor(x, y), green);
                QVERIFY2(ratio >= 7.0, qPrintable(QStringLiteral("%1,%2: %3").arg(x).arg(y).arg(ratio)));
            }
    }

    // One icon per theme size, square, with an alpha channel for its rounded corners; the
    // 32-pixel one is the same picture as the window icon.
    void desktopIcons()
    {
        for (int size : {16, 32, 48, 64, 128, 256}) {
            const QString path =
                test::SourceDir() + QStringLiteral("/assets/icons/hicolor/%1x%1/apps/pelloway.png").arg(size);
            const QImage icon(path);
            QVERIFY2(!icon.isNull(), qPrintable(path));
            QCOMPARE(icon.size(), QSize(size, size));
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
        }
        const QImage icon32(test::SourceDir() +
                            QStringLiteral("/assets/icons/hicolor/32x32/apps/pelloway.png"));
        QCOMPARE(icon32.convertToFormat(QImage::Format_ARGB32),
                 QImage(QStringLiteral(":/pelloway/pelloway.png")).convertToFormat(QImage::Format_ARGB32));
    }

private:
    QSize m_pictureArea;
};

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
