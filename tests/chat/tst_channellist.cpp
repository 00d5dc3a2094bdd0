// The channel list driven as the chat module and a user drive it: listings streaming in,
// header clicks, selections, joins.
#include "ui/chat/channellist_main.h"

#include "boxanswer.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

using TChannels = QList<std::pair<QByteArray, int>>;
Q_DECLARE_METATYPE(TChannels)

class TestChannelList : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void status_data();
    void status();
    void statusThrottled();
    void sort_data();
    void sort();
    void newRowsKeepTheirPlace();
    void join_data();
    void join();
    void manyRows();
    void shownText_data();
    void shownText();

private:
    void List(const TChannels& Channels);
    QStringList Column(int C) const;
    void ClickHeader(int C);
    void ClickRow(int Row, Qt::KeyboardModifiers Keys = {});
    QString Status() const { return Form->statuslabel->text(); }
    std::unique_ptr<Tchannellist_form> Form;
    QList<QByteArray> Joined;
    int Refreshes = 0;
};

void TestChannelList::init() {
    Form = std::make_unique<Tchannellist_form>();
    Joined.clear();
    Refreshes = 0;
    Form->OnJoin = [this](const QByteArray& Channel) { Joined << Channel; };
    Form->OnRefresh = [this] { ++Refreshes; };
    Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
}

void TestChannelList::cleanup() {
    Form.reset();
}

void TestChannelList::List(const TChannels& Channels) {
    Form->StartListing();
    for (const auto& [Name, Count] : Channels)
        Form->AddChannel(Name, Count, "topic");
    Form->EndListing();
}

QStringList TestChannelList::Column(int C) const {
    QStringList Texts;
    const QAbstractItemModel* Model = Form->channelview->model();
    for (int R = 0; R < Model->rowCount(); ++R)
        Texts << Model->index(R, C).data().toString();
    return Texts;
}

void TestChannelList::ClickHeader(int C) {
    QHeaderView* Header = Form->channelview->header();
    const QPoint At(Header->sectionViewportPosition(C) + Header->sectionSize(C) / 2,
                    Header->height() / 2);
    QTest::mouseClick(Header->viewport(), Qt::LeftButton, {}, At);
}

void TestChannelList::ClickRow(int Row, Qt::KeyboardModifiers Keys) {
    QTreeView* View = Form->channelview;
    const QRect Rect = View->visualRect(View->model()->index(Row, 0));
    QTest::mouseClick(View->viewport(), Qt::LeftButton, Keys, Rect.center());
}

void TestChannelList::status_data() {
    QTest::addColumn<TChannels>("channels");
    QTest::addColumn<QString>("status");
    QTest::newRow("two channels") << TChannels{{"#a", 3}, {"#b", 5}} << "8 users on 2 channels";
    QTest::newRow("empty listing") << TChannels{} << "0 users on 0 channels";
}

void TestChannelList::status() {
    QFETCH(TChannels, channels);
    QFETCH(QString, status);
    // A previous listing must leave nothing behind.
    List({{"#old", 7}, {"#older", 9}});
    Form->StartListing();
    QVERIFY(!Form->gauge->isHidden());
    QCOMPARE(Form->channelview->model()->rowCount(), 0);
    for (const auto& [Name, Count] : channels)
        Form->AddChannel(Name, Count, {});
    Form->EndListing();
    QVERIFY(Form->gauge->isHidden());
    QCOMPARE(Status(), status);
    QCOMPARE(Form->ChannelCount, int(channels.size()));
    QCOMPARE(Column(0).size(), channels.size());
}

void TestChannelList::statusThrottled() {
    Form->StartListing();
    QCOMPARE(Status(), "0 users on 0 channels");
    for (int I = 0; I < 50; ++I)
        Form->AddChannel("#c" + QByteArray::number(I), 1, {});
    QCOMPARE(Status(), "0 users on 0 channels");
    Form->LastStatusTick -= 501;
    Form->AddChannel("#late", 2, {});
    QCOMPARE(Status(), "52 users on 51 channels");
    Form->AddChannel("#last", 1, {});
    QCOMPARE(Status(), "52 users on 51 channels");
    Form->EndListing();
    QCOMPARE(Status(), "53 users on 52 channels");
}

