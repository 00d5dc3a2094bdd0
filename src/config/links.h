// The link table: named entries (text, address, hint) behind the banner, the link buttons,
// help, download, feedback, the ticker and the skins page. A message-of-the-day reply may
// override any of them through the store.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

class TRegistry;

struct TLink {
    QString Text;
    QString Address;
    QString Hint;
    bool operator==(const TLink&) const = default;
};

enum TLinkIndex {
    lkBanner = 0,
    lkLb1 = 1, // lb1..lb5: 1..5
    lkCompany = 11,
    lkScoutly = 12,
    lkHelp = 13,
    lkDownload = 14,
    lkFeedback = 16,
    lkScroller = 17,
    lkSkins = 18,
    LinkCount = 19
};

using TLinks = std::array<TLink, LinkCount>;

struct TLinkDefault {
    int Index;
    const char* Name;
    TLink Default;
};

// The entries in the order they are loaded: banner, company, scoutly, help, download,
// feedback, scroller, skins, lb1..lb5.
const std::array<TLinkDefault, 13>& LinkDefaults();

// The stored names of the entries: name + "text", "url" and "hint" for each, lower case.
QStringList LinkValueNames();

// The stored text decides: when name + "text" is empty, all three defaults stand.
TLink LoadLink(const TRegistry& Registry, const QString& Key, const QString& Name,
               const TLink& Default);
// Fills Links from the store; BannerInterval takes "bannerinterval" when it is a number.
void LoadLinks(const TRegistry& Registry, const QString& Key, TLinks& Links, int& BannerInterval);

// Whether an address may go to the desktop's opener. Links come from strangers (chat, the
// message server, banners, the ticker), and the opener would run whatever a scheme or a file
// type is bound to, so only web pages and mail are handed over. Empty when Address may open;
// otherwise the sentence telling the user it was not opened and why.
QString LinkRefusal(const QByteArray& Address);
