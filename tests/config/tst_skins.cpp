#include "config/paths.h"
#include "config/skins.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QList<quint32> AsList(const TSkinColors& C) {
    return {C.PrimaryColor,       C.SecondaryColor, C.PrimaryFontColor,
            C.SecondaryFontColor, C.LinkFontColor,  C.HighlightColor};
}

// Distinct from the built-in colours, so "left unchanged" cannot pass by accident.
const TSkinColors Start{1, 2, 3, 4, 5, 6};

void WriteFile(const QString& Path, const QByteArray& Data) {
    QDir().mkpath(QFileInfo(Path).path());
    QFile File(Path);
    QVERIFY(File.open(QIODevice::WriteOnly));
    File.write(Data);
}

void MakeSkin(const QString& Root, const QString& Name, const QByteArray& Ini) {
    QVERIFY(QDir().mkpath(Root + "/skins/" + Name));
    if (!Ini.isNull()) WriteFile(Root + "/skins/" + Name + "/skin.ini", Ini);
}

void SetEnv(const char* Name, const QString& Value) {
    if (Value.isNull())
        qunsetenv(Name);
    else
        qputenv(Name, Value.toUtf8());
}

} // namespace

class TestSkins : public QObject {
    Q_OBJECT
    QTemporaryDir Home, Data;

private slots:
    void init();
    void paths_data();
    void paths();
    void parseInteger_data();
    void parseInteger();
    void colorOfBGR();
    void resolve_data();
    void resolve();
    void colors_data();
    void colors();
    void skinNames();
    void bitmap_data();
    void bitmap();
    void palette();
    void shipped_data();
    void shipped();
};

// Every test starts with an empty user home and program folder of its own.
void TestSkins::init() {
    for (QTemporaryDir* Dir : {&Home, &Data}) {
        QDir(Dir->path()).removeRecursively();
        QDir().mkpath(Dir->path());
    }
    SetEnv("SCOUTLY_HOME", Home.path());
    SetEnv("SCOUTLY_DATA_DIR", Data.path());
    MakeSkin(Data.path(), "default", "[colors]\nprimarycolor=$111111\n");
}

void TestSkins::paths_data() {
    QTest::addColumn<QString>("scoutlyHome");
    QTest::addColumn<QString>("xdgConfig");
    QTest::addColumn<QString>("xdgData");
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("data");
    const QString N; // unset
    QTest::newRow("home wins") << "/h/sc"
                               << "/x/c"
                               << "/x/d"
                               << "/h/sc"
                               << "/h/sc";
    QTest::newRow("xdg") << N << "/x/c"
                         << "/x/d"
                         << "/x/c/scoutly-lite"
                         << "/x/d/scoutly-lite";
    QTest::newRow("empty home is unset") << ""
                                         << "/x/c"
                                         << "/x/d"
                                         << "/x/c/scoutly-lite"
                                         << "/x/d/scoutly-lite";
    QTest::newRow("defaults") << N << N << N << "/u/.config/scoutly-lite"
                              << "/u/.local/share/scoutly-lite";
    QTest::newRow("relative xdg ignored") << N << "rel"
                                          << "rel"
                                          << "/u/.config/scoutly-lite"
                                          << "/u/.local/share/scoutly-lite";
}

void TestSkins::paths() {
    QFETCH(QString, scoutlyHome);
    QFETCH(QString, xdgConfig);
    QFETCH(QString, xdgData);
    const QByteArray OldHome = qgetenv("HOME");
    qputenv("HOME", "/u");
    SetEnv("SCOUTLY_HOME", scoutlyHome);
    SetEnv("XDG_CONFIG_HOME", xdgConfig);
    SetEnv("XDG_DATA_HOME", xdgData);
    const QString Config = UserConfigDir(), UserData = UserDataDir();
    qputenv("HOME", OldHome);
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    QTEST(Config, "config");
    QTEST(UserData, "data");
}

void TestSkins::parseInteger_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("value");
    QTest::newRow("decimal") << "3581933" << true << 0x36A7EDu;
    QTest::newRow("$ upper") << "$36A7ED" << true << 0x36A7EDu;
    QTest::newRow("0x") << "0x00FF00" << true << 0xFF00u;
    QTest::newRow("blanks around") << "  $ff " << true << 0xFFu;
    QTest::newRow("negative") << "-1" << true << 0xFFFFFFFFu;
    QTest::newRow("empty") << "" << false << 7u;
    QTest::newRow("word") << "red" << false << 7u;
    QTest::newRow("trailing junk") << "12abc" << false << 7u;
    QTest::newRow("bad hex digit") << "$12G4" << false << 7u;
    QTest::newRow("too wide") << "$100000000" << false << 7u;
    QTest::newRow("sign after $") << "$-1" << false << 7u;
}

