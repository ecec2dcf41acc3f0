// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/BrowserHost.h"
#include "browser/FrmBrowser.h"
#include "monitor/Monitor.h"
#include "monitor/widgets/WindowManager.h"
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
    QStringList lines() { return screenMessages(*monitor.actionLog().screen()); }

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

    void switching_showsOrHidesTheViewOnlyAfterAFetch_pollsReloadIt_closeBoxUnloadsIt()
    {
        BrowserRig rig(true);
        rig.monitor.Command4_Click();
        rig.monitor.Command4_Click();
        // Before the first fetch no view is created.
        QVERIFY(!rig.host.view());
        QCOMPARE(webViewCount(), 0);

        rig.pollOnce(m_first.url());
        QPointer<FrmBrowser> view = rig.host.view();
        QVERIFY(view && view->isVisible());
        rig.monitor.Command4_Click();
        QVERIFY(view && !view->isVisible());
        rig.monitor.Command4_Click();
        QCOMPARE(rig.host.view(), view.data());
        QVERIFY(view->isVisible());

        // Every poll puts a fresh view on the polled address in place of the old one.
        rig.pollOnce(m_second.url());
        QVERIFY(!view);
        view = rig.host.view();
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->StartingAddress(), m_second.url().toString());

        // The close box unloads the view; the next show loads it again on the last address.
        view->close();
        QTRY_VERIFY(!view);
        rig.monitor.Command4_Click();
        rig.monitor.Command4_Click();
        view = rig.host.view();
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->StartingAddress(), m_second.url().toString());
        rig.windows.unloadAllWindows();
        QCOMPARE(webViewCount(), 0);
    }

    void minimizeAndRestore_hideViewThenReloadTheWantedOne_sameLogWithoutWindows()
    {
        BrowserRig rig(true);
        rig.pollOnce(m_first.url());
        QPointer<FrmBrowser> view = rig.host.view();
        rig.monitor.Form_Resize(Monitor::WindowState::Minimized);
        QVERIFY(view && !view->isVisible());
        rig.monitor.Form_Resize(Monitor::WindowState::Normal);
        // Restoring shows the view and then reloads the page in a fresh one.
        QVERIFY(!view);
        view = rig.host.view();
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->StartingAddress(), m_first.url().toString());

        // A view switched off stays hidden through minimize and restore, and polls leave it alone.
        rig.monitor.Command4_Click();
        rig.monitor.Form_Resize(Monitor::WindowState::Minimized);
        rig.monitor.Form_Resize(Monitor::WindowState::Normal);
        rig.pollOnce(m_second.url());
        QCOMPARE(rig.host.view(), view.data());
        QVERIFY(!view->isVisible());
        QCOMPARE(rig.host.StartingAddress(), m_first.url().toString());

        // Without windows the same steps log the same and never create a view.
        BrowserRig console(false);
        console.pollOnce(m_first.url());
        console.monitor.Form_Resize(Monitor::WindowState::Minimized);
        console.monitor.Form_Resize(Monitor::WindowState::Normal);
        console.monitor.Command4_Click();
        console.monitor.Form_Resize(Monitor::WindowState::Minimized);
        console.monitor.Form_Resize(Monitor::WindowState::Normal);
        console.pollOnce(m_second.url());
        QCOMPARE(console.lines(), rig.lines());
        QVERIFY(!console.host.view());
        QCOMPARE(console.host.StartingAddress(), m_first.url().toString());
        QCOMPARE(webViewCount(), 1);
    }

    void load_withoutAddress_goesNowhere_EnterOnBlankIsRefused()
    {
        FrmBrowser view(QString(), QRect(0, 0, 250, 540), QRect(0, 0, 1024, 768));
        view.show();
        auto* box = view.findChild<QComboBox*>(QStringLiteral("cboAddress"));
        auto* timer = view.findChild<QTimer*>(QStringLiteral("timTimer"));
        auto* browser = view.findChild<QWebEngineView*>(QStringLiteral("brwWebBrowser"));
        QVERIFY(box && timer && browser);
        // Right of the main window over the rest of the screen; the page 100 twips short of its edges.
        QCOMPARE(QRect(view.pos(), view.size()), QRect(251, 0, 774, 540));
        QCOMPARE(browser->size(), view.size() - QSize(7, 45 + 7));
        QCOMPARE(box->currentText(), QStringLiteral("waiting for you to click START"));
        QCOMPARE(box->count(), 0);
        QVERIFY(!timer->isActive() && !view.Busy());
        QCOMPARE(browser->url(), QUrl());
        for (const QString& text : {QString(), QStringLiteral("   ")}) {
            box->setEditText(text);
            QTest::keyClick(box->lineEdit(), Qt::Key_Return);
            QVERIFY(!timer->isActive() && !view.Busy());
            QCOMPARE(view.windowTitle(), QStringLiteral("Offerwatch Browser View"));
        }
    }

    void load_withAddress_showsWorkingThenTitle_EnterAndListNavigate()
    {
        FrmBrowser view(m_first.url().toString(), QRect(0, 0, 250, 540), QRect(0, 0, 1024, 768));
        view.show();
        auto* box = view.findChild<QComboBox*>(QStringLiteral("cboAddress"));
        auto* timer = view.findChild<QTimer*>(QStringLiteral("timTimer"));
        QVERIFY(box && timer);
        QCOMPARE(box->currentText(), m_first.url().toString());
        QCOMPARE(box->count(), 1);
        QCOMPARE(box->itemText(0), m_first.url().toString());
        QVERIFY(timer->isActive() && view.Busy());
        QTRY_COMPARE_WITH_TIMEOUT(view.windowTitle(), QStringLiteral("Working..."), LoadTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(view.windowTitle(), QStringLiteral("First Offerings"), LoadTimeoutMs);
        // The next tick finds the browser idle and switches the timer off.
        QTRY_VERIFY(!timer->isActive());

        // Enter visits a typed address without adding it to the list.
        box->setEditText(m_second.url().toString());
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QVERIFY(timer->isActive() && view.Busy());
        QTRY_COMPARE_WITH_TIMEOUT(view.windowTitle(), QStringLiteral("Second Offerings"), LoadTimeoutMs);
        QCOMPARE(box->count(), 1);

        // Choosing the list's entry visits it again.
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
