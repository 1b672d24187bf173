// Saving when the disk fails: a fault at any step of replacing any one of the program's files
// leaves that file as it was, the others written, the user told which file failed, and the
// collection in memory untouched; the next save without the fault writes everything.
#include "../common/write_faults.h"
#include "asciiart/ascii_art_dialog.h"
#include "palette/palette_window.h"
#include "platform/textfile.h"
#include "settings/settings_dialog.h"
#include "storage/text_codec.h"
#include "test_program.h"
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <map>

namespace fs = std::filesystem;

namespace {
const QString kKaomoji = QStringLiteral("顔文字.ini");
const QString kSettings = QStringLiteral("設定.ini");
const QString kOptions = QStringLiteral("AA/AAOptions.ini");
const QString kText = QStringLiteral("AA/AAText_1_00.txt");
// Written by the save for the first time (no old version).
const QString kNewText = QStringLiteral("AA/AAText_3_07.txt");

using write_faults::Error;
using write_faults::kStages;
using write_faults::stageName;
constexpr Error kErrors[] = {{ENOSPC, "ENOSPC"}, {EIO, "EIO"}, {EACCES, "EACCES"}};

// The old files: cp932 text, a hand-written comment, odd bytes that must survive.
void writeOldFiles(const TestProgram& t) {
    std::string kaomoji = storage::toCp932(QStringLiteral("にこにこ\r\n(^_^)\r\n(´・ω・｀)\r\n"));
    kaomoji += "bad\x81\r\nkana\xb1\xb2\r\n";
    t.writeBytes(kKaomoji, kaomoji);
    t.writeText(kSettings,
                QStringLiteral("; メモ\r\n[Options]\r\nCheck3=0\r\n[PageName]\r\nPage1=よく使う\r\n"));
    t.writeText(kOptions, QStringLiteral("[Page1]\r\nName_0=古い名前\r\n"));
    t.writeText(kText, QStringLiteral("  ∧＿∧\r\n （ ´∀｀）\r\n"));
}

// Every file of the folder and of AA, by name; temporary files show up here too.
std::map<QString, std::string> snapshot(const TestProgram& t) {
    std::map<QString, std::string> files;
    for (const fs::path& folder : {t.folder(), t.folder() / "AA"}) {
        if (!fs::is_directory(folder))
            continue;
        for (const auto& e : fs::directory_iterator(folder)) {
            if (!e.is_regular_file())
                continue;
            QString name = QString::fromStdString(platform::utf8FromPath(e.path().filename()));
            if (folder != t.folder())
                name.prepend(QStringLiteral("AA/"));
            files[name] = t.readBytes(name);
        }
    }
    return files;
}

QStringList names(const std::map<QString, std::string>& files) {
    QStringList list;
    for (const auto& [name, bytes] : files)
        list << name;
    return list;
}

bool sameTables(const storage::ProgramState& a, const storage::KaomojiTable& kaomoji,
                const storage::AATable& aaNames, const storage::AATable& aaTexts) {
    using storage::KaomojiTable;
    for (int p = 0; p < KaomojiTable::kPages; ++p)
        for (int r = 0; r < KaomojiTable::kRows; ++r)
            for (int s = 0; s < KaomojiTable::kSlots; ++s)
                if (a.kaomoji.at(p, r, s) != kaomoji.at(p, r, s))
                    return false;
    for (int p = storage::AATable::kFirstPage; p <= storage::AATable::kLastPage; ++p)
        for (int e = 0; e < storage::AATable::kEntries; ++e)
            if (a.asciiArtNames.at(p, e) != aaNames.at(p, e) || a.asciiArtTexts.at(p, e) != aaTexts.at(p, e))
                return false;
    return true;
}

// The user's edits since start-up: one of each kind, so every file has something new to hold.
void edit(TestProgram& t) {
    auto& s = t.state();
    s.kaomoji.at(0, 1, 1) = QStringLiteral("(*´ω｀*)");
    s.kaomoji.at(9, 1, 0) = QStringLiteral("＼(^o^)／");
    t.program().settingsDialog().optionChecks[option::kKeepUserClipboard]->setValue(1);
    s.asciiArtNames.at(1, 0) = QStringLiteral("新しい名前");
    s.asciiArtTexts.at(1, 0) = QStringLiteral("新しい\r\nアート");
    s.asciiArtTexts.at(3, 7) = QStringLiteral("(=^・^=)");
}

// Fails the given stage of every write whose target is one of the named files.
void installFault(const TestProgram& t, const QStringList& files, WriteStage stage, int err, int* calls) {
    std::vector<fs::path> targets;
    for (const QString& f : files)
        targets.push_back(t.path(f).lexically_normal());
    platform::textfile::testing::setWriteFault(
        [targets, stage, err, calls](WriteStage s, const fs::path& target) {
            if (s != stage ||
                std::find(targets.begin(), targets.end(), target.lexically_normal()) == targets.end())
                return 0;
            ++*calls;
            return err;
        });
}

enum class Trigger { SettingsDialog, AsciiArtDialog };

} // namespace

class SaveFaultsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void faultLeavesOldFileAndIsReported_data();
    void faultLeavesOldFileAndIsReported();
    void fullDiskFailsEveryFileAndLosesNothing();
    void faultAtExitKeepsProgramOpen();
};

void SaveFaultsTest::cleanup() {
    platform::textfile::testing::setWriteFault({});
}

void SaveFaultsTest::faultLeavesOldFileAndIsReported_data() {
    QTest::addColumn<int>("trigger");
    QTest::addColumn<QString>("file");
    QTest::addColumn<WriteStage>("stage");
    QTest::addColumn<int>("err");
    const std::pair<Trigger, QStringList> triggers[] = {
        {Trigger::SettingsDialog, {kKaomoji, kSettings}},
        {Trigger::AsciiArtDialog, {kKaomoji, kSettings, kOptions, kText, kNewText}}};
    for (const auto& [trigger, files] : triggers)
        for (const QString& file : files)
            for (WriteStage stage : kStages)
                for (const Error& e : kErrors)
                    QTest::addRow("%s %s %s %s",
                                  trigger == Trigger::SettingsDialog ? "settings" : "ascii-art",
                                  qPrintable(file), stageName(stage), e.name)
                        << int(trigger) << file << stage << e.value;
}

void SaveFaultsTest::faultLeavesOldFileAndIsReported() {
    QFETCH(int, trigger);
    QFETCH(QString, file);
    QFETCH(WriteStage, stage);
    QFETCH(int, err);
    TestProgram t;
    writeOldFiles(t);
    const auto old = snapshot(t);
    t.start();
    UserAnswers reports(t);
    edit(t);
    const storage::KaomojiTable kaomoji = t.state().kaomoji;
    const storage::AATable aaNames = t.state().asciiArtNames;
    const storage::AATable aaTexts = t.state().asciiArtTexts;
    auto save = [&] {
        if (Trigger(trigger) == Trigger::SettingsDialog)
            t.program().settingsDialog().saveButton->press();
        else
            t.program().asciiArtDialog().saveButton->press();
    };

    int calls = 0;
    installFault(t, {file}, stage, err, &calls);
    save();
    const auto failed = snapshot(t);
    platform::textfile::testing::setWriteFault({});

    // A file that did not exist yet has no mode to keep, so that step never runs for it.
    const bool stageRuns = !(stage == WriteStage::SetMode && !old.count(file));
    QCOMPARE(calls, stageRuns ? 1 : 0);
    if (stageRuns) {
        QCOMPARE(reports.reported.size(), 1);
        QCOMPARE(reports.reported[0], QStringList{file});
    } else {
        QVERIFY(reports.reported.isEmpty());
    }
    QVERIFY(sameTables(t.state(), kaomoji, aaNames, aaTexts));

    // The same save without the fault writes everything and reports nothing.
    save();
    QCOMPARE(reports.reported.size(), stageRuns ? 1 : 0);
    const auto written = snapshot(t);
    QVERIFY(sameTables(t.state(), kaomoji, aaNames, aaTexts));

    // No temporary file is left either time, and every file is the old one or the new one.
    QStringList expectedNames = names(written);
    if (stageRuns && !old.count(file))
        expectedNames.removeAll(file);
    QCOMPARE(names(failed), expectedNames);
    for (const auto& [name, bytes] : failed) {
        if (name == file && stageRuns) {
            QVERIFY2(bytes == old.at(name), qPrintable(name));
            QVERIFY2(bytes != written.at(name), qPrintable(name)); // the fault did hold back a change
        } else {
            QVERIFY2(bytes == written.at(name), qPrintable(name));
        }
    }
    // The old file's content came through into the new one: its odd bytes, its comment.
    QVERIFY(written.at(kKaomoji).find("bad\x81\r\nkana\xb1\xb2\r\n") != std::string::npos);
    QVERIFY(written.at(kKaomoji).find(storage::toCp932(QStringLiteral("(*´ω｀*)"))) != std::string::npos);
    QVERIFY(written.at(kSettings).rfind(storage::toCp932(QStringLiteral("; メモ\r\n[Options]\r\n")), 0) == 0);
    QVERIFY(written.at(kSettings).find("Check3=1\r\n") != std::string::npos);
    if (Trigger(trigger) == Trigger::AsciiArtDialog) {
        QCOMPARE(written.at(kText), storage::toCp932(QStringLiteral("新しい\r\nアート\r\n")));
        QCOMPARE(written.at(kNewText), storage::toCp932(QStringLiteral("(=^・^=)\r\n")));
        QVERIFY(written.at(kOptions).find(storage::toCp932(QStringLiteral("Name_0=新しい名前\r\n"))) !=
                std::string::npos);
    }
}

