// The ASCII-art store: "AA/AAOptions.ini" and one text file per non-empty piece.
#include "asciiart/aa_store.h"
#include "asciiart/ascii_art_dialog.h"
#include "settings/settings_dialog.h"
#include "storage/text_codec.h"
#include "test_program.h"
#include <QtTest>

namespace {
const QString kOptions = QStringLiteral("AA/AAOptions.ini");
struct Quiet {
    explicit Quiet(TestProgram& t) {
        t.state().reportSaveFailure = [this](const QStringList& files) { reported << files; };
    }
    QList<QStringList> reported;
};
} // namespace

class AsciiArtStoreTest : public QObject {
    Q_OBJECT
private slots:
    void noFolderLoadsEmptyAndFirstSaveCreatesIt();
    void textsKeepTheirLineBreaks();
    void fileOfOnlyALineBreakLoadsEmptyAndIsDeleted();
    void clearingTextDeletesTheFileClearingNameKeepsIt();
    void longNameIsCutOnACharacterBoundary();
    void fileNamesHaveTwoDigitEntries();
    void optionsLoadAndSave();
    void unwritableTextFileIsReportedAndTheRestIsSaved();
    void unchangedTextsAreNotRewritten();
    void longTextsComeBackWholeTooLargeAreKept();
};

void AsciiArtStoreTest::noFolderLoadsEmptyAndFirstSaveCreatesIt() {
    TestProgram t;
    t.start();
    Quiet quiet(t);
    auto& s = t.state();
    for (int page = 1; page <= 9; ++page)
        for (int entry = 0; entry < 20; ++entry) {
            QCOMPARE(s.asciiArtNames.at(page, entry), QString());
            QCOMPARE(s.asciiArtTexts.at(page, entry), QString());
        }
    for (auto* box : t.program().asciiArtDialog().optionChecks)
        QCOMPARE(box->value(), 1);
    t.program().asciiArtDialog().saveButton->press();
    QVERIFY(quiet.reported.isEmpty());
    QVERIFY(std::filesystem::is_directory(t.path(QStringLiteral("AA"))));
    QString expected;
    for (int page = 1; page <= 9; ++page) {
        expected += QStringLiteral("[Page%1]\r\n").arg(page);
        for (int entry = 0; entry < 20; ++entry)
            expected += QStringLiteral("Name_%1=\r\n").arg(entry);
    }
    expected += QStringLiteral("[Options]\r\nFrontLine=1\r\nBackLine=1\r\n[ToolTipOptions]\r\nDisplay=1\r\n");
    QCOMPARE(t.readBytes(kOptions), storage::toCp932(expected));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(t.path(QStringLiteral("AA"))))
        files += entry.path().filename() != "AAOptions.ini";
    QCOMPARE(files, 0);
    // Saving the ASCII art saves everything else too.
    QVERIFY(std::filesystem::exists(t.path(QStringLiteral("設定.ini"))));
    QVERIFY(std::filesystem::exists(t.path(QStringLiteral("顔文字.ini"))));
}

void AsciiArtStoreTest::textsKeepTheirLineBreaks() {
    TestProgram t;
    t.writeBytes(QStringLiteral("AA/AAText_1_00.txt"), "A\r\nB\r\n");
    t.writeBytes(QStringLiteral("AA/AAText_1_01.txt"), "ends\r\n\r\n");
    t.writeBytes(QStringLiteral("AA/AAText_1_02.txt"), "cr\ronly\nlf");
    t.start();
    Quiet quiet(t);
    auto& s = t.state();
    QCOMPARE(s.asciiArtTexts.at(1, 0), QStringLiteral("A\r\nB"));
    QCOMPARE(s.asciiArtTexts.at(1, 1), QStringLiteral("ends\r\n"));
    QCOMPARE(s.asciiArtTexts.at(1, 2), QStringLiteral("cr\r\nonly\nlf"));
    s.asciiArtTexts.at(4, 7) = QStringLiteral("A\r\nB");
    t.program().asciiArtDialog().saveButton->press();
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_4_07.txt")), std::string("A\r\nB\r\n"));
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_1_01.txt")), std::string("ends\r\n\r\n"));
}

