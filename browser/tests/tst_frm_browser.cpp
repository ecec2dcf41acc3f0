#include "browser/BrowserHost.h"
#include "browser/FrmBrowser.h"
#include "monitor/Monitor.h"
#include "monitor/WindowManager.h"
#include "testsupport/FakeClock.h"
#include "testsupport/FakePageClient.h"
#include "testsupport/LogLines.h"
#include "testsupport/PageServer.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <QtTest>

namespace {
constexpr int LoadTimeoutMs = 60000;

const QString Waiting = QStringLiteral("waiting for you to click START");

QByteArray titledPage(const QByteArray& title)
{
    return "<html><head><title>" + title + "</title></head><body><p>Ipo_Symbol=ABCD</p></body></html>";
}

int webViewCount()
{
    int count = 0;
    for (QWidget* widget : QApplication::allWidgets())
        count += qobject_cast<QWebEngineView*>(widget) ? 1 : 0;
    return count;
}
} // namespace

// The main window's logic, the window manager and the browser host, as the program wires them.
struct BrowserRig {
    explicit BrowserRig(bool windowsVisible)
        : windows(windowsVisible)
        , host(nullptr, windowsVisible)
        , monitor(clock, client)
    {
        windows.setBrowserHost(&host);
        monitor.setWindowHost(&windows);
        monitor.Form_Load(dir.path());
        monitor.Form_Resize(Monitor::WindowState::Normal);
        startLines = monitor.actionLog().screen()->rowCount();
    }
    void pollOnce(const QUrl& url)
    {
        monitor.setOfferingsUrl(url);
        monitor.Command1_Click();
        client.finishWithPage(QStringLiteral("<p>Ipo_Symbol=ABCD</p>"));
        monitor.Command2_Click();
    }
    QStringList newLines() { return screenMessages(*monitor.actionLog().screen()).mid(startLines); }
    QStringList browserAndWindowLines()
    {
        QStringList lines = newLines();
        lines.removeIf([](const QString& line) {
            return !line.startsWith(QLatin1String("browser:")) && !line.startsWith(QLatin1String("window:"));
        });
        return lines;
    }

    QTemporaryDir dir;
    FakeClock clock;
    FakePageClient client;
    WindowManager windows;
    BrowserHost host;
    Monitor monitor;
    qsizetype startLines = 0;
};

class FrmBrowserTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup() { m_view.reset(); }
    void switching_beforeFirstFetch_neverCreatesView();
    void switching_afterFetch_hidesAndShowsTheSameView();
    void everyPoll_reloadsAFreshViewOnTheAddress();
    void minimizeAndRestore_hideViewThenReloadIt_data();
    void minimizeAndRestore_hideViewThenReloadIt();
    void consoleMode_logsTheSameAndNeverCreatesView();
    void closeBox_unloadsView_nextShowLoadsItAgain();
    void placement_fillsScreenRightOfMainWindow_data();
    void placement_fillsScreenRightOfMainWindow();
    void load_setsAddressBoxListAndTimer_data();
    void load_setsAddressBoxListAndTimer();
    void load_laysOutControlsInsideTheWindow();
    void caption_showsWorkingThenPageTitle();
    void enterAndListChoice_navigate();
    void enterOnTextNamingNoAddress_isRefused();

private:
    FrmBrowser* loadedView(const QString& address);

    PageServer m_first;
    PageServer m_second;
    std::unique_ptr<FrmBrowser> m_view;
};

void FrmBrowserTest::initTestCase()
{
    PageResponse first = PageResponse::page(titledPage("First Offerings"));
    // Long enough for the busy caption to be seen, short against the test's patience.
    first.delay = std::chrono::milliseconds(400);
    m_first.setDefaultResponse(first);
    m_second.setDefaultResponse(PageResponse::page(titledPage("Second Offerings")));
    QVERIFY(m_first.listen());
    QVERIFY(m_second.listen());
}

FrmBrowser* FrmBrowserTest::loadedView(const QString& address)
{
    m_view = std::make_unique<FrmBrowser>(address, QRect(0, 0, 250, 540), QRect(0, 0, 1024, 768));
    m_view->show();
    return m_view.get();
}

