// The program folder is found before Qt starts; it must be the folder Qt itself names, even when
// the program was started through a symbolic link. An installed copy keeps each user's files in
// the user's data folder, a copy anywhere else beside itself.
#include "platform/program_folder.h"
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>

class ProgramFolderTest : public QObject {
    Q_OBJECT
private slots:
    void sameAsQt();
    void throughASymbolicLink();
    void whereTheFilesLive_data();
    void whereTheFilesLive();
    void folderNamedBinWithItsFilesIsPortable_data();
    void folderNamedBinWithItsFilesIsPortable();
    void installedFolderIsMadePrivate();
    void rootMakesTheUsersFoldersTheirs();
};

void ProgramFolderTest::whereTheFilesLive_data() {
    QTest::addColumn<QString>("executableFolder");
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("filesFolder"); // empty: no place for the files
    QTest::addColumn<bool>("installed");
    const QString home = QStringLiteral("/home/hana");
    const QString userData = QStringLiteral("/home/hana/.local/share/pikome");
    QTest::newRow("build folder") << "/home/hana/src/pikome/build/release"
                                  << "" << home << "/home/hana/src/pikome/build/release" << false;
    QTest::newRow("portable folder") << "/home/hana/ぴこめ"
                                     << "/data" << home << "/home/hana/ぴこめ" << false;
    QTest::newRow("a folder that only ends in bin") << "/opt/robin"
                                                    << "" << home << "/opt/robin" << false;
    QTest::newRow("Bin is not bin") << "/home/hana/Bin"
                                    << "" << home << "/home/hana/Bin" << false;
    QTest::newRow("root folder") << "/"
                                 << "" << home << "/" << false;
    QTest::newRow("/usr/bin") << "/usr/bin"
                              << "" << home << userData << true;
    QTest::newRow("/usr/local/bin") << "/usr/local/bin"
                                    << "" << home << userData << true;
    QTest::newRow("~/.local/bin") << "/home/hana/.local/bin"
                                  << "" << home << userData << true;
    QTest::newRow("any prefix") << "/tmp/prefix/bin"
                                << "" << home << userData << true;
    QTest::newRow("XDG_DATA_HOME") << "/usr/bin"
                                   << "/srv/data/hana" << home << "/srv/data/hana/pikome" << true;
    QTest::newRow("relative XDG_DATA_HOME is ignored") << "/usr/bin"
                                                       << "data" << home << userData << true;
    QTest::newRow("root's home") << "/usr/bin"
                                 << ""
                                 << "/root"
                                 << "/root/.local/share/pikome" << true;
    QTest::newRow("no home") << "/usr/bin"
                             << ""
                             << ""
                             << "" << true;
    QTest::newRow("relative home") << "/usr/bin"
                                   << ""
                                   << "hana"
                                   << "" << true;
}

// Never the executable's folder for an installed copy, whatever the environment holds.
void ProgramFolderTest::whereTheFilesLive() {
    QFETCH(QString, executableFolder);
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, home);
    QFETCH(QString, filesFolder);
    QFETCH(bool, installed);
    const platform::FilesFolder files = platform::chooseFilesFolder(
        executableFolder.toStdString(), xdgDataHome.toStdString(), home.toStdString());
    QCOMPARE(QString::fromStdString(files.folder.string()), filesFolder);
    QCOMPARE(files.installed, installed);
}

void ProgramFolderTest::folderNamedBinWithItsFilesIsPortable_data() {
    QTest::addColumn<QString>("beside"); // what stands beside the executable in ~/bin
    QTest::addColumn<bool>("installed");
    QTest::newRow("nothing") << "" << true;
    QTest::newRow("設定.ini") << "設定.ini" << false;
    QTest::newRow("顔文字.ini") << "顔文字.ini" << false;
    QTest::newRow("a link named 顔文字.ini") << "link:顔文字.ini" << false;
    QTest::newRow("only the AA folder") << "AA/" << true;
    QTest::newRow("another program's file") << "settings.ini" << true;
}