void AsciiArtStoreTest::fileOfOnlyALineBreakLoadsEmptyAndIsDeleted() {
    TestProgram t;
    t.writeBytes(QStringLiteral("AA/AAText_3_03.txt"), "\r\n");
    t.start();
    Quiet quiet(t);
    QCOMPARE(t.state().asciiArtTexts.at(3, 3), QString());
    t.program().asciiArtDialog().saveButton->press();
    QVERIFY(!std::filesystem::exists(t.path(QStringLiteral("AA/AAText_3_03.txt"))));
}

void AsciiArtStoreTest::clearingTextDeletesTheFileClearingNameKeepsIt() {
    TestProgram t;
    t.writeText(kOptions, QStringLiteral("[Page2]\r\nName_0=ねこ\r\nName_1=いぬ\r\n"));
    t.writeBytes(QStringLiteral("AA/AAText_2_00.txt"), "cat\r\n");
    t.writeBytes(QStringLiteral("AA/AAText_2_01.txt"), "dog\r\n");
    t.start();
    Quiet quiet(t);
    auto& s = t.state();
    QCOMPARE(s.asciiArtNames.at(2, 0), QStringLiteral("ねこ"));
    s.asciiArtTexts.at(2, 0).clear();
    s.asciiArtNames.at(2, 1).clear();
    t.program().asciiArtDialog().saveButton->press();
    QVERIFY(!std::filesystem::exists(t.path(QStringLiteral("AA/AAText_2_00.txt"))));
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_2_01.txt")), std::string("dog\r\n"));
    const std::string ini = t.readBytes(kOptions);
    QVERIFY(ini.find(storage::toCp932(QStringLiteral("Name_0=ねこ\r\n"))) != std::string::npos);
    QVERIFY(ini.find("Name_1=\r\n") != std::string::npos);
}

void AsciiArtStoreTest::longNameIsCutOnACharacterBoundary() {
    TestProgram t;
    t.writeText(kOptions, QStringLiteral("[Page1]\r\nName_0=") + QString(150, QChar(u'猫')) +
                              QStringLiteral("\r\nName_1=ab") + QChar(0) + QStringLiteral("cd\r\n"));
    t.start();
    QCOMPARE(t.state().asciiArtNames.at(1, 0), QString(127, QChar(u'猫')));
    // A name is cut at a NUL byte, as Windows reads it.
    QCOMPARE(t.state().asciiArtNames.at(1, 1), QStringLiteral("ab"));
}

void AsciiArtStoreTest::fileNamesHaveTwoDigitEntries() {
    QCOMPARE(asciiart::textFileName(2, 5), QStringLiteral("AAText_2_05.txt"));
    QCOMPARE(asciiart::textFileName(2, 15), QStringLiteral("AAText_2_15.txt"));
    QCOMPARE(asciiart::textFileName(9, 19), QStringLiteral("AAText_9_19.txt"));
}

void AsciiArtStoreTest::optionsLoadAndSave() {
    TestProgram t;
    t.writeText(kOptions, QStringLiteral(
                              "[Options]\r\nFrontLine=2\r\nBackLine=7\r\n[ToolTipOptions]\r\nDisplay=1\r\n"));
    t.start();
    Quiet quiet(t);
    auto& asciiArtDialog = t.program().asciiArtDialog();
    QCOMPARE(asciiArtDialog.optionChecks[aa_option::kLineBreakBefore]->value(),
             2); // greyed, which counts as on
    QCOMPARE(asciiArtDialog.optionChecks[aa_option::kLineBreakAfter]->value(),
             1); // no state a check box can hold: the default
    QCOMPARE(asciiArtDialog.optionChecks[aa_option::kShowPreviewTips]->value(), 1);
    asciiArtDialog.optionChecks[aa_option::kShowPreviewTips]->setValue(0);
    asciiArtDialog.saveButton->press();
    // Only 0 and 1 are ever written.
    const std::string ini = t.readBytes(kOptions);
    QVERIFY(ini.find("FrontLine=1\r\nBackLine=1\r\n") != std::string::npos);
    QVERIFY(ini.find("Display=0\r\n") != std::string::npos);
}

