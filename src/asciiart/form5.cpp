#include "asciiart/form5.h"
#include "asciiart/aa_store.h"
#include "asciiart/dropped_text.h"
#include "settings/form2.h"
#include "storage/text_rules.h"

using controls::placeTwips;

namespace {
constexpr int kClientWidth = 9765;
constexpr int kClientHeight = 7605;
} // namespace

Form5::Form5(storage::ProgramState& state)
    : controls::Window(state.desktop, QStringLiteral("ぴこめ　アスキーアート設定"), kClientWidth,
                       kClientHeight),
      state_(state) {
    buildControls();
}

void Form5::buildControls() {
    setFont(controls::pGothicFont(9));
    Combo1 = new controls::ComboBox(this);
    for (int page = 1; page <= 9; ++page)
        Combo1->addListItem(QStringLiteral("ページ") + QChar(char16_t(0xFF10 + page)));
    placeTwips(Combo1, 420, 60, 1095, 300);
    Combo1->onClick = [this] { Combo1_Click(); };

    for (int i = 0; i < 20; ++i) {
        auto* name = new controls::TextBox(this);
        placeTwips(name, 60, 420 + 300 * i, 1755, 315);
        name->onChange = [this, i] { Text2_Change(i); };
        Text2[std::size_t(i)] = name;
        auto* option = new controls::OptionButton(QString(), option1Group_, this);
        placeTwips(option, 1920, 480 + 300 * i, 195, 195);
        option->onClick = [this, i] { Option1_Click(i); };
        Option1[std::size_t(i)] = option;
    }

    Label1 = new controls::Label(
        QStringLiteral("ここへテキストファイルをドラッグ＆ドロップして読み込む事も出来ます"), this);
    placeTwips(Label1, 2340, 60, 7155, 195);
    Text1 = new controls::MultiLineTextBox(this);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    placeTwips(Text1, 2220, 300, 7515, 7275);
    Text1->onChange = [this] { Text1_Change(); };
    Text1->onFilesDropped = [this](const QStringList& paths) { Text1_FilesDropped(paths); };

    const char16_t* captions[3] = {u"貼り付け前に改行する", u"貼り付け後に改行する", u"ツールチップを表示"};
    for (int i = 0; i < 3; ++i) {
        auto* box = new controls::CheckBox(QString::fromUtf16(captions[i]), this);
        placeTwips(box, 60, 6540 + 180 * i, 2055, 195);
        Check1[std::size_t(i)] = box;
    }

    Command1 = new controls::CommandButton(this);
    Command1->setCaption(QStringLiteral("設定保存"));
    placeTwips(Command1, 60, 7200, 975, 375);
    Command2 = new controls::CommandButton(this);
    Command2->setCaption(QStringLiteral("閉じる"));
    placeTwips(Command2, 1200, 7200, 975, 375);
    Command2->onClick = [this] { Command2_Click(); };
    Command1->onClick = [this] { Command1_Click(); };
    onCloseRequest = [this] {
        Command2_Click();
        return true;
    };

    Option1[0]->setValue(true);
    SelectedEntry = 0;
}

void Form5::Combo1_Click() {
    Option1[0]->setValue(true);
    SelectedEntry = 0;
    const int page = currentPage();
    Text1->setText(state_.AAText.get(page, 0));
    for (int i = 0; i < 20; ++i)
        Text2[std::size_t(i)]->setText(state_.AAName.get(page, i));
}

void Form5::Option1_Click(int entry) {
    SelectedEntry = entry;
    Text1->setText(state_.AAText.get(currentPage(), entry));
}

void Form5::Text1_Change() {
    // While no page is chosen the editor belongs to no stored entry.
    const int page = currentPage();
    if (storage::AATable::inRange(page, SelectedEntry))
        state_.AAText.at(page, SelectedEntry) = Text1->text();
}

void Form5::Text2_Change(int entry) {
    auto* field = Text2[std::size_t(entry)];
    field->setText(storage::StripLineBreaks(field->text()));
    const int page = currentPage();
    if (storage::AATable::inRange(page, entry))
        state_.AAName.at(page, entry) = field->text();
}

void Form5::Command2_Click() {
    hide();
}

QStringList Form5::SaveStore() {
    QStringList failed = asciiart::save(state_);
    failed << state_.form2->SaveAll();
    return failed;
}

void Form5::Command1_Click() {
    const QStringList failed = SaveStore();
    if (!failed.isEmpty() && state_.reportSaveFailure)
        state_.reportSaveFailure(failed);
}

void Form5::Text1_FilesDropped(const QStringList& paths) {
    const asciiart::DroppedText dropped = asciiart::readDroppedText(paths);
    if (dropped.kind == asciiart::DroppedText::Refused && state_.reportProblem)
        state_.reportProblem(dropped.message);
    if (dropped.kind != asciiart::DroppedText::Taken)
        return;
    Text1->setText(QString());
    Text1->setText(dropped.text);
}