// ~/bin is where many users keep their own programs: a copy kept there with its collection uses
// that collection, not an empty one in the data folder.
void ProgramFolderTest::folderNamedBinWithItsFilesIsPortable() {
    QFETCH(QString, beside);
    QFETCH(bool, installed);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const std::filesystem::path bin = std::filesystem::path(home.path().toStdString()) / "bin";
    std::filesystem::create_directory(bin);
    if (beside.endsWith(u'/'))
        std::filesystem::create_directory(bin / beside.chopped(1).toStdString());
    else if (beside.startsWith(QStringLiteral("link:")))
        std::filesystem::create_symlink("/nonexistent", bin / beside.mid(5).toStdString());
    else if (!beside.isEmpty())
        QVERIFY(
            QFile(QString::fromStdString((bin / beside.toStdString()).string())).open(QIODevice::WriteOnly));
    const platform::FilesFolder files = platform::chooseFilesFolder(bin, "", home.path().toStdString());
    QCOMPARE(files.installed, installed);
    const std::filesystem::path expected =
        installed ? std::filesystem::path(home.path().toStdString()) / ".local/share/pikome" : bin;
    QCOMPARE(QString::fromStdString(files.folder.string()), QString::fromStdString(expected.string()));
}

// A fresh account has no ~/.local/share yet: every missing level is made, private to its owner;
// a second start finds it there. A copy that keeps its files beside itself makes nothing.
void ProgramFolderTest::installedFolderIsMadePrivate() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::filesystem::path home = dir.path().toStdString();
    const platform::FilesFolder files = platform::chooseFilesFolder("/usr/bin", "", home.string());
    std::string error;
    QVERIFY2(platform::makeFilesFolder(files, error), error.c_str());
    QVERIFY(std::filesystem::is_directory(home / ".local/share/pikome"));
    for (const char* made : {".local", ".local/share", ".local/share/pikome"}) {
        struct stat info {};
        QCOMPARE(::stat((home / made).c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
    }
    QVERIFY2(platform::makeFilesFolder(files, error), error.c_str());

    const std::filesystem::path portable = home / "portable";
    QVERIFY(platform::makeFilesFolder({portable, false}, error));
    QVERIFY(!std::filesystem::exists(portable));

    // A file where the folder should be is reported, not taken for the folder.
    const std::filesystem::path blocked = home / "blocked";
    QVERIFY(QFile(QString::fromStdString(blocked.string())).open(QIODevice::WriteOnly));
    QVERIFY(!platform::makeFilesFolder({blocked / "pikome", true}, error));
    QVERIFY(!platform::makeFilesFolder({blocked, true}, error));
    QVERIFY(!platform::makeFilesFolder({{}, true}, error));
}

// `sudo -E pikome` on a first start: before, ~/.local/share and ~/.local/share/pikome became
// root's (0700), locking the user out of their files and other programs out of ~/.local/share.
void ProgramFolderTest::rootMakesTheUsersFoldersTheirs() {
    if (::geteuid() != 0)
        QSKIP("needs root");
    constexpr uid_t kUser = 4242;
    constexpr gid_t kGroup = 4343;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::filesystem::path home = dir.path().toStdString();
    std::filesystem::create_directory(home / ".local");
    QCOMPARE(::chown(home.c_str(), kUser, kGroup), 0);
    QCOMPARE(::chown((home / ".local").c_str(), kUser, kGroup), 0);
    std::string error;
    QVERIFY2(platform::makeFilesFolder(platform::chooseFilesFolder("/usr/bin", "", home.string()), error),
             error.c_str());
    for (const char* made : {".local/share", ".local/share/pikome"}) {
        struct stat info {};
        QCOMPARE(::stat((home / made).c_str(), &info), 0);
        QCOMPARE(info.st_uid, kUser);
        QCOMPARE(info.st_gid, kGroup);
        QCOMPARE(info.st_mode & 0777, 0700u);
    }
}

void ProgramFolderTest::sameAsQt() {
    const std::filesystem::path folder = platform::executableFolder();
    QVERIFY(folder.is_absolute());
    QCOMPARE(QString::fromStdString(folder.string()), QCoreApplication::applicationDirPath());
}

// Started through a link, the test prints the folder it finds: still its own, not the link's.
void ProgramFolderTest::throughASymbolicLink() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("linked-test"));
    QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), link));
    QProcess child;
    child.start(link, {QStringLiteral("--print-folder")});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed(),
             QCoreApplication::applicationDirPath());
}

int main(int argc, char* argv[]) {
    if (argc == 2 && std::string_view(argv[1]) == "--print-folder") {
        std::printf("%s\n", platform::executableFolder().c_str());
        return 0;
    }
    QCoreApplication app(argc, argv);
    ProgramFolderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "platform_program_folder.moc"
