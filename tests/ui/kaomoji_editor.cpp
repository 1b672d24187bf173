// The settings dialog's kaomoji editor and the palette kept in step with it.
#include "palette/palette_window.h"
#include "settings/settings_dialog.h"
#include "test_program.h"
#include <QClipboard>
#include <QMimeData>
#include <QtTest>

namespace {

// Every cell of the table as one list, to see what an action changed.
QStringList snapshot(const storage::KaomojiTable& table) {
    QStringList cells;
    for (int page = 0; page < 10; ++page)
        for (int row = 0; row < 22; ++row)
            for (int slot = 0; slot < 22; ++slot)
                cells << table.at(page, row, slot);
    return cells;
}

int differences(const QStringList& a, const QStringList& b) {
    int count = 0;
    for (int i = 0; i < a.size(); ++i)
        count += a[i] != b[i];
    return count;
}
} // namespace

class KaomojiEditorTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        t = std::make_unique<TestProgram>();
        t->writeSelfNamingKaomojiFile();
        t->start();
    }
    void cleanup() { t.reset(); }

    void lineBreaksAreStrippedFromEntries();
    void typingChangesOneCellAndOneButton();
    void historyPageDisablesTheGroups();
    void refreshStoresNothing();
    void openingInAsciiArtModeSelectsGroupZero();
    void closeBoxHidesAndKeepsState();
    void groupCaptionEditRelabelsTheGroupButton();
    void entryEditInAsciiArtModeStoresNothing();
    void charactersOutsideTheCodePageShowAsSaved();
    void bigPastesAreRefusedLongStoredEntriesKeptWhole();

private:
    PaletteWindow& paletteWindow() { return t->program().paletteWindow(); }
    SettingsDialog& settingsDialog() { return t->program().settingsDialog(); }
    storage::ProgramState& s() { return t->state(); }
    std::unique_ptr<TestProgram> t;
};

void KaomojiEditorTest::lineBreaksAreStrippedFromEntries() {
    paletteWindow().settingsButton->press();
    settingsDialog().entryBoxes[0]->setText(QStringLiteral("A\r\nB"));
    QCOMPARE(settingsDialog().entryBoxes[0]->text(), QStringLiteral("AB"));
    QCOMPARE(s().kaomoji.at(0, 1, 0), QStringLiteral("AB"));
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), QStringLiteral("AB"));

    settingsDialog().entryBoxes[1]->setText(QStringLiteral("A\nB"));
    QCOMPARE(s().kaomoji.at(0, 1, 1), QStringLiteral("A\nB"));
    settingsDialog().entryBoxes[2]->setText(QStringLiteral("A\rB\r\r\nC"));
    QCOMPARE(s().kaomoji.at(0, 1, 2), QStringLiteral("ABC"));
}

void KaomojiEditorTest::typingChangesOneCellAndOneButton() {
    paletteWindow().settingsButton->press();
    settingsDialog().editorPageList->setListIndex(2);
    settingsDialog().groupChoices[5]->setValue(true);
    QCOMPARE(s().currentGroup, 5);
    QCOMPARE(paletteWindow().entryButtons[3]->caption(), cellName(2, 6, 3));
    const QStringList before = snapshot(s().kaomoji);
    QStringList captions;
    for (auto* button : paletteWindow().entryButtons)
        captions << button->caption();

    settingsDialog().entryBoxes[3]->setFocus();
    settingsDialog().entryBoxes[3]->editor()->selectAll();
    QTest::keyClicks(settingsDialog().entryBoxes[3]->editor(), QStringLiteral("(^o^)"));
    QCOMPARE(s().kaomoji.at(2, 6, 3), QStringLiteral("(^o^)"));
    QCOMPARE(paletteWindow().entryButtons[3]->caption(), QStringLiteral("(^o^)"));
    QCOMPARE(differences(before, snapshot(s().kaomoji)), 1);
    for (int i = 0; i < 21; ++i)
        if (i != 3)
            QCOMPARE(paletteWindow().entryButtons[std::size_t(i)]->caption(), captions[i]);

    // Every keystroke shows at once.
    QTest::keyClick(settingsDialog().entryBoxes[3]->editor(), Qt::Key_Backspace);
    QCOMPARE(paletteWindow().entryButtons[3]->caption(), QStringLiteral("(^o^"));
    QCOMPARE(s().kaomoji.at(2, 6, 3), QStringLiteral("(^o^"));
}

