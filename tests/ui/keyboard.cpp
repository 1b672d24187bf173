// The dialogs used from the keyboard alone, and the palette that never takes the focus.
#include "asciiart/ascii_art_dialog.h"
#include "palette/palette_window.h"
#include "settings/mouse_sensitivity_dialog.h"
#include "settings/settings_dialog.h"
#include "test_program.h"
#include "tools/about_dialog.h"
#include "tools/batch_registration_dialog.h"
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

// A control as the test names it, e.g. "entryBoxes[3]".
struct Named {
    QString name;
    QWidget* widget;
};

template <typename Array>
void appendAll(QList<Named>& list, const char* name, const Array& controls, int from, int to) {
    for (int i = from; i <= to; ++i)
        list.append({QStringLiteral("%1[%2]").arg(QLatin1String(name)).arg(i), controls[std::size_t(i)]});
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
    PaletteWindow& paletteWindow() { return t->program().paletteWindow(); }
    SettingsDialog& settingsDialog() { return t->program().settingsDialog(); }
    MouseSensitivityDialog& mouseDialog() { return t->program().mouseDialog(); }
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
             paletteWindow().settingsButton->press();
             return &settingsDialog();
         },
         [&] {
             // Three columns; each frame read row by row. An option group is one stop: its
             // chosen button (group 0, page 0, the first colour target, "両方" after start-up).
             auto& d = settingsDialog();
             QList<Named> s{{"editorPageList", d.editorPageList},
                            {"groupNameBoxes[0]", d.groupNameBoxes[0]},
                            {"groupChoices[0]", d.groupChoices[0]}};
             appendAll(s, "groupNameBoxes", d.groupNameBoxes, 1, 15);
             s << Named{"pageNameChoices[0]", d.pageNameChoices[0]} << Named{"pageNameBox", d.pageNameBox}
               << Named{"renamePageButton", d.renamePageButton};
             appendAll(s, "entryBoxes", d.entryBoxes, 0, 19);
             for (int i : {0, 1, 9, 2, 3, 4, 6, 7, 8})
                 appendAll(s, "optionChecks", d.optionChecks, i, i);
             s << Named{"doubleClickActionList", d.doubleClickActionList}
               << Named{"asciiArtSettingsButton", d.asciiArtSettingsButton}
               << Named{"batchRegistrationButton", d.batchRegistrationButton}
               << Named{"mouseSensitivityButton", d.mouseSensitivityButton}
               << Named{"colorTargetChoices[0]", d.colorTargetChoices[0]}
               << Named{"clockModeChoices[2]", d.clockModeChoices[2]} << Named{"saveButton", d.saveButton}
               << Named{"aboutButton", d.aboutButton} << Named{"closeButton", d.closeButton};
             return s;
         }},
        {"mouse sensitivity dialog",
         [&] {
             settingsDialog().mouseSensitivityButton->press();
             return &mouseDialog();
         },
         [&] {
             // The cross of bars and fields, row by row, then the close button.
             auto& d = mouseDialog();
             return QList<Named>{{"topBottomMarginBars[0]", d.topBottomMarginBars[0]},
                                 {"marginValueBoxes[2]", d.marginValueBoxes[2]},
                                 {"sideMarginBars[0]", d.sideMarginBars[0]},
                                 {"marginValueBoxes[0]", d.marginValueBoxes[0]},
                                 {"marginValueBoxes[1]", d.marginValueBoxes[1]},
                                 {"sideMarginBars[1]", d.sideMarginBars[1]},
                                 {"marginValueBoxes[3]", d.marginValueBoxes[3]},
                                 {"topBottomMarginBars[1]", d.topBottomMarginBars[1]},
                                 {"closeButton", d.closeButton}};
         }},
        {"ASCII-art dialog",
         [&] {
             settingsDialog().asciiArtSettingsButton->press();
             return &t->program().asciiArtDialog();
         },
         [&] {
             // The names column with its options and buttons, then the text beside it.
             auto& d = t->program().asciiArtDialog();
             QList<Named> s{{"pageList", d.pageList},
                            {"nameBoxes[0]", d.nameBoxes[0]},
                            {"entryChoices[0]", d.entryChoices[0]}};
             appendAll(s, "nameBoxes", d.nameBoxes, 1, 19);
             appendAll(s, "optionChecks", d.optionChecks, 0, 2);
             s << Named{"saveButton", d.saveButton} << Named{"closeButton", d.closeButton}
               << Named{"pieceTextBox", d.pieceTextBox};
             return s;
         }},
        {"batch registration dialog",
         [&] {
             settingsDialog().batchRegistrationButton->press();
             return t->program().batchDialog();
         },
         [&] {
             auto& d = *t->program().batchDialog();
             return QList<Named>{{"linesBox", d.linesBox},
                                 {"registerButton", d.registerButton},
                                 {"fetchButton", d.fetchButton},
                                 {"clearButton", d.clearButton},
                                 {"closeButton", d.closeButton}};
         }},
        {"About dialog",
         [&] {
             settingsDialog().aboutButton->press();
             return t->program().aboutDialog();
         },
         [&] {
             return QList<Named>{{"okButton", t->program().aboutDialog()->okButton}};
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
    paletteWindow().settingsButton->press();
    QVERIFY(openAndActive(&settingsDialog()));
    settingsDialog().mouseSensitivityButton->setFocus();
    key(Qt::Key_Return);
    QVERIFY(mouseDialog().isVisible());
    QVERIFY(openAndActive(&mouseDialog()));

    // The arrow keys step the focused scroll bar; the field beside it follows.
    mouseDialog().topBottomMarginBars[1]->setFocus();
    key(Qt::Key_Down);
    QCOMPARE(mouseDialog().topBottomMarginBars[1]->value(), 10001);
    QCOMPARE(mouseDialog().marginValueBoxes[3]->text(), QStringLiteral("-1"));
    mouseDialog().sideMarginBars[0]->setFocus();
    key(Qt::Key_Left);
    QCOMPARE(mouseDialog().sideMarginBars[0]->value(), 9999);
    QCOMPARE(mouseDialog().marginValueBoxes[0]->text(), QStringLiteral("1"));
    mouseDialog().topBottomMarginBars[0]->setFocus();
    key(Qt::Key_Up);
    QCOMPARE(mouseDialog().topBottomMarginBars[0]->value(), 9999);
    key(Qt::Key_Right);
    QCOMPARE(mouseDialog().topBottomMarginBars[0]->value(), 10000);

    // Space presses the focused button: "閉じる" hides the dialog.
    mouseDialog().closeButton->setFocus();
    key(Qt::Key_Space);
    QVERIFY(!mouseDialog().isVisible());

    // Arrow keys choose within an option group, and the choice takes effect as a click does.
    QVERIFY(openAndActive(&settingsDialog()));
    settingsDialog().clockModeChoices[2]->setFocus();
    key(Qt::Key_Left);
    QVERIFY(settingsDialog().clockModeChoices[1]->value());
    QVERIFY(settingsDialog().clockModeChoices[1]->hasFocus());
    QCOMPARE(t->state().clockMode, QStringLiteral("1"));
    // Check boxes toggle with Space, lists move with the arrows.
    settingsDialog().optionChecks[option::kKeepUserClipboard]->setFocus();
    key(Qt::Key_Space);
    QCOMPARE(settingsDialog().optionChecks[option::kKeepUserClipboard]->value(), 1);
    settingsDialog().doubleClickActionList->setFocus();
    key(Qt::Key_Down);
    QCOMPARE(settingsDialog().doubleClickActionList->listIndex(), 2);

    // Escape closes the dialog as its close box does: hidden, not destroyed.
    key(Qt::Key_Escape);
    QVERIFY(!settingsDialog().isVisible());
}

void KeyboardTest::paletteNeverTakesTheFocus() {
    QVERIFY(paletteWindow().windowFlags() & Qt::WindowDoesNotAcceptFocus);
    QCOMPARE(paletteWindow().focusPolicy(), Qt::NoFocus);
    for (QWidget* widget : paletteWindow().findChildren<QWidget*>())
        QVERIFY2(widget->focusPolicy() == Qt::NoFocus, widget->metaObject()->className());
}

QTEST_MAIN(KeyboardTest)
#include "keyboard.moc"
