// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/BrowserHost.h"
#include "browser/FrmBrowser.h"
#include "monitor/Monitor.h"
#include "monitor/widgets/WindowManager.h"
#include "testsupport/FakeClock.h"
#include "testsupport/FakePageClient.h"
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

int webViewCount()
{
    const QWidgetList all = QApplication::allWidgets();
    return int(std::count_if(all.cbegin(), all.cend(), [](QWidget* w) { return qobject_cast<QWebEngineView*>(w); }));
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

    // The view exists only after a fetch; each poll, and each restore, puts a fresh one on the
    // polled address, unless the user switched it off; the close box unloads it.
    void view_followsSwitchPollMinimizeAndCloseBox()
    {
        BrowserRig rig(true);
        rig.monitor.Command4_Click();
        rig.monitor.Command4_Click();
        QCOMPARE(webViewCount(), 0);
        rig.pollOnce(m_first.url());
        QPointer<FrmBrowser> view = rig.host.view();
        QVERIFY(view && view->isVisible());
        rig.monitor.Command4_Click();
        QVERIFY(view && !view->isVisible());
        rig.monitor.Command4_Click();
        QVERIFY(view && view->isVisible());

        rig.pollOnce(m_second.url());
        QVERIFY(!view);
        view = rig.host.view();
        QCOMPARE(view->StartingAddress(), m_second.url().toString());
        rig.monitor.Form_Resize(Monitor::WindowState::Minimized);
        QVERIFY(view && !view->isVisible());
        rig.monitor.Form_Resize(Monitor::WindowState::Normal);
        QVERIFY(!view);
        view = rig.host.view();
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->StartingAddress(), m_second.url().toString());

        view->close();
        QTRY_VERIFY(!view);
        rig.monitor.Command4_Click();
        rig.monitor.Command4_Click();
        view = rig.host.view();
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->StartingAddress(), m_second.url().toString());

        rig.monitor.Command4_Click();
        rig.monitor.Form_Resize(Monitor::WindowState::Minimized);
        rig.monitor.Form_Resize(Monitor::WindowState::Normal);
        rig.pollOnce(m_first.url());
        QCOMPARE(rig.host.view(), view.data());
        QVERIFY(!view->isVisible());
        QCOMPARE(rig.host.StartingAddress(), m_second.url().toString());
        rig.windows.unloadAllWindows();
        QCOMPARE(webViewCount(), 0);

        // Without windows the same steps never create a view.
        BrowserRig console(false);
        console.pollOnce(m_first.url());
        console.monitor.Form_Resize(Monitor::WindowState::Minimized);
        console.monitor.Form_Resize(Monitor::WindowState::Normal);
        QCOMPARE(webViewCount(), 0);
    }

    // Right of the main window over the rest of the screen, the page 100 twips short of its edges;
    // busy until the page has loaded; Enter visits what is typed (not a blank), the list its entry.
    void view_loadsShowsWorkingThenTitleAndNavigates()
    {
        FrmBrowser idle(QString(), QRect(0, 0, 250, 540), QRect(0, 0, 1024, 768));
        idle.show();
        auto* idleBox = idle.findChild<QComboBox*>(QStringLiteral("cboAddress"));
        QCOMPARE(idleBox->currentText(), QStringLiteral("waiting for you to click START"));
        idleBox->setEditText(QStringLiteral("   "));
        QTest::keyClick(idleBox->lineEdit(), Qt::Key_Return);
        QVERIFY(!idle.Busy());
        QCOMPARE(idle.windowTitle(), QStringLiteral("Offerwatch Browser View"));

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

        box->setEditText(m_second.url().toString());
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QVERIFY(timer->isActive() && view.Busy());
        QTRY_COMPARE_WITH_TIMEOUT(view.windowTitle(), QStringLiteral("Second Offerings"), LoadTimeoutMs);
        QCOMPARE(box->count(), 1);

        box->showPopup();
        QTRY_VERIFY(box->view()->isVisible());
        box->view()->setCurrentIndex(box->model()->index(0, 0));
        QTest::keyClick(box->view(), Qt::Key_Return);
        QCOMPARE(box->currentText(), m_first.url().toString());
        QTRY_COMPARE_WITH_TIMEOUT(view.windowTitle(), QStringLiteral("First Offerings"), LoadTimeoutMs);
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
