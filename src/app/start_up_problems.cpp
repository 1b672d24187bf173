#include "app/start_up_problems.h"
#include "platform/utf8_path.h"
#include <QMessageBox>
#include <cstdio>

namespace {
constexpr char kProgramName[] = "ぴこめ";

void sayOnStandardError(const StartUpProblem& problem) {
    std::fprintf(stderr, "%s\n", problem.line.c_str());
}
} // namespace

std::optional<StartUpProblem> makeFilesFolderOrSay(const platform::FilesFolder& files) {
    std::string error;
    if (platform::makeFilesFolder(files, error))
        return std::nullopt;
    StartUpProblem problem;
    problem.line = "pikome: cannot make the folder for your files (" + error + ").";
    // Without a home there is no folder of the user's own, and the executable's is not one.
    problem.endsTheStart = files.folder.empty();
    const QString reason = QString::fromLocal8Bit(error);
    problem.message =
        problem.endsTheStart
            ? QStringLiteral("ファイルを置くフォルダが決まらないため、ぴこめを起動できません。\n\n%1\n\n"
                             "環境変数 HOME を設定してから、もう一度起動してください。")
                  .arg(reason)
            : QStringLiteral(
                  "ファイルを置くフォルダ\n%1\nを作れませんでした。\n\n%2\n\n"
                  "このまま起動しますが、顔文字や設定は読み込めず、保存もできません。"
                  "フォルダの場所（XDG_DATA_HOME）、書き込みの権限、ディスクの空きを確かめてください。")
                  .arg(QString::fromStdString(platform::utf8FromPath(files.folder)), reason);
    sayOnStandardError(problem);
    return problem;
}

std::optional<int> claimFilesOrEnd(SingleInstance& instance, const std::filesystem::path& folder) {
    switch (instance.claim()) {
    case SingleInstance::Claim::First:
        if (instance.claimTakenByAnotherUser())
            std::fprintf(stderr,
                         "pikome: another user holds the name that guards %s; this copy runs "
                         "without that guard (set XDG_RUNTIME_DIR to a folder of your own).\n",
                         platform::utf8FromPath(folder).c_str());
        return std::nullopt;
    case SingleInstance::Claim::OtherCameForward:
        return 0;
    case SingleInstance::Claim::OtherSilent:
        break;
    }
    StartUpProblem problem;
    problem.line =
        "pikome: another copy holds the files in " + platform::utf8FromPath(folder) + " but does not answer.";
    problem.message =
        QStringLiteral("同じファイルを使うぴこめがすでに動いていますが、応答しません。\n\n%1\n\n"
                       "動いているぴこめを終了させてから、もう一度起動してください。")
            .arg(QString::fromStdString(platform::utf8FromPath(folder)));
    sayOnStandardError(problem);
    showInAMessageBox(problem);
    return 1;
}

void showInAMessageBox(const StartUpProblem& problem) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kProgramName), problem.message, QMessageBox::Ok);
    // The reason can be copied, to look it up or to pass it on.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}
