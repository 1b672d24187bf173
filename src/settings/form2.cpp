#include "settings/form2.h"
#include "asciiart/form5.h"
#include "palette/form1.h"
#include "settings/form4.h"
#include "storage/settings_keys.h"
#include "storage/text_rules.h"
#include "tools/form3.h"
#include "tools/form6.h"

using controls::placeTwips;
using storage::kAsciiArtMode;
using storage::kGuardOn;

namespace {
constexpr int kClientWidth = 8985;
constexpr int kClientHeight = 6645;
constexpr int kHistoryPage = storage::KaomojiTable::kHistoryPage;

struct CheckItem {
    int index;
    const char16_t* caption;
    int top;
    int width;
    const char16_t* tip;
};
// The option boxes top to bottom as the frame shows them.
const CheckItem kChecks[] = {
    {0, u"常に手前に表示", 240, 1575, u"これにチェックを入れると最優先で手前に表示します"},
    {1, u"自動で隠す", 420, 1215, u"マウスカーソルが離れると自動的にぴこめが小さくなって、邪魔になりません"},
    {9, u"縮小した時に日付部分も隠す", 600, 2535, nullptr},
    {2, u"終了位置を覚える", 780, 1695,
     u"設定保存した時に今の位置を記憶して、次回起動時に同じ位置から起動されるようになります"},
    {3, u"クリップボードは使わない", 960, 2295,
     u"これにチェックを入れると、クリップボードの内容変更しません"},
    {4, u"サイズを覚える", 1140, 1455, u"ぴこめの横幅を変えたときの状態を記憶します"},
    {6, u"起動時に前回のページを開く", 1320, 2595, u"ぴこめ起動時に前回使っていたページを開きます"},
    {7, u"入力モードの変更", 1500, 1935,
     u"顔文字を入力した時に、入力モードが変化してしまう時はチェックを付ける事によってある程度回避できます"},
    {8, u"終了時に自動保存する", 1680, 2175, u"ぴこめ終了時に設定内容＆顔文字を自動的に保存します"},
};

QString qs(const char16_t* text) {
    return QString::fromUtf16(text);
}
} // namespace

const std::array<std::uint32_t, 36> Form2::kSwatchColors = {
    16777215, 14737632, 12632256, 8421504,  12632319, 8421631, 192,      128,      8438015,
    12640511, 33023,    16576,    12648447, 8454143,  49344,   32896,    12648384, 8454016,
    49152,    32768,    16777152, 16777088, 12632064, 8421376, 16761024, 16744576, 16711680,
    12582912, 16761087, 16744703, 16711935, 12583104, 0,       8388736,  8388608,  8421376};

Form2::Form2(storage::ProgramState& state)
    : controls::Window(state.desktop, QStringLiteral("ぴこめ　設定"), kClientWidth, kClientHeight),
      state_(state) {
    buildControls();
}