void FrmBrowserTest::switching_beforeFirstFetch_neverCreatesView()
{
    BrowserRig rig(true);
    rig.monitor.Command4_Click();
    rig.monitor.Command4_Click();
    QCOMPARE(rig.browserAndWindowLines(),
             QStringList({QStringLiteral("browser: OFF"), QStringLiteral("browser: ON")}));
    QCOMPARE(rig.monitor.panel().browserCaption(), QStringLiteral("Browser ON"));
    QVERIFY(!rig.host.view());
    QCOMPARE(webViewCount(), 0);
}

void FrmBrowserTest::switching_afterFetch_hidesAndShowsTheSameView()
{
    BrowserRig rig(true);
    rig.pollOnce(m_first.url());
    QPointer<FrmBrowser> view = rig.host.view();
    QVERIFY(view);
    QVERIFY(view->isVisible());

    rig.monitor.Command4_Click();
    QCOMPARE(rig.monitor.panel().browserCaption(), QStringLiteral("Browser OFF"));
    QVERIFY(view);
    QVERIFY(!view->isVisible());

    rig.monitor.Command4_Click();
    QCOMPARE(rig.monitor.panel().browserCaption(), QStringLiteral("Browser ON"));
    QCOMPARE(rig.host.view(), view.data());
    QVERIFY(view->isVisible());
    QCOMPARE(rig.browserAndWindowLines(),
             QStringList({QStringLiteral("browser: OFF"), QStringLiteral("browser: ON")}));
}

void FrmBrowserTest::everyPoll_reloadsAFreshViewOnTheAddress()
{
    BrowserRig rig(true);
    rig.pollOnce(m_first.url());
    QPointer<FrmBrowser> before = rig.host.view();
    QVERIFY(before);

    rig.pollOnce(m_second.url());
    QVERIFY(!before);
    FrmBrowser* after = rig.host.view();
    QVERIFY(after);
    QVERIFY(after->isVisible());
    QCOMPARE(rig.host.StartingAddress(), m_second.url().toString());
    QCOMPARE(after->StartingAddress(), m_second.url().toString());
    QCOMPARE(webViewCount(), 1);

    // With the view off, a poll leaves it alone.
    rig.monitor.Command4_Click();
    rig.pollOnce(m_first.url());
    QCOMPARE(rig.host.view(), after);
    QVERIFY(!after->isVisible());
    QCOMPARE(rig.host.StartingAddress(), m_second.url().toString());
}

void FrmBrowserTest::minimizeAndRestore_hideViewThenReloadIt_data()
{
    QTest::addColumn<bool>("browserWanted");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("view on") << true
                             << QStringList{QStringLiteral("browser: OFF"),
                                            QStringLiteral("window: minimized"),
                                            QStringLiteral("browser: ON"), QStringLiteral("window: normal")};
    QTest::newRow("view off") << false
                              << QStringList{QStringLiteral("browser: OFF"), QStringLiteral("browser: OFF"),
                                             QStringLiteral("window: minimized"),
                                             QStringLiteral("window: normal")};
}

void FrmBrowserTest::minimizeAndRestore_hideViewThenReloadIt()
{
    QFETCH(bool, browserWanted);
    QFETCH(QStringList, lines);

    BrowserRig rig(true);
    rig.pollOnce(m_first.url());
    QPointer<FrmBrowser> shown = rig.host.view();
    QVERIFY(shown);
    if (!browserWanted)
        rig.monitor.Command4_Click();

    rig.monitor.Form_Resize(Monitor::WindowState::Minimized);
    QVERIFY(shown);
    QVERIFY(!shown->isVisible());

    rig.monitor.Form_Resize(Monitor::WindowState::Normal);
    QCOMPARE(rig.browserAndWindowLines(), lines);
    if (browserWanted) {
        // Restoring shows the view and then reloads the page in a fresh one.
        QVERIFY(!shown);
        QVERIFY(rig.host.view());
        QVERIFY(rig.host.view()->isVisible());
        QCOMPARE(rig.host.view()->StartingAddress(), m_first.url().toString());
    } else {
        QCOMPARE(rig.host.view(), shown.data());
        QVERIFY(!shown->isVisible());
    }
}

