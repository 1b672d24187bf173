// Which input-method module Qt gets: the user's where it reaches an input method on X11, else
// the input method that runs; and ibus counts as running only where Qt's module finds it.
#include "platform/x11/input_method_module.h"
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <unistd.h>

using platform::InputMethodFacts;

class InputMethodModuleTest : public QObject {
    Q_OBJECT
private slots:
    void choice_data();
    void choice();
    void ibusIsFoundWhereQtLooks();
};

void InputMethodModuleTest::choice_data() {
    QTest::addColumn<QString>("qtModule"); // "-": not set
    QTest::addColumn<bool>("fcitx5Running");
    QTest::addColumn<bool>("fcitx5QtFrontEnd");
    QTest::addColumn<bool>("ibusReachable");
    QTest::addColumn<QString>("chosen"); // "": left as it is
    QTest::newRow("nothing set, nothing runs") << "-" << false << true << false << "";
    QTest::newRow("nothing set, ibus runs") << "-" << false << true << true << "ibus";
    QTest::newRow("nothing set, fcitx5 runs") << "-" << true << true << false << "fcitx";
    // fcitx5's own ibus front end answers on ibus's bus.
    QTest::newRow("fcitx5 without its Qt front end") << "-" << true << false << true << "ibus";
    QTest::newRow("empty") << "" << true << true << false << "fcitx";
    QTest::newRow("a Wayland route") << "wayland" << false << true << true << "ibus";
    QTest::newRow("xim: only the compose table in Qt 6") << "xim" << true << true << true << "fcitx";
    QTest::newRow("the user's ibus") << "ibus" << true << true << true << "";
    QTest::newRow("the user's fcitx") << "fcitx" << false << true << true << "";
    QTest::newRow("fcitx without its front end") << "fcitx" << true << false << true << "ibus";
    QTest::newRow("the user's choice of none") << "none" << true << true << true << "";
    QTest::newRow("a module of another input method") << "uim" << false << true << true << "";
    QTest::newRow("a Wayland route, nothing runs") << "wayland" << false << true << false << "";
}

void InputMethodModuleTest::choice() {
    QFETCH(QString, qtModule);
    InputMethodFacts facts;
    if (qtModule != "-")
        facts.qtModule = qtModule.toStdString();
    QFETCH(bool, fcitx5Running);
    QFETCH(bool, fcitx5QtFrontEnd);
    QFETCH(bool, ibusReachable);
    facts.fcitx5Running = fcitx5Running;
    facts.fcitx5QtFrontEnd = fcitx5QtFrontEnd;
    facts.ibusReachable = ibusReachable;
    QFETCH(QString, chosen);
    QCOMPARE(QString::fromStdString(platform::chooseInputMethodModule(facts).value_or("")), chosen);
}

void InputMethodModuleTest::ibusIsFoundWhereQtLooks() {
    QTemporaryDir config;
    QVERIFY(config.isValid());
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qunsetenv("QT_IM_MODULE");
    qunsetenv("IBUS_ADDRESS_FILE");
    qunsetenv("WAYLAND_DISPLAY");
    std::string machine;
    std::getline(std::ifstream("/var/lib/dbus/machine-id"), machine);
    if (machine.empty())
        std::getline(std::ifstream("/etc/machine-id"), machine);
    QDir().mkpath(config.path() + "/ibus/bus");
    auto writeBus = [&](const QString& display, long pid) {
        const QString path =
            config.path() + "/ibus/bus/" + QString::fromStdString(machine) + "-unix-" + display;
        std::ofstream(path.toStdString()) << "# This file is created by ibus-daemon\n"
                                          << "IBUS_ADDRESS=unix:path=/tmp/ibus-socket\n"
                                          << "IBUS_DAEMON_PID=" << pid << "\n";
    };
    qputenv("DISPLAY", ":7.0");
    QVERIFY(!platform::findInputMethods().ibusReachable);
    // A daemon for another display is not the one Qt talks to.
    writeBus("8", getpid());
    QVERIFY(!platform::findInputMethods().ibusReachable);
    // A file left behind by a daemon that has gone.
    writeBus("7", 999999999);
    QVERIFY(!platform::findInputMethods().ibusReachable);
    writeBus("7", getpid());
    QVERIFY(platform::findInputMethods().ibusReachable);
    // On a Wayland session ibus and Qt name the file by the Wayland display.
    qputenv("WAYLAND_DISPLAY", "wayland-1");
    QVERIFY(!platform::findInputMethods().ibusReachable);
    writeBus("wayland-1", getpid());
    QVERIFY(platform::findInputMethods().ibusReachable);
    qunsetenv("WAYLAND_DISPLAY");
}

QTEST_GUILESS_MAIN(InputMethodModuleTest)
#include "platform_x11_input_method.moc"
