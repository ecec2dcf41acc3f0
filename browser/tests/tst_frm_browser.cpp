// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/BrowserHost.h"
#include "browser/FrmBrowser.h"
#include "monitor/Monitor.h"
#include "monitor/widgets/WindowManager.h"
#include "testsupport/FakeClock.h"
#include "testsupport/FakePageClient.h"
#include "testsupport/PageServer.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <QtTest>

namespace {
constexpr int LoadTimeoutMs = 60000;
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
    }
    void pollOnce(const QUrl& url)
    {
        monitor.setOfferingsUrl(url);
        monitor.Command1_Click();
        client.finishWithPage(QStringLiteral("<p>Ipo_Symbol=ABCD</p>"));
        monitor.Command2_Click();
    }

    QTemporaryDir dir;
    FakeClock clock;
    FakePageClient client;
    WindowManager windows;
    BrowserHost host;
    Monitor monitor;
};

class FrmBrowserTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        PageResponse first = PageResponse::page("<title>First Offerings</title>");
        // Long enough for the busy caption to be seen, short against the test's patience.
        first.delay = std::chrono::milliseconds(400);
        m_first.setDefaultResponse(first);
        m_second.setDefaultResponse(PageResponse::page("<title>Second Offerings</title>"));
        QVERIFY(m_first.listen());
        QVERIFY(m_second.listen());
    }

    // Each poll, and each restore, puts a fresh view on the polled address, unless the user
    // switched it off; the close box unloads it. When to show or hide is the monitor's test.
    void view_followsSwitchPollMinimizeAndCloseBox()
    {
        BrowserRig rig(true);
        const auto shows = [&rig](const QUrl& url) {
            const FrmBrowser* view = rig.host.view();
            return view && view->isVisible() && view->StartingAddress() == url.toString();
        };
        rig.pollOnce(m_first.url());
        QPointer<FrmBrowser> view = rig.host.view();
        QVERIFY(shows(m_first.url()));
        rig.pollOnce(m_second.url());
        QVERIFY(!view && shows(m_second.url()));
        view = rig.host.view();
        rig.monitor.Form_Resize(Monitor::WindowState::Minimized);
        QVERIFY(view && !view->isVisible());
        rig.monitor.Form_Resize(Monitor::WindowState::Normal);
        QVERIFY(!view && shows(m_second.url()));

        view = rig.host.view();
        rig.monitor.Command4_Click();
        rig.pollOnce(m_first.url());
        QVERIFY(rig.host.view() == view.data() && !view->isVisible());
        rig.monitor.Command4_Click();
        QVERIFY(shows(m_second.url()));
        view->close();
        QTRY_VERIFY(!view);

        // Without windows the same steps never create a view.
        BrowserRig console(false);
        console.pollOnce(m_first.url());
        console.monitor.Form_Resize(Monitor::WindowState::Normal);
        QVERIFY(!console.host.view());
    }

    // Right of the main window over the rest of the screen, the page 100 twips short of its edges;
    // busy until the page has loaded; Enter visits what is typed (not a blank).
    void view_loadsShowsWorkingThenTitleAndNavigates()
    {
        FrmBrowser view(m_first.url().toString(), QRect(0, 0, 250, 540), QRect(0, 0, 1024, 768));
        view.show();
        auto* box = view.findChild<QComboBox*>(QStringLiteral("cboAddress"));
        auto* timer = view.findChild<QTimer*>(QStringLiteral("timTimer"));
        auto* browser = view.findChild<QWebEngineView*>(QStringLiteral("brwWebBrowser"));
        QVERIFY(box && timer && browser);
        QCOMPARE(QRect(view.pos(), view.size()), QRect(251, 0, 774, 540));
        QCOMPARE(browser->size(), view.size() - QSize(7, 45 + 7));
        QCOMPARE(box->count(), 1);
        QCOMPARE(box->itemText(0), m_first.url().toString());
        QVERIFY(timer->isActive() && view.Busy());
        QTRY_COMPARE_WITH_TIMEOUT(view.windowTitle(), QStringLiteral("Working..."), LoadTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(view.windowTitle(), QStringLiteral("First Offerings"), LoadTimeoutMs);
        QTRY_VERIFY(!timer->isActive()); // the next tick finds the browser idle
        box->setEditText(QStringLiteral("   "));
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QVERIFY(!timer->isActive());

        box->setEditText(m_second.url().toString());
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QVERIFY(timer->isActive() && view.Busy());
        QTRY_COMPARE_WITH_TIMEOUT(view.windowTitle(), QStringLiteral("Second Offerings"), LoadTimeoutMs);
        QCOMPARE(box->count(), 1);
    }

private:
    PageServer m_first;
    PageServer m_second;
};

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