void Form2::buildControls() {
    setFont(controls::pGothicFont(9));

    Combo1 = new controls::ComboBox(this);
    for (int page = 0; page < 10; ++page)
        Combo1->addListItem(storage::settings::defaultPageName(page));
    placeTwips(Combo1, 240, 120, 1095, 300);
    Combo1->onClick = [this] { Combo1_Click(); };

    Frame1 = new controls::Frame(QStringLiteral("選択項目名の変更"), this);
    placeTwips(Frame1, 60, 540, 1695, 5175);
    for (int i = 0; i < 16; ++i) {
        auto* box = new controls::TextBox(Frame1);
        box->setText(QStringLiteral("Text1"));
        placeTwips(box, 120, 240 + 300 * i, 1095, 315);
        box->onChange = [this, i] { Text1_Change(i); };
        Text1[std::size_t(i)] = box;
        auto* option = new controls::OptionButton(QString(), option1Group_, Frame1);
        placeTwips(option, 1320, 300 + 300 * i, 255, 255);
        option->onClick = [this, i] { Option1_Click(i); };
        Option1[std::size_t(i)] = option;
    }

    Frame2 = new controls::Frame(QStringLiteral("顔文字の追加と変更"), this);
    placeTwips(Frame2, 1800, 240, 4215, 6375);
    for (int i = 0; i < 20; ++i) {
        auto* box = new controls::TextBox(Frame2);
        box->setText(QStringLiteral("Text2"));
        placeTwips(box, 120, 240 + 300 * i, 3975, 315);
        box->onChange = [this, i] { Text2_Change(i); };
        Text2[std::size_t(i)] = box;
    }

    Frame5 = new controls::Frame(QStringLiteral("ページ名設定"), this);
    placeTwips(Frame5, 60, 5760, 1695, 855);
    for (int j = 0; j < 10; ++j) {
        auto* option = new controls::OptionButton(QString(), option3Group_, Frame5);
        if (j < 5)
            placeTwips(option, 120 + 240 * j, 180, 255, 255);
        else
            placeTwips(option, 120 + 240 * (j - 5), 360, j == 5 ? 195 : 255, 195);
        option->onClick = [this, j] { Option3_Click(j); };
        Option3[std::size_t(j)] = option;
    }
    Text3 = new controls::TextBox(Frame5);
    placeTwips(Text3, 120, 540, 975, 270);
    Text3->onChange = [this] { Text3_Change(); };
    Command4 = new controls::CommandButton(Frame5);
    Command4->setCaption(QStringLiteral("変更"));
    placeTwips(Command4, 1140, 540, 495, 255);

    Frame3 = new controls::Frame(QStringLiteral("その他の設定"), this);
    placeTwips(Frame3, 6120, 120, 2835, 2835);
    for (const auto& item : kChecks) {
        auto* box = new controls::CheckBox(qs(item.caption), Frame3);
        placeTwips(box, 120, item.top, item.width, 195);
        if (item.tip)
            box->setToolTip(qs(item.tip));
        const int index = item.index;
        box->onClick = [this, index] { Check1_Click(index); };
        Check1[std::size_t(index)] = box;
    }
    // Kept and saved with the others, read by nothing, never shown.
    Check1[5] = new controls::CheckBox(QStringLiteral("画像を表示する"), this);
    placeTwips(Check1[5], 120, 7680, 1575, 255);
    Check1[5]->hide();
    Check1[5]->onClick = [this] { Check1_Click(5); };

    Label1 = new controls::Label(QStringLiteral("ダブルクリック動作"), Frame3);
    placeTwips(Label1, 180, 1980, 1455, 255);
    Combo2 = new controls::ComboBox(Frame3);
    for (const char* item : {"なし", "ENTER", "TAB"})
        Combo2->addListItem(QString::fromUtf8(item));
    placeTwips(Combo2, 1740, 1920, 1035, 300);
    Command6 = new controls::CommandButton(Frame3);
    Command6->setCaption(QStringLiteral("AA設定"));
    placeTwips(Command6, 300, 2280, 1095, 255);
    Command7 = new controls::CommandButton(Frame3);
    Command7->setCaption(QStringLiteral("一括登録"));
    placeTwips(Command7, 300, 2520, 1095, 255);
    Command5 = new controls::CommandButton(Frame3);
    Command5->setCaption(QStringLiteral("特殊設定"));
    placeTwips(Command5, 1380, 2520, 1095, 255);

    Frame4 = new controls::Frame(QStringLiteral("色の設定"), this);
    placeTwips(Frame4, 6120, 3060, 2835, 1875);
    struct OptionItem {
        const char16_t* caption;
        int left, top, width;
    };
    const OptionItem colorTargets[] = {{u"選択色", 60, 240, 855},
                                       {u"背景色", 960, 240, 855},
                                       {u"時計色", 1920, 240, 855},
                                       {u"AAツールチップ背景色", 60, 420, 2115},
                                       {u"AAツールチップ文字色", 60, 600, 2055}};
    for (int i = 0; i < 5; ++i) {
        const auto& item = colorTargets[i];
        auto* option = new controls::OptionButton(qs(item.caption), option2Group_, Frame4);
        placeTwips(option, item.left, item.top, item.width, 195);
        Option2[std::size_t(i)] = option;
    }
    for (int i = 0; i < 36; ++i) {
        auto* swatch = new controls::PictureBox(Frame4);
        swatch->setBackColor(kSwatchColors[std::size_t(i)]);
        placeTwips(swatch, 360 + 240 * (i / 4), 840 + 240 * (i % 4), 255, 255);
        cbox[std::size_t(i)] = swatch;
    }

    Frame6 = new controls::Frame(QStringLiteral("時刻表示設定"), this);
    placeTwips(Frame6, 6120, 5100, 2835, 495);
    const OptionItem clockModes[] = {
        {u"年月日", 120, 240, 855}, {u"時刻", 1140, 240, 675}, {u"両方", 1980, 240, 675}};
    for (int i = 0; i < 3; ++i) {
        const auto& item = clockModes[i];
        auto* option = new controls::OptionButton(qs(item.caption), option4Group_, Frame6);
        placeTwips(option, item.left, item.top, item.width, 195);
        option->onClick = [this, i] { Option4_Click(i); };
        Option4[std::size_t(i)] = option;
    }

    Command1 = new controls::CommandButton(this);
    Command1->setCaption(QStringLiteral("設定保存"));
    placeTwips(Command1, 6120, 5820, 1395, 375);
    Command2 = new controls::CommandButton(this);
    Command2->setCaption(QStringLiteral("バージョン情報"));
    placeTwips(Command2, 7560, 5820, 1395, 375);
    Command3 = new controls::CommandButton(this);
    Command3->setCaption(QStringLiteral("閉じる"));
    placeTwips(Command3, 6120, 6240, 2835, 375);
    Command3->onClick = [this] { Command3_Click(); };
    Command1->onClick = [this] { Command1_Click(); };
    Command2->onClick = [this] { Command2_Click(); };
    Command4->onClick = [this] { Command4_Click(); };
    Command7->onClick = [this] { Command7_Click(); };
    for (int i = 0; i < 36; ++i)
        cbox[std::size_t(i)]->onClick = [this, i] { cbox_Click(i); };
    Command5->onClick = [this] { Command5_Click(); };
    Command6->onClick = [this] { Command6_Click(); };

    // The dialog lives for the whole run: closing it only hides it.
    onCloseRequest = [this] {
        Command3_Click();
        return true;
    };
    setLeftTwips(storage::settings::kForm2LeftDefault);
    setTopTwips(storage::settings::kForm2TopDefault);
}

