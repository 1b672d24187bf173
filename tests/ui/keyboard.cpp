// The dialogs used from the keyboard alone, and the palette that never takes the focus.
#include "asciiart/form5.h"
#include "palette/form1.h"
#include "settings/form2.h"
#include "settings/form4.h"
#include "test_program.h"
#include "tools/form3.h"
#include "tools/form6.h"
#include <QApplication>
#include <QtTest>
#include <functional>

namespace {

// The widget that really takes the focus for a control: a text box hands it to its editor.
QWidget* focusTaker(QWidget* widget) {
    while (QWidget* proxy = widget->focusProxy())
        widget = proxy;
    return widget;
}

// A control as the test names it, e.g. "Text1(3)".
struct Named {
    QString name;
    QWidget* widget;
};

template <typename Array>
void appendAll(QList<Named>& list, const char* name, const Array& controls, int from, int to) {
    for (int i = from; i <= to; ++i)
        list.append({QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i), controls[std::size_t(i)]});
}

} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { t.reset(); }

    void tabWalksEachDialogInReadingOrder();
    void keysWorkTheControls();
    void paletteNeverTakesTheFocus();

private:
    Form1& f1() { return t->program().form1(); }
    Form2& f2() { return t->program().form2(); }
    Form4& f4() { return t->program().form4(); }
    // Sends a key to whatever has the focus now.
    static void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, key, modifiers);
    }
    static bool openAndActive(QWidget* window) {
        window->activateWindow();
        return QTest::qWaitForWindowActive(window);
    }
    std::unique_ptr<TestProgram> t;
};

void KeyboardTest::init() {
    t = std::make_unique<TestProgram>();
    t->writeSelfNamingKaomojiFile();
    t->start();
}

void KeyboardTest::tabWalksEachDialogInReadingOrder() {
    struct Dialog {
        const char* name;
        std::function<QWidget*()> open;
        // The tab stops in order; the first has the focus when the dialog opens.
        std::function<QList<Named>()> stops;
    };
    const Dialog dialogs[] = {
        {"settings dialog",
         [&] {
             f1().Command3->press();
             return &f2();
         },
         [&] {
             // Three columns; each frame read row by row. An option group is one stop: its
             // chosen button (group 0, page 0, the first colour target, "両方" after start-up).
             auto& d = f2();
             QList<Named> s{{"Combo1", d.Combo1}, {"Text1(0)", d.Text1[0]}, {"Option1(0)", d.Option1[0]}};
             appendAll(s, "Text1", d.Text1, 1, 15);
             s << Named{"Option3(0)", d.Option3[0]} << Named{"Text3", d.Text3}
               << Named{"Command4", d.Command4};
             appendAll(s, "Text2", d.Text2, 0, 19);
             for (int i : {0, 1, 9, 2, 3, 4, 6, 7, 8})
                 appendAll(s, "Check1", d.Check1, i, i);
             s << Named{"Combo2", d.Combo2} << Named{"Command6", d.Command6} << Named{"Command7", d.Command7}
               << Named{"Command5", d.Command5} << Named{"Option2(0)", d.Option2[0]}
               << Named{"Option4(2)", d.Option4[2]} << Named{"Command1", d.Command1}
               << Named{"Command2", d.Command2} << Named{"Command3", d.Command3};
             return s;
         }},
        {"mouse sensitivity dialog",
         [&] {
             f2().Command5->press();
             return &f4();
         },
         [&] {
             // The cross of bars and fields, row by row, then the close button.
             auto& d = f4();
             return QList<Named>{{"VScroll1(0)", d.VScroll1[0]}, {"Text1(2)", d.Text1[2]},
                                 {"HScroll1(0)", d.HScroll1[0]}, {"Text1(0)", d.Text1[0]},
                                 {"Text1(1)", d.Text1[1]},       {"HScroll1(1)", d.HScroll1[1]},
                                 {"Text1(3)", d.Text1[3]},       {"VScroll1(1)", d.VScroll1[1]},
                                 {"Command1", d.Command1}};
         }},
        {"ASCII-art dialog",
         [&] {
             f2().Command6->press();
             return &t->program().form5();
         },
         [&] {
             // The names column with its options and buttons, then the text beside it.
             auto& d = t->program().form5();
             QList<Named> s{{"Combo1", d.Combo1}, {"Text2(0)", d.Text2[0]}, {"Option1(0)", d.Option1[0]}};
             appendAll(s, "Text2", d.Text2, 1, 19);
             appendAll(s, "Check1", d.Check1, 0, 2);
             s << Named{"Command1", d.Command1} << Named{"Command2", d.Command2} << Named{"Text1", d.Text1};
             return s;
         }},
        {"batch registration dialog",
         [&] {
             f2().Command7->press();
             return t->state().form6;
         },
         [&] {
             auto& d = *t->state().form6;
             return QList<Named>{{"Text1", d.Text1},
                                 {"Command1", d.Command1},
                                 {"Command4", d.Command4},
                                 {"Command3", d.Command3},
                                 {"Command2", d.Command2}};
         }},
        {"About dialog",
         [&] {
             f2().Command2->press();
             return t->state().form3;
         },
         [&] {
             return QList<Named>{{"Command1", t->state().form3->Command1}};
         }},
    };

    for (const Dialog& dialog : dialogs) {
        QWidget* window = dialog.open();
        QVERIFY2(openAndActive(window), dialog.name);
        const QList<Named> stops = dialog.stops();
        QStringList expected;
        QHash<QWidget*, QString> names;
        for (const Named& stop : stops) {
            expected << stop.name;
            names.insert(focusTaker(stop.widget), stop.name);
        }
        auto nameOf = [&names](QWidget* widget) {
            return widget ? names.value(widget, QString::fromLatin1(widget->metaObject()->className()))
                          : QStringLiteral("nothing");
        };
        QStringList walked{nameOf(QApplication::focusWidget())};
        for (int i = 0; i < stops.size(); ++i) {
            key(Qt::Key_Tab);
            walked << nameOf(QApplication::focusWidget());
        }
        // Round the whole chain and back to the first stop.
        QCOMPARE(walked, expected + QStringList{expected.first()});
        key(Qt::Key_Backtab);
        QCOMPARE(nameOf(QApplication::focusWidget()), expected.last());
        window->hide();
    }
}

