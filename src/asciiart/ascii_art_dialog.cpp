#include "asciiart/ascii_art_dialog.h"
#include "asciiart/aa_store.h"
#include "asciiart/dropped_text.h"
#include "links/window_links.h"
#include "storage/text_rules.h"

using controls::placeTwips;

namespace {
constexpr int kClientWidth = 9765;
constexpr int kClientHeight = 7605;
} // namespace

AsciiArtDialog::AsciiArtDialog(storage::ProgramState& state)
    : controls::Window(state.desktop, QStringLiteral("ぴこめ　アスキーアート設定"), kClientWidth,
                       kClientHeight),
      state_(state) {
    buildControls();
}

void AsciiArtDialog::buildControls() {
    setFont(controls::pGothicFont(9));
    pageList = new controls::ComboBox(this);
    for (int page = 1; page <= 9; ++page)
        pageList->addListItem(QStringLiteral("ページ") + QChar(char16_t(0xFF10 + page)));
    placeTwips(pageList, 420, 60, 1095, 300);
    pageList->onClick = [this] { pageChosen(); };

    for (int i = 0; i < 20; ++i) {
        auto* name = new controls::TextBox(this);
        // No label stands beside them: named for what they hold, and their place.
        name->setAccessibleName(QStringLiteral("名前 %1").arg(i + 1));
        placeTwips(name, 60, 420 + 300 * i, 1755, 315);
        name->onChange = [this, i] { nameEdited(i); };
        nameBoxes[std::size_t(i)] = name;
        auto* option = new controls::OptionButton(QString(), entryChoiceGroup_, this);
        option->setAccessibleName(QStringLiteral("名前 %1 のアスキーアート").arg(i + 1));
        placeTwips(option, 1920, 480 + 300 * i, 195, 195);
        option->onClick = [this, i] { entryChosen(i); };
        entryChoices[std::size_t(i)] = option;
    }

    dropHintLabel = new controls::Label(
        QStringLiteral("ここへテキストファイルをドラッグ＆ドロップして読み込む事も出来ます"), this);
    placeTwips(dropHintLabel, 2340, 60, 7155, 195);
    pieceTextBox = new controls::MultiLineTextBox(this);
    pieceTextBox->setAccessibleName(dropHintLabel->text());
    pieceTextBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    placeTwips(pieceTextBox, 2220, 300, 7515, 7275);
    pieceTextBox->onChange = [this] { pieceTextEdited(); };
    pieceTextBox->onFilesDropped = [this](const QStringList& paths) { filesDroppedOnPiece(paths); };

    const char16_t* captions[3] = {u"貼り付け前に改行する", u"貼り付け後に改行する", u"ツールチップを表示"};
    for (int i = 0; i < 3; ++i) {
        auto* box = new controls::CheckBox(QString::fromUtf16(captions[i]), this);
        placeTwips(box, 60, 6540 + 180 * i, 2055, 195);
        optionChecks[std::size_t(i)] = box;
    }

    saveButton = controls::captionedButton(this, QStringLiteral("設定保存"), 60, 7200, 975, 375);
    closeButton = controls::captionedButton(this, QStringLiteral("閉じる"), 1200, 7200, 975, 375);
    closeButton->onClick = [this] { closeClicked(); };
    saveButton->onClick = [this] { saveClicked(); };
    onCloseRequest = [this] {
        closeClicked();
        return true;
    };

    entryChoices[0]->setValue(true);
    selectedEntry = 0;
}

void AsciiArtDialog::pageChosen() {
    entryChoices[0]->setValue(true);
    selectedEntry = 0;
    const int page = currentPage();
    pieceTextBox->setText(state_.asciiArtTexts.get(page, 0));
    for (int i = 0; i < 20; ++i)
        nameBoxes[std::size_t(i)]->setText(state_.asciiArtNames.get(page, i));
}

void AsciiArtDialog::entryChosen(int entry) {
    selectedEntry = entry;
    pieceTextBox->setText(state_.asciiArtTexts.get(currentPage(), entry));
}

void AsciiArtDialog::pieceTextEdited() {
    // While no page is chosen the editor belongs to no stored entry.
    const int page = currentPage();
    if (storage::AATable::inRange(page, selectedEntry))
        state_.asciiArtTexts.at(page, selectedEntry) = pieceTextBox->text();
}

void AsciiArtDialog::nameEdited(int entry) {
    auto* field = nameBoxes[std::size_t(entry)];
    field->setText(storage::StripLineBreaksFromName(field->text()));
    const int page = currentPage();
    if (storage::AATable::inRange(page, entry))
        state_.asciiArtNames.at(page, entry) = field->text();
}

void AsciiArtDialog::closeClicked() {
    hide();
}

void AsciiArtDialog::saveClicked() {
    const QStringList failed = state_.links->saveEverything();
    if (!failed.isEmpty() && state_.reportSaveFailure)
        state_.reportSaveFailure(failed);
}

void AsciiArtDialog::filesDroppedOnPiece(const QStringList& paths) {
    const std::optional<QString> text = asciiart::takeDroppedText(paths, state_.reportProblem);
    if (!text)
        return;
    pieceTextBox->setText(QString());
    pieceTextBox->setText(*text);
}
