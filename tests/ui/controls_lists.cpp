// Drop-down lists, scroll bars and tab strips: selection by code and by the user, and when the
// handlers run.
#include "controls/controls.h"
#include <QAbstractItemView>
#include <QTest>

using namespace controls;

class ControlsLists : public QObject {
    Q_OBJECT
private slots:
    void comboFillingSelectsNothing();
    void comboSetListIndex();
    void comboRemovingItems();
    void comboUserChoice();
    void scrollBarFromCode();
    void scrollBarUserSteps();
    void tabStripSelection();
    void tabStripPaintsItsBackColor();
};

void ControlsLists::comboFillingSelectsNothing() {
    ComboBox combo;
    int clicks = 0;
    combo.onClick = [&] { ++clicks; };
    combo.addListItem(QStringLiteral("first"));
    combo.addListItem(QStringLiteral("second"));
    QCOMPARE(combo.listCount(), 2);
    QCOMPARE(combo.itemText(1), QStringLiteral("second"));
    QCOMPARE(combo.listIndex(), -1);
    // Nothing may show as chosen either.
    QCOMPARE(combo.currentIndex(), -1);
    QCOMPARE(combo.currentText(), QString());
    QCOMPARE(clicks, 0);

    combo.clearList();
    QCOMPARE(combo.listCount(), 0);
    combo.addListItem(QStringLiteral("again"));
    QCOMPARE(combo.listIndex(), -1);
    QCOMPARE(combo.currentText(), QString());
    QCOMPARE(clicks, 0);
}

void ControlsLists::comboSetListIndex() {
    ComboBox combo;
    for (const char* item : {"a", "b", "c"})
        combo.addListItem(QString::fromLatin1(item));
    int clicks = 0;
    int indexSeen = -2;
    combo.onClick = [&] {
        ++clicks;
        indexSeen = combo.listIndex();
    };

    combo.setListIndex(1);
    QCOMPARE(clicks, 1);
    QCOMPARE(indexSeen, 1);
    QCOMPARE(combo.currentText(), QStringLiteral("b"));

    // The same position again still runs the handler.
    combo.setListIndex(1);
    QCOMPARE(clicks, 2);

    combo.setListIndex(-1);
    QCOMPARE(clicks, 3);
    QCOMPARE(indexSeen, -1);
    QCOMPARE(combo.currentText(), QString());

    combo.setListIndex(2);
    QCOMPARE(clicks, 4);
    // Outside the list: ignored.
    combo.setListIndex(3);
    combo.setListIndex(-2);
    QCOMPARE(clicks, 4);
    QCOMPARE(combo.listIndex(), 2);
    QCOMPARE(combo.currentText(), QStringLiteral("c"));
}

void ControlsLists::comboRemovingItems() {
    ComboBox combo;
    for (const char* item : {"a", "b", "c", "d"})
        combo.addListItem(QString::fromLatin1(item));
    combo.setListIndex(2);
    int clicks = 0;
    combo.onClick = [&] { ++clicks; };

    // An item before the chosen one: the same item stays chosen at its new position.
    combo.removeListItem(0);
    QCOMPARE(combo.listIndex(), 1);
    QCOMPARE(combo.currentText(), QStringLiteral("c"));
    // An item after it changes nothing.
    combo.removeListItem(2);
    QCOMPARE(combo.listIndex(), 1);
    QCOMPARE(combo.listCount(), 2);
    // Out of range: nothing.
    combo.removeListItem(5);
    combo.removeListItem(-1);
    QCOMPARE(combo.listCount(), 2);
    // The chosen item itself: nothing is chosen, although Qt would move to a neighbour.
    combo.removeListItem(1);
    QCOMPARE(combo.listIndex(), -1);
    QCOMPARE(combo.currentIndex(), -1);
    QCOMPARE(combo.currentText(), QString());
    QCOMPARE(clicks, 0);

    combo.setListIndex(0);
    combo.clearList();
    QCOMPARE(combo.listIndex(), -1);
    QCOMPARE(clicks, 1);
}