void TestChannelList::sort_data() {
    QTest::addColumn<TChannels>("channels");
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QStringList>("names");
    const TChannels Counts{{"#ten", 10}, {"#nine", 9}, {"#hundred", 100}, {"#nine2", 9}};
    QTest::newRow("count is numeric")
        << Counts << QList<int>{1} << QStringList{"#nine", "#nine2", "#ten", "#hundred"};
    QTest::newRow("count reversed")
        << Counts << QList<int>{1, 1} << QStringList{"#hundred", "#ten", "#nine", "#nine2"};
    const TChannels Names{{"#beta", 1}, {"#Alpha", 2}, {"#gamma", 3}};
    QTest::newRow("name ignores case")
        << Names << QList<int>{0} << QStringList{"#Alpha", "#beta", "#gamma"};
    QTest::newRow("name reversed")
        << Names << QList<int>{0, 0} << QStringList{"#gamma", "#beta", "#Alpha"};
    QTest::newRow("new column starts ascending")
        << Names << QList<int>{1, 1, 0} << QStringList{"#Alpha", "#beta", "#gamma"};
}

void TestChannelList::sort() {
    QFETCH(TChannels, channels);
    QFETCH(QList<int>, clicks);
    QFETCH(QStringList, names);
    List(channels);
    QStringList Arrived;
    for (const auto& Channel : channels)
        Arrived << QString(Channel.first);
    QCOMPARE(Column(0), Arrived);
    for (int C : clicks)
        ClickHeader(C);
    QCOMPARE(Column(0), names);
    QCOMPARE(Form->channelview->header()->sortIndicatorSection(), clicks.last());
}

void TestChannelList::newRowsKeepTheirPlace() {
    Form->StartListing();
    Form->AddChannel("#b", 2, {});
    Form->AddChannel("#c", 3, {});
    // Rows show up while the listing is still running.
    QTRY_COMPARE(Column(0), (QStringList{"#b", "#c"}));
    ClickHeader(1);
    ClickHeader(1);
    QCOMPARE(Column(0), (QStringList{"#c", "#b"}));
    Form->AddChannel("#a", 50, {});
    Form->EndListing();
    QCOMPARE(Column(0), (QStringList{"#c", "#b", "#a"}));
}

void TestChannelList::join_data() {
    QTest::addColumn<QList<int>>("selected"); // clicked in this order, later ones with Ctrl
    QTest::addColumn<int>("sortBy");          // header clicked after selecting, -1 for none
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<QByteArray>("joined"); // empty: nothing sent
    QTest::newRow("nothing selected") << QList<int>{} << -1 << false << QByteArray();
    QTest::newRow("one row") << QList<int>{1} << -1 << false << QByteArray("#caf\xe9");
    QTest::newRow("first in view order") << QList<int>{2, 0} << -1 << false << QByteArray("#zeta");
    QTest::newRow("selection follows a sort") << QList<int>{0} << 1 << false << QByteArray("#zeta");
    QTest::newRow("double click") << QList<int>{2} << -1 << true << QByteArray("#mid");
}

void TestChannelList::join() {
    QFETCH(QList<int>, selected);
    QFETCH(int, sortBy);
    QFETCH(bool, doubleClick);
    QFETCH(QByteArray, joined);
    List({{"#zeta", 9}, {"#caf\xe9", 1}, {"#mid", 5}});
    for (int I = 0; I < selected.size(); ++I)
        ClickRow(selected[I], I ? Qt::ControlModifier : Qt::NoModifier);
    if (sortBy >= 0) ClickHeader(sortBy);
    TBoxAnswer Answer(QMessageBox::Ok);
    if (doubleClick) {
        QTreeView* View = Form->channelview;
        QTest::mouseDClick(View->viewport(), Qt::LeftButton, {},
                           View->visualRect(View->model()->index(selected[0], 0)).center());
    } else {
        QTest::mouseClick(Form->join_butt, Qt::LeftButton);
    }
    if (joined.isEmpty()) {
        QCOMPARE(Answer.Text, "You must select a channel to join first");
        QVERIFY(Joined.isEmpty());
        QVERIFY(Form->isVisible());
    } else {
        QCOMPARE(Answer.Seen, 0);
        QCOMPARE(Joined, QList<QByteArray>{joined});
        QVERIFY(!Form->isVisible());
        QCOMPARE(Form->channelview->model()->rowCount(), 3);
    }
    QTest::mouseClick(Form->refresh_butt, Qt::LeftButton);
    QCOMPARE(Refreshes, 1);
}

