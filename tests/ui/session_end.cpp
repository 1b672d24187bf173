// The desktop ends the program: a signal, the session manager's save request and its order to
// end. Each runs the palette's exit (the automatic save when it is on) without asking anything.
// On Windows there are no end signals (a program without a console gets none): the session's end
// comes as messages, which Qt turns into the save request and the Quit event.
#include "app/session_end.h"
#include "palette/palette_window.h"
#include "settings/settings_dialog.h"
#include "storage/text_codec.h"
#include "test_program.h"
#include <QtTest>
#include <csignal>
#ifdef _WIN32
#include "platform/textfile.h"
#include <cerrno>
#include <optional>
#else
#include <sys/stat.h>
#endif

namespace {
const QString kKaomoji = QStringLiteral("顔文字.ini");
const QString kEdit = QStringLiteral("(・∀・)編集");

bool holdsEdit(const std::string& bytes) {
    return bytes.find(storage::toCp932(kEdit)) != std::string::npos;
}

#ifdef _WIN32
// Every write of the program refused while it lives, as a folder the user may not write in
// refuses it (a folder's read-only attribute means nothing on Windows).
struct WritesRefused {
    WritesRefused() {
        platform::textfile::testing::setWriteFault(
            [](platform::textfile::testing::WriteStage, const std::filesystem::path&) { return EACCES; });
    }
    ~WritesRefused() { platform::textfile::testing::setWriteFault({}); }
    WritesRefused(const WritesRefused&) = delete;
    WritesRefused& operator=(const WritesRefused&) = delete;
};
#endif
} // namespace

class SessionEndTest : public QObject {
    Q_OBJECT
private slots:
    void endingSavesWithoutAsking_data();
    void endingSavesWithoutAsking();
    void harmlessSignalsChangeNothing();
    void sessionSaveRequestSavesAndGoesOn();
};

void SessionEndTest::endingSavesWithoutAsking_data() {
    QTest::addColumn<QList<int>>("burst"); // signals sent back to back; none: the Quit event
    QTest::addColumn<bool>("autoSave");
    QTest::addColumn<bool>("writable");
    const QList<QPair<const char*, QList<int>>> ways = {
#ifndef _WIN32 // no end signals on Windows
        {"SIGTERM", {SIGTERM}},
        {"SIGHUP", {SIGHUP}},
        {"SIGINT", {SIGINT}},
        {"SIGQUIT", {SIGQUIT}},
        // systemd ends a login session so; before, the second signal killed the process unsaved.
        {"SIGTERM, SIGCONT, SIGHUP", {SIGTERM, SIGCONT, SIGHUP}},
        {"SIGINT twice", {SIGINT, SIGINT}},
#endif
        {"session manager's end", {}},
    };
    for (const auto& [how, burst] : ways) {
        QTest::addRow("%s, automatic saving", how) << burst << true << true;
        QTest::addRow("%s, no automatic saving", how) << burst << false << true;
        QTest::addRow("%s, save fails", how) << burst << true << false;
    }
}

void SessionEndTest::endingSavesWithoutAsking() {
    QFETCH(QList<int>, burst);
    QFETCH(bool, autoSave);
    QFETCH(bool, writable);
    TestProgram t;
    t.writeSelfNamingKaomojiFile();
    const std::string before = t.readBytes(kKaomoji);
    t.start();
    UserAnswers answers(t);
    t.program().settingsDialog().optionChecks[option::kSaveOnExit]->setValue(autoSave ? 1 : 0);
    t.state().kaomoji.at(0, 1, 0) = kEdit;
#ifdef _WIN32
    std::optional<WritesRefused> refused;
    if (!writable)
        refused.emplace();
#else
    if (!writable)
        ::chmod(t.folder().c_str(), 0555);
    // A test run as a background job starts with SIGINT ignored, and the program leaves an
    // ignored signal ignored (nohup): give them their default action first.
    for (int signalNumber : {SIGTERM, SIGHUP, SIGINT, SIGQUIT})
        std::signal(signalNumber, SIG_DFL);
#endif
    SessionEnd sessionEnd(t.program(), {}, SessionEnd::AfterEnd::ReturnFromEventLoop);

    for (int signalNumber : burst)
        std::raise(signalNumber);
    if (burst.isEmpty())
        QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit));
    QTRY_COMPARE_WITH_TIMEOUT(answers.ended, 1, 2000);
    // One ending, however many signals asked for it.
    QTest::qWait(50);
    QCOMPARE(answers.ended, 1);
#ifdef _WIN32
    refused.reset();
#else
    ::chmod(t.folder().c_str(), 0755);
#endif

    QVERIFY2(answers.asked.isEmpty(), "a question was asked with nobody there to answer it");
    QVERIFY(answers.reported.isEmpty());
    const std::string after = t.readBytes(kKaomoji);
    if (autoSave && writable)
        QVERIFY(holdsEdit(after));
    else
        QCOMPARE(after, before);
}

// Signals that mean nothing to the palette, and SIGPIPE, would end it unsaved by default.
void SessionEndTest::harmlessSignalsChangeNothing() {
#ifdef _WIN32
    QSKIP("POSIX signals: the Windows program has no end signals to tell from harmless ones");
#else
    TestProgram t;
    t.writeSelfNamingKaomojiFile();
    const std::string before = t.readBytes(kKaomoji);
    t.start();
    UserAnswers answers(t);
    t.program().settingsDialog().optionChecks[option::kSaveOnExit]->setValue(1);
    t.state().kaomoji.at(0, 1, 0) = kEdit;
    SessionEnd sessionEnd(t.program(), {}, SessionEnd::AfterEnd::ReturnFromEventLoop);
    for (int signalNumber : {SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE})
        std::raise(signalNumber);
    QTest::qWait(100);
    QCOMPARE(answers.ended, 0);
    QVERIFY(t.program().paletteWindow().isVisible());
    QCOMPARE(t.readBytes(kKaomoji), before);
    // The end signals still end it, through the save.
    std::raise(SIGTERM);
    QTRY_COMPARE_WITH_TIMEOUT(answers.ended, 1, 2000);
    QVERIFY(holdsEdit(t.readBytes(kKaomoji)));
#endif
}

void SessionEndTest::sessionSaveRequestSavesAndGoesOn() {
    // The session manager's save request (also sent at checkpoints, when the session goes on).
    for (bool autoSave : {true, false}) {
        TestProgram t;
        t.writeSelfNamingKaomojiFile();
        const std::string before = t.readBytes(kKaomoji);
        t.start();
        UserAnswers answers(t);
        t.program().settingsDialog().optionChecks[option::kSaveOnExit]->setValue(autoSave ? 1 : 0);
        t.state().kaomoji.at(0, 1, 0) = kEdit;
        t.program().saveUnattended();
        QCOMPARE(answers.ended, 0);
        QVERIFY(t.program().paletteWindow().isVisible());
        QCOMPARE(holdsEdit(t.readBytes(kKaomoji)), autoSave);
        if (!autoSave)
            QCOMPARE(t.readBytes(kKaomoji), before);
    }
}

QTEST_MAIN(SessionEndTest)
#include "session_end.moc"
