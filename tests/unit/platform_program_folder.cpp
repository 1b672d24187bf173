// The program folder is found before Qt starts; it must be the folder Qt itself names, even when
// the program was started through a symbolic link.
#include "platform/program_folder.h"
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <string_view>

class ProgramFolderTest : public QObject {
    Q_OBJECT
private slots:
    void sameAsQt();
    void throughASymbolicLink();
};

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
