// The splash and tips windows, offscreen, in a throwaway home with the configuration loaded.
#include "config/paths.h"
#include "config/settings.h"
#include "net/netutils.h"
#include "ui/shell/splash_main.h"
#include "ui/shell/tip_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

class TestSplashTips : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void splashPicture_data();
    void splashPicture();
    void splashCloses();
    void tipsOnStart_data();
    void tipsOnStart();
    void showTipsRemembered();
    void tipCaptions_data();
    void tipCaptions();
    void tipLinks_data();
    void tipLinks();
    void tipsClose_data();
    void tipsClose();

private:
    std::unique_ptr<QTemporaryDir> Home;
    std::unique_ptr<TSettings> Settings;
    QStringList Opened;
};

namespace {
bool Centred(const QWidget& W) {
    const QPoint Off = W.geometry().center() - W.screen()->geometry().center();
    return qAbs(Off.x()) <= 1 && qAbs(Off.y()) <= 1;
}
} // namespace

void TestSplashTips::initTestCase() {
    QApplication::setApplicationDisplayName("Scoutly Lite");
    SetOpenURLFailureHandler([this](const QString& Message) { Opened << Message; });
}

void TestSplashTips::init() {
    Home = std::make_unique<QTemporaryDir>();
    qputenv("SCOUTLY_HOME", Home->path().toUtf8());
    Settings = std::make_unique<TSettings>(TEdition::Morrow());
    Opened.clear();
}

void TestSplashTips::cleanup() {
    Settings.reset();
    qunsetenv("SCOUTLY_DATA_DIR");
}

void TestSplashTips::splashPicture_data() {
    QTest::addColumn<QString>("data"); // "shipped", "own" or "none"
    QTest::newRow("shipped picture") << "shipped";
    QTest::newRow("picture in the data folder") << "own";
    QTest::newRow("no picture") << "none";
}

void TestSplashTips::splashPicture() {
    QFETCH(QString, data);
    const QString Shipped = ProgramDataDir() + "/splash.png";
    QTemporaryDir Data;
    const QColor Own(0x12, 0x34, 0x56);
    if (data != "shipped") qputenv("SCOUTLY_DATA_DIR", Data.path().toUtf8());
    if (data == "own") {
        QImage Picture(Tsplash_form::ClientWidth, Tsplash_form::ClientHeight, QImage::Format_RGB32);
        Picture.fill(Own);
        QVERIFY(Picture.save(Data.filePath("splash.png")));
    }
    auto Splash = Tsplash_form::Create<Tmorrowsplash_form>(Settings->Colors);
    QVERIFY(Splash->isVisible());
    QCOMPARE(Splash->size(), QSize(350, 230));
    QVERIFY(Centred(*Splash));

    const QImage Shown = Splash->Image1->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(Shown.size(), QSize(350, 230));
    if (data == "shipped") {
        QCOMPARE(Shown, QImage(Shipped).convertToFormat(QImage::Format_RGB32));
    } else if (data == "own") {
        QCOMPARE(Shown.pixelColor(175, 115), Own);
    } else {
        // Drawn instead: the skin's background with the names in the skin's font colour.
        QCOMPARE(Shown.pixelColor(0, 0), ColorOfBGR(Settings->Colors.PrimaryColor));
        const QColor Text = ColorOfBGR(Settings->Colors.PrimaryFontColor);
        int TextPixels = 0;
        for (int Y = 0; Y < Shown.height(); ++Y)
            for (int X = 0; X < Shown.width(); ++X)
                TextPixels += Shown.pixelColor(X, Y) == Text;
        QVERIFY2(TextPixels > 200, qPrintable(QString::number(TextPixels)));
    }
}

void TestSplashTips::splashCloses() {
    QElapsedTimer Clock;
    Clock.start();
    auto Splash = Tsplash_form::Create<Tmorrowsplash_form>(Settings->Colors);
    QTRY_VERIFY_WITH_TIMEOUT(!Splash->isVisible(), 5000);
    QVERIFY2(Clock.elapsed() >= 2400, qPrintable(QString::number(Clock.elapsed())));
}

void TestSplashTips::tipsOnStart_data() {
    QTest::addColumn<bool>("store");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("shown");
    QTest::newRow("fresh home") << false << "" << true;
    QTest::newRow("turned off") << true << "X" << false;
    QTest::newRow("turned on again") << true << "" << true;
}

