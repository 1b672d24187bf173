// Top-level windows: the outer frame in twips before and after mapping, and when the resize and
// close handlers run.
#include "controls/twips.h"
#include "controls/window.h"
#include "platform/fake/fake_desktop.h"
#include <QTest>
#include <QWindow>

using namespace controls;

class ControlsWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void outerFrameBeforeShowing();
    void settingTheSizeRunsResizeOncePerChange();
    void sizeSetWhileShown();
    void positionSetBeforeShowingIsTheFrames();
    void outerFrameOnceShown();
    void windowStateChangesRunResize();
    void closeRequests();

private:
    platform::FakeDesktop desktop_;
};

void ControlsWindow::init() {
    desktop_.frame = {2, 2, 20, 2}; // left, right, top, bottom
}

void ControlsWindow::outerFrameBeforeShowing() {
    Window window(desktop_, QStringLiteral("ぴこめ"), toTwips(200), toTwips(100));
    QCOMPARE(window.windowTitle(), QStringLiteral("ぴこめ"));
    QCOMPARE(window.size(), QSize(200, 100));
    QCOMPARE(window.widthTwips(), toTwips(204));
    QCOMPARE(window.heightTwips(), toTwips(122));
    QCOMPARE(window.leftTwips(), toTwips(window.geometry().left() - 2));
    QCOMPARE(window.topTwips(), toTwips(window.geometry().top() - 20));
    QCOMPARE(window.windowState(), WindowState::Normal);
}

void ControlsWindow::settingTheSizeRunsResizeOncePerChange() {
    Window window(desktop_, QStringLiteral("w"), toTwips(200), toTwips(100));
    int resizes = 0;
    QSize sizeSeen;
    window.onResize = [&] {
        ++resizes;
        sizeSeen = window.size();
    };

    window.setWidthTwips(toTwips(304));
    QCOMPARE(resizes, 1);
    QCOMPARE(sizeSeen, QSize(300, 100));
    QCOMPARE(window.widthTwips(), toTwips(304));
    window.setWidthTwips(toTwips(304));
    QCOMPARE(resizes, 1);

    window.setHeightTwips(toTwips(172));
    QCOMPARE(resizes, 2);
    QCOMPARE(sizeSeen, QSize(300, 150));
    QCOMPARE(window.heightTwips(), toTwips(172));
    window.setHeightTwips(toTwips(172));
    QCOMPARE(resizes, 2);

    // Showing it delivers Qt's postponed resize event, which is no new change.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(300, 150));
    QCOMPARE(resizes, 2);
}

void ControlsWindow::sizeSetWhileShown() {
    Window window(desktop_, QStringLiteral("w"), toTwips(200), toTwips(100));
    int resizes = 0;
    window.onResize = [&] { ++resizes; };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(resizes, 0);

    const int frameWidth = window.frameGeometry().width() - window.width();
    window.setWidthTwips(toTwips(250 + frameWidth));
    QCOMPARE(window.width(), 250);
    QCOMPARE(resizes, 1);
    QTest::qWait(20);
    QCOMPARE(resizes, 1);

    // A handler that insists on a minimum width sets it again; each size runs it once.
    window.onResize = [&] {
        ++resizes;
        if (window.width() < 220)
            window.setWidthTwips(toTwips(220 + frameWidth));
    };
    window.resize(150, window.height());
    QCOMPARE(window.width(), 220);
    QCOMPARE(resizes, 3);
}

void ControlsWindow::positionSetBeforeShowingIsTheFrames() {
    Window window(desktop_, QStringLiteral("w"), toTwips(200), toTwips(100));
    window.setLeftTwips(toTwips(100));
    window.setTopTwips(toTwips(80));
    QCOMPARE(window.leftTwips(), toTwips(100));
    QCOMPARE(window.topTwips(), toTwips(80));
    window.setLeftTwips(toTwips(110));
    QCOMPARE(window.leftTwips(), toTwips(110));
    QCOMPARE(window.topTwips(), toTwips(80));

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Wherever the platform first puts it, the frame ends up where it was asked to be.
    QTRY_COMPARE(window.frameGeometry().topLeft(), QPoint(110, 80));
    QCOMPARE(window.leftTwips(), toTwips(110));
    QCOMPARE(window.topTwips(), toTwips(80));
}

void ControlsWindow::outerFrameOnceShown() {
    Window window(desktop_, QStringLiteral("w"), toTwips(200), toTwips(100));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Once mapped, the frame is the one the platform reports, not the prediction.
    const QMargins margins = window.windowHandle()->frameMargins();
    if (margins.isNull())
        QSKIP("the platform reports no frame");
    QVERIFY(margins != QMargins(2, 20, 2, 2));
    QCOMPARE(window.widthTwips(), toTwips(200 + margins.left() + margins.right()));
    QCOMPARE(window.heightTwips(), toTwips(100 + margins.top() + margins.bottom()));

    window.setLeftTwips(toTwips(300));
    window.setTopTwips(toTwips(200));
    QCOMPARE(window.frameGeometry().topLeft(), QPoint(300, 200));
    QCOMPARE(window.geometry().topLeft(), QPoint(300 + margins.left(), 200 + margins.top()));
    QCOMPARE(window.leftTwips(), toTwips(300));
    QCOMPARE(window.topTwips(), toTwips(200));

    window.setWidthTwips(toTwips(400));
    QCOMPARE(window.width(), 400 - margins.left() - margins.right());
    QCOMPARE(window.widthTwips(), toTwips(400));
}

void ControlsWindow::windowStateChangesRunResize() {
    Window window(desktop_, QStringLiteral("w"), toTwips(200), toTwips(100));
    int resizes = 0;
    WindowState stateSeen = WindowState::Normal;
    window.onResize = [&] {
        ++resizes;
        stateSeen = window.windowState();
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    window.showMinimized();
    QTRY_COMPARE(window.windowState(), WindowState::Minimized);
    QVERIFY(resizes >= 1);
    QCOMPARE(stateSeen, WindowState::Minimized);

    const int before = resizes;
    window.showNormal();
    QTRY_COMPARE(window.windowState(), WindowState::Normal);
    QVERIFY(resizes > before);
    QCOMPARE(stateSeen, WindowState::Normal);

    window.showMaximized();
    QTRY_COMPARE(window.windowState(), WindowState::Maximized);
    QTRY_COMPARE(stateSeen, WindowState::Maximized);
}

void ControlsWindow::closeRequests() {
    Window window(desktop_, QStringLiteral("w"), toTwips(200), toTwips(100));
    QVERIFY(window.handle() != 0);
    int requests = 0;
    // The palette's way: refuse, and hide instead.
    window.onCloseRequest = [&] {
        ++requests;
        window.hide();
        return true;
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.close());
    QCOMPARE(requests, 1);
    QVERIFY(!window.isVisible());

    // Refused without hiding: the window stays as it was.
    window.onCloseRequest = [&] {
        ++requests;
        return true;
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.close());
    QCOMPARE(requests, 2);
    QVERIFY(window.isVisible());

    window.onCloseRequest = [&] {
        ++requests;
        return false;
    };
    QVERIFY(window.close());
    QCOMPARE(requests, 3);
    QVERIFY(!window.isVisible());

    window.onCloseRequest = nullptr;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.close());
}

QTEST_MAIN(ControlsWindow)
#include "controls_window.moc"