void FrmBrowserTest::consoleMode_logsTheSameAndNeverCreatesView()
{
    BrowserRig windowed(true);
    BrowserRig console(false);
    for (BrowserRig* rig : {&windowed, &console}) {
        rig->monitor.Command4_Click();
        rig->monitor.Command4_Click();
        rig->pollOnce(m_first.url());
        rig->monitor.Form_Resize(Monitor::WindowState::Minimized);
        rig->monitor.Form_Resize(Monitor::WindowState::Normal);
    }
    QCOMPARE(console.newLines(), windowed.newLines());
    QVERIFY(windowed.host.view());
    QVERIFY(!console.host.view());
    QCOMPARE(console.host.StartingAddress(), m_first.url().toString());
    QCOMPARE(webViewCount(), 1);
}

void FrmBrowserTest::closeBox_unloadsView_nextShowLoadsItAgain()
{
    BrowserRig rig(true);
    rig.pollOnce(m_first.url());
    QPointer<FrmBrowser> view = rig.host.view();
    QVERIFY(view);
    view->close();
    QTRY_VERIFY(!view);
    QVERIFY(!rig.host.view());

    rig.monitor.Command4_Click();
    rig.monitor.Command4_Click();
    QVERIFY(rig.host.view());
    QVERIFY(rig.host.view()->isVisible());
    QCOMPARE(rig.host.view()->StartingAddress(), m_first.url().toString());

    rig.windows.unloadAllWindows();
    QVERIFY(!rig.host.view());
    QCOMPARE(webViewCount(), 0);
}

void FrmBrowserTest::placement_fillsScreenRightOfMainWindow_data()
{
    QTest::addColumn<QRect>("mainFrame");
    QTest::addColumn<QRect>("screenArea");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("whole screen") << QRect(0, 0, 250, 540) << QRect(0, 0, 1280, 800)
                                  << QRect(251, 0, 1030, 540);
    QTest::newRow("panel on the left and top")
        << QRect(48, 32, 260, 560) << QRect(48, 32, 1232, 768) << QRect(309, 32, 972, 560);
    QTest::newRow("second screen") << QRect(1920, 0, 250, 540) << QRect(1920, 0, 1024, 768)
                                   << QRect(2171, 0, 774, 540);
}

void FrmBrowserTest::placement_fillsScreenRightOfMainWindow()
{
    QFETCH(QRect, mainFrame);
    QFETCH(QRect, screenArea);
    QFETCH(QRect, expected);
    QCOMPARE(FrmBrowser::placement(mainFrame, screenArea), expected);
}

void FrmBrowserTest::load_setsAddressBoxListAndTimer_data()
{
    QTest::addColumn<bool>("withAddress");
    QTest::newRow("empty StartingAddress") << false;
    QTest::newRow("StartingAddress set") << true;
}

void FrmBrowserTest::load_setsAddressBoxListAndTimer()
{
    QFETCH(bool, withAddress);
    const QString address = withAddress ? m_second.url().toString() : QString();
    const int requestsBefore = m_second.requestCount();

    FrmBrowser view(address, QRect(0, 0, 250, 540), QRect(0, 0, 1024, 768));
    auto* box = view.findChild<QComboBox*>(QStringLiteral("cboAddress"));
    auto* timer = view.findChild<QTimer*>(QStringLiteral("timTimer"));
    auto* browser = view.findChild<QWebEngineView*>(QStringLiteral("brwWebBrowser"));
    QVERIFY(box && timer && browser);

    QCOMPARE(view.windowTitle(), QStringLiteral("Offerwatch Browser View"));
    QCOMPARE(view.pos(), QPoint(251, 0));
    QCOMPARE(view.size(), QSize(774, 540));
    QCOMPARE(timer->interval(), 5);
    QCOMPARE(box->currentText(), withAddress ? address : Waiting);
    QCOMPARE(box->count(), withAddress ? 1 : 0);
    if (withAddress)
        QCOMPARE(box->itemText(0), address);
    QCOMPARE(timer->isActive(), withAddress);
    QCOMPARE(view.Busy(), withAddress);
    if (withAddress) {
        QTRY_VERIFY_WITH_TIMEOUT(m_second.requestCount() > requestsBefore, LoadTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!view.Busy(), LoadTimeoutMs);
        QCOMPARE(browser->url(), m_second.url());
    } else {
        QCOMPARE(browser->url(), QUrl());
    }
}