void KaomojiEditorTest::historyPageDisablesTheGroups() {
    paletteWindow().settingsButton->press();
    settingsDialog().groupChoices[4]->setValue(true);
    settingsDialog().editorPageList->setListIndex(9);
    QCOMPARE(paletteWindow().pageList->listIndex(), 9);
    QCOMPARE(paletteWindow().pageTabs->tab(), 0);
    QCOMPARE(s().currentGroup, 0);
    QVERIFY(settingsDialog().groupChoices[0]->value());
    for (int g = 0; g < 16; ++g) {
        QVERIFY(!settingsDialog().groupChoices[std::size_t(g)]->isEnabled());
        QVERIFY(!paletteWindow().groupButtons[std::size_t(g)]->isEnabled());
    }
    QVERIFY(!paletteWindow().asciiArtButton->isEnabled());
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), cellName(9, 1, 0));
    QCOMPARE(settingsDialog().entryBoxes[0]->text(), cellName(9, 1, 0));

    settingsDialog().editorPageList->setListIndex(4);
    QCOMPARE(paletteWindow().pageTabs->tab(), 5);
    QCOMPARE(paletteWindow().pageList->listIndex(), 4);
    for (int g = 0; g < 16; ++g) {
        QVERIFY(settingsDialog().groupChoices[std::size_t(g)]->isEnabled());
        QVERIFY(paletteWindow().groupButtons[std::size_t(g)]->isEnabled());
    }
    QVERIFY(paletteWindow().asciiArtButton->isEnabled());
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), cellName(4, 1, 0));
    QCOMPARE(paletteWindow().groupButtons[7]->caption(), cellName(4, 0, 7));
}

void KaomojiEditorTest::refreshStoresNothing() {
    const QStringList before = snapshot(s().kaomoji);
    paletteWindow().settingsButton->press();
    for (int page : {3, 9, 0, 8})
        settingsDialog().editorPageList->setListIndex(page);
    settingsDialog().groupChoices[7]->setValue(true);
    settingsDialog().pageNameChoices[6]->setValue(true);
    paletteWindow().pageTabs->setTab(2);
    QCOMPARE(snapshot(s().kaomoji), before);
    QCOMPARE(s().refilling, 0);
}

void KaomojiEditorTest::openingInAsciiArtModeSelectsGroupZero() {
    paletteWindow().pageList->setListIndex(3);
    paletteWindow().groupButtons[6]->press();
    paletteWindow().asciiArtButton->press();
    QCOMPARE(s().currentGroup, storage::kAsciiArtMode);
    paletteWindow().settingsButton->press();
    QCOMPARE(s().currentGroup, 0);
    QVERIFY(settingsDialog().groupChoices[0]->value());
    QCOMPARE(settingsDialog().editorPageList->listIndex(), 3);
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(settingsDialog().entryBoxes[std::size_t(i)]->text(), cellName(3, 1, i));
        QCOMPARE(paletteWindow().entryButtons[std::size_t(i)]->caption(), cellName(3, 1, i));
    }
    QVERIFY(settingsDialog().isVisible());
}

void KaomojiEditorTest::closeBoxHidesAndKeepsState() {
    paletteWindow().settingsButton->press();
    settingsDialog().move(200, 150);
    settingsDialog().optionChecks[option::kKeepUserClipboard]->setValue(1);
    settingsDialog().doubleClickActionList->setListIndex(2);
    settingsDialog().editorPageList->setListIndex(5);
    settingsDialog().pageNameBox->setText(QStringLiteral("お気に入り"));
    const QPoint place = settingsDialog().pos();
    QVERIFY(settingsDialog().close() == false || !settingsDialog().isVisible());
    QVERIFY(!settingsDialog().isVisible());
    paletteWindow().settingsButton->press();
    QVERIFY(settingsDialog().isVisible());
    QCOMPARE(settingsDialog().pos(), place);
    QCOMPARE(settingsDialog().optionChecks[option::kKeepUserClipboard]->value(), 1);
    QCOMPARE(settingsDialog().doubleClickActionList->listIndex(), 2);
    QCOMPARE(settingsDialog().editorPageList->listIndex(), 5);
    QCOMPARE(settingsDialog().pageNameBox->text(), QStringLiteral("お気に入り"));
    QCOMPARE(s().pageNames[5], QStringLiteral("お気に入り"));
    // "閉じる" hides too.
    settingsDialog().closeButton->press();
    QVERIFY(!settingsDialog().isVisible());
}

void KaomojiEditorTest::groupCaptionEditRelabelsTheGroupButton() {
    paletteWindow().settingsButton->press();
    settingsDialog().editorPageList->setListIndex(1);
    settingsDialog().groupNameBoxes[9]->setText(QStringLiteral("怒り\r\n"));
    QCOMPARE(s().kaomoji.at(1, 0, 9), QStringLiteral("怒り"));
    QCOMPARE(paletteWindow().groupButtons[9]->caption(), QStringLiteral("怒り"));
}

