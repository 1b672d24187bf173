// The settings dialog's kaomoji editor and the palette kept in step with it.
#include "palette/form1.h"
#include "settings/form2.h"
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
    Form1& f1() { return t->program().form1(); }
    Form2& f2() { return t->program().form2(); }
    storage::ProgramState& s() { return t->state(); }
    std::unique_ptr<TestProgram> t;
};

void KaomojiEditorTest::lineBreaksAreStrippedFromEntries() {
    f1().Command3->press();
    f2().Text2[0]->setText(QStringLiteral("A\r\nB"));
    QCOMPARE(f2().Text2[0]->text(), QStringLiteral("AB"));
    QCOMPARE(s().KaomojiTable.at(0, 1, 0), QStringLiteral("AB"));
    QCOMPARE(f1().Command1[0]->caption(), QStringLiteral("AB"));

    f2().Text2[1]->setText(QStringLiteral("A\nB"));
    QCOMPARE(s().KaomojiTable.at(0, 1, 1), QStringLiteral("A\nB"));
    f2().Text2[2]->setText(QStringLiteral("A\rB\r\r\nC"));
    QCOMPARE(s().KaomojiTable.at(0, 1, 2), QStringLiteral("ABC"));
}

void KaomojiEditorTest::typingChangesOneCellAndOneButton() {
    f1().Command3->press();
    f2().Combo1->setListIndex(2);
    f2().Option1[5]->setValue(true);
    QCOMPARE(s().CurrentGroup, 5);
    QCOMPARE(f1().Command1[3]->caption(), cellName(2, 6, 3));
    const QStringList before = snapshot(s().KaomojiTable);
    QStringList captions;
    for (auto* button : f1().Command1)
        captions << button->caption();

    f2().Text2[3]->setFocus();
    f2().Text2[3]->editor()->selectAll();
    QTest::keyClicks(f2().Text2[3]->editor(), QStringLiteral("(^o^)"));
    QCOMPARE(s().KaomojiTable.at(2, 6, 3), QStringLiteral("(^o^)"));
    QCOMPARE(f1().Command1[3]->caption(), QStringLiteral("(^o^)"));
    QCOMPARE(differences(before, snapshot(s().KaomojiTable)), 1);
    for (int i = 0; i < 21; ++i)
        if (i != 3)
            QCOMPARE(f1().Command1[std::size_t(i)]->caption(), captions[i]);

    // Every keystroke shows at once.
    QTest::keyClick(f2().Text2[3]->editor(), Qt::Key_Backspace);
    QCOMPARE(f1().Command1[3]->caption(), QStringLiteral("(^o^"));
    QCOMPARE(s().KaomojiTable.at(2, 6, 3), QStringLiteral("(^o^"));
}

void KaomojiEditorTest::historyPageDisablesTheGroups() {
    f1().Command3->press();
    f2().Option1[4]->setValue(true);
    f2().Combo1->setListIndex(9);
    QCOMPARE(f1().Combo1->listIndex(), 9);
    QCOMPARE(f1().SSTab1->tab(), 0);
    QCOMPARE(s().CurrentGroup, 0);
    QVERIFY(f2().Option1[0]->value());
    for (int g = 0; g < 16; ++g) {
        QVERIFY(!f2().Option1[std::size_t(g)]->isEnabled());
        QVERIFY(!f1().Command2[std::size_t(g)]->isEnabled());
    }
    QVERIFY(!f1().Command5->isEnabled());
    QCOMPARE(f1().Command1[0]->caption(), cellName(9, 1, 0));
    QCOMPARE(f2().Text2[0]->text(), cellName(9, 1, 0));

    f2().Combo1->setListIndex(4);
    QCOMPARE(f1().SSTab1->tab(), 5);
    QCOMPARE(f1().Combo1->listIndex(), 4);
    for (int g = 0; g < 16; ++g) {
        QVERIFY(f2().Option1[std::size_t(g)]->isEnabled());
        QVERIFY(f1().Command2[std::size_t(g)]->isEnabled());
    }
    QVERIFY(f1().Command5->isEnabled());
    QCOMPARE(f1().Command1[0]->caption(), cellName(4, 1, 0));
    QCOMPARE(f1().Command2[7]->caption(), cellName(4, 0, 7));
}

void KaomojiEditorTest::refreshStoresNothing() {
    const QStringList before = snapshot(s().KaomojiTable);
    f1().Command3->press();
    for (int page : {3, 9, 0, 8})
        f2().Combo1->setListIndex(page);
    f2().Option1[7]->setValue(true);
    f2().Option3[6]->setValue(true);
    f1().SSTab1->setTab(2);
    QCOMPARE(snapshot(s().KaomojiTable), before);
    QCOMPARE(s().EditGuard, 0);
}

