// Auto-hide, the resize rules and the always-on-top upkeep, with the fake desktop's cursor.
#include "controls/twips.h"
#include "palette/palette_window.h"
#include "settings/mouse_sensitivity_dialog.h"
#include "settings/settings_dialog.h"
#include "test_program.h"
#include <QWindow>
#include <QtTest>

class AutoHideTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { t.reset(); }

    void shrinksAwayAndGrowsOnAnyPixelOfTheFrame();
    void leftMarginWidensTheArea();
    void rightMarginNarrowsTheArea();
    void storedZeroMarginsAreNoMargins();
    void autoHideOffOnlyGrows();
    void hidingTheDateLowersTheShrunkHeight();
    void heightsFollowTheCaptionOfTheRealFrame();
    void widthHasAMinimumAndButtonsFollow();
    void minimizedOrMaximizedPaletteIsLeftAlone_data();
    void minimizedOrMaximizedPaletteIsLeftAlone();
    void topmostSuspendedWhileADialogIsOpen();
    void tickingAlwaysOnTopTakesEffectWhenDialogsClose();
    void dialogOpenedBeforeTheFirstTickStillLowersThePalette();
    void restsOnTheDesktopsNoticesAndPollsWithout_data();
    void restsOnTheDesktopsNoticesAndPollsWithout();

private:
    PaletteWindow& paletteWindow() { return t->program().paletteWindow(); }
    SettingsDialog& settingsDialog() { return t->program().settingsDialog(); }
    MouseSensitivityDialog& mouseDialog() { return t->program().mouseDialog(); }
    int caption() const { return t->state().captionHeight; }
    void cursorAt(int x, int y) {
        t->desktop.cursor = {x, y};
        paletteWindow().autoHideTick();
    }
    // The palette's outer height in twips, as pixels make it.
    static int snapped(int twips) { return controls::toTwips(controls::toPixels(twips)); }
    std::unique_ptr<TestProgram> t;
};

void AutoHideTest::init() {
    t = std::make_unique<TestProgram>();
    t->writeSettings({"[Form]", "Form1Left=1500", "Form1Top=1500", "Form1Width=4710"});
    t->start();
    // The timers would act on the real cursor position of the fake desktop between steps.
    paletteWindow().clockTimer->stop();
    paletteWindow().autoHideTimer->stop();
}

void AutoHideTest::shrinksAwayAndGrowsOnAnyPixelOfTheFrame() {
    const int expanded = snapped(caption() + 7000);
    const int shrunk = snapped(caption() + 450);
    QCOMPARE(paletteWindow().heightTwips(), expanded);
    cursorAt(900, 900);
    QCOMPARE(paletteWindow().heightTwips(), shrunk);
    // The outer frame spans pixels 100..413 across and 100..(100 + shrunk/15 - 1) down.
    cursorAt(100, 100);
    QCOMPARE(paletteWindow().heightTwips(), expanded);
    cursorAt(99, 100);
    QCOMPARE(paletteWindow().heightTwips(), shrunk);
    cursorAt(413, 100); // the last pixel of the caption's row
    QCOMPARE(paletteWindow().heightTwips(), expanded);
    cursorAt(414, 100);
    QCOMPARE(paletteWindow().heightTwips(), shrunk);
    cursorAt(200, 100 + shrunk / 15 - 1);
    QCOMPARE(paletteWindow().heightTwips(), expanded);
    cursorAt(200, 100 + expanded / 15);
    QCOMPARE(paletteWindow().heightTwips(), shrunk);
    // The bottom edge follows the shrunk height.
    cursorAt(200, 100 + shrunk / 15);
    QCOMPARE(paletteWindow().heightTwips(), shrunk);
}

void AutoHideTest::leftMarginWidensTheArea() {
    mouseDialog().sideMarginBars[0]->setScrollValue(9980);
    QCOMPARE(mouseDialog().marginValueBoxes[0]->text(), QStringLiteral("20"));
    cursorAt(900, 900);
    cursorAt(80, 105);
    QCOMPARE(paletteWindow().heightTwips(), snapped(caption() + 7000));
    cursorAt(900, 900);
    cursorAt(79, 105);
    QCOMPARE(paletteWindow().heightTwips(), snapped(caption() + 450));
}

void AutoHideTest::rightMarginNarrowsTheArea() {
    mouseDialog().sideMarginBars[1]->setScrollValue(9980);
    QCOMPARE(mouseDialog().marginValueBoxes[1]->text(), QStringLiteral("20"));
    cursorAt(393, 105); // the rightmost 20 pixels (394..413) no longer count
    QCOMPARE(paletteWindow().heightTwips(), snapped(caption() + 7000));
    cursorAt(394, 105);
    QCOMPARE(paletteWindow().heightTwips(), snapped(caption() + 450));
}