void TestSkins::parseInteger() {
    QFETCH(QString, text);
    quint32 Value = 7;
    QTEST(ParseSkinInteger(text, Value), "ok");
    QTEST(Value, "value");
}

void TestSkins::colorOfBGR() {
    QCOMPARE(ColorOfBGR(0x0000FF), QColor(255, 0, 0));
    QCOMPARE(ColorOfBGR(0xFF0000), QColor(0, 0, 255));
    QCOMPARE(ColorOfBGR(0x36A7ED), QColor(0xED, 0xA7, 0x36));
    QCOMPARE(ColorOfBGR(0xFF123456), QColor(0x56, 0x34, 0x12));
}

void TestSkins::resolve_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("used");
    QTest::addColumn<QString>("root"); // "user" or "program"
    QTest::newRow("empty") << ""
                           << "default"
                           << "program";
    QTest::newRow("missing") << "nosuch"
                             << "default"
                             << "program";
    QTest::newRow("program skin") << "frost"
                                  << "frost"
                                  << "program";
    QTest::newRow("user wins") << "shared"
                               << "shared"
                               << "user";
    QTest::newRow("user default wins") << "default"
                                       << "default"
                                       << "user";
    QTest::newRow("case ignored") << "ocean"
                                  << "ocean"
                                  << "program";
    QTest::newRow("path is no name") << "../skins/frost"
                                     << "default"
                                     << "program";
}

void TestSkins::resolve() {
    QFETCH(QString, name);
    QFETCH(QString, root);
    MakeSkin(Data.path(), "frost", "[colors]\nprimarycolor=$222222\n");
    MakeSkin(Data.path(), "shared", "[colors]\nprimarycolor=$333333\n");
    MakeSkin(Data.path(), "Ocean", "[colors]\nprimarycolor=$444444\n");
    MakeSkin(Home.path(), "shared", "[colors]\nprimarycolor=$555555\n");
    if (QTest::currentDataTag() == QLatin1String("user default wins"))
        MakeSkin(Home.path(), "default", "[colors]\nprimarycolor=$666666\n");

    TSkinColors Colors = Start;
    const QString Dir = LoadSkin(name, Colors);
    QTEST(name, "used");
    QVERIFY(Dir.endsWith(QDir::separator()));
    QVERIFY(Dir.startsWith((root == "user" ? Home : Data).path() + "/skins/"));
    QVERIFY(QFileInfo(Dir).isDir());
    // The colours came from that folder's own skin.ini.
    QFile Ini(Dir + "skin.ini");
    QVERIFY(Ini.open(QIODevice::ReadOnly));
    quint32 Expected = 0;
    QVERIFY(ParseSkinInteger(QString(Ini.readAll()).section('=', 1).trimmed(), Expected));
    QCOMPARE(Colors.PrimaryColor, Expected);
}

void TestSkins::colors_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QList<quint32>>("expected"); // Primary, Secondary, Font, SecondaryFont,
                                                  // Link, Highlight
    const QList<quint32> S = AsList(Start);
    QTest::newRow("all keys") << QByteArray("[colors]\nprimarycolor=$10\nsecondarycolor=$20\n"
                                            "primaryfontcolor=$30\nsecondaryfontcolor=$40\n"
                                            "highlightcolor=$60\nlbfontcolor=$50\n")
                              << QList<quint32>{0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
    QTest::newRow("decimal and hex") << QByteArray("[colors]\nprimarycolor=255\nlbfontcolor=$ff\n")
                                     << QList<quint32>{255, 2, 3, 4, 255, 6};
    QTest::newRow("empty keeps") << QByteArray("[colors]\nprimarycolor=\nhighlightcolor=$0000FF")
                                 << QList<quint32>{1, 2, 3, 4, 5, 0xFF};
    QTest::newRow("garbage keeps")
        << QByteArray("[colors]\nprimarycolor=black\nsecondarycolor=$12G4\nlbfontcolor=9x\n") << S;
    QTest::newRow("other section") << QByteArray("[general]\nprimarycolor=9\n[colors]\n"
                                                 "secondarycolor=8\n[more]\nlbfontcolor=7\n")
                                   << QList<quint32>{1, 8, 3, 4, 5, 6};
    QTest::newRow("windows file")
        << QByteArray("\xEF\xBB\xBF; by hand\r\n[Colors]\r\nPrimaryColor = \"$AB\"\r\n"
                      "#highlightcolor=1\r\nHIGHLIGHTCOLOR=2\r\nhighlightcolor=3\r\n")
        << QList<quint32>{0xAB, 2, 3, 4, 5, 2};
    QTest::newRow("no file") << QByteArray() << S;
}

void TestSkins::colors() {
    QFETCH(QByteArray, ini);
    MakeSkin(Data.path(), "test", ini);
    TSkinColors Colors = Start;
    QString Name = "test";
    LoadSkin(Name, Colors);
    QCOMPARE(Name, QString("test"));
    QTEST(AsList(Colors), "expected");
}