void FrmBrowserTest::load_laysOutControlsInsideTheWindow()
{
    FrmBrowser* view = loadedView(QString());
    auto* strip = view->findChild<QWidget*>(QStringLiteral("picAddress"));
    auto* box = view->findChild<QComboBox*>(QStringLiteral("cboAddress"));
    auto* browser = view->findChild<QWebEngineView*>(QStringLiteral("brwWebBrowser"));
    const QSize client = view->size();
    QCOMPARE(strip->geometry(), QRect(0, 0, client.width(), 45));
    QCOMPARE(box->geometry().topLeft(), QPoint(56, 8));
    QCOMPARE(box->geometry().right(), client.width() - 7 - 1);
    QCOMPARE(browser->geometry(), QRect(8, 48, client.width() - 7, client.height() - 45 - 7));

    // The layout is fixed at load: resizing the window afterwards leaves it alone.
    view->resize(client + QSize(100, 100));
    QCOMPARE(browser->size(), QSize(client.width() - 7, client.height() - 45 - 7));
}

void FrmBrowserTest::caption_showsWorkingThenPageTitle()
{
    FrmBrowser* view = loadedView(m_first.url().toString());
    auto* timer = view->findChild<QTimer*>(QStringLiteral("timTimer"));
    QTRY_COMPARE_WITH_TIMEOUT(view->windowTitle(), QStringLiteral("Working..."), LoadTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(view->windowTitle(), QStringLiteral("First Offerings"), LoadTimeoutMs);
    // The next tick finds the browser idle and switches the timer off.
    QTRY_VERIFY(!timer->isActive());
    QCOMPARE(view->windowTitle(), QStringLiteral("First Offerings"));
    QCOMPARE(view->LocationName(), QStringLiteral("First Offerings"));
}

void FrmBrowserTest::enterAndListChoice_navigate()
{
    FrmBrowser* view = loadedView(m_first.url().toString());
    auto* box = view->findChild<QComboBox*>(QStringLiteral("cboAddress"));
    QTRY_COMPARE_WITH_TIMEOUT(view->windowTitle(), QStringLiteral("First Offerings"), LoadTimeoutMs);

    const int secondRequests = m_second.requestCount();
    box->setEditText(m_second.url().toString());
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QVERIFY(view->Busy());
    QTRY_COMPARE_WITH_TIMEOUT(view->windowTitle(), QStringLiteral("Second Offerings"), LoadTimeoutMs);
    QVERIFY(m_second.requestCount() > secondRequests);
    // A typed address is visited, not remembered.
    QCOMPARE(box->count(), 1);
    QCOMPARE(box->itemText(0), m_first.url().toString());

    const int firstRequests = m_first.requestCount();
    box->showPopup();
    QTRY_VERIFY(box->view()->isVisible());
    box->view()->setCurrentIndex(box->model()->index(0, 0));
    QTest::keyClick(box->view(), Qt::Key_Return);
    QCOMPARE(box->currentText(), m_first.url().toString());
    QTRY_COMPARE_WITH_TIMEOUT(view->windowTitle(), QStringLiteral("First Offerings"), LoadTimeoutMs);
    QVERIFY(m_first.requestCount() > firstRequests);
}

void FrmBrowserTest::enterOnTextNamingNoAddress_isRefused()
{
    FrmBrowser* view = loadedView(QString());
    auto* box = view->findChild<QComboBox*>(QStringLiteral("cboAddress"));
    auto* timer = view->findChild<QTimer*>(QStringLiteral("timTimer"));
    for (const QString& text : {QString(), QStringLiteral("   ")}) {
        box->setEditText(text);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QVERIFY(!timer->isActive());
        QVERIFY(!view->Busy());
        QCOMPARE(view->windowTitle(), QStringLiteral("Offerwatch Browser View"));
        QCOMPARE(box->count(), 0);
    }
}

int main(int argc, char* argv[])
{
    // The web engine renders in software here; there is no GPU in a headless run.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QApplication app(argc, argv);
    FrmBrowserTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_frm_browser.moc"
