// Random click sequences against a small reference model of what the user asked for: clicks
// less than 220 ms apart form one double-click of the last button clicked, every other click
// is a single click; each action pastes its own entry, in click order, with the keystroke the
// target window pastes with, and the user's clipboard survives when the keep-clipboard option
// is on. The target may read the text twice and insert it late, as real ones do: every read
// gets the entry, and Enter or Tab comes after the text is in.
#include "palette/palette_window.h"
#include "settings/settings_dialog.h"
#include "test_program.h"
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtTest>
#include <optional>
#include <random>

namespace {
constexpr platform::WindowHandle kTarget = 0x4200001;
constexpr int kButtons = 6; // entries k0..k5 of the first group
constexpr int kDoubleClickMs = 220;

// Target windows by their class names, with the keystroke each must be sent; the user's rules
// for them are in the settings file that init() writes.
struct Target {
    std::vector<std::string> classNames;
    const char* keys;
};
const Target kTargets[] = {
    {{}, "^v"},
    {{"XTerm", "xterm"}, "+{INSERT}"},
    {{"Xfce4-terminal", "xfce4-terminal"}, "^+v"},
    {{"MyTerm", "myterm"}, "^+v"}, // by the user's rule
    {{"Emacs", "emacs"}, "^v"},    // the user's rule overrules the built-in Shift+Insert
    {{"Broken", "broken"}, "^v"},  // the user's rule names no keystroke: passed over
};
const QStringList kUserRules = {"[PasteKeys]", "myterm=^+v", "Emacs=^v", "Broken=^x"};
bool isPasteKeystroke(const std::string& keys) {
    return keys == "^v" || keys == "^+v" || keys == "+{INSERT}";
}

struct Scenario {
    int doubleClickAction = 0; // 0 nothing, 1 Enter, 2 Tab
    bool keepClipboard = false;
    bool toggleInputMode = false;
    bool userHasText = false;
    bool userHasPicture = false;
    int target = 0;       // in kTargets
    int secondReadMs = 0; // the target reads the text again this long after its first read
    int insertMs = 0;     // and inserts it this long after its last read
    QStringList history;  // before the clicks
    struct Click {
        int button;
        std::uint32_t at; // ms after the first click
    };
    std::vector<Click> clicks;
};

// Gaps from 0 to 600 ms; in real time a band around the double-click limit is left out, where
// the clock's granularity could put a click on either side.
Scenario makeScenario(unsigned seed, bool realTime) {
    std::mt19937 random(seed);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    Scenario s;
    s.doubleClickAction = pick(0, 2);
    s.keepClipboard = pick(0, 1) == 1;
    s.toggleInputMode = pick(0, 3) == 0;
    s.userHasText = pick(0, 2) != 0;
    s.userHasPicture = pick(0, 2) == 0;
    s.target = pick(0, int(std::size(kTargets)) - 1);
    // Within the engine's quiet time (50 ms), with room on the real clock for a late timer.
    s.secondReadMs = pick(0, 1) == 1 ? pick(1, realTime ? 20 : 40) : 0;
    s.insertMs = pick(0, 100);
    for (int i = pick(0, 4); i > 0; --i)
        s.history << QStringLiteral("h%1").arg(i);
    if (pick(0, 1) == 1)
        s.history << QStringLiteral("k%1").arg(pick(0, kButtons - 1));
    std::uint32_t at = 0;
    const int clicks = pick(1, 7);
    for (int i = 0; i < clicks; ++i) {
        if (i > 0) {
            int gap = pick(0, 600);
            while (realTime && gap > 190 && gap < 250)
                gap = pick(0, 600);
            at += std::uint32_t(gap);
        }
        s.clicks.push_back({pick(0, kButtons - 1), at});
    }
    return s;
}

struct Outcome {
    // Every keystroke the target got, the paste keystroke written as "^v:" + the text pasted,
    // and "read:" + the text for the target's second read.
    QStringList keys;
    bool keysAfterInsert = true; // every Enter and Tab came once the text was in
    QStringList history;         // the first 21 slots
    QString clipboardText;
    bool clipboardHasPicture = false;
    QList<std::uint32_t> pasteTicks; // when each "^v" came
};

// The model: what the user asked for, written from the clicks alone.
Outcome expectedOutcome(const Scenario& s, const std::vector<std::uint32_t>& clickedAt,
                        QList<std::uint32_t>* earliestPaste) {
    Outcome o;
    o.history = s.history;
    QString lastPasted;
    bool pastedAny = false;
    for (std::size_t first = 0; first < s.clicks.size();) {
        std::size_t last = first;
        while (last + 1 < s.clicks.size() && clickedAt[last + 1] - clickedAt[last] < kDoubleClickMs)
            ++last;
        const QString text = QStringLiteral("k%1").arg(s.clicks[last].button);
        o.keys << QString::fromLatin1(kTargets[s.target].keys) + QLatin1Char(':') + text;
        if (s.secondReadMs > 0)
            o.keys << QStringLiteral("read:") + text;
        earliestPaste->append(clickedAt[last] + kDoubleClickMs + 100);
        const bool isDouble = last > first;
        if (isDouble && s.doubleClickAction == 1)
            o.keys << QStringLiteral("{ENTER}");
        if (isDouble && s.doubleClickAction == 2)
            o.keys << QStringLiteral("{TAB}");
        if (s.toggleInputMode)
            o.keys << QStringLiteral("%{kanji}");
        if (!isDouble) {
            o.history.removeOne(text);
            o.history.prepend(text);
        }
        lastPasted = text;
        pastedAny = true;
        first = last + 1;
    }
    while (o.history.size() < 21)
        o.history << QString();
    o.history = o.history.mid(0, 21);
    if (s.keepClipboard || !pastedAny) {
        o.clipboardText = s.userHasText ? QStringLiteral("user's text") : QString();
        o.clipboardHasPicture = s.userHasPicture;
    } else {
        o.clipboardText = lastPasted;
    }
    return o;
}

QString describe(const Scenario& s, const std::vector<std::uint32_t>& clickedAt) {
    QStringList clicks;
    for (std::size_t i = 0; i < s.clicks.size(); ++i)
        clicks << QStringLiteral("k%1@%2").arg(s.clicks[i].button).arg(clickedAt[i]);
    return QStringLiteral("target %7 (second read %8 ms, insert %9 ms), double-click action %1, keep "
                          "clipboard %2, kanji %3, "
                          "user text %4, picture %5; clicks %6")
        .arg(s.doubleClickAction)
        .arg(s.keepClipboard)
        .arg(s.toggleInputMode)
        .arg(s.userHasText)
        .arg(s.userHasPicture)
        .arg(clicks.join(QLatin1Char(' ')))
        .arg(s.target)
        .arg(s.secondReadMs)
        .arg(s.insertMs);
}
} // namespace

class PasteModelTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { t.reset(); }
    void simulatedTimeFollowsTheModel();
    void realTimeFollowsTheModel();

private:
    PaletteWindow& paletteWindow() { return t->program().paletteWindow(); }
    // Sets the options and the user's clipboard; returns where the click times go.
    void prepare(const Scenario& s);
    void check(unsigned seed, const Scenario& s, const std::vector<std::uint32_t>& clickedAt,
               std::uint32_t start);

    // The target's reads: the paste keystroke's, and a second one when the scenario has it,
    // at secondReadDue (0: none pending); reading the clipboard then, as a real target does.
    void targetReads(const char* what);
    void readAgainIfDue();

    std::unique_ptr<TestProgram> t;
    Outcome got;
    Scenario current;
    std::uint32_t lastReadAt = 0;
    std::optional<std::uint32_t> secondReadDue;
};

void PasteModelTest::targetReads(const char* what) {
    got.keys << QString::fromLatin1(what) + QLatin1Char(':') + QGuiApplication::clipboard()->text();
    lastReadAt = t->desktop.tickCount();
}

void PasteModelTest::readAgainIfDue() {
    if (secondReadDue && t->desktop.tickCount() - *secondReadDue < 0x80000000u) {
        secondReadDue.reset();
        targetReads("read");
    }
}

void PasteModelTest::init() {
    got = Outcome();
    t = std::make_unique<TestProgram>();
    t->writeSettings(kUserRules);
    QString text;
    for (int line = 0; line < 3400; ++line)
        text += (line >= 20 && line < 20 + kButtons ? QStringLiteral("k%1").arg(line - 20) : QString()) +
                QStringLiteral("\r\n");
    t->writeText(QStringLiteral("顔文字.ini"), text);
    t->start();
    paletteWindow().clockTimer->stop();
    paletteWindow().foregroundTimer->stop();
    paletteWindow().autoHideTimer->stop();
    t->desktop.onSendKeys = [this](const std::string& k) {
        if (isPasteKeystroke(k)) {
            // The target fetches the text when it gets the paste keystroke, as a real one does.
            targetReads(k.c_str());
            got.pasteTicks << t->desktop.tickCount();
            if (current.secondReadMs > 0) {
                secondReadDue = t->desktop.tickCount() + std::uint32_t(current.secondReadMs);
                // On the real clock a timer reads again; the simulated loop reads at its tick.
                if (!t->desktop.manualTick)
                    QTimer::singleShot(current.secondReadMs, Qt::PreciseTimer, this, [this] {
                        secondReadDue = t->desktop.tickCount();
                        readAgainIfDue();
                    });
            }
            return;
        }
        if (k == "{ENTER}" || k == "{TAB}")
            got.keysAfterInsert =
                got.keysAfterInsert && t->desktop.tickCount() - lastReadAt >= std::uint32_t(current.insertMs);
        got.keys << QString::fromStdString(k);
    };
}