// A settings file whose margins are 0 (no bar moved from its start) has the plain frame as the
// sensitive area, not a margin of 10000 pixels that would keep the palette from ever shrinking.
void AutoHideTest::storedZeroMarginsAreNoMargins() {
    t = std::make_unique<TestProgram>();
    t->writeSettings({"[Form]", "Form1Left=1500", "Form1Top=1500", "Form1Width=4710", "[MouseOptions]",
                      "MouseX=0", "MouseXX=0", "MouseY=0", "MouseYY=0"});
    t->start();
    paletteWindow().autoHideTimer->stop();
    for (auto* field : mouseDialog().marginValueBoxes)
        QCOMPARE(field->text(), QStringLiteral("0"));
    const int expanded = snapped(caption() + 7000);
    const int shrunk = snapped(caption() + 450);
    // Just outside each edge of the frame (pixels 100..413 across, 100.. down).
    for (const QPoint away :
         {QPoint(99, 105), QPoint(414, 105), QPoint(200, 99), QPoint(200, 100 + expanded / 15)}) {
        cursorAt(200, 105);
        QCOMPARE(paletteWindow().heightTwips(), expanded);
        cursorAt(away.x(), away.y());
        QCOMPARE(paletteWindow().heightTwips(), shrunk);
    }
    settingsDialog().saveButton->press();
    QVERIFY(
        t->readBytes(QStringLiteral("設定.ini")).find("MouseX=0\r\nMouseXX=0\r\nMouseY=0\r\nMouseYY=0\r\n") !=
        std::string::npos);
}

void AutoHideTest::autoHideOffOnlyGrows() {
    cursorAt(900, 900);
    settingsDialog().optionChecks[option::kAutoHide]->setValue(0);
    cursorAt(200, 105);
    QCOMPARE(paletteWindow().heightTwips(), snapped(caption() + 7000));
    cursorAt(900, 900);
    QCOMPARE(paletteWindow().heightTwips(), snapped(caption() + 7000));
}

void AutoHideTest::hidingTheDateLowersTheShrunkHeight() {
    cursorAt(900, 900);
    QCOMPARE(paletteWindow().heightTwips(), snapped(caption() + 450));
    settingsDialog().optionChecks[option::kHideDateWhenShrunk]->setValue(1);
    cursorAt(900, 900);
    QCOMPARE(paletteWindow().dateHideOffset, 330);
    QCOMPARE(paletteWindow().heightTwips(), snapped(caption() + 450 - 330));
}

// KWin and fluxbox say nothing of their frame ahead; the one they put on the mapped palette
// gives the caption, expanded or shrunk as the palette was.
void AutoHideTest::heightsFollowTheCaptionOfTheRealFrame() {
    auto& desktop = t->desktop;
    QCOMPARE(desktop.frameWatched, paletteWindow().handle());
    QVERIFY(desktop.onFrameExtents);
    QCOMPARE(desktop.utilityWindows, std::vector<platform::WindowHandle>{paletteWindow().handle()});
    QVERIFY(caption() != 31 * 15);
    desktop.onFrameExtents({4, 4, 31, 4});
    QCOMPARE(caption(), 31 * 15);
    QCOMPARE(paletteWindow().heightTwips(), snapped(31 * 15 + 7000));
    cursorAt(900, 900);
    QCOMPARE(paletteWindow().heightTwips(), snapped(31 * 15 + 450));
    desktop.onFrameExtents({1, 1, 20, 4});
    QCOMPARE(caption(), 20 * 15);
    QCOMPARE(paletteWindow().heightTwips(), snapped(20 * 15 + 450));
    cursorAt(200, 105);
    QCOMPARE(paletteWindow().heightTwips(), snapped(20 * 15 + 7000));
}

void AutoHideTest::widthHasAMinimumAndButtonsFollow() {
    paletteWindow().setWidthTwips(1000);
    QCOMPARE(paletteWindow().widthTwips(), 1800);
    QCOMPARE(controls::toTwips(paletteWindow().entryButtons[0]->width()), 465);
    QCOMPARE(controls::toTwips(paletteWindow().entryButtons[PaletteWindow::kClockBar]->width()), 1905);
    QCOMPARE(paletteWindow().entryButtons[0]->x(), 80);
    // A height dragged by the user snaps back to the expanded height.
    paletteWindow().resize(paletteWindow().width(), 200);
    QCOMPARE(paletteWindow().heightTwips(), snapped(caption() + 7000));
    paletteWindow().setWidthTwips(6000);
    QCOMPARE(controls::toTwips(paletteWindow().entryButtons[19]->width()), 6000 - 1335);
}

