#include "config/links.h"

#include "config/settingsstore.h"
#include "net/netutils.h"

#include <QUrl>

const std::array<TLinkDefault, 13>& LinkDefaults() {
    static const std::array<TLinkDefault, 13> Defaults{{
        {lkBanner,
         "banner",
         {"http://ads.scoutly.example/banner?", "http://ads.scoutly.example/click?", ""}},
        {lkCompany, "company", {"", "http://www.morrowgame.example/", "Morrow Official Site"}},
        {lkScoutly, "scoutly", {"", "http://www.scoutly.example/", "Powered by Scoutly"}},
        {lkHelp, "help", {"", "http://www.scoutly.example/help/", ""}},
        {lkDownload, "download", {"", "http://www.scoutly.example/download/", ""}},
        {lkFeedback, "feedback", {"", "http://www.scoutly.example/feedback/", ""}},
        {lkScroller, "scroller", {"", "http://www.scoutly.example/ticker.txt", ""}},
        {lkSkins, "skins", {"", "http://www.scoutly.example/skins/", ""}},
        {lkLb1,
         "lb1",
         {"Morrow Central", "http://www.morrowcentral.example/", "News, guides and maps"}},
        {lkLb1 + 1,
         "lb2",
         {"Clan Hall", "http://www.clanhall.example/", "Find a clan, start a war"}},
        {lkLb1 + 2, "lb3", {"Map Forge", "http://www.mapforge.example/", "Custom maps every week"}},
        {lkLb1 + 3,
         "lb4",
         {"Frag Report", "http://www.fragreport.example/", "Ladders and tournament news"}},
        {lkLb1 + 4,
         "lb5",
         {"Scoutly News", "http://www.scoutly.example/news/", "What is new in Scoutly"}},
    }};
    return Defaults;
}

QStringList LinkValueNames() {
    QStringList Names;
    for (const TLinkDefault& Link : LinkDefaults())
        for (const char* Part : {"text", "url", "hint"})
            Names << QLatin1String(Link.Name) + QLatin1String(Part);
    return Names;
}

TLink LoadLink(const TRegistry& Registry, const QString& Key, const QString& Name,
               const TLink& Default) {
    const QString Text = Registry.ReadString(Key, Name + "text");
    if (Text.isEmpty()) return Default;
    return {Text, Registry.ReadString(Key, Name + "url"), Registry.ReadString(Key, Name + "hint")};
}

void LoadLinks(const TRegistry& Registry, const QString& Key, TLinks& Links, int& BannerInterval) {
    for (const TLinkDefault& Entry : LinkDefaults())
        Links[Entry.Index] = LoadLink(Registry, Key, Entry.Name, Entry.Default);
    const QString Interval = Registry.ReadString(Key, "bannerinterval");
    bool Ok = false;
    const int Value = Interval.toInt(&Ok);
    if (Ok) BannerInterval = Value;
}

QString LinkRefusal(const QByteArray& Address) {
    QByteArray Encoded = Address.trimmed();
    Encoded.replace(' ', '+');
    const QUrl Url = QUrl::fromEncoded(Encoded);
    // A stranger's text may be long: the sentence shows its start only.
    QString Shown = DisplayText(Address.trimmed());
    if (Shown.size() > 160) Shown = Shown.left(160) + QStringLiteral("...");
    const QString Scheme = Url.scheme().toLower();
    QString Why;
    if (Encoded.isEmpty() || !Url.isValid())
        Why = QStringLiteral("it is not a valid address");
    else if (Scheme.isEmpty())
        Why = QStringLiteral("it has no scheme; only http, https and mailto links are opened");
    else if (Scheme != "http" && Scheme != "https" && Scheme != "mailto")
        Why = QStringLiteral("%1 links are not opened, only http, https and mailto").arg(Scheme);
    else if (Scheme != "mailto" && Url.host().isEmpty())
        Why = QStringLiteral("it names no host");
    else if (Scheme == "mailto" && Url.path().isEmpty())
        Why = QStringLiteral("it names no mail address");
    else
        return {};
    return QStringLiteral("Link not opened: %1 (%2)").arg(Shown, Why);
}