void AsciiArtStoreTest::unwritableTextFileIsReportedAndTheRestIsSaved() {
    TestProgram t;
    t.writeBytes(QStringLiteral("AA/AAText_1_00.txt"), "old\r\n");
    makeReadOnly(t.path(QStringLiteral("AA/AAText_1_00.txt"))); // on Windows the read-only attribute
    t.start();
    Quiet quiet(t);
    auto& s = t.state();
    s.asciiArtTexts.at(1, 0) = QStringLiteral("new");
    s.asciiArtTexts.at(1, 1) = QStringLiteral("second");
    t.program().asciiArtDialog().saveButton->press();
    QCOMPARE(quiet.reported.size(), 1);
    QCOMPARE(quiet.reported[0], QStringList{"AA/AAText_1_00.txt"});
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_1_00.txt")), std::string("old\r\n"));
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_1_01.txt")), std::string("second\r\n"));
    QCOMPARE(s.asciiArtTexts.at(1, 0), QStringLiteral("new"));
}

void AsciiArtStoreTest::unchangedTextsAreNotRewritten() {
    TestProgram t;
    t.writeBytes(QStringLiteral("AA/AAText_1_00.txt"), "same\r\n");
    t.writeBytes(QStringLiteral("AA/AAText_1_01.txt"), "old\r\n");
    t.start();
    Quiet quiet(t);
    auto inode = [&t](const char* name) { return fileIdentity(t.path(QString::fromLatin1(name))); };
    const auto same = inode("AA/AAText_1_00.txt");
    const auto old = inode("AA/AAText_1_01.txt");
    t.state().asciiArtTexts.at(1, 1) = QStringLiteral("new");
    t.program().asciiArtDialog().saveButton->press();
    QCOMPARE(inode("AA/AAText_1_00.txt"), same);
    QVERIFY(inode("AA/AAText_1_01.txt") != old);
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_1_01.txt")), std::string("new\r\n"));
}

// A piece with a line over a megabyte (an LF-only file's lines too) loads whole and a save
// writes it back unchanged; a file over the bound is not loaded, and the save keeps it and
// names it.
void AsciiArtStoreTest::longTextsComeBackWholeTooLargeAreKept() {
    TestProgram t;
    const std::string longLine((2 << 20) + 3, 'x');
    t.writeBytes(QStringLiteral("AA/AAText_1_00.txt"), longLine + "\r\nend\r\n");
    t.writeBytes(QStringLiteral("AA/AAText_1_01.txt"), "a\nb\n");
    const auto huge = t.path(QStringLiteral("AA/AAText_1_02.txt"));
    t.writeBytes(QStringLiteral("AA/AAText_1_02.txt"), "big\r\n");
    std::filesystem::resize_file(huge, asciiart::kMaxTextBytes + 1);
    t.start();
    Quiet quiet(t);
    QCOMPARE(t.state().asciiArtTexts.at(1, 0), QString::fromStdString(longLine) + QStringLiteral("\r\nend"));
    QCOMPARE(t.state().asciiArtTexts.at(1, 1), QStringLiteral("a\r\nb"));
    QCOMPARE(t.state().asciiArtTexts.at(1, 2), QString());
    t.program().asciiArtDialog().saveButton->press();
    QCOMPARE(quiet.reported, QList<QStringList>{{QStringLiteral("AA/AAText_1_02.txt")}});
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_1_00.txt")), longLine + "\r\nend\r\n");
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_1_01.txt")), std::string("a\r\nb\r\n"));
    QCOMPARE(std::filesystem::file_size(huge), asciiart::kMaxTextBytes + 1);
}

QTEST_MAIN(AsciiArtStoreTest)
#include "asciiart_store.moc"
