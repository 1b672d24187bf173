// Auto-hide, the resize rules and the always-on-top upkeep, with the fake desktop's cursor.
#include "controls/twips.h"
#include "palette/form1.h"
#include "settings/form2.h"
#include "settings/form4.h"
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

private:
    Form1& f1() { return t->program().form1(); }
    Form2& f2() { return t->program().form2(); }
    Form4& f4() { return t->program().form4(); }
    int caption() const { return t->state().CaptionHeight; }
    void cursorAt(int x, int y) {
        t->desktop.cursor = {x, y};
        f1().Timer3_Timer();
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
    f1().Timer1->stop();
    f1().Timer3->stop();
}

void AutoHideTest::shrinksAwayAndGrowsOnAnyPixelOfTheFrame() {
    const int expanded = snapped(caption() + 7000);
    const int shrunk = snapped(caption() + 450);
    QCOMPARE(f1().heightTwips(), expanded);
    cursorAt(900, 900);
    QCOMPARE(f1().heightTwips(), shrunk);
    // The outer frame spans pixels 100..413 across and 100..(100 + shrunk/15 - 1) down.
    cursorAt(100, 100);
    QCOMPARE(f1().heightTwips(), expanded);
    cursorAt(99, 100);
    QCOMPARE(f1().heightTwips(), shrunk);
    cursorAt(413, 100); // the last pixel of the caption's row
    QCOMPARE(f1().heightTwips(), expanded);
    cursorAt(414, 100);
    QCOMPARE(f1().heightTwips(), shrunk);
    cursorAt(200, 100 + shrunk / 15 - 1);
    QCOMPARE(f1().heightTwips(), expanded);
    cursorAt(200, 100 + expanded / 15);
    QCOMPARE(f1().heightTwips(), shrunk);
    // The bottom edge follows the shrunk height.
    cursorAt(200, 100 + shrunk / 15);
    QCOMPARE(f1().heightTwips(), shrunk);
}

void AutoHideTest::leftMarginWidensTheArea() {
    f4().HScroll1[0]->setScrollValue(9980);
    QCOMPARE(f4().Text1[0]->text(), QStringLiteral("20"));
    cursorAt(900, 900);
    cursorAt(80, 105);
    QCOMPARE(f1().heightTwips(), snapped(caption() + 7000));
    cursorAt(900, 900);
    cursorAt(79, 105);
    QCOMPARE(f1().heightTwips(), snapped(caption() + 450));
}

void AutoHideTest::rightMarginNarrowsTheArea() {
    f4().HScroll1[1]->setScrollValue(9980);
    QCOMPARE(f4().Text1[1]->text(), QStringLiteral("20"));
    cursorAt(393, 105); // the rightmost 20 pixels (394..413) no longer count
    QCOMPARE(f1().heightTwips(), snapped(caption() + 7000));
    cursorAt(394, 105);
    QCOMPARE(f1().heightTwips(), snapped(caption() + 450));
}

void AutoHideTest::autoHideOffOnlyGrows() {
    cursorAt(900, 900);
    f2().Check1[1]->setValue(0);
    cursorAt(200, 105);
    QCOMPARE(f1().heightTwips(), snapped(caption() + 7000));
    cursorAt(900, 900);
    QCOMPARE(f1().heightTwips(), snapped(caption() + 7000));
}

void AutoHideTest::hidingTheDateLowersTheShrunkHeight() {
    cursorAt(900, 900);
    QCOMPARE(f1().heightTwips(), snapped(caption() + 450));
    f2().Check1[9]->setValue(1);
    cursorAt(900, 900);
    QCOMPARE(f1().ShrinkOffset, 330);
    QCOMPARE(f1().heightTwips(), snapped(caption() + 450 - 330));
}

void AutoHideTest::widthHasAMinimumAndButtonsFollow() {
    f1().setWidthTwips(1000);
    QCOMPARE(f1().widthTwips(), 1800);
    QCOMPARE(controls::toTwips(f1().Command1[0]->width()), 465);
    QCOMPARE(controls::toTwips(f1().Command1[20]->width()), 1905);
    QCOMPARE(f1().Command1[0]->x(), 80);
    // A height dragged by the user snaps back to the expanded height.
    f1().resize(f1().width(), 200);
    QCOMPARE(f1().heightTwips(), snapped(caption() + 7000));
    f1().setWidthTwips(6000);
    QCOMPARE(controls::toTwips(f1().Command1[19]->width()), 6000 - 1335);
}

void AutoHideTest::minimizedOrMaximizedPaletteIsLeftAlone() {
    f1().showMinimized();
    QTRY_VERIFY(f1().windowState() == controls::WindowState::Minimized);
    const QSize before = f1().size();
    cursorAt(900, 900);
    QCOMPARE(f1().size(), before);
    f1().showMaximized();
    QTRY_VERIFY(f1().windowState() == controls::WindowState::Maximized);
    const QSize maximized = f1().size();
    cursorAt(900, 900);
    QCOMPARE(f1().size(), maximized);
}

void AutoHideTest::topmostSuspendedWhileADialogIsOpen() {
    auto& calls = t->desktop.topmostCalls;
    f1().Timer1_Timer(); // after start-up: back into the band
    QCOMPARE(t->state().TopmostSuspended, 0);
    QVERIFY(calls.back().on);
    f2().show();
    f1().Timer1_Timer();
    QCOMPARE(t->state().TopmostSuspended, 1);
    QVERIFY(!calls.back().on);
    const auto count = calls.size();
    f1().Timer1_Timer(); // no repeated calls while it stays open
    QCOMPARE(calls.size(), count);
    f2().hide();
    f4().show();
    f1().Timer1_Timer();
    QCOMPARE(calls.size(), count);
    f4().hide();
    f1().Timer1_Timer();
    QCOMPARE(t->state().TopmostSuspended, 0);
    QVERIFY(calls.back().on);
    QCOMPARE(calls.back().window, f1().handle());
}

void AutoHideTest::tickingAlwaysOnTopTakesEffectWhenDialogsClose() {
    f2().Check1[0]->setValue(0);
    f1().Timer1_Timer();
    const auto count = t->desktop.topmostCalls.size();
    f2().show();
    f2().Check1[0]->setValue(1);
    QCOMPARE(t->state().TopmostSuspended, 1);
    f1().Timer1_Timer();
    f2().hide();
    f1().Timer1_Timer();
    QVERIFY(t->desktop.topmostCalls.size() > count);
    QVERIFY(t->desktop.topmostCalls.back().on);
    // Unticked: the palette stays out of the band after the dialogs close.
    f2().show();
    f2().Check1[0]->setValue(0);
    f1().Timer1_Timer();
    f2().hide();
    f1().Timer1_Timer();
    QVERIFY(!t->desktop.topmostCalls.back().on);
}

void AutoHideTest::dialogOpenedBeforeTheFirstTickStillLowersThePalette() {
    // Start-up left the palette in the band with the flag set by the check box.
    QCOMPARE(t->state().TopmostSuspended, 1);
    QVERIFY(t->desktop.topmostCalls.back().on);
    f1().Command3->press();
    f1().Timer1_Timer();
    QVERIFY(!t->desktop.topmostCalls.back().on);
    f2().Command3->press();
    f1().Timer1_Timer();
    QVERIFY(t->desktop.topmostCalls.back().on);
}

QTEST_MAIN(AutoHideTest)
#include "autohide.moc"