void TestChannelList::manyRows() {
    constexpr int Rows = 20000;
    QSignalSpy Inserts(Form->channelview->model(), &QAbstractItemModel::rowsInserted);
    QElapsedTimer Clock;
    Clock.start();
    Form->StartListing();
    for (int I = 0; I < Rows; ++I) {
        Form->AddChannel("#channel" + QByteArray::number(I), I % 40,
                         "\x03"
                         "4topic\x02 " +
                             QByteArray::number(I));
        if (I % 500 == 499) QCoreApplication::processEvents();
    }
    Form->EndListing();
    QCoreApplication::processEvents();
    const qint64 Elapsed = Clock.elapsed();
    qInfo("%d rows listed in %lld ms", Rows, Elapsed);
    QCOMPARE(Form->channelview->model()->rowCount(), Rows);
    // The view takes rows in batches, not one layout per row.
    QVERIFY2(Inserts.size() <= Rows / 500 + 1, qPrintable(QString::number(Inserts.size())));
    QCOMPARE(Status(), QString("%1 users on %2 channels").arg(Rows / 40 * 780).arg(Rows));

    Clock.restart();
    ClickHeader(1);
    qInfo("sorted by count in %lld ms", Clock.elapsed());
    QCOMPARE(Column(1).first(), "0");
    QCOMPARE(Column(1).last(), "39");

    Form->StartListing();
    QCOMPARE(Form->channelview->model()->rowCount(), 0);
    QCOMPARE(Form->channelview->columnWidth(0), 250);
}

void TestChannelList::shownText_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("topic");
    QTest::addColumn<QString>("shownName");
    QTest::addColumn<QString>("shownTopic");
    QTest::newRow("utf-8") << QByteArray("#caf\xc3\xa9") << QByteArray("\xe2\x82\xac 5") << "#café"
                           << "€ 5";
    QTest::newRow("windows-1252") << QByteArray("#caf\xe9") << QByteArray("\x80 5") << "#café"
                                  << "€ 5";
    QTest::newRow("colours") << QByteArray("#a")
                             << QByteArray("\x03"
                                           "04,12red\x03 \x03"
                                           "3g")
                             << "#a"
                             << "red g";
    QTest::newRow("two digits at most") << QByteArray("#a")
                                        << QByteArray("\x03"
                                                      "123,456")
                                        << "#a"
                                        << "3,456";
    QTest::newRow("comma without background") << QByteArray("#a")
                                              << QByteArray("\x03"
                                                            "5,x")
                                              << "#a"
                                              << ",x";
    QTest::newRow("formats") << QByteArray("#a")
                             << QByteArray("\x02"
                                           "b\x02 \x1f"
                                           "u \x16r \x0fn \x1di")
                             << "#a"
                             << "b u r n i";
    QTest::newRow("other controls") << QByteArray("#a") << QByteArray("x\x01y\ty\x7fz\r\n") << "#a"
                                    << "xyyz";
    QTest::newRow("colours around 1252") << QByteArray("#a")
                                         << QByteArray("\x03"
                                                       "4\xe9t\xe9\x0f")
                                         << "#a"
                                         << "été";
}

void TestChannelList::shownText() {
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, topic);
    QFETCH(QString, shownName);
    QFETCH(QString, shownTopic);
    Form->StartListing();
    Form->AddChannel(name, 1, topic);
    Form->EndListing();
    QCOMPARE(Column(0), QStringList{shownName});
    QCOMPARE(Column(2), QStringList{shownTopic});
}

QTEST_MAIN(TestChannelList)
#include "tst_channellist.moc"