void KeyboardTest::keysWorkTheControls() {
    // Enter presses the focused button: "特殊設定" opens the margin dialog.
    f1().Command3->press();
    QVERIFY(openAndActive(&f2()));
    f2().Command5->setFocus();
    key(Qt::Key_Return);
    QVERIFY(f4().isVisible());
    QVERIFY(openAndActive(&f4()));

    // The arrow keys step the focused scroll bar; the field beside it follows.
    f4().VScroll1[1]->setFocus();
    key(Qt::Key_Down);
    QCOMPARE(f4().VScroll1[1]->value(), 10001);
    QCOMPARE(f4().Text1[3]->text(), QStringLiteral("-1"));
    f4().HScroll1[0]->setFocus();
    key(Qt::Key_Left);
    QCOMPARE(f4().HScroll1[0]->value(), 9999);
    QCOMPARE(f4().Text1[0]->text(), QStringLiteral("1"));
    f4().VScroll1[0]->setFocus();
    key(Qt::Key_Up);
    QCOMPARE(f4().VScroll1[0]->value(), 9999);
    key(Qt::Key_Right);
    QCOMPARE(f4().VScroll1[0]->value(), 10000);

    // Space presses the focused button: "閉じる" hides the dialog.
    f4().Command1->setFocus();
    key(Qt::Key_Space);
    QVERIFY(!f4().isVisible());

    // Arrow keys choose within an option group, and the choice takes effect as a click does.
    QVERIFY(openAndActive(&f2()));
    f2().Option4[2]->setFocus();
    key(Qt::Key_Left);
    QVERIFY(f2().Option4[1]->value());
    QVERIFY(f2().Option4[1]->hasFocus());
    QCOMPARE(t->state().ClockMode, QStringLiteral("1"));
    // Check boxes toggle with Space, lists move with the arrows.
    f2().Check1[3]->setFocus();
    key(Qt::Key_Space);
    QCOMPARE(f2().Check1[3]->value(), 1);
    f2().Combo2->setFocus();
    key(Qt::Key_Down);
    QCOMPARE(f2().Combo2->listIndex(), 2);

    // Escape closes the dialog as its close box does: hidden, not destroyed.
    key(Qt::Key_Escape);
    QVERIFY(!f2().isVisible());
}

void KeyboardTest::paletteNeverTakesTheFocus() {
    QVERIFY(f1().windowFlags() & Qt::WindowDoesNotAcceptFocus);
    QCOMPARE(f1().focusPolicy(), Qt::NoFocus);
    for (QWidget* widget : f1().findChildren<QWidget*>())
        QVERIFY2(widget->focusPolicy() == Qt::NoFocus, widget->metaObject()->className());
}

QTEST_MAIN(KeyboardTest)
#include "keyboard.moc"