void Form2::Check1_Click(int index) {
    // Turning "always on top" on takes effect once no dialog covers the palette any more.
    if (index == 0 && Check1[0]->value() == 1)
        state_.TopmostSuspended = 1;
}

void Form2::Option4_Click(int index) {
    state_.ClockMode = QString::number(index);
}

void Form2::Command3_Click() {
    hide();
}

void Form2::Command2_Click() {
    // The About dialog is built for each opening; one already open is brought forward.
    Form3* about = state_.form3 ? state_.form3 : new Form3(state_);
    about->show();
    about->raise();
    about->activateWindow();
}

void Form2::Command7_Click() {
    // The batch-registration dialog is made at its first opening and kept, hidden, after it.
    if (!state_.form6)
        state_.form6 = new Form6(state_);
    state_.form6->show();
    state_.form6->raise();
    state_.form6->activateWindow();
}

void Form2::Command5_Click() {
    auto* f4 = state_.form4;
    f4->show();
    f4->raise();
    f4->activateWindow();
}

void Form2::Command6_Click() {
    // The ASCII-art dialog has nine pages; the history page has none and maps to the ninth.
    auto* f5 = state_.form5;
    const int page = Combo1->listIndex();
    f5->Combo1->setListIndex(page == kHistoryPage ? 8 : page);
    f5->show();
    f5->raise();
    f5->activateWindow();
}

void Form2::ShowGroupEntries(int page, int group) {
    for (int slot = 0; slot < 20; ++slot) {
        const QString& text = state_.KaomojiTable.get(page, group + 1, slot);
        Text2[std::size_t(slot)]->setText(text);
        state_.form1->Command1[std::size_t(slot)]->setCaption(text);
    }
}

void Form2::ShowGroupCaptions(int page) {
    for (int slot = 0; slot < 16; ++slot) {
        const QString& text = state_.KaomojiTable.get(page, 0, slot);
        Text1[std::size_t(slot)]->setText(text);
        state_.form1->Command2[std::size_t(slot)]->setCaption(text);
    }
}