// A disk that is full for every write: nothing is replaced, everything is reported at once,
// nothing in memory is lost, and the save goes through once there is room again.
void SaveFaultsTest::fullDiskFailsEveryFileAndLosesNothing() {
    for (WriteStage stage : kStages) {
        TestProgram t;
        writeOldFiles(t);
        const auto old = snapshot(t);
        t.start();
        UserAnswers reports(t);
        edit(t);
        const storage::KaomojiTable kaomoji = t.state().kaomoji;
        const storage::AATable aaNames = t.state().asciiArtNames;
        const storage::AATable aaTexts = t.state().asciiArtTexts;
        int calls = 0;
        const QStringList all = {kKaomoji, kSettings, kOptions, kText, kNewText};
        installFault(t, all, stage, ENOSPC, &calls);
        t.program().asciiArtDialog().saveButton->press();
        platform::textfile::testing::setWriteFault({});
        QVERIFY2(calls >= 4, stageName(stage));
        QCOMPARE(reports.reported.size(), 1);
        QStringList expected = {kOptions, kText, kKaomoji, kSettings};
        if (stage != WriteStage::SetMode)
            expected.insert(2, kNewText);
        QCOMPARE(reports.reported[0], expected);
        auto now = snapshot(t);
        if (stage == WriteStage::SetMode)
            now.erase(kNewText);
        QVERIFY2(now == old, stageName(stage));
        QVERIFY(sameTables(t.state(), kaomoji, aaNames, aaTexts));

        t.program().asciiArtDialog().saveButton->press();
        QCOMPARE(reports.reported.size(), 1);
        const auto written = snapshot(t);
        QStringList allSorted = all;
        allSorted.sort();
        QCOMPARE(names(written), allSorted);
        for (const auto& [name, bytes] : written)
            QVERIFY2(!old.count(name) || bytes != old.at(name), qPrintable(name));
    }
}

// "終了" with automatic saving on a failing disk asks first; "no" keeps the program and the
// collection, and once the disk works again "終了" saves and ends.
void SaveFaultsTest::faultAtExitKeepsProgramOpen() {
    TestProgram t;
    writeOldFiles(t);
    const auto old = snapshot(t);
    t.start();
    UserAnswers reports(t);
    edit(t);
    const storage::KaomojiTable kaomoji = t.state().kaomoji;
    int calls = 0;
    installFault(t, {kKaomoji}, WriteStage::Fsync, EIO, &calls);
    t.program().paletteWindow().exitButton->press();
    platform::textfile::testing::setWriteFault({});
    QCOMPARE(calls, 2); // the save of everything runs twice at exit
    QCOMPARE(reports.asked.size(), 1);
    QCOMPARE(reports.asked[0], QStringList{kKaomoji});
    QCOMPARE(reports.ended, 0);
    QCOMPARE(t.readBytes(kKaomoji), old.at(kKaomoji));
    QVERIFY(sameTables(t.state(), kaomoji, t.state().asciiArtNames, t.state().asciiArtTexts));
    QVERIFY(t.program().paletteWindow().isVisible());

    t.program().paletteWindow().exitButton->press();
    QCOMPARE(reports.ended, 1);
    QCOMPARE(reports.asked.size(), 1);
    QVERIFY(t.readBytes(kKaomoji).find(storage::toCp932(QStringLiteral("(*´ω｀*)"))) != std::string::npos);
}

QTEST_MAIN(SaveFaultsTest)
#include "save_faults.moc"