void KaomojiEditorTest::openingInAsciiArtModeSelectsGroupZero() {
    f1().Combo1->setListIndex(3);
    f1().Command2[6]->press();
    f1().Command5->press();
    QCOMPARE(s().CurrentGroup, storage::kAsciiArtMode);
    f1().Command3->press();
    QCOMPARE(s().CurrentGroup, 0);
    QVERIFY(f2().Option1[0]->value());
    QCOMPARE(f2().Combo1->listIndex(), 3);
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(f2().Text2[std::size_t(i)]->text(), cellName(3, 1, i));
        QCOMPARE(f1().Command1[std::size_t(i)]->caption(), cellName(3, 1, i));
    }
    QVERIFY(f2().isVisible());
}

void KaomojiEditorTest::closeBoxHidesAndKeepsState() {
    f1().Command3->press();
    f2().move(200, 150);
    f2().Check1[3]->setValue(1);
    f2().Combo2->setListIndex(2);
    f2().Combo1->setListIndex(5);
    f2().Text3->setText(QStringLiteral("お気に入り"));
    const QPoint place = f2().pos();
    QVERIFY(f2().close() == false || !f2().isVisible());
    QVERIFY(!f2().isVisible());
    f1().Command3->press();
    QVERIFY(f2().isVisible());
    QCOMPARE(f2().pos(), place);
    QCOMPARE(f2().Check1[3]->value(), 1);
    QCOMPARE(f2().Combo2->listIndex(), 2);
    QCOMPARE(f2().Combo1->listIndex(), 5);
    QCOMPARE(f2().Text3->text(), QStringLiteral("お気に入り"));
    QCOMPARE(s().PageNames[5], QStringLiteral("お気に入り"));
    // "閉じる" hides too.
    f2().Command3->press();
    QVERIFY(!f2().isVisible());
}

void KaomojiEditorTest::groupCaptionEditRelabelsTheGroupButton() {
    f1().Command3->press();
    f2().Combo1->setListIndex(1);
    f2().Text1[9]->setText(QStringLiteral("怒り\r\n"));
    QCOMPARE(s().KaomojiTable.at(1, 0, 9), QStringLiteral("怒り"));
    QCOMPARE(f1().Command2[9]->caption(), QStringLiteral("怒り"));
}

void KaomojiEditorTest::entryEditInAsciiArtModeStoresNothing() {
    // The palette can enter ASCII-art mode only while the dialog is hidden; afterwards the
    // dialog's entry boxes belong to no group until a group is chosen again.
    f1().Command5->press();
    QCOMPARE(s().CurrentGroup, storage::kAsciiArtMode);
    f2().show();
    const QStringList before = snapshot(s().KaomojiTable);
    f2().Text2[4]->setText(QStringLiteral("lost"));
    QCOMPARE(snapshot(s().KaomojiTable), before);
}

void KaomojiEditorTest::charactersOutsideTheCodePageShowAsSaved() {
    f1().Command3->press();
    f2().Text2[0]->setText(QStringLiteral("ಠ_ಠ"));
    QCOMPARE(f2().Text2[0]->text(), QStringLiteral("?_?"));
    QCOMPARE(s().KaomojiTable.at(0, 1, 0), QStringLiteral("?_?"));
    QCOMPARE(f1().Command1[0]->caption(), QStringLiteral("?_?"));
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
    f1().Command3->press();
    QCOMPARE(f2().Text2[0]->text(), longEntry);

    // Typing into the long entry's box never writes a part of it back.
    QTest::keyClick(f2().Text2[0]->editor(), Qt::Key_End);
    QTest::keyClicks(f2().Text2[0]->editor(), QStringLiteral("x"));
    QTest::keyClick(f2().Text2[0]->editor(), Qt::Key_Backspace);
    QCOMPARE(f2().Text2[0]->text(), longEntry);
    QCOMPARE(s().KaomojiTable.at(0, 1, 0), longEntry);

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
    QLineEdit* edit = f2().Text2[1]->editor();
    for (const Row& row : rows) {
        // Short, so that a drop at the box's right end lands after the last character.
        const QString before = QStringLiteral("(^_^)");
        f2().Text2[1]->setText(before);
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
        QVERIFY2(f2().Text2[1]->text() == (row.taken ? before + row.text : before), row.name);
        QCOMPARE(s().KaomojiTable.at(0, 1, 1), f2().Text2[1]->text());
        QVERIFY2(row.taken || edit->text() == before, row.name);
    }

    // An edit elsewhere and a save leave the long entry whole in the file.
    QTest::keyClicks(f2().Text2[2]->editor(), QStringLiteral("z"));
    f2().Command1->press();
    const QStringList saved =
        QString::fromLatin1(t->readBytes(QStringLiteral("顔文字.ini"))).split(QStringLiteral("\r\n"));
    QCOMPARE(saved.value(20), longEntry);
    QCOMPARE(saved.value(21), QStringLiteral("(^_^)") + small);
    QCOMPARE(saved.value(22), QStringLiteral("z") + cellName(0, 1, 2));
}

QTEST_MAIN(KaomojiEditorTest)
#include "kaomoji_editor.moc"
