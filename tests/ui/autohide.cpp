// Auto-hide, the resize rules and the always-on-top upkeep, with the fake desktop's cursor.
#include "controls/twips.h"
#include "palette/palette_window.h"
#include "settings/mouse_sensitivity_dialog.h"
#include "settings/settings_dialog.h"
#include "test_program.h"
#include <QtTest>

class AutoHideTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { t.reset(); }

    void shrinksAwayAndGrowsOnAnyPixelOfTheFrame();
    void leftMarginWidensTheArea();
    void rightMarginNarrowsTheArea();
    void autoHideOffOnlyGrows();
    void hidingTheDateLowersTheShrunkHeight();
    void widthHasAMinimumAndButtonsFollow();
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

void AutoHideTest::minimizedOrMaximizedPaletteIsLeftAlone() {
    paletteWindow().showMinimized();
    QTRY_VERIFY(paletteWindow().windowState() == controls::WindowState::Minimized);
    const QSize before = paletteWindow().size();
    cursorAt(900, 900);
    QCOMPARE(paletteWindow().size(), before);
    paletteWindow().showMaximized();
    QTRY_VERIFY(paletteWindow().windowState() == controls::WindowState::Maximized);
    const QSize maximized = paletteWindow().size();
    cursorAt(900, 900);
    QCOMPARE(paletteWindow().size(), maximized);
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
