// The desktop ends the program: a signal, the session manager's save request and its order to
// end. Each runs the palette's exit (the automatic save when it is on) without asking anything.
#include "app/session_end.h"
#include "palette/palette_window.h"
#include "settings/settings_dialog.h"
#include "storage/text_codec.h"
#include "test_program.h"
#include <QtTest>
#include <csignal>
#include <sys/stat.h>

namespace {
const QString kKaomoji = QStringLiteral("顔文字.ini");
const QString kEdit = QStringLiteral("(・∀・)編集");

bool holdsEdit(const std::string& bytes) {
    return bytes.find(storage::toCp932(kEdit)) != std::string::npos;
}
} // namespace

class SessionEndTest : public QObject {
    Q_OBJECT
private slots:
    void endingSavesWithoutAsking_data();
    void endingSavesWithoutAsking();
    void sessionSaveRequestSavesAndGoesOn();
};

void SessionEndTest::endingSavesWithoutAsking_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("autoSave");
    QTest::addColumn<bool>("writable");
    for (const char* how : {"SIGTERM", "SIGHUP", "SIGINT", "session manager's end"}) {
        QTest::addRow("%s, automatic saving", how) << QString::fromLatin1(how) << true << true;
        QTest::addRow("%s, no automatic saving", how) << QString::fromLatin1(how) << false << true;
        QTest::addRow("%s, save fails", how) << QString::fromLatin1(how) << true << false;
    }
}

void SessionEndTest::endingSavesWithoutAsking() {
    QFETCH(QString, how);
    QFETCH(bool, autoSave);
    QFETCH(bool, writable);
    TestProgram t;
    t.writeSelfNamingKaomojiFile();
    const std::string before = t.readBytes(kKaomoji);
    t.start();
    UserAnswers answers(t);
    t.program().settingsDialog().optionChecks[option::kSaveOnExit]->setValue(autoSave ? 1 : 0);
    t.state().kaomoji.at(0, 1, 0) = kEdit;
    if (!writable)
        ::chmod(t.folder().c_str(), 0555);
    // A test run as a background job starts with SIGINT ignored, and the program leaves an
    // ignored signal ignored (nohup): give all three their default action first.
    for (int signalNumber : {SIGTERM, SIGHUP, SIGINT})
        std::signal(signalNumber, SIG_DFL);
    SessionEnd sessionEnd(t.program(), {}, SessionEnd::AfterEnd::ReturnFromEventLoop);

    if (how == QLatin1String("SIGTERM"))
        std::raise(SIGTERM);
    else if (how == QLatin1String("SIGHUP"))
        std::raise(SIGHUP);
    else if (how == QLatin1String("SIGINT"))
        std::raise(SIGINT);
    else
        QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit));
    QTRY_COMPARE_WITH_TIMEOUT(answers.ended, 1, 2000);
    ::chmod(t.folder().c_str(), 0755);

    QVERIFY2(answers.asked.isEmpty(), "a question was asked with nobody there to answer it");
    QVERIFY(answers.reported.isEmpty());
    const std::string after = t.readBytes(kKaomoji);
    if (autoSave && writable)
        QVERIFY(holdsEdit(after));
    else
        QCOMPARE(after, before);
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