void AutoHideTest::minimizedOrMaximizedPaletteIsLeftAlone_data() {
    // Who changes the state: the program (the widget's state first, its geometry after) or
    // the window manager (the window's geometry and state as the platform reports them).
    QTest::addColumn<bool>("byWindowManager");
    QTest::newRow("program") << false;
    QTest::newRow("window manager") << true;
}

void AutoHideTest::minimizedOrMaximizedPaletteIsLeftAlone() {
    QFETCH(bool, byWindowManager);
    auto setState = [&](Qt::WindowState state) {
        if (byWindowManager)
            paletteWindow().windowHandle()->setWindowStates(state);
        else
            paletteWindow().setWindowState(state);
    };
    const QRect normal(paletteWindow().leftTwips(), paletteWindow().topTwips(), paletteWindow().widthTwips(),
                       paletteWindow().heightTwips());
    setState(Qt::WindowMinimized);
    QTRY_VERIFY(paletteWindow().windowState() == controls::WindowState::Minimized);
    const QSize before = paletteWindow().size();
    cursorAt(900, 900);
    QCOMPARE(paletteWindow().size(), before);
    setState(Qt::WindowMaximized);
    QTRY_VERIFY(paletteWindow().windowState() == controls::WindowState::Maximized);
    QTRY_VERIFY(paletteWindow().width() > before.width());
    const QSize maximized = paletteWindow().size();
    cursorAt(900, 900);
    QCOMPARE(paletteWindow().size(), maximized);

    // Restored: the normal place and size come back, and are what a save keeps.
    setState(Qt::WindowNoState);
    const auto outer = [this] {
        return QRect(paletteWindow().leftTwips(), paletteWindow().topTwips(), paletteWindow().widthTwips(),
                     paletteWindow().heightTwips());
    };
    QTRY_COMPARE(outer(), normal);
    QTRY_COMPARE(paletteWindow().windowState(), controls::WindowState::Normal);
    QCOMPARE(outer(), normal);
    settingsDialog().saveButton->press();
    QVERIFY(t->readBytes(QStringLiteral("設定.ini")).find("Form1Width=4710\r\n") != std::string::npos);
}

void AutoHideTest::topmostSuspendedWhileADialogIsOpen() {
    auto& calls = t->desktop.topmostCalls;
    paletteWindow().clockTick(); // after start-up: back into the band
    QCOMPARE(t->state().topmostSuspended, 0);
    QVERIFY(calls.back().on);
    settingsDialog().show();
    paletteWindow().clockTick();
    QCOMPARE(t->state().topmostSuspended, 1);
    QVERIFY(!calls.back().on);
    const auto count = calls.size();
    paletteWindow().clockTick(); // no repeated calls while it stays open
    QCOMPARE(calls.size(), count);
    settingsDialog().hide();
    mouseDialog().show();
    paletteWindow().clockTick();
    QCOMPARE(calls.size(), count);
    mouseDialog().hide();
    paletteWindow().clockTick();
    QCOMPARE(t->state().topmostSuspended, 0);
    QVERIFY(calls.back().on);
    QCOMPARE(calls.back().window, paletteWindow().handle());
}

void AutoHideTest::tickingAlwaysOnTopTakesEffectWhenDialogsClose() {
    settingsDialog().optionChecks[option::kAlwaysOnTop]->setValue(0);
    paletteWindow().clockTick();
    const auto count = t->desktop.topmostCalls.size();
    settingsDialog().show();
    settingsDialog().optionChecks[option::kAlwaysOnTop]->setValue(1);
    QCOMPARE(t->state().topmostSuspended, 1);
    paletteWindow().clockTick();
    settingsDialog().hide();
    paletteWindow().clockTick();
    QVERIFY(t->desktop.topmostCalls.size() > count);
    QVERIFY(t->desktop.topmostCalls.back().on);
    // Unticked: the palette stays out of the band after the dialogs close.
    settingsDialog().show();
    settingsDialog().optionChecks[option::kAlwaysOnTop]->setValue(0);
    paletteWindow().clockTick();
    settingsDialog().hide();
    paletteWindow().clockTick();
    QVERIFY(!t->desktop.topmostCalls.back().on);
}

