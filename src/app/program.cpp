#include "app/program.h"
#include "app/icon.h"
#include "asciiart/form5.h"
#include "palette/form1.h"
#include "settings/form2.h"
#include "settings/form4.h"
#include "tools/form3.h"
#include "tools/form6.h"
#include <QApplication>
#include <QMessageBox>

Program::Program(std::filesystem::path folder, platform::Desktop& desktop, ReadAhead readAhead)
    : state_(std::move(folder), desktop) {
    state_.kaomojiReadAhead = std::move(readAhead.kaomoji);
    state_.aaTextsReadAhead = std::move(readAhead.aaTexts);
    const QIcon icon = programIcon();
    state_.reportSaveFailure = [this](const QStringList& files) {
        QMessageBox::warning(form1_.get(), QStringLiteral("ぴこめ"), saveFailureText(files));
    };
    state_.confirmEndWithoutSaving = [this](const QStringList& files) {
        const QString question = saveFailureText(files) + QStringLiteral("\n\n保存せずに終了しますか？");
        return QMessageBox::question(form1_.get(), QStringLiteral("ぴこめ"), question,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    state_.reportProblem = [this](const QString& message) {
        QMessageBox::warning(form1_.get(), QStringLiteral("ぴこめ"), message);
    };
    state_.endProgram = [] { QApplication::exit(0); };
    // The settings, margin and ASCII-art dialogs exist, hidden, from start-up to the end.
    form2_ = std::make_unique<Form2>(state_);
    form4_ = std::make_unique<Form4>(state_);
    form5_ = std::make_unique<Form5>(state_);
    form1_ = std::make_unique<Form1>(state_);
    state_.form1 = form1_.get();
    state_.form2 = form2_.get();
    state_.form4 = form4_.get();
    state_.form5 = form5_.get();
    QApplication::setWindowIcon(icon);
}

QString Program::saveFailureText(const QStringList& files) {
    return QStringLiteral("次のファイルを保存できませんでした。\n\n") + files.join(QLatin1Char('\n')) +
           QStringLiteral(
               "\n\n編集した内容は消えていません。ファイルやフォルダが書き込み禁止になっていないか、"
               "ディスクの空きが足りているかを確かめてから、もう一度保存してください。");
}

Program::~Program() {
    // The dialogs made on demand go first; they refer to the others.
    delete state_.form3;
    delete state_.form6;
    state_.form1 = nullptr;
    form1_.reset();
}

void Program::start() {
    form1_->Form_Load();
    form1_->show();
}
