#include "app/program.h"
#include "app/icon.h"
#include "app/notice.h"
#include "app/program_window_links.h"
#include "app/start_up.h"
#include "asciiart/ascii_art_dialog.h"
#include "controls/accessibility.h"
#include "palette/palette_window.h"
#include "settings/mouse_sensitivity_dialog.h"
#include "settings/settings_dialog.h"
#include "tools/about_dialog.h"
#include "tools/batch_registration_dialog.h"
#include <QApplication>
#include <QMessageBox>
#include <cstdio>

Program::Program(std::filesystem::path folder, platform::Desktop& desktop, ReadAhead readAhead)
    : state_(std::move(folder), desktop) {
    state_.kaomojiReadAhead = std::move(readAhead.kaomoji);
    state_.aaTextsReadAhead = std::move(readAhead.aaTexts);
    controls::installAccessibility();
    const QIcon icon = programIcon();
    state_.reportSaveFailure = [this](const QStringList& files) {
        QMessageBox::warning(paletteWindow_.get(), QStringLiteral("ぴこめ"), saveFailureText(files));
    };
    state_.confirmEndWithoutSaving = [this](const QStringList& files) {
        const QString question = saveFailureText(files) + QStringLiteral("\n\n保存せずに終了しますか？");
        return QMessageBox::question(paletteWindow_.get(), QStringLiteral("ぴこめ"), question,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    state_.reportClipboardNotKept = [this] {
        // The user goes on typing in the window pasted into; one notice at a time.
        if (clipboardNotice_)
            return;
        clipboardNotice_ = showNotice(QStringLiteral("クリップボードの元の内容を保存できませんでした。\n"
                                                     "クリップボードを持っているプログラムが応答しません。"));
    };
    state_.tellUser = [](const QString& message) { showNotice(message); };
    state_.reportProblem = [this](const QString& message) {
        QMessageBox::warning(paletteWindow_.get(), QStringLiteral("ぴこめ"), message);
    };
    state_.endProgram = [] { QApplication::exit(0); };
    // The settings, margin and ASCII-art dialogs exist, hidden, from start-up to the end.
    settingsDialog_ = std::make_unique<SettingsDialog>(state_);
    mouseDialog_ = std::make_unique<MouseSensitivityDialog>(state_);
    asciiArtDialog_ = std::make_unique<AsciiArtDialog>(state_);
    paletteWindow_ = std::make_unique<PaletteWindow>(state_);
    links_ = std::make_unique<ProgramWindowLinks>(state_, windows());
    state_.links = links_.get();
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
    links_->closeDialogsMadeOnDemand();
    paletteWindow_.reset();
}

ProgramWindows Program::windows() const {
    return ProgramWindows{*paletteWindow_, *settingsDialog_, *mouseDialog_, *asciiArtDialog_};
}

AboutDialog* Program::aboutDialog() const {
    return links_->aboutDialog();
}

BatchRegistrationDialog* Program::batchDialog() const {
    return links_->batchDialog();
}

void Program::endUnattended() {
    state_.confirmEndWithoutSaving = [this](const QStringList& files) {
        reportUnsavedOnStandardError(files);
        return true;
    };
    paletteWindow_->exitProgram();
}

void Program::saveAsTheDisplayIsLost() {
    paletteWindow_->cancelPastes();
    saveUnattended();
}

void Program::saveUnattended() {
    if (links_->optionValue(option::kSaveOnExit) == 0)
        return;
    // The same saves, in the same order, as the exit's.
    QStringList failed = links_->saveEverything();
    failed << links_->saveSettings();
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
    if (paletteWindow_->windowState() != controls::WindowState::Normal)
        paletteWindow_->showNormal();
    paletteWindow_->show();
    // A palette coming back from maximized gets its height from the resize rules once the
    // window manager has put its normal size back.
    if (paletteWindow_->windowState() == controls::WindowState::Normal)
        paletteWindow_->setHeightTwips(paletteWindow_->expandedHeight());
    paletteWindow_->raise();
    // As a pager asks it: window managers refuse an application's own request to come forward
    // when it carries no recent user input.
    state_.desktop.askForForeground(platform::WindowHandle(paletteWindow_->winId()));
}

void Program::start() {
    const QString unreadFiles = startUp(windows(), state_);
    paletteWindow_->show();
    // Said once, beside a palette that already works.
    if (!unreadFiles.isEmpty() && state_.tellUser)
        state_.tellUser(unreadFiles);
}