void AutoHideTest::dialogOpenedBeforeTheFirstTickStillLowersThePalette() {
    // Start-up left the palette in the band with the flag set by the check box.
    QCOMPARE(t->state().topmostSuspended, 1);
    QVERIFY(t->desktop.topmostCalls.back().on);
    paletteWindow().settingsButton->press();
    paletteWindow().clockTick();
    QVERIFY(!t->desktop.topmostCalls.back().on);
    settingsDialog().closeButton->press();
    paletteWindow().clockTick();
    QVERIFY(t->desktop.topmostCalls.back().on);
}

void AutoHideTest::restsOnTheDesktopsNoticesAndPollsWithout_data() {
    QTest::addColumn<bool>("notices");
    QTest::newRow("a desktop that tells") << true;
    QTest::newRow("a desktop that must be asked") << false;
}

void AutoHideTest::restsOnTheDesktopsNoticesAndPollsWithout() {
    QFETCH(bool, notices);
    // A program of its own, with every timer running, the date alone on the clock.
    t = std::make_unique<TestProgram>();
    t->writeSettings({"[Form]", "Form1Left=1500", "Form1Top=1500", "Form1Width=4710", "[Options]", "Time=0"});
    t->desktop.givesNotices = notices;
    t->desktop.cursor = {900, 900};
    auto& p = t->start().paletteWindow();
    auto& desktop = t->desktop;
    const int expanded = snapped(caption() + 7000);
    const int shrunk = snapped(caption() + 450);
    // The timers take the first look (the palette shrinks away from the pointer); with notices
    // they then rest until the desktop tells of a change, without them they go on asking.
    QTRY_COMPARE(p.heightTwips(), shrunk);
    QTRY_VERIFY_WITH_TIMEOUT(p.entryButtons[PaletteWindow::kClockBar]->caption().contains(u'/'), 2500);
    QTest::qWait(600);
    QCOMPARE(p.autoHideTimer->isActive(), !notices);
    QCOMPARE(p.foregroundTimer->isActive(), !notices);
    QCOMPARE(desktop.pointerNoticeSet(), notices);
    // The date changes at midnight; the clock looks at least once a minute.
    QVERIFY2(p.clockTimer->interval() > 1000 && p.clockTimer->interval() <= 60000,
             qPrintable(QString::number(p.clockTimer->interval())));

    // In at the bottom-right corner: expanded at once when told, within a tick when asked.
    desktop.movePointer({413, 100 + shrunk / 15 - 1});
    if (notices)
        QCOMPARE(p.heightTwips(), expanded);
    QTRY_COMPARE_WITH_TIMEOUT(p.heightTwips(), expanded, 400);
    // Out through the same corner, diagonally, with no further notice: the palette follows the
    // pointer while it moves.
    desktop.cursor = {414, 100 + expanded / 15};
    QTRY_COMPARE_WITH_TIMEOUT(p.heightTwips(), shrunk, 400);
    QTRY_COMPARE(desktop.pointerNoticeSet(), notices);
    // The palette moves under the resting pointer: it grows within a tick.
    p.setLeftTwips(p.leftTwips() + 15);
    p.setTopTwips(p.topTwips() + expanded);
    QTRY_COMPARE_WITH_TIMEOUT(p.heightTwips(), expanded, 400);

    // The window the user works in becomes the target as the desktop tells of it; one that
    // closes while it is the target stays it (the next paste is refused by the desktop).
    constexpr platform::WindowHandle kEditor = 0x4200001;
    desktop.focusWindow(kEditor);
    if (notices)
        QCOMPARE(p.targetWindow, kEditor);
    QTRY_COMPARE_WITH_TIMEOUT(p.targetWindow, kEditor, 400);
    desktop.focusWindow(0);
    QTest::qWait(300);
    QCOMPARE(p.targetWindow, kEditor);

    // A dialog opened: out of the band at once, and the clock ticks every second while it is
    // open (its mode may change); closed: back in the band.
    auto& calls = desktop.topmostCalls;
    settingsDialog().show();
    QTRY_VERIFY_WITH_TIMEOUT(!calls.empty() && !calls.back().on, notices ? 100 : 1100);
    QTRY_VERIFY_WITH_TIMEOUT(p.clockTimer->interval() <= 1005, 1100);
    settingsDialog().clockModeChoices[1]->setValue(true);
    QTRY_VERIFY_WITH_TIMEOUT(p.entryButtons[PaletteWindow::kClockBar]->caption().contains(u':'), 1100);
    settingsDialog().hide();
    QTRY_VERIFY_WITH_TIMEOUT(calls.back().on, notices ? 100 : 1100);
}

QTEST_MAIN(AutoHideTest)
#include "autohide.moc"
