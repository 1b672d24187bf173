// The program answers --help and --version and refuses every other argument, Qt's own options
// included, with one line on the standard error and status 2.
#include "app/command_line.h"
#include "platform/utf8_path.h"
#include <QtTest>

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void helpSaysWhereTheFilesLive();
    void windowsFolderInTheHelp();
};

void CommandLineTest::answers_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitStatus"); // -1: the palette starts
    QTest::addColumn<QString>("out");    // the start of the standard output
    QTest::addColumn<QString>("err");
    QTest::newRow("none") << QStringList{} << -1 << ""
                          << "";
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "Usage: pikome [--help | --version]\n"
                            << "";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << "Usage: pikome [--help | --version]\n"
                        << "";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "pikome " PIKOME_VERSION "\n"
                               << "";
    const auto refused = [](const char* argument) {
        return QStringLiteral("pikome: unknown argument '%1' (pikome --help lists the options)\n")
            .arg(argument);
    };
    QTest::newRow("unknown") << QStringList{"--verbose"} << 2 << "" << refused("--verbose");
    QTest::newRow("Qt's -platform") << QStringList{"-platform", "offscreen"} << 2 << ""
                                    << refused("-platform");
    QTest::newRow("Qt's -display") << QStringList{"-display", ":1"} << 2 << "" << refused("-display");
    QTest::newRow("a file") << QStringList{"顔文字.ini"} << 2 << "" << refused("顔文字.ini");
    QTest::newRow("empty") << QStringList{""} << 2 << "" << refused("");
    QTest::newRow("--help and more") << QStringList{"--help", "-x"} << 2 << "" << refused("-x");
    QTest::newRow("--version twice") << QStringList{"--version", "--version"} << 2 << ""
                                     << refused("--version");
}

void CommandLineTest::answers() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitStatus);
    QFETCH(QString, out);
    QFETCH(QString, err);
    std::vector<std::string> args;
    for (const QString& a : arguments)
        args.push_back(a.toStdString());
    const auto answer = answerCommandLine(args, {"/usr/bin", false});
    QCOMPARE(answer ? answer->exitStatus : -1, exitStatus);
    if (!answer)
        return;
    QVERIFY2(QString::fromStdString(answer->out).startsWith(out), answer->out.c_str());
    QCOMPARE(QString::fromStdString(answer->err), err);
    QVERIFY(answer->err.empty() || answer->out.empty());
}

void CommandLineTest::helpSaysWhereTheFilesLive() {
    const auto installed = answerCommandLine({"--help"}, {"/home/hana/.local/share/pikome", true});
    QVERIFY(installed);
    QVERIFY(installed->out.find("\n  /home/hana/.local/share/pikome\n") != std::string::npos);
    QVERIFY(installed->out.find("installed") != std::string::npos);
    const auto portable = answerCommandLine({"--help"}, {platform::pathFromUtf8("/home/hana/ぴこめ"), false});
    QVERIFY(portable);
    QVERIFY(portable->out.find("\n  /home/hana/ぴこめ\nbeside the executable") != std::string::npos);
    // The rule that decides, so that a user who finds an empty palette knows where to put the files.
    QVERIFY(portable->out.find("A copy whose folder holds 設定.ini or 顔文字.ini is portable") !=
            std::string::npos);
}

// A Windows folder, Japanese user name and all, comes out whole in the help (in UTF-8, as the
// rest of the text), not as '?' or a character per byte.
void CommandLineTest::windowsFolderInTheHelp() {
#ifndef _WIN32
    QSKIP("a Windows path");
#else
    const std::string folder = "C:\\Users\\花子\\AppData\\Roaming\\pikome";
    const auto installed = answerCommandLine({"--help"}, {platform::pathFromUtf8(folder), true});
    QVERIFY(installed);
    QVERIFY2(installed->out.find("\n  " + folder + "\n") != std::string::npos, installed->out.c_str());
    const auto portable =
        answerCommandLine({"--help"}, {std::filesystem::path(L"D:\\\u3074\u3053\u3081"), false});
    QVERIFY(portable);
    QVERIFY2(portable->out.find("\n  D:\\ぴこめ\nbeside the executable") != std::string::npos,
             portable->out.c_str());
#endif
}

QTEST_APPLESS_MAIN(CommandLineTest)
#include "command_line.moc"
