// The program folder is found before Qt starts; it must be the folder Qt itself names, even when
// the program was started through a symbolic link. An installed copy keeps each user's files in
// the user's data folder, a copy anywhere else beside itself.
#include "platform/program_folder.h"
#include "platform/utf8_path.h"
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <string_view>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
std::filesystem::path pathOf(const QString& name) {
    return platform::pathFromUtf8(name.toStdString());
}
QString nameOf(const std::filesystem::path& path) {
    return QString::fromStdString(platform::utf8FromPath(path));
}
} // namespace

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
    void windowsWhereTheFilesLive_data();
    void windowsWhereTheFilesLive();
    void windowsFromAJapaneseFolder();
};

void ProgramFolderTest::whereTheFilesLive_data() {
#ifdef _WIN32
    QSKIP("Linux paths and the XDG rule: windowsWhereTheFilesLive");
#endif
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
#ifdef _WIN32
    QSKIP("Linux paths and the XDG rule: windowsWhereTheFilesLive");
#else
    QFETCH(QString, executableFolder);
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, home);
    QFETCH(QString, filesFolder);
    QFETCH(bool, installed);
    const platform::FilesFolder files = platform::chooseFilesFolder(
        executableFolder.toStdString(), xdgDataHome.toStdString(), home.toStdString());
    QCOMPARE(QString::fromStdString(files.folder.string()), filesFolder);
    QCOMPARE(files.installed, installed);
#endif
}

void ProgramFolderTest::folderNamedBinWithItsFilesIsPortable_data() {
    QTest::addColumn<QString>("beside"); // what stands beside the executable in ~/bin
    QTest::addColumn<bool>("installed");
    QTest::newRow("nothing") << "" << true;
    QTest::newRow("設定.ini") << "設定.ini" << false;
    QTest::newRow("顔文字.ini") << "顔文字.ini" << false;
#ifndef _WIN32 // no symbolic links for a Windows user without privileges
    QTest::newRow("a link named 顔文字.ini") << "link:顔文字.ini" << false;
#endif
    QTest::newRow("only the AA folder") << "AA/" << true;
    QTest::newRow("another program's file") << "settings.ini" << true;
#ifdef _WIN32
    // Windows' installed places count the same way: a copy in Program Files with its files is
    // portable, one without them installed.
    QTest::newRow("Program Files, nothing") << "programs:" << true;
    QTest::newRow("Program Files, 設定.ini") << "programs:設定.ini" << false;
    QTest::newRow("Program Files, 顔文字.ini") << "programs:顔文字.ini" << false;
#endif
}

// ~/bin is where many users keep their own programs: a copy kept there with its collection uses
// that collection, not an empty one in the data folder.
void ProgramFolderTest::folderNamedBinWithItsFilesIsPortable() {
    QFETCH(QString, beside);
    QFETCH(bool, installed);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    std::filesystem::path bin = pathOf(home.path()) / "bin";
#ifdef _WIN32
    const std::filesystem::path programs = pathOf(home.path()) / "Program Files";
    if (beside.startsWith(QStringLiteral("programs:"))) {
        bin = programs / u8"ぴこめ";
        std::filesystem::create_directory(programs);
        beside = beside.mid(9);
    }
#endif
    std::filesystem::create_directory(bin);
    if (beside.endsWith(u'/'))
        std::filesystem::create_directory(bin / pathOf(beside.chopped(1)));
    else if (beside.startsWith(QStringLiteral("link:")))
        std::filesystem::create_symlink("/nonexistent", bin / pathOf(beside.mid(5)));
    else if (!beside.isEmpty())
        QVERIFY(QFile(nameOf(bin / pathOf(beside))).open(QIODevice::WriteOnly));
#ifdef _WIN32
    const std::filesystem::path appData = pathOf(home.path()) / "AppData" / "Roaming";
    const platform::FilesFolder files = platform::chooseFilesFolder(bin, appData, {programs});
    const std::filesystem::path expected = installed ? appData / "pikome" : bin;
#else
    const platform::FilesFolder files = platform::chooseFilesFolder(bin, "", home.path().toStdString());
    const std::filesystem::path expected =
        installed ? std::filesystem::path(home.path().toStdString()) / ".local/share/pikome" : bin;
#endif
    QCOMPARE(files.installed, installed);
    QCOMPARE(nameOf(files.folder), nameOf(expected));
}