void TestSkins::skinNames() {
    for (const char* Name : {"zeta", "Shared", "Alpha"})
        MakeSkin(Home.path(), Name, {});
    for (const char* Name : {"shared", "beta", "ALPHA"})
        MakeSkin(Data.path(), Name, {});
    WriteFile(Home.path() + "/skins/notaskin.ini", "x");
    QCOMPARE(SkinNames(), QStringList({"alpha", "shared", "zeta", "beta", "default"}));
}

void TestSkins::bitmap_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("loaded");
    QTest::newRow("present") << "top.bmp" << true;
    QTest::newRow("other case") << "Left.BMP" << true;
    QTest::newRow("missing") << "help.bmp" << false;
    QTest::newRow("not an image") << "refresh.bmp" << false;
    QTest::newRow("outside the skin") << "../default/top.bmp" << false;
}

void TestSkins::bitmap() {
    QFETCH(QString, file);
    QFETCH(bool, loaded);
    QString Name = "default";
    TSkinColors Colors;
    const QString Dir = LoadSkin(Name, Colors);
    QImage Picture(13, 7, QImage::Format_RGB32);
    Picture.fill(Qt::red);
    QVERIFY(Picture.save(Dir + "top.bmp"));
    QVERIFY(Picture.save(Dir + "left.bmp"));
    WriteFile(Dir + "refresh.bmp", "BM not really a bitmap");

    QPixmap Bitmap(3, 3);
    const qint64 Before = Bitmap.cacheKey();
    QCOMPARE(LoadSkinBitmap(Bitmap, Dir, file), loaded);
    if (loaded) {
        QCOMPARE(Bitmap.size(), QSize(13, 7));
        QCOMPARE(Bitmap.toImage().pixelColor(6, 3), QColor(Qt::red));
    } else {
        QCOMPARE(Bitmap.cacheKey(), Before);
    }
}

void TestSkins::palette() {
    TSkinColors Colors;
    Colors.PrimaryColor = 0x102030;
    Colors.PrimaryFontColor = 0x36A7ED;
    Colors.HighlightColor = 0x0000FF;
    Colors.LinkFontColor = 0xFF0000;
    const QPalette P = SkinPalette(Colors, QPalette());
    for (QPalette::ColorGroup G : {QPalette::Active, QPalette::Inactive}) {
        for (QPalette::ColorRole R : {QPalette::Window, QPalette::Button})
            QCOMPARE(P.color(G, R), QColor(0x30, 0x20, 0x10));
        // Fields stand apart from the window.
        QVERIFY(P.color(G, QPalette::Base) != P.color(G, QPalette::Window));
        for (QPalette::ColorRole R : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            QCOMPARE(P.color(G, R), QColor(0xED, 0xA7, 0x36));
        QCOMPARE(P.color(G, QPalette::Highlight), QColor(Qt::red));
        QCOMPARE(P.color(G, QPalette::Link), QColor(Qt::blue));
    }
    // Disabled text is dimmed, not the same as enabled text.
    QVERIFY(P.color(QPalette::Disabled, QPalette::Text) !=
            P.color(QPalette::Active, QPalette::Text));
}

void TestSkins::shipped_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("bitmaps");
    const QStringList All = {"top.bmp",     "left.bmp",      "topleft.bmp",   "bottomleft.bmp",
                             "refresh.bmp", "favorites.bmp", "configure.bmp", "help.bmp"};
    QTest::newRow("default") << "default" << All;
    QTest::newRow("frost") << "frost" << All;
}

// The skins in the source tree, found the way a run from the build tree finds them.
void TestSkins::shipped() {
    QFETCH(QString, name);
    QFETCH(QStringList, bitmaps);
    qunsetenv("SCOUTLY_DATA_DIR");
    QVERIFY(SkinNames().contains(name));

    // Every key present: two different starting points end the same.
    TSkinColors Colors = Start, Other;
    QString Name = name;
    const QString Dir = LoadSkin(Name, Colors);
    LoadSkin(Name, Other);
    QCOMPARE(Name, name);
    QCOMPARE(AsList(Colors), AsList(Other));
    if (name == "default")
        QCOMPARE(AsList(Colors), AsList(TSkinColors{}));
    else
        QVERIFY(Colors.PrimaryColor != TSkinColors{}.PrimaryColor);

    const QMap<QString, QSize> Sizes = {{"top.bmp", {632, 81}}, {"left.bmp", {129, 343}}};
    for (const QString& File : bitmaps) {
        QPixmap Bitmap;
        QVERIFY2(LoadSkinBitmap(Bitmap, Dir, File), qPrintable(File));
        if (Sizes.contains(File)) QCOMPARE(Bitmap.size(), Sizes[File]);
    }
}

QTEST_MAIN(TestSkins)
#include "tst_skins.moc"