void PasteModelTest::prepare(const Scenario& s) {
    got = Outcome();
    current = s;
    secondReadDue.reset();
    t->desktop.windowClasses[kTarget] = kTargets[s.target].classNames;
    auto& settingsDialog = t->program().settingsDialog();
    settingsDialog.doubleClickActionList->setListIndex(s.doubleClickAction);
    settingsDialog.optionChecks[option::kKeepUserClipboard]->setValue(s.keepClipboard ? 1 : 0);
    settingsDialog.optionChecks[option::kLeaveInputMode]->setValue(s.toggleInputMode ? 0 : 1);
    auto& table = t->state().kaomoji;
    for (int i = 0; i < 21; ++i)
        table.at(9, 1, i) = i < s.history.size() ? s.history[i] : QString();
    paletteWindow().targetWindow = kTarget;
    t->desktop.foreground = 0;
    auto* data = new QMimeData;
    if (s.userHasText)
        data->setText(QStringLiteral("user's text"));
    if (s.userHasPicture) {
        QImage picture(5, 3, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        data->setImageData(picture);
    }
    QGuiApplication::clipboard()->setMimeData(data);
}

void PasteModelTest::check(unsigned seed, const Scenario& s, const std::vector<std::uint32_t>& clickedAt,
                           std::uint32_t start) {
    QList<std::uint32_t> earliest;
    const Outcome want = expectedOutcome(s, clickedAt, &earliest);
    auto& table = t->state().kaomoji;
    for (int i = 0; i < 21; ++i)
        got.history << table.at(9, 1, i);
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    got.clipboardText = clipboard ? clipboard->text() : QString();
    got.clipboardHasPicture = clipboard && clipboard->hasImage();
    const QString context = QStringLiteral("seed %1: %2").arg(seed).arg(describe(s, clickedAt));
    auto same = [&](const auto& actual, const auto& expected, const char* what) {
        if (actual == expected)
            return true;
        QDebug(QtWarningMsg) << context << "\n"
                             << what << "\n  got     " << actual << "\n  wanted  " << expected;
        return false;
    };
    bool ok = same(got.keys, want.keys, "keys") &&
              same(got.keysAfterInsert, true, "Enter or Tab after the text") &&
              same(got.history, want.history, "history") &&
              same(got.clipboardText, want.clipboardText, "clipboard text") &&
              same(got.clipboardHasPicture, want.clipboardHasPicture, "clipboard picture");
    // No paste comes before its action's 220 ms and the 100 ms after the foreground switch.
    for (int i = 0; ok && i < got.pasteTicks.size() && i < earliest.size(); ++i)
        ok = same(got.pasteTicks[i] - start >= earliest[i], true, "paste not too early");
    QVERIFY2(ok, qPrintable(context));
}

void PasteModelTest::simulatedTimeFollowsTheModel() {
    constexpr unsigned kSeeds = 400;
    for (unsigned seed = 1; seed <= kSeeds; ++seed) {
        const Scenario s = makeScenario(seed, false);
        prepare(s);
        const std::uint32_t start = 1000000u + seed * 100000u;
        std::vector<std::uint32_t> clickedAt;
        std::size_t next = 0;
        for (std::uint32_t now = 0;; ++now) {
            t->desktop.manualTick = start + now;
            readAgainIfDue();
            while (next < s.clicks.size() && s.clicks[next].at == now) {
                clickedAt.push_back(now);
                paletteWindow().entryButtons[std::size_t(s.clicks[next].button)]->press();
                ++next;
            }
            paletteWindow().runDuePasteSteps();
            if (next == s.clicks.size() && !paletteWindow().pastesPending())
                break;
            QVERIFY2(now < 60000, "the pastes never end");
        }
        check(seed, s, clickedAt, start);
        if (QTest::currentTestFailed())
            return;
    }
}

// The same on the real clock, with the engine's own timers, for a few seeds (more with
// PASTE_MODEL_REAL_SEEDS=n).
void PasteModelTest::realTimeFollowsTheModel() {
    const unsigned seeds = qEnvironmentVariableIsSet("PASTE_MODEL_REAL_SEEDS")
                               ? unsigned(qEnvironmentVariableIntValue("PASTE_MODEL_REAL_SEEDS"))
                               : 6u;
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        const Scenario s = makeScenario(seed, true);
        prepare(s);
        std::vector<std::uint32_t> clickedAt;
        const std::uint32_t start = t->desktop.tickCount() + 20;
        for (const auto& click : s.clicks) {
            QTimer::singleShot(int(start + click.at - t->desktop.tickCount()), Qt::PreciseTimer, this,
                               [this, &clickedAt, start, button = click.button] {
                                   clickedAt.push_back(t->desktop.tickCount() - start);
                                   paletteWindow().entryButtons[std::size_t(button)]->press();
                               });
        }
        // Done once every click has come and the target has been quiet for longer than the
        // bound of a paste.
        std::uint32_t quietSince = t->desktop.tickCount();
        qsizetype keysSeen = 0;
        while (clickedAt.size() < s.clicks.size() || t->desktop.tickCount() - quietSince < 1200) {
            QTest::qWait(20);
            if (got.keys.size() != keysSeen || clickedAt.size() < s.clicks.size()) {
                keysSeen = got.keys.size();
                quietSince = t->desktop.tickCount();
            }
        }
        check(seed, s, clickedAt, start);
        if (QTest::currentTestFailed())
            return;
    }
}

QTEST_MAIN(PasteModelTest)
#include "paste_model.moc"