void KaomojiEditorTest::entryEditInAsciiArtModeStoresNothing() {
    // The palette can enter ASCII-art mode only while the dialog is hidden; afterwards the
    // dialog's entry boxes belong to no group until a group is chosen again.
    paletteWindow().asciiArtButton->press();
    QCOMPARE(s().currentGroup, storage::kAsciiArtMode);
    settingsDialog().show();
    const QStringList before = snapshot(s().kaomoji);
    settingsDialog().entryBoxes[4]->setText(QStringLiteral("lost"));
    QCOMPARE(snapshot(s().kaomoji), before);
}

void KaomojiEditorTest::charactersOutsideTheCodePageShowAsSaved() {
    paletteWindow().settingsButton->press();
    settingsDialog().entryBoxes[0]->setText(QStringLiteral("ಠ_ಠ"));
    QCOMPARE(settingsDialog().entryBoxes[0]->text(), QStringLiteral("?_?"));
    QCOMPARE(s().kaomoji.at(0, 1, 0), QStringLiteral("?_?"));
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), QStringLiteral("?_?"));
}

void KaomojiEditorTest::bigPastesAreRefusedLongStoredEntriesKeptWhole() {
    // A stored entry far longer than anyone could type, in the first box of the first group.
    const QString longEntry = QStringLiteral("(^o^)").repeated(40000);
    QStringList lines;
    for (int page = 0; page < 10; ++page)
        for (int row = 0; row < 17; ++row)
            for (int slot = 0; slot < 20; ++slot)
                lines << (page == 0 && row == 1 && slot == 0 ? longEntry : cellName(page, row, slot));
    t = std::make_unique<TestProgram>();
    t->writeText(QStringLiteral("顔文字.ini"), lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    t->start();
    paletteWindow().settingsButton->press();
    QCOMPARE(settingsDialog().entryBoxes[0]->text(), longEntry);

    // Typing into the long entry's box never writes a part of it back.
    QTest::keyClick(settingsDialog().entryBoxes[0]->editor(), Qt::Key_End);
    QTest::keyClicks(settingsDialog().entryBoxes[0]->editor(), QStringLiteral("x"));
    QTest::keyClick(settingsDialog().entryBoxes[0]->editor(), Qt::Key_Backspace);
    QCOMPARE(settingsDialog().entryBoxes[0]->text(), longEntry);
    QCOMPARE(s().kaomoji.at(0, 1, 0), longEntry);

    // Large enough to freeze the box for a good while if it took it.
    const QString big = QStringLiteral("(-_-)").repeated(100000);
    const QString small = QStringLiteral("(*_*)").repeated(100);
    struct Row {
        const char* name;
        bool drop;
        const QString& text;
        bool taken;
    };
    const Row rows[] = {
        {"big paste", false, big, false},
        {"big drop", true, big, false},
        {"small paste", false, small, true},
        {"small drop", true, small, true},
    };
    QLineEdit* edit = settingsDialog().entryBoxes[1]->editor();
    for (const Row& row : rows) {
        // Short, so that a drop at the box's right end lands after the last character.
        const QString before = QStringLiteral("(^_^)");
        settingsDialog().entryBoxes[1]->setText(before);
        edit->setFocus();
        edit->end(false);
        if (row.drop) {
            QMimeData data;
            data.setText(row.text);
            const QPoint at(edit->width() - 2, edit->height() / 2);
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(edit, &enter);
            QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(edit, &move);
            QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(edit, &drop);
        } else {
            QGuiApplication::clipboard()->setText(row.text);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        }
        QVERIFY2(settingsDialog().entryBoxes[1]->text() == (row.taken ? before + row.text : before),
                 row.name);
        QCOMPARE(s().kaomoji.at(0, 1, 1), settingsDialog().entryBoxes[1]->text());
        QVERIFY2(row.taken || edit->text() == before, row.name);
    }

    // An edit elsewhere and a save leave the long entry whole in the file.
    QTest::keyClicks(settingsDialog().entryBoxes[2]->editor(), QStringLiteral("z"));
    settingsDialog().saveButton->press();
    const QStringList saved =
        QString::fromLatin1(t->readBytes(QStringLiteral("顔文字.ini"))).split(QStringLiteral("\r\n"));
    QCOMPARE(saved.value(20), longEntry);
    QCOMPARE(saved.value(21), QStringLiteral("(^_^)") + small);
    QCOMPARE(saved.value(22), QStringLiteral("z") + cellName(0, 1, 2));
}

QTEST_MAIN(KaomojiEditorTest)
#include "kaomoji_editor.moc"
