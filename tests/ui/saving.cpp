// "設定保存", "終了" and the palette's close box: what reaches the files, byte for byte.
#include "asciiart/ascii_art_dialog.h"
#include "palette/palette_window.h"
#include "settings/settings_dialog.h"
#include "storage/text_codec.h"
#include "test_program.h"
#include <QtTest>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {
const QString kSettings = QStringLiteral("設定.ini");
const QString kKaomoji = QStringLiteral("顔文字.ini");

std::string crlf(const QStringList& lines) {
    return storage::toCp932(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

} // namespace

class SavingTest : public QObject {
    Q_OBJECT
private slots:
    void freshSettingsFileHasEveryKeyInOrder();
    void existingFileKeepsItsOtherLines();
    void positionsNearOrBeyondTheEdgesAreNotStored();
    void placesMovedIntoViewAreKeptUntilTheUserMoves();
    void widthIsNotStoredWhenMaximizedOrMinimized();
    void greyedCheckCountsForAutoSaveButNotForPositions();
    void exitWithoutAutoSaveWritesNothing();
    void exitWithAutoSaveWritesEverything();
    void closeBoxIsExit();
    void readOnlyKaomojiFileIsReported();
    void unwritableFolderIsReportedAndExitCanBeRefused();
};

void SavingTest::freshSettingsFileHasEveryKeyInOrder() {
    TestProgram t;
    t.start();
    UserAnswers answers(t);
    auto& settingsDialog = t.program().settingsDialog();
    settingsDialog.saveButton->press();
    QVERIFY(answers.reported.isEmpty());
    QStringList expected = {QStringLiteral("[Options]")};
    const int checks[10] = {1, 1, 1, 0, 1, 0, 0, 1, 1, 0};
    for (int i = 0; i < 10; ++i)
        expected << QStringLiteral("Check%1=%2").arg(i).arg(checks[i]);
    expected << QStringLiteral("PageNumber=0") << QStringLiteral("Time=2") << QStringLiteral("DoubleClick=1")
             << QStringLiteral("[ColorOptions]") << QStringLiteral("Color1=12648384")
             << QStringLiteral("Color2=16761087") << QStringLiteral("Color3=16777088")
             << QStringLiteral("ToolTipBackColor=11829860") << QStringLiteral("ToolTipFontColor=16777215")
             << QStringLiteral("[Form]") << QStringLiteral("Form1Left=0") << QStringLiteral("Form1Top=0")
             << QStringLiteral("Form2Left=4680") << QStringLiteral("Form2Top=0")
             << QStringLiteral("Form1Width=4710") << QStringLiteral("[MouseOptions]")
             << QStringLiteral("MouseX=10000") << QStringLiteral("MouseXX=10000")
             << QStringLiteral("MouseY=10000") << QStringLiteral("MouseYY=10000")
             << QStringLiteral("[PageName]");
    for (int page = 1; page <= 9; ++page)
        expected << QStringLiteral("Page%1=ページ").arg(page) + QChar(char16_t(0xFF10 + page));
    expected << QStringLiteral("Page10=履歴");
    QCOMPARE(t.readBytes(kSettings), crlf(expected));
    // The kaomoji file: 3400 empty lines.
    std::string empty;
    for (int i = 0; i < 3400; ++i)
        empty += "\r\n";
    QCOMPARE(t.readBytes(kKaomoji), empty);
}

void SavingTest::existingFileKeepsItsOtherLines() {
    TestProgram t;
    const std::string original =
        "; hand-written notes\r\n[Options]\r\nCheck1=0\r\nUnknownKey=kept\r\n\r\n[Other]\nx=1\n";
    t.writeBytes(kSettings, original);
    t.start();
    UserAnswers answers(t);
    auto& settingsDialog = t.program().settingsDialog();
    settingsDialog.optionChecks[option::kKeepUserClipboard]->setValue(1);
    settingsDialog.saveButton->press();
    const std::string saved = t.readBytes(kSettings);
    QVERIFY(saved.rfind("; hand-written notes\r\n[Options]\r\nCheck1=0\r\nUnknownKey=kept\r\n", 0) == 0);
    QVERIFY(saved.find("Check3=1\r\n") != std::string::npos);
    QVERIFY(saved.find("\r\n[Other]\nx=1\n") != std::string::npos);
    // Saving again changes nothing.
    settingsDialog.saveButton->press();
    QCOMPARE(t.readBytes(kSettings), saved);
}

void SavingTest::positionsNearOrBeyondTheEdgesAreNotStored() {
    TestProgram t;
    t.desktop.area = {0, 0, 1280, 1024}; // 19200 x 15360 twips
    t.writeSettings({"[Form]", "Form1Left=1500", "Form1Top=1500", "Form2Left=3000", "Form2Top=3000"});
    t.start();
    UserAnswers answers(t);
    auto& paletteWindow = t.program().paletteWindow();
    auto& settingsDialog = t.program().settingsDialog();
    paletteWindow.setLeftTwips(-300);
    // Positions snap to whole pixels (15 twips): 14850 is the last one above H - 500 = 14860,
    // 18705 the first one at or beyond W - 500 = 18700.
    paletteWindow.setTopTwips(14850);
    settingsDialog.setLeftTwips(18705);
    settingsDialog.setTopTwips(14865);
    settingsDialog.saveButton->press();
    const std::string saved = t.readBytes(kSettings);
    QVERIFY(saved.find("Form1Left=1500\r\n") != std::string::npos);
    QVERIFY(saved.find("Form1Top=14850\r\n") != std::string::npos);
    QVERIFY(saved.find("Form2Left=3000\r\n") != std::string::npos);
    QVERIFY(saved.find("Form2Top=3000\r\n") != std::string::npos);

    settingsDialog.setLeftTwips(18690);
    settingsDialog.saveButton->press();
    QVERIFY(t.readBytes(kSettings).find("Form2Left=18690\r\n") != std::string::npos);
}

// Started once without the second screen the windows stood on: moved into view, they keep
// their stored places until the user moves them.
void SavingTest::placesMovedIntoViewAreKeptUntilTheUserMoves() {
    TestProgram t;
    t.desktop.area = {0, 0, 800, 600};
    t.writeSettings({"[Options]", "Check8=1", "[Form]", "Form1Left=30000", "Form1Top=1500", "Form2Left=3000",
                     "Form2Top=20000"});
    t.start();
    UserAnswers answers(t);
    auto& paletteWindow = t.program().paletteWindow();
    auto& settingsDialog = t.program().settingsDialog();
    QVERIFY(paletteWindow.leftTwips() < 12000);
    QVERIFY(settingsDialog.topTwips() < 9000);
    settingsDialog.saveButton->press();
    const std::string saved = t.readBytes(kSettings);
    for (const char* kept :
         {"Form1Left=30000\r\n", "Form1Top=1500\r\n", "Form2Left=3000\r\n", "Form2Top=20000\r\n"})
        QVERIFY2(saved.find(kept) != std::string::npos, kept);
    // The user moves the palette: its new place is the one to keep; the dialog's stays.
    paletteWindow.setLeftTwips(1500);
    paletteWindow.exitButton->press();
    QCOMPARE(answers.ended, 1);
    const std::string atExit = t.readBytes(kSettings);
    QVERIFY(atExit.find("Form1Left=1500\r\n") != std::string::npos);
    QVERIFY(atExit.find("Form2Top=20000\r\n") != std::string::npos);
}

void SavingTest::widthIsNotStoredWhenMaximizedOrMinimized() {
    for (bool maximize : {true, false}) {
        TestProgram t;
        t.start();
        UserAnswers answers(t);
        auto& paletteWindow = t.program().paletteWindow();
        if (maximize)
            paletteWindow.showMaximized();
        else
            paletteWindow.showMinimized();
        QTRY_VERIFY(paletteWindow.windowState() != controls::WindowState::Normal);
        t.program().settingsDialog().saveButton->press();
        const std::string saved = t.readBytes(kSettings);
        QVERIFY(saved.find("Form1Left=") != std::string::npos);
        QVERIFY2(saved.find("Form1Width=") == std::string::npos, maximize ? "maximized" : "minimized");
    }
}

void SavingTest::greyedCheckCountsForAutoSaveButNotForPositions() {
    TestProgram t;
    t.writeSettings({"[Options]", "Check2=2", "Check4=2", "Check8=2"});
    t.start();
    UserAnswers answers(t);
    t.program().paletteWindow().exitButton->press();
    QCOMPARE(answers.ended, 1);
    const std::string saved = t.readBytes(kSettings);
    QVERIFY(saved.find("Check2=2\r\n") != std::string::npos);
    QVERIFY(saved.find("Form1Left") == std::string::npos);
    QVERIFY(saved.find("Form1Width") == std::string::npos);
    QVERIFY(saved.find("Form2Top") == std::string::npos);
    QVERIFY(std::filesystem::exists(t.path(kKaomoji)));
}

void SavingTest::exitWithoutAutoSaveWritesNothing() {
    TestProgram t;
    t.writeSettings({"[Options]", "Check8=0"});
    const std::string before = t.readBytes(kSettings);
    t.start();
    UserAnswers answers(t);
    t.program().settingsDialog().optionChecks[option::kKeepUserClipboard]->setValue(1);
    t.state().kaomoji.at(9, 1, 0) = QStringLiteral("(^_^)");
    t.program().paletteWindow().exitButton->press();
    QCOMPARE(answers.ended, 1);
    QCOMPARE(t.readBytes(kSettings), before);
    QVERIFY(!std::filesystem::exists(t.path(kKaomoji)));
    QVERIFY(!std::filesystem::exists(t.path(QStringLiteral("AA"))));
    QVERIFY(!t.state().tipWindow);
}

void SavingTest::exitWithAutoSaveWritesEverything() {
    TestProgram t;
    t.start();
    UserAnswers answers(t);
    t.state().kaomoji.at(9, 1, 0) = QStringLiteral("(^_^)");
    t.state().asciiArtTexts.at(2, 5) = QStringLiteral("A\r\nB");
    t.program().paletteWindow().exitButton->press();
    QCOMPARE(answers.ended, 1);
    QVERIFY(answers.asked.isEmpty());
    QVERIFY(t.readBytes(kKaomoji).find("\r\n(^_^)\r\n") != std::string::npos);
    QVERIFY(t.readBytes(kSettings).find("[PageName]") != std::string::npos);
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_2_05.txt")), std::string("A\r\nB\r\n"));
    QVERIFY(std::filesystem::exists(t.path(QStringLiteral("AA/AAOptions.ini"))));
}

void SavingTest::closeBoxIsExit() {
    TestProgram t;
    t.start();
    UserAnswers answers(t);
    t.state().kaomoji.at(0, 0, 0) = QStringLiteral("顔");
    QVERIFY(t.program().paletteWindow().close());
    QCOMPARE(answers.ended, 1);
    QVERIFY(t.readBytes(kKaomoji).rfind(storage::toCp932(QStringLiteral("顔\r\n")), 0) == 0);
}

void SavingTest::readOnlyKaomojiFileIsReported() {
    TestProgram t;
    t.writeBytes(kKaomoji, "old\r\n");
    makeReadOnly(t.path(kKaomoji)); // on Windows the read-only attribute
    t.start();
    UserAnswers answers(t);
    t.state().kaomoji.at(0, 0, 1) = QStringLiteral("new");
    t.program().settingsDialog().saveButton->press();
    QCOMPARE(answers.reported.size(), 1);
    QCOMPARE(answers.reported[0], QStringList{kKaomoji});
    QCOMPARE(t.readBytes(kKaomoji), std::string("old\r\n"));
    QCOMPARE(t.state().kaomoji.at(0, 0, 1), QStringLiteral("new"));
    // The settings file was still written.
    QVERIFY(std::filesystem::exists(t.path(kSettings)));
}

void SavingTest::unwritableFolderIsReportedAndExitCanBeRefused() {
#ifdef _WIN32
    QSKIP("a folder's read-only attribute means nothing on Windows, which keeps a folder from being "
          "written by its access list; save_faults' faultAtExitKeepsProgramOpen refuses the exit "
          "after a failed save there too");
#else
    TestProgram t;
    t.start();
    UserAnswers answers(t);
    t.state().kaomoji.at(0, 1, 0) = QStringLiteral("(；´Д｀)");
    ::chmod(t.folder().c_str(), 0555);
    t.program().settingsDialog().saveButton->press();
    QCOMPARE(answers.reported.size(), 1);
    QVERIFY(answers.reported[0].contains(kKaomoji));
    QVERIFY(answers.reported[0].contains(kSettings));

    // At exit the user is asked; "no" keeps the program and everything in it.
    QVERIFY(!t.program().paletteWindow().close());
    QCOMPARE(answers.asked.size(), 1);
    QVERIFY(answers.asked[0].contains(QStringLiteral("AA/AAOptions.ini")));
    QCOMPARE(answers.ended, 0);
    QVERIFY(t.state().tipWindow);
    QCOMPARE(t.state().kaomoji.at(0, 1, 0), QStringLiteral("(；´Д｀)"));

    // Once the folder is writable again, "終了" saves and ends.
    ::chmod(t.folder().c_str(), 0755);
    t.program().paletteWindow().exitButton->press();
    QCOMPARE(answers.ended, 1);
    QVERIFY(t.readBytes(kKaomoji).find(storage::toCp932(QStringLiteral("(；´Д｀)"))) != std::string::npos);
#endif
}

QTEST_MAIN(SavingTest)
#include "saving.moc"