void Form2::PaintGroupButtons() {
    auto& f1 = *state_.form1;
    const auto color1 = storage::colorFromText(state_.Color1);
    for (auto* button : f1.Command2)
        button->setBackColor(color1);
    const int g = state_.CurrentGroup;
    if (g >= 0 && g < 16)
        f1.Command2[std::size_t(g)]->setBackColor(storage::colorFromText(state_.Color2));
}

void Form2::Combo1_Click() {
    auto& s = state_;
    auto& f1 = *s.form1;
    const int page = Combo1->listIndex();
    if (s.EditGuard == kGuardOn || page < 0)
        return;
    Option3[std::size_t(page)]->setValue(true);
    s.EditGuard = kGuardOn;
    f1.Combo1->setListIndex(page);
    if (s.CurrentGroup == kAsciiArtMode)
        f1.Command2[0]->press();
    ShowGroupEntries(page, s.CurrentGroup);
    ShowGroupCaptions(page);
    PaintGroupButtons();
    const bool history = page == kHistoryPage;
    for (int g = 0; g < 16; ++g) {
        f1.Command2[std::size_t(g)]->setEnabled(!history);
        Option1[std::size_t(g)]->setEnabled(!history);
    }
    if (history) {
        f1.Command5->setEnabled(false);
        f1.Command2[0]->press();
        f1.SSTab1->setTab(0);
    } else {
        f1.Command5->setEnabled(true);
        f1.SSTab1->setTab(page + 1);
    }
    s.EditGuard = 0;
}

void Form2::Option1_Click(int group) {
    auto& s = state_;
    auto& f1 = *s.form1;
    s.EditGuard = kGuardOn;
    if (Combo1->listIndex() == -1)
        Combo1->setListIndex(0);
    ShowGroupEntries(Combo1->listIndex(), group);
    const auto color1 = storage::colorFromText(s.Color1);
    for (auto* button : f1.Command2)
        button->setBackColor(color1);
    f1.Command5->setBackColor(color1);
    f1.Command2[std::size_t(group)]->setBackColor(storage::colorFromText(s.Color2));
    s.EditGuard = 0;
    s.CurrentGroup = group;
}

void Form2::Text1_Change(int index) {
    auto& s = state_;
    if (s.EditGuard == kGuardOn)
        return;
    auto* box = Text1[std::size_t(index)];
    box->setText(storage::StripLineBreaks(box->text()));
    const int page = Combo1->listIndex();
    if (!storage::KaomojiTable::inRange(page, 0, index))
        return;
    s.KaomojiTable.at(page, 0, index) = box->text();
    s.form1->Command2[std::size_t(index)]->setCaption(s.KaomojiTable.at(page, 0, index));
}

void Form2::Text2_Change(int index) {
    auto& s = state_;
    if (s.EditGuard == kGuardOn)
        return;
    auto* box = Text2[std::size_t(index)];
    box->setText(storage::StripLineBreaks(box->text()));
    // No group is chosen while the palette shows ASCII art: such an edit belongs to no cell.
    const int page = Combo1->listIndex();
    const int row = s.CurrentGroup + 1;
    if (s.CurrentGroup < 0 || s.CurrentGroup >= 16 || !storage::KaomojiTable::inRange(page, row, index))
        return;
    s.KaomojiTable.at(page, row, index) = box->text();
    s.form1->Command1[std::size_t(index)]->setCaption(s.KaomojiTable.at(page, row, index));
}

void Form2::Option3_Click(int page) {
    auto& s = state_;
    Text3->setText(s.PageNames[std::size_t(page)]);
    if (s.EditGuard == kGuardOn)
        return;
    s.EditGuard = kGuardOn;
    Combo1->setListIndex(page);
    s.form1->Combo1->setListIndex(page);
    if (s.CurrentGroup == kAsciiArtMode)
        s.form1->Command2[0]->press();
    ShowGroupEntries(page, s.CurrentGroup);
    ShowGroupCaptions(page);
    s.EditGuard = 0;
}

void Form2::Text3_Change() {
    Text3->setText(storage::StripLineBreaks(Text3->text()));
    // Every page can be renamed, the history page included.
    for (int j = 0; j < 10; ++j)
        if (Option3[std::size_t(j)]->value())
            state_.PageNames[std::size_t(j)] = Text3->text();
}
