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
#include <cstdio>

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
    state_.reportClipboardNotKept = [this] {
        // Not modal and not activated: the user goes on typing in the window pasted into.
        if (clipboardNotice_)
            return;
        clipboardNotice_ =
            new QMessageBox(QMessageBox::Warning, QStringLiteral("ぴこめ"),
                            QStringLiteral("クリップボードの元の内容を保存できませんでした。\n"
                                           "クリップボードを持っているプログラムが応答しません。"),
                            QMessageBox::Ok);
        clipboardNotice_->setAttribute(Qt::WA_DeleteOnClose);
        clipboardNotice_->setAttribute(Qt::WA_ShowWithoutActivating);
        clipboardNotice_->setWindowModality(Qt::NonModal);
        clipboardNotice_->show();
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

void Program::endUnattended() {
    state_.confirmEndWithoutSaving = [this](const QStringList& files) {
        reportUnsavedOnStandardError(files);
        return true;
    };
    form1_->ExitProgram();
}

void Program::saveUnattended() {
    if (form2_->Check1[8]->value() == 0)
        return;
    // The same saves, in the same order, as the exit's.
    QStringList failed = form5_->SaveStore();
    failed << form2_->SaveAll();
    failed.removeDuplicates();
    if (!failed.isEmpty())
        reportUnsavedOnStandardError(failed);
}

void Program::reportUnsavedOnStandardError(const QStringList& files) const {
    const QByteArray line = QStringLiteral("pikome: could not save %1; what is on disk is unchanged.\n")
                                .arg(files.join(QStringLiteral(", ")))
                                .toLocal8Bit();
    std::fputs(line.constData(), stderr);
}

void Program::bringForward() {
    if (form1_->windowState() != controls::WindowState::Normal)
        form1_->showNormal();
    form1_->show();
    form1_->setHeightTwips(form1_->expandedHeight());
    form1_->raise();
    // As a pager asks it: window managers refuse an application's own request to come forward
    // when it carries no recent user input.
    state_.desktop.setForegroundWindow(platform::WindowHandle(form1_->winId()));
}

void Program::start() {
    form1_->Form_Load();
    form1_->show();
}
