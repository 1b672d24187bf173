// Clicks while the user works in a window that keystrokes cannot reach (a native window on a
// Wayland session): the entry goes on the clipboard only, the history is kept as for a paste,
// nothing is sent anywhere, and a note says why once a run. X11 windows still get their paste.
// Native windows the compositor lets the program reach get a paste through the compositor's
// own clipboard, and the user's clipboard there comes back whole.
#include "palette/clipboard_only_notice.h"
#include "palette/palette_window.h"
#include "settings/settings_dialog.h"
#include "test_program.h"
#include <QClipboard>
#include <QGuiApplication>
#include <QtTest>

namespace {
constexpr platform::WindowHandle kX11Window = 0x4200001;
constexpr platform::WindowHandle kNativeWindow = platform::WindowHandle{1} << 62 | 7;

QString clipboardText() {
    return QGuiApplication::clipboard()->text();
}
} // namespace

class UnreachableWindowTest : public QObject {
    Q_OBJECT
private slots:
    void clicksCopyOnlyAndTheNoteShowsOnce();
    void nativeWindowsPasteFromTheCompositorsClipboard();
    void keystrokeWaitsForTheCompositorsCopy();

private:
    PaletteWindow& paletteWindow() { return t->program().paletteWindow(); }
    SettingsDialog& settingsDialog() { return t->program().settingsDialog(); }
    QStringList history(int count) {
        QStringList list;
        for (int i = 0; i < count; ++i)
            list << t->state().kaomoji.at(9, 1, i);
        return list;
    }
    QList<palette::ClipboardOnlyNotice*> notes() {
        return paletteWindow().findChildren<palette::ClipboardOnlyNotice*>();
    }
    void userFocuses(platform::WindowHandle window) {
        t->desktop.foreground = window;
        paletteWindow().trackTargetWindow();
    }
    // Clicks the entry button and waits until its paste has ended.
    void click(int index) {
        paletteWindow().entryButtons[std::size_t(index)]->press();
        QTRY_VERIFY_WITH_TIMEOUT(!paletteWindow().pastesPending(), 5000);
    }
    void doubleClick(int index) {
        paletteWindow().entryButtons[std::size_t(index)]->press();
        QTest::qWait(100);
        click(index);
    }

    std::unique_ptr<TestProgram> t;
};

void UnreachableWindowTest::clicksCopyOnlyAndTheNoteShowsOnce() {
    t = std::make_unique<TestProgram>();
    t->writeNumberedFirstGroup();
    t->start();
    QStringList received;
    t->desktop.onSendKeys = [&](const std::string& k) {
        if (k == "^v")
            received << clipboardText();
    };
    // Every option that sends or restores something is on: keep the clipboard, toggle the input
    // method, Enter after a double-click.
    settingsDialog().optionChecks[option::kKeepUserClipboard]->setValue(1);
    settingsDialog().optionChecks[option::kLeaveInputMode]->setValue(0);
    settingsDialog().doubleClickActionList->setListIndex(1);
    QGuiApplication::clipboard()->setText(QStringLiteral("the user's text"));

    // The user was in an X11 window, then moved to a Wayland one: the older window is not the
    // target any more.
    userFocuses(kX11Window);
    userFocuses(platform::kUnreachableWindow);
    QCOMPARE(paletteWindow().targetWindow, platform::kUnreachableWindow);

    click(3);
    QCOMPARE(clipboardText(), QStringLiteral("k3")); // stays, despite the keep-clipboard option
    QCOMPARE(history(2), (QStringList{"k3", ""}));
    QVERIFY(t->desktop.keys.empty());
    QVERIFY(t->desktop.foregroundRequests.empty());
    QVERIFY(!paletteWindow().pastesPending());
    QCOMPARE(notes().size(), 1);
    QVERIFY(notes()[0]->isVisible());
    QVERIFY(notes()[0]->text().contains(QStringLiteral("Ctrl+V")));
    QVERIFY(!notes()[0]->geometry().intersects(paletteWindow().frameGeometry()));
    notes()[0]->hide();

    // Later clicks: no note again. A double-click copies once and leaves the history alone.
    click(5);
    QCOMPARE(clipboardText(), QStringLiteral("k5"));
    doubleClick(7);
    QCOMPARE(clipboardText(), QStringLiteral("k7"));
    QCOMPARE(history(3), (QStringList{"k5", "k3", ""}));
    QVERIFY(t->desktop.keys.empty());
    QCOMPARE(notes().size(), 1);
    QVERIFY(!notes()[0]->isVisible());

    // On the history page the buttons show the new order at once.
    paletteWindow().pageList->setListIndex(9);
    click(1);
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), QStringLiteral("k3"));
    QCOMPARE(paletteWindow().entryButtons[1]->caption(), QStringLiteral("k5"));
    paletteWindow().pageList->setListIndex(0);

    // Back in an X11 window, a click pastes as always.
    userFocuses(kX11Window);
    QGuiApplication::clipboard()->setText(QStringLiteral("the user's text"));
    click(2);
    QCOMPARE(received, QStringList{"k2"});
    QCOMPARE(t->desktop.keys.front().foreground, kX11Window);
    QCOMPARE(clipboardText(), QStringLiteral("the user's text"));
    QVERIFY(!notes()[0]->isVisible());

    // On a Wayland session the compositor may refuse to give an X11 window the focus (sway's
    // default): the entry is copied for the user's own Ctrl+V instead of nothing at all. On X11
    // a refused window abandons the paste as always.
    t->desktop.refusingWindows = {kX11Window};
    click(4);
    QCOMPARE(clipboardText(), QStringLiteral("the user's text"));
    QCOMPARE(history(1), QStringList{"k2"});
    t->desktop.waylandSession = true;
    click(4);
    QCOMPARE(clipboardText(), QStringLiteral("k4"));
    QCOMPARE(history(2), (QStringList{"k4", "k2"}));
    QCOMPARE(received, QStringList{"k2"});
}

