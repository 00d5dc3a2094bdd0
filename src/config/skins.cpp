#include "config/skins.h"

#include "config/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <array>

namespace {

const QString DefaultSkin = QStringLiteral("default");

QStringList SkinRoots() {
    return {QDir(UserDataDir()).filePath(QStringLiteral("skins")),
            QDir(ProgramDataDir()).filePath(QStringLiteral("skins"))};
}

// Names come from settings a user can edit: a name is one folder, never a path.
bool IsPlainName(const QString& Name) {
    return !Name.isEmpty() && Name != QLatin1String(".") && Name != QLatin1String("..") &&
           !Name.contains(QLatin1Char('/')) && !Name.contains(QLatin1Char('\\'));
}

// Exact name first; otherwise the first entry that matches ignoring case (the entry list is
// sorted, so the pick is stable).
QString FindEntry(const QString& Dir, const QString& Name, QDir::Filters Kind) {
    QFileInfo Exact(Dir, Name);
    if (Kind == QDir::Dirs ? Exact.isDir() : Exact.isFile()) return Exact.filePath();
    const QStringList Entries = QDir(Dir).entryList(Kind | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& Entry : Entries)
        if (Entry.compare(Name, Qt::CaseInsensitive) == 0) return QDir(Dir).filePath(Entry);
    return {};
}

QString FindSkin(const QString& Name) {
    if (!IsPlainName(Name)) return {};
    for (const QString& Root : SkinRoots()) {
        QString Dir = FindEntry(Root, Name, QDir::Dirs);
        if (!Dir.isEmpty()) return Dir;
    }
    return {};
}

// The [colors] section of skin.ini as the Windows profile reader sees it: section and keys
// ignore case, the first of a repeated key wins, ";" and "#" lines are comments, and one pair
// of quotes around a value is dropped.
QHash<QString, QString> ReadColorSection(const QString& FileName) {
    QHash<QString, QString> Values;
    QFile File(FileName);
    if (!File.open(QIODevice::ReadOnly)) return Values;
    QByteArray Data = File.readAll();
    if (Data.startsWith("\xEF\xBB\xBF")) Data.remove(0, 3);
    Data.replace("\r\n", "\n").replace('\r', '\n');
    bool InColors = false;
    for (const QByteArray& RawLine : Data.split('\n')) {
        const QString Line = QString::fromLatin1(RawLine).trimmed();
        if (Line.isEmpty() || Line.startsWith(QLatin1Char(';')) ||
            Line.startsWith(QLatin1Char('#')))
            continue;
        if (Line.startsWith(QLatin1Char('['))) {
            const qsizetype Close = Line.indexOf(QLatin1Char(']'));
            const QString Section = Line.mid(1, Close < 0 ? -1 : Close - 1).trimmed();
            InColors = Section.compare(QLatin1String("colors"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype Equals = Line.indexOf(QLatin1Char('='));
        if (!InColors || Equals <= 0) continue;
        const QString Key = Line.left(Equals).trimmed().toLower();
        QString Value = Line.mid(Equals + 1).trimmed();
        if (Value.size() >= 2 &&
            (Value.front() == QLatin1Char('"') || Value.front() == QLatin1Char('\'')) &&
            Value.back() == Value.front())
            Value = Value.mid(1, Value.size() - 2);
        if (!Values.contains(Key)) Values.insert(Key, Value);
    }
    return Values;
}

void ReadSkinColors(const QString& FileName, TSkinColors& Colors) {
    const std::array<std::pair<const char*, quint32 TSkinColors::*>, 6> Keys = {{
        {"primarycolor", &TSkinColors::PrimaryColor},
        {"secondarycolor", &TSkinColors::SecondaryColor},
        {"primaryfontcolor", &TSkinColors::PrimaryFontColor},
        {"secondaryfontcolor", &TSkinColors::SecondaryFontColor},
        {"highlightcolor", &TSkinColors::HighlightColor},
        {"lbfontcolor", &TSkinColors::LinkFontColor},
    }};
    const QHash<QString, QString> Values = ReadColorSection(FileName);
    for (const auto& [Key, Field] : Keys) {
        const QString Text = Values.value(QLatin1String(Key));
        quint32 Value;
        if (!Text.isEmpty() && ParseSkinInteger(Text, Value)) Colors.*Field = Value;
    }
}

QColor Mix(const QColor& A, const QColor& B, double T) {
    return QColor::fromRgbF(float(A.redF() + (B.redF() - A.redF()) * T),
                            float(A.greenF() + (B.greenF() - A.greenF()) * T),
                            float(A.blueF() + (B.blueF() - A.blueF()) * T));
}

double Luminance(const QColor& C) {
    return 0.2126 * C.redF() + 0.7152 * C.greenF() + 0.0722 * C.blueF();
}

} // namespace

QColor ColorOfBGR(quint32 Value) {
    return QColor(int(Value & 0xFF), int((Value >> 8) & 0xFF), int((Value >> 16) & 0xFF));
}

bool ParseSkinInteger(const QString& Text, quint32& Value) {
    QString T = Text.trimmed();
    if (T.isEmpty()) return false;
    int Base = 10;
    if (T.startsWith(QLatin1Char('$'))) {
        Base = 16;
        T.remove(0, 1);
    } else if (T.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        Base = 16;
        T.remove(0, 2);
    }
    bool Negative = false;
    if (Base == 10 && (T.startsWith(QLatin1Char('-')) || T.startsWith(QLatin1Char('+')))) {
        Negative = T.front() == QLatin1Char('-');
        T.remove(0, 1);
    }
    // toULongLong would also take blanks and a sign after the prefix; the text has neither.
    if (T.isEmpty() || T.front().isSpace() || T.front() == QLatin1Char('+') ||
        T.front() == QLatin1Char('-'))
        return false;
    bool Ok = false;
    const qulonglong Number = T.toULongLong(&Ok, Base);
    if (!Ok || Number > (Negative ? 0x80000000ULL : 0xFFFFFFFFULL)) return false;
    Value = Negative ? quint32(0U - quint32(Number)) : quint32(Number);
    return true;
}

QString LoadSkin(QString& Name, TSkinColors& Colors) {
    if (Name.isEmpty()) Name = DefaultSkin;
    QString Dir = FindSkin(Name);
    if (Dir.isEmpty()) {
        Name = DefaultSkin;
        Dir = FindSkin(Name);
        // Not even the shipped skin: keep the built-in colours, point where it should be.
        if (Dir.isEmpty()) Dir = QDir(ProgramDataDir()).filePath(QStringLiteral("skins/default"));
    }
    ReadSkinColors(QDir(Dir).filePath(QStringLiteral("skin.ini")), Colors);
    return QDir::toNativeSeparators(QDir::cleanPath(Dir)) + QDir::separator();
}

bool LoadSkinBitmap(QPixmap& Bitmap, const QString& SkinDirectory, const QString& FileName) {
    if (SkinDirectory.isEmpty() || !IsPlainName(FileName)) return false;
    const QString Path = FindEntry(SkinDirectory, FileName, QDir::Files);
    QImage Image;
    if (Path.isEmpty() || !Image.load(Path)) return false;
    Bitmap = QPixmap::fromImage(std::move(Image));
    return true;
}

QStringList SkinNames() {
    QStringList Names;
    for (const QString& Root : SkinRoots()) {
        QStringList Found = QDir(Root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (QString& Entry : Found)
            Entry = Entry.toLower();
        Found.sort();
        for (const QString& Entry : Found)
            if (!Names.contains(Entry)) Names.append(Entry);
    }
    return Names;
}

QPalette SkinPalette(const TSkinColors& Colors, const QPalette& Base) {
    QPalette P = Base;
    const QColor Back = ColorOfBGR(Colors.PrimaryColor);
    const QColor Text = ColorOfBGR(Colors.PrimaryFontColor);
    const QColor Highlight = ColorOfBGR(Colors.HighlightColor);
    const QColor Link = ColorOfBGR(Colors.LinkFontColor);
    // Selected text must stay readable on whatever highlight the skin picked.
    const QColor OnHighlight = Luminance(Highlight) > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
    // Bevels are blends of the background so frames still show on a black skin: a dark skin
    // shades towards white, a light one lightens its bevel and darkens its shadows.
    const bool DarkSkin = Luminance(Back) < 0.5;
    const QColor White(Qt::white), Black(Qt::black);
    const QColor Light = Mix(Back, White, DarkSkin ? 0.35 : 0.6);
    const QColor Midlight = Mix(Back, White, DarkSkin ? 0.22 : 0.3);
    const QColor Mid = DarkSkin ? Mix(Back, White, 0.15) : Mix(Back, Black, 0.25);
    const QColor Dark = DarkSkin ? Mix(Back, White, 0.1) : Mix(Back, Black, 0.45);
    const QColor Alternate = Mix(Back, DarkSkin ? White : Black, 0.06);

    for (QPalette::ColorGroup G : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool Disabled = G == QPalette::Disabled;
        const QColor Fore = Disabled ? Mix(Back, Text, 0.45) : Text;
        for (QPalette::ColorRole R : {QPalette::Window, QPalette::Button})
            P.setColor(G, R, Back);
        // Fields a little apart from the window, so an empty one still reads as a field.
        P.setColor(G, QPalette::Base, Mix(Back, White, DarkSkin ? 0.08 : 0.7));
        P.setColor(G, QPalette::AlternateBase, Alternate);
        for (QPalette::ColorRole R :
             {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::BrightText})
            P.setColor(G, R, Fore);
        P.setColor(G, QPalette::PlaceholderText, Mix(Back, Text, 0.5));
        P.setColor(G, QPalette::Highlight, Disabled ? Mix(Back, Highlight, 0.45) : Highlight);
        P.setColor(G, QPalette::HighlightedText, OnHighlight);
        P.setColor(G, QPalette::Link, Link);
        P.setColor(G, QPalette::LinkVisited, Link);
        P.setColor(G, QPalette::Light, Light);
        P.setColor(G, QPalette::Midlight, Midlight);
        P.setColor(G, QPalette::Mid, Mid);
        P.setColor(G, QPalette::Dark, Dark);
        P.setColor(G, QPalette::Shadow, Mix(Back, Black, 0.7));
    }
    return P;
}