void ControlsLists::comboUserChoice() {
    QWidget window;
    auto* combo = new ComboBox(&window);
    combo->setGeometry(0, 0, 120, 24);
    for (const char* item : {"a", "b", "c"})
        combo->addListItem(QString::fromLatin1(item));
    int clicks = 0;
    int indexSeen = -2;
    combo->onClick = [&] {
        ++clicks;
        indexSeen = combo->listIndex();
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    combo->setListIndex(0);
    clicks = 0;
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(clicks, 1);
    QCOMPARE(indexSeen, 1);
    QCOMPARE(combo->listIndex(), 1);

    // Choosing in the opened list.
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QTRY_VERIFY(view->isVisible());
    const QModelIndex third = view->model()->index(2, 0);
    view->setCurrentIndex(third);
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(clicks, 2);
    QCOMPARE(indexSeen, 2);
    QCOMPARE(combo->listIndex(), 2);
    QCOMPARE(combo->currentText(), QStringLiteral("c"));
}

void ControlsLists::scrollBarFromCode() {
    ScrollBar bar(Qt::Horizontal);
    QCOMPARE(bar.minimum(), 0);
    QCOMPARE(bar.maximum(), 32767);
    int changes = 0;
    int valueSeen = -1;
    bar.onChange = [&] {
        ++changes;
        valueSeen = bar.value();
    };

    bar.setScrollValue(5);
    QCOMPARE(changes, 1);
    QCOMPARE(valueSeen, 5);
    bar.setScrollValue(5);
    QCOMPARE(changes, 1);
    bar.setScrollValue(40000);
    QCOMPARE(changes, 2);
    QCOMPARE(valueSeen, 32767);
    bar.setScrollValue(-3);
    QCOMPARE(changes, 3);
    QCOMPARE(valueSeen, 0);
    bar.setScrollValue(-3);
    QCOMPARE(changes, 3);
}

void ControlsLists::scrollBarUserSteps() {
    QWidget window;
    auto* bar = new ScrollBar(Qt::Horizontal, &window);
    bar->setGeometry(0, 0, 200, 20);
    int changes = 0;
    bar->onChange = [&] { ++changes; };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    bar->setScrollValue(10);
    changes = 0;
    // The arrows at either end: one step each.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 4, bar->height() / 2));
    QCOMPARE(bar->value(), 11);
    QCOMPARE(changes, 1);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(3, bar->height() / 2));
    QCOMPARE(bar->value(), 10);
    QCOMPARE(changes, 2);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(bar->value(), 11);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(bar->value(), 12);
    QCOMPARE(changes, 4);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(bar->value(), 32767);
    QCOMPARE(changes, 5);
}

void ControlsLists::tabStripSelection() {
    QWidget window;
    auto* tabs = new TabStrip(&window);
    int clicks = 0;
    int tabSeen = -2;
    tabs->onClick = [&] {
        ++clicks;
        tabSeen = tabs->tab();
    };
    tabs->addTab(QStringLiteral("one"));
    tabs->addTab(QStringLiteral("two"));
    tabs->addTab(QStringLiteral("three"));
    tabs->setGeometry(0, 0, 300, 30);
    // Filling the strip is no click, though Qt selects the first tab.
    QCOMPARE(tabs->tab(), 0);
    QCOMPARE(clicks, 0);

    tabs->setTab(2);
    QCOMPARE(clicks, 1);
    QCOMPARE(tabSeen, 2);
    tabs->setTab(2);
    tabs->setTab(7);
    tabs->setTab(-1);
    QCOMPARE(clicks, 1);
    QCOMPARE(tabs->tab(), 2);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    QCOMPARE(clicks, 2);
    QCOMPARE(tabSeen, 1);
}

void ControlsLists::tabStripPaintsItsBackColor() {
    TabStrip tabs;
    for (const char* caption : {"履歴", "1", "2"})
        tabs.addTab(QString::fromUtf8(caption));
    tabs.resize(300, 30);
    tabs.setBackColor(0x00336699);
    tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tabs));
    // Every tab in view, sharing the width; above an unselected tab is the strip's background.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(tabs.tabRect(i).width(), 100);
    const QImage image = tabs.grab().toImage();
    QCOMPARE(image.pixelColor(150, 0), QColor(0x99, 0x66, 0x33));
}

QTEST_MAIN(ControlsLists)
#include "controls_lists.moc"