void TestSplashTips::tipsOnStart() {
    QFETCH(bool, store);
    QFETCH(QString, stored);
    QFETCH(bool, shown);
    if (store) Settings->Store("showtips", stored);
    auto Tips = Ttip_form::Create<Tmorrowtip_form>(*Settings);
    QCOMPARE(Tips->isVisible(), shown);
    QCOMPARE(Tips->showtips->isChecked(), shown);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    Tips->show();
    QVERIFY(Centred(*Tips));
    QCOMPARE(Tips->size(), QSize(394, 357));
    QCOMPARE(Tips->tippanel->size(), QSize(377, 313));
    // Every line and link must be readable in full inside the panel, whatever the font.
    QList<QLabel*> Labels = Tips->tiplabels;
    Labels << Tips->toplabel << Tips->helplabel << Tips->commentslabel;
    QCOMPARE(Labels.size(), 8);
    for (QLabel* Label : Labels) {
        const QRect Box(Label->mapTo(Tips->tippanel, QPoint(0, 0)), Label->size());
        QVERIFY2(Tips->tippanel->contentsRect().contains(Box), qPrintable(Label->text()));
        QVERIFY2(Label->width() >= Label->sizeHint().width() &&
                     Label->height() >= Label->sizeHint().height(),
                 qPrintable(Label->text()));
    }
    QVERIFY(!Tips->tippanel->geometry().intersects(Tips->showtips->geometry()));
    QVERIFY(!Tips->tippanel->geometry().intersects(Tips->close_butt->geometry()));
}

void TestSplashTips::showTipsRemembered() {
    auto Tips = Ttip_form::Create<Tmorrowtip_form>(*Settings);
    QTest::mouseClick(Tips->showtips, Qt::LeftButton, {}, QPoint(6, Tips->showtips->height() / 2));
    QVERIFY(!Tips->showtips->isChecked());
    QCOMPARE(Settings->Stored("showtips"), QString("X"));

    // Read back by the next start.
    Tips.reset();
    Settings.reset();
    Settings = std::make_unique<TSettings>(TEdition::Morrow());
    Tips = Ttip_form::Create<Tmorrowtip_form>(*Settings);
    QVERIFY(!Tips->isVisible());
    QVERIFY(!Tips->showtips->isChecked());

    Tips->show();
    QTest::mouseClick(Tips->showtips, Qt::LeftButton, {}, QPoint(6, Tips->showtips->height() / 2));
    QCOMPARE(Settings->Stored("showtips"), QString(""));
    Tips = Ttip_form::Create<Tmorrowtip_form>(*Settings);
    QVERIFY(Tips->isVisible());
}

void TestSplashTips::tipCaptions_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("heading");
    QTest::newRow("application's name") << ""
                                        << "Scoutly Lite Tips"
                                        << "Tips for Using Scoutly Lite";
    QTest::newRow("given name") << "Other"
                                << "Other Tips"
                                << "Tips for Using Other";
}

void TestSplashTips::tipCaptions() {
    QFETCH(QString, title);
    QFETCH(QString, caption);
    QFETCH(QString, heading);
    auto Tips = Ttip_form::Create<Tmorrowtip_form>(*Settings, nullptr, title);
    QCOMPARE(Tips->windowTitle(), caption);
    QCOMPARE(Tips->toplabel->text(), heading);
}

void TestSplashTips::tipLinks_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("address");
    QTest::newRow("help") << "helplabel"
                          << "http://help.example.invalid/tips";
    QTest::newRow("comments") << "commentslabel"
                              << "http://feedback.example.invalid/form";
}

void TestSplashTips::tipLinks() {
    QFETCH(QString, label);
    QFETCH(QString, address);
    Settings->Links[lkHelp].Address = "http://help.example.invalid/tips";
    Settings->Links[lkFeedback].Address = "http://feedback.example.invalid/form";
    auto Tips = Ttip_form::Create<Tmorrowtip_form>(*Settings);
    auto* Link = Tips->findChild<QLabel*>(label);
    QVERIFY(Link);
    QTest::mouseClick(Link, Qt::LeftButton);
    QCOMPARE(Opened, QStringList{"Unable to launch web browser - " + address});
    QVERIFY(Tips->isVisible());
}

void TestSplashTips::tipsClose_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("Close button") << false;
    QTest::newRow("Escape") << true;
}

void TestSplashTips::tipsClose() {
    QFETCH(bool, escape);
    auto Tips = Ttip_form::Create<Tmorrowtip_form>(*Settings);
    QVERIFY(Tips->isVisible());
    if (escape)
        QTest::keyClick(Tips.get(), Qt::Key_Escape);
    else
        QTest::mouseClick(Tips->close_butt, Qt::LeftButton);
    QVERIFY(!Tips->isVisible());
    // Closing is not turning the tips off.
    QCOMPARE(Settings->Stored("showtips"), QString());
}

QTEST_MAIN(TestSplashTips)
#include "tst_splashtips.moc"