// A fresh account has no ~/.local/share yet: every missing level is made, private to its owner;
// a second start finds it there. A copy that keeps its files beside itself makes nothing.
void ProgramFolderTest::installedFolderIsMadePrivate() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::filesystem::path home = pathOf(dir.path());
    std::string error;
#ifdef _WIN32
    // A user's folder named in Japanese, none of it there yet. (The access list the folders
    // inherit from the user's own folder keeps them private: no bits to check.)
    const std::filesystem::path appData = home / u8"花子" / "AppData" / "Roaming";
    const platform::FilesFolder files =
        platform::chooseFilesFolder(L"C:\\Program Files\\pikome", appData, {L"C:\\Program Files"});
    QVERIFY(files.installed);
    QCOMPARE(nameOf(files.folder), nameOf(appData / "pikome"));
    QVERIFY2(platform::makeFilesFolder(files, error), error.c_str());
    QVERIFY(std::filesystem::is_directory(appData / "pikome"));
    QVERIFY(QFileInfo(dir.path() + QStringLiteral("/花子/AppData/Roaming/pikome")).isDir());
#else
    const platform::FilesFolder files = platform::chooseFilesFolder("/usr/bin", "", home.string());
    QVERIFY2(platform::makeFilesFolder(files, error), error.c_str());
    QVERIFY(std::filesystem::is_directory(home / ".local/share/pikome"));
    for (const char* made : {".local", ".local/share", ".local/share/pikome"}) {
        struct stat info {};
        QCOMPARE(::stat((home / made).c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
    }
#endif
    QVERIFY2(platform::makeFilesFolder(files, error), error.c_str());

    const std::filesystem::path portable = home / "portable";
    QVERIFY(platform::makeFilesFolder({portable, false}, error));
    QVERIFY(!std::filesystem::exists(portable));

    // A file where the folder should be is reported, not taken for the folder.
    const std::filesystem::path blocked = home / "blocked";
    QVERIFY(QFile(nameOf(blocked)).open(QIODevice::WriteOnly));
    QVERIFY(!platform::makeFilesFolder({blocked / "pikome", true}, error));
    QVERIFY(!platform::makeFilesFolder({blocked, true}, error));
    QVERIFY(!platform::makeFilesFolder({{}, true}, error));
}

// `sudo -E pikome` on a first start: before, ~/.local/share and ~/.local/share/pikome became
// root's (0700), locking the user out of their files and other programs out of ~/.local/share.
void ProgramFolderTest::rootMakesTheUsersFoldersTheirs() {
#ifdef _WIN32
    QSKIP("POSIX owners: Windows folders take their parent's access list");
#else
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
#endif
}

void ProgramFolderTest::sameAsQt() {
    const std::filesystem::path folder = platform::executableFolder();
    QVERIFY(folder.is_absolute());
    // Qt names it with '/' on Windows too.
    QCOMPARE(QDir::fromNativeSeparators(nameOf(folder)), QCoreApplication::applicationDirPath());
}

// Started through a link, the test prints the folder it finds: still its own, not the link's.
void ProgramFolderTest::throughASymbolicLink() {
#ifdef _WIN32
    QSKIP("symbolic links: a Windows user without privileges cannot make one (windowsFromAJapaneseFolder)");
#endif
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

// Windows places programs in Program Files (either), in the user's own Programs folder, or in
// a <prefix>\bin; a user's files then go to %APPDATA%\pikome. Names compare without regard to
// case, as Windows compares them, however the program was started.
void ProgramFolderTest::windowsWhereTheFilesLive_data() {
#ifndef _WIN32
    QSKIP("Windows paths");
#endif
    QTest::addColumn<QString>("executableFolder");
    QTest::addColumn<QString>("appData");
    QTest::addColumn<QString>("filesFolder"); // empty: no place for the files
    QTest::addColumn<bool>("installed");
    const QString appData = QStringLiteral("C:\\Users\\花子\\AppData\\Roaming");
    const QString userData = appData + QStringLiteral("\\pikome");
    struct Row {
        const char* name;
        QString executableFolder, appData, filesFolder;
        bool installed;
    };
    const Row rows[] = {
        {"build folder", "C:\\src\\pikome\\build\\windows", appData, "C:\\src\\pikome\\build\\windows",
         false},
        {"portable folder", "D:\\ぴこめ", appData, "D:\\ぴこめ", false},
        {"desktop", "C:\\Users\\花子\\Desktop\\ぴこめ", appData, "C:\\Users\\花子\\Desktop\\ぴこめ", false},
        {"Program Files", "C:\\Program Files\\ぴこめ", appData, userData, true},
        {"Program Files in another case", "c:\\PROGRAM FILES\\ぴこめ", appData, userData, true},
        {"Program Files with '/'", "C:/Program Files/ぴこめ", appData, userData, true},
        {"deeper in Program Files", "C:\\Program Files\\Tools\\ぴこめ", appData, userData, true},
        {"Program Files (x86)", "C:\\Program Files (x86)\\ぴこめ", appData, userData, true},
        {"the user's Programs", "C:\\Users\\花子\\AppData\\Local\\Programs\\ぴこめ", appData, userData, true},
        {"a name that only begins so", "C:\\Program Files2\\ぴこめ", appData, "C:\\Program Files2\\ぴこめ",
         false},
        {"another drive", "D:\\Program Files\\ぴこめ", appData, "D:\\Program Files\\ぴこめ", false},
        {"a prefix's bin", "C:\\pikome\\bin", appData, userData, true},
        {"BIN is bin", "C:\\pikome\\BIN", appData, userData, true},
        {"a folder that only ends in bin", "C:\\robin", appData, "C:\\robin", false},
        {"no application data", "C:\\Program Files\\ぴこめ", "", "", true},
        {"relative application data", "C:\\Program Files\\ぴこめ", "AppData", "", true},
    };
    for (const Row& row : rows)
        QTest::newRow(row.name) << row.executableFolder << row.appData << row.filesFolder << row.installed;
}

void ProgramFolderTest::windowsWhereTheFilesLive() {
#ifndef _WIN32
    QSKIP("Windows paths");
#else
    QFETCH(QString, executableFolder);
    QFETCH(QString, appData);
    QFETCH(QString, filesFolder);
    QFETCH(bool, installed);
    const std::vector<std::filesystem::path> programFolders = {
        L"C:\\Program Files", L"C:\\Program Files (x86)\\",
        pathOf(QStringLiteral("C:\\Users\\花子\\AppData\\Local\\Programs"))};
    const platform::FilesFolder files =
        platform::chooseFilesFolder(pathOf(executableFolder), pathOf(appData), programFolders);
    QCOMPARE(nameOf(files.folder), filesFolder);
    QCOMPARE(files.installed, installed);
#endif
}

// A copy in a folder named in Japanese finds that folder, as Qt does, not its name in the ANSI
// code page ('?' for what the code page lacks).
void ProgramFolderTest::windowsFromAJapaneseFolder() {
#ifndef _WIN32
    QSKIP("on Linux a name is its bytes; throughASymbolicLink starts a copy elsewhere");
#else
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("ぴこめ 花子"));
    QVERIFY(QDir().mkpath(folder));
    const QString copy =
        folder + QStringLiteral("/") + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QProcess child;
    // The copy finds the libraries where this test found them, its own folder among them.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"),
                       QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) +
                           QStringLiteral(";") + environment.value(QStringLiteral("PATH")));
    child.setProcessEnvironment(environment);
    child.start(copy, {QStringLiteral("--print-folder")});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QDir::fromNativeSeparators(QString::fromUtf8(child.readAllStandardOutput()).trimmed()),
             QFileInfo(folder).absoluteFilePath());
#endif
}

int main(int argc, char* argv[]) {
    if (argc == 2 && std::string_view(argv[1]) == "--print-folder") {
        // UTF-8 on Windows too: the name as it is, whatever the console's code page.
        std::printf("%s\n", platform::utf8FromPath(platform::executableFolder()).c_str());
        return 0;
    }
    QCoreApplication app(argc, argv);
    ProgramFolderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "platform_program_folder.moc"