void UnreachableWindowTest::nativeWindowsPasteFromTheCompositorsClipboard() {
    t = std::make_unique<TestProgram>();
    t->writeNumberedFirstGroup();
    t->start();
    auto& desktop = t->desktop;
    desktop.waylandSession = true;
    desktop.hasWindowClipboard = true;
    desktop.nativeWindows = {kNativeWindow};
    // What the native window pastes comes from the compositor's clipboard, fetched at Ctrl+V.
    QStringList received;
    desktop.onSendKeys = [&](const std::string& k) {
        if (k == "^v")
            received << QString::fromStdString(desktop.windowClipboard.fetch());
    };
    settingsDialog().optionChecks[option::kKeepUserClipboard]->setValue(1);
    settingsDialog().doubleClickActionList->setListIndex(1);
    QGuiApplication::clipboard()->setText(QStringLiteral("the X11 side"));
    // The user's clipboard on the compositor: any formats, any bytes (an odd byte, a NUL).
    const platform::ClipboardSnapshot users{
        {{"text/plain;charset=utf-8", "ユーザー\n"}, {"image/png", std::string("\x89PNG\0\xff", 7)}}};
    desktop.windowClipboard.setByOther(users);

    userFocuses(kNativeWindow);
    QCOMPARE(paletteWindow().targetWindow, kNativeWindow);
    click(3);
    doubleClick(4);
    QCOMPARE(received, (QStringList{"k3", "k4"}));
    QCOMPARE(desktop.keys.size(), std::size_t(3));
    QCOMPARE(desktop.keys[2].keys, std::string("{ENTER}"));
    QCOMPARE(desktop.keys[0].foreground, kNativeWindow);
    // The user's clipboard is back byte for byte; the toolkit's was never touched.
    QCOMPARE(desktop.windowClipboard.held.formats.size(), users.formats.size());
    for (std::size_t i = 0; i < users.formats.size(); ++i) {
        QCOMPARE(desktop.windowClipboard.held.formats[i].name, users.formats[i].name);
        QCOMPARE(desktop.windowClipboard.held.formats[i].bytes, users.formats[i].bytes);
    }
    QCOMPARE(clipboardText(), QStringLiteral("the X11 side"));
    QCOMPARE(history(2), (QStringList{"k3", ""}));
    QVERIFY(notes().isEmpty());

    // Where nothing can type (no keys into native windows), the entry still lands on the
    // compositor's clipboard, never left holding the user's old text (KWin copies the toolkit's
    // clipboard there only while an X11 window has the focus).
    userFocuses(platform::kUnreachableWindow);
    click(5);
    QCOMPARE(desktop.windowClipboard.held.formats.at(0).bytes, std::string("k5"));
    QCOMPARE(clipboardText(), QStringLiteral("the X11 side"));
    QCOMPARE(desktop.keys.size(), std::size_t(3));
    QCOMPARE(notes().size(), 1);

    // sway focuses whatever is clicked: a group or a page chosen gives the focus back, and a
    // click that leaves it where it was asks nothing.
    userFocuses(kNativeWindow);
    const platform::WindowHandle palette = paletteWindow().handle();
    for (auto choose : {std::function<void()>([&] { paletteWindow().groupButtons[2]->press(); }),
                        std::function<void()>([&] {
                            auto* tabs = paletteWindow().pageTabs;
                            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
                        })}) {
        desktop.foreground = palette;
        desktop.foregroundRequests.clear();
        choose();
        QCOMPARE(desktop.foregroundRequests, (std::vector<platform::WindowHandle>{kNativeWindow}));
        QCOMPARE(desktop.foreground, kNativeWindow);
        choose();
        QCOMPARE(desktop.foregroundRequests.size(), std::size_t(1));
    }

    // Copied on the compositor's clipboard once the window has read the entry: the copy stays.
    paletteWindow().pageList->setListIndex(0);
    paletteWindow().groupButtons[0]->press();
    desktop.onSendKeys = [&](const std::string& k) {
        if (k != "^v")
            return;
        received << QString::fromStdString(desktop.windowClipboard.fetch());
        desktop.windowClipboard.setByOther({{{"text/plain;charset=utf-8", "newer"}}});
    };
    click(6);
    QCOMPARE(received.back(), QStringLiteral("k6"));
    QCOMPARE(desktop.windowClipboard.held.formats.at(0).bytes, std::string("newer"));
}

void UnreachableWindowTest::keystrokeWaitsForTheCompositorsCopy() {
    // mutter pastes into native windows from its copy of the X11 clipboard, made when it has read
    // the new clipboard: a Ctrl+V before that pastes the old one.
    t = std::make_unique<TestProgram>();
    t->start();
    auto& desktop = t->desktop;
    desktop.waylandSession = true;
    desktop.windowsPastingFromCopy = {kNativeWindow};
    QStringList received;
    desktop.onSendKeys = [&](const std::string& k) {
        if (k == "^v")
            received << clipboardText();
    };
    userFocuses(kNativeWindow);
    paletteWindow().entryButtons[0]->press();
    // Well past the double-click time and the target's settling, the copy is not made yet.
    QTest::qWait(600);
    QVERIFY(desktop.keys.empty());
    (void)clipboardText(); // the compositor reads the text for its copy
    QTRY_COMPARE_WITH_TIMEOUT(desktop.keys.size(), std::size_t(1), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(!paletteWindow().pastesPending(), 5000);
    QCOMPARE(received.size(), 1);
}

QTEST_MAIN(UnreachableWindowTest)
#include "unreachable_window.moc"
