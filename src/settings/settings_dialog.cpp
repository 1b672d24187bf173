#include "settings/settings_dialog.h"
#include "links/window_links.h"
#include "storage/settings_keys.h"
#include "storage/text_rules.h"

using controls::placeTwips;
using storage::kAsciiArtMode;
using storage::kRefilling;

namespace {
constexpr int kClientWidth = 8985;
constexpr int kClientHeight = 6645;
constexpr int kHistoryPage = storage::KaomojiTable::kHistoryPage;

struct CheckItem {
    std::size_t index;
    const char16_t* caption;
    int top;
    int width;
    const char16_t* tip;
};
// The option boxes top to bottom as the frame shows them.
const CheckItem kChecks[] = {
    {option::kAlwaysOnTop, u"常に手前に表示", 240, 1575, u"これにチェックを入れると最優先で手前に表示します"},
    {option::kAutoHide, u"自動で隠す", 420, 1215,
     u"マウスカーソルが離れると自動的にぴこめが小さくなって、邪魔になりません"},
    {option::kHideDateWhenShrunk, u"縮小した時に日付部分も隠す", 600, 2535, nullptr},
    {option::kRememberPositions, u"終了位置を覚える", 780, 1695,
     u"設定保存した時に今の位置を記憶して、次回起動時に同じ位置から起動されるようになります"},
    {option::kKeepUserClipboard, u"クリップボードは使わない", 960, 2295,
     u"これにチェックを入れると、クリップボードの内容変更しません"},
    {option::kRememberWidth, u"サイズを覚える", 1140, 1455, u"ぴこめの横幅を変えたときの状態を記憶します"},
    {option::kOpenLastPage, u"起動時に前回のページを開く", 1320, 2595,
     u"ぴこめ起動時に前回使っていたページを開きます"},
    {option::kLeaveInputMode, u"入力モードの変更", 1500, 1935,
     u"顔文字を入力した時に、入力モードが変化してしまう時はチェックを付ける事によってある程度回避できます"},
    {option::kSaveOnExit, u"終了時に自動保存する", 1680, 2175,
     u"ぴこめ終了時に設定内容＆顔文字を自動的に保存します"},
};

QString qs(const char16_t* text) {
    return QString::fromUtf16(text);
}
} // namespace

const std::array<std::uint32_t, 36> SettingsDialog::kSwatchColors = {
    16777215, 14737632, 12632256, 8421504,  12632319, 8421631, 192,      128,      8438015,
    12640511, 33023,    16576,    12648447, 8454143,  49344,   32896,    12648384, 8454016,
    49152,    32768,    16777152, 16777088, 12632064, 8421376, 16761024, 16744576, 16711680,
    12582912, 16761087, 16744703, 16711935, 12583104, 0,       8388736,  8388608,  8421376};

SettingsDialog::SettingsDialog(storage::ProgramState& state)
    : controls::Window(state.desktop, QStringLiteral("ぴこめ　設定"), kClientWidth, kClientHeight),
      state_(state) {
    buildControls();
}

void SettingsDialog::buildControls() {
    setFont(controls::pGothicFont(9));

    editorPageList = new controls::ComboBox(this);
    for (int page = 0; page < 10; ++page)
        editorPageList->addListItem(storage::settings::defaultPageName(page));
    placeTwips(editorPageList, 240, 120, 1095, 300);
    editorPageList->onClick = [this] { editorPageChosen(); };

    groupNamesFrame = new controls::Frame(QStringLiteral("選択項目名の変更"), this);
    placeTwips(groupNamesFrame, 60, 540, 1695, 5175);
    for (int i = 0; i < 16; ++i) {
        auto* box = new controls::TextBox(groupNamesFrame);
        box->setText(QStringLiteral("Text1"));
        // Named as the user sees them: by their frame, and their place in it.
        box->setAccessibleName(QStringLiteral("選択項目名の変更 %1").arg(i + 1));
        placeTwips(box, 120, 240 + 300 * i, 1095, 315);
        box->onChange = [this, i] { groupNameEdited(i); };
        groupNameBoxes[std::size_t(i)] = box;
        auto* option = new controls::OptionButton(QString(), groupChoiceGroup_, groupNamesFrame);
        option->setAccessibleName(QStringLiteral("選択項目 %1").arg(i + 1));
        placeTwips(option, 1320, 300 + 300 * i, 255, 255);
        option->onClick = [this, i] { editorGroupChosen(i); };
        groupChoices[std::size_t(i)] = option;
    }

    entriesFrame = new controls::Frame(QStringLiteral("顔文字の追加と変更"), this);
    placeTwips(entriesFrame, 1800, 240, 4215, 6375);
    for (int i = 0; i < 20; ++i) {
        auto* box = new controls::TextBox(entriesFrame);
        box->setText(QStringLiteral("Text2"));
        box->setAccessibleName(QStringLiteral("顔文字の追加と変更 %1").arg(i + 1));
        placeTwips(box, 120, 240 + 300 * i, 3975, 315);
        box->onChange = [this, i] { entryEdited(i); };
        entryBoxes[std::size_t(i)] = box;
    }

    pageNameFrame = new controls::Frame(QStringLiteral("ページ名設定"), this);
    placeTwips(pageNameFrame, 60, 5760, 1695, 855);
    for (int j = 0; j < 10; ++j) {
        auto* option = new controls::OptionButton(QString(), pageNameChoiceGroup_, pageNameFrame);
        option->setAccessibleName(QStringLiteral("ページ名設定 %1").arg(j + 1));
        if (j < 5)
            placeTwips(option, 120 + 240 * j, 180, 255, 255);
        else
            placeTwips(option, 120 + 240 * (j - 5), 360, j == 5 ? 195 : 255, 195);
        option->onClick = [this, j] { pageNameChosen(j); };
        pageNameChoices[std::size_t(j)] = option;
    }
    pageNameBox = new controls::TextBox(pageNameFrame);
    pageNameBox->setAccessibleName(QStringLiteral("ページ名設定"));
    placeTwips(pageNameBox, 120, 540, 975, 270);
    pageNameBox->onChange = [this] { pageNameEdited(); };
    renamePageButton = controls::captionedButton(pageNameFrame, QStringLiteral("変更"), 1140, 540, 495, 255);

    otherSettingsFrame = new controls::Frame(QStringLiteral("その他の設定"), this);
    placeTwips(otherSettingsFrame, 6120, 120, 2835, 2835);
    for (const auto& item : kChecks) {
        auto* box = new controls::CheckBox(qs(item.caption), otherSettingsFrame);
        placeTwips(box, 120, item.top, item.width, 195);
        if (item.tip)
            box->setToolTip(qs(item.tip));
        const std::size_t index = item.index;
        box->onClick = [this, index] { optionClicked(index); };
        optionChecks[index] = box;
    }
    // Kept and saved with the others, read by nothing, never shown.
    optionChecks[option::kShowPictures] = new controls::CheckBox(QStringLiteral("画像を表示する"), this);
    placeTwips(optionChecks[option::kShowPictures], 120, 7680, 1575, 255);
    optionChecks[option::kShowPictures]->hide();
    optionChecks[option::kShowPictures]->onClick = [this] { optionClicked(option::kShowPictures); };

    doubleClickLabel = new controls::Label(QStringLiteral("ダブルクリック動作"), otherSettingsFrame);
    placeTwips(doubleClickLabel, 180, 1980, 1455, 255);
    doubleClickActionList = new controls::ComboBox(otherSettingsFrame);
    doubleClickActionList->setAccessibleName(doubleClickLabel->text());
    for (const char* item : {"なし", "ENTER", "TAB"})
        doubleClickActionList->addListItem(QString::fromUtf8(item));
    placeTwips(doubleClickActionList, 1740, 1920, 1035, 300);
    asciiArtSettingsButton =
        controls::captionedButton(otherSettingsFrame, QStringLiteral("AA設定"), 300, 2280, 1095, 255);
    batchRegistrationButton =
        controls::captionedButton(otherSettingsFrame, QStringLiteral("一括登録"), 300, 2520, 1095, 255);
    mouseSensitivityButton =
        controls::captionedButton(otherSettingsFrame, QStringLiteral("特殊設定"), 1380, 2520, 1095, 255);

    colorFrame = new controls::Frame(QStringLiteral("色の設定"), this);
    placeTwips(colorFrame, 6120, 3060, 2835, 1875);
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
        auto* option = new controls::OptionButton(qs(item.caption), colorTargetGroup_, colorFrame);
        placeTwips(option, item.left, item.top, item.width, 195);
        colorTargetChoices[std::size_t(i)] = option;
    }
    for (int i = 0; i < 36; ++i) {
        auto* swatch = new controls::PictureBox(colorFrame);
        swatch->setBackColor(kSwatchColors[std::size_t(i)]);
        placeTwips(swatch, 360 + 240 * (i / 4), 840 + 240 * (i % 4), 255, 255);
        colorSwatches[std::size_t(i)] = swatch;
    }

    clockFrame = new controls::Frame(QStringLiteral("時刻表示設定"), this);
    placeTwips(clockFrame, 6120, 5100, 2835, 495);
    const OptionItem clockModes[] = {
        {u"年月日", 120, 240, 855}, {u"時刻", 1140, 240, 675}, {u"両方", 1980, 240, 675}};
    for (int i = 0; i < 3; ++i) {
        const auto& item = clockModes[i];
        auto* option = new controls::OptionButton(qs(item.caption), clockModeGroup_, clockFrame);
        placeTwips(option, item.left, item.top, item.width, 195);
        option->onClick = [this, i] { clockModeChosen(i); };
        clockModeChoices[std::size_t(i)] = option;
    }

    saveButton = controls::captionedButton(this, QStringLiteral("設定保存"), 6120, 5820, 1395, 375);
    aboutButton = controls::captionedButton(this, QStringLiteral("バージョン情報"), 7560, 5820, 1395, 375);
    closeButton = controls::captionedButton(this, QStringLiteral("閉じる"), 6120, 6240, 2835, 375);
    closeButton->onClick = [this] { closeClicked(); };
    saveButton->onClick = [this] { saveClicked(); };
    aboutButton->onClick = [this] { openAbout(); };
    renamePageButton->onClick = [this] { renamePageClicked(); };
    batchRegistrationButton->onClick = [this] { openBatchRegistration(); };
    for (int i = 0; i < 36; ++i)
        colorSwatches[std::size_t(i)]->onClick = [this, i] { swatchClicked(i); };
    mouseSensitivityButton->onClick = [this] { openMouseSensitivity(); };
    asciiArtSettingsButton->onClick = [this] { openAsciiArtSettings(); };

    // The dialog lives for the whole run: closing it only hides it.
    onCloseRequest = [this] {
        closeClicked();
        return true;
    };
    setLeftTwips(storage::settings::kForm2LeftDefault);
    setTopTwips(storage::settings::kForm2TopDefault);
}

void SettingsDialog::optionClicked(std::size_t index) {
    // Turning "always on top" on takes effect once no dialog covers the palette any more.
    if (index == option::kAlwaysOnTop && optionChecks[option::kAlwaysOnTop]->value() == 1)
        state_.topmostSuspended = 1;
}

void SettingsDialog::clockModeChosen(int index) {
    state_.clockMode = QString::number(index);
}

void SettingsDialog::closeClicked() {
    hide();
}

void SettingsDialog::openAbout() {
    state_.links->openAbout();
}

void SettingsDialog::openBatchRegistration() {
    state_.links->openBatchRegistration();
}

void SettingsDialog::openMouseSensitivity() {
    state_.links->openMouseSensitivity();
}

void SettingsDialog::openAsciiArtSettings() {
    state_.links->openAsciiArtSettings(editorPageList->listIndex());
}

void SettingsDialog::saveClicked() {
    const QStringList failed = state_.links->saveSettings();
    if (!failed.isEmpty() && state_.reportSaveFailure)
        state_.reportSaveFailure(failed);
}

void SettingsDialog::showGroupEntries(int page, int group) {
    for (int slot = 0; slot < 20; ++slot) {
        const QString& text = state_.kaomoji.get(page, group + 1, slot);
        entryBoxes[std::size_t(slot)]->setText(text);
        state_.links->paletteShowEntry(slot, text);
    }
}

void SettingsDialog::showGroupNames(int page) {
    for (int slot = 0; slot < 16; ++slot) {
        const QString& text = state_.kaomoji.get(page, 0, slot);
        groupNameBoxes[std::size_t(slot)]->setText(text);
        state_.links->paletteShowGroupName(slot, text);
    }
}

void SettingsDialog::paintGroupButtons() {
    state_.links->paletteMarkGroup(state_.currentGroup, false);
}

void SettingsDialog::editorPageChosen() {
    auto& s = state_;
    const int page = editorPageList->listIndex();
    if (s.refilling == kRefilling || page < 0)
        return;
    pageNameChoices[std::size_t(page)]->setValue(true);
    s.refilling = kRefilling;
    s.links->paletteShowPage(page);
    if (s.currentGroup == kAsciiArtMode)
        s.links->paletteChooseFirstGroup();
    showGroupEntries(page, s.currentGroup);
    showGroupNames(page);
    paintGroupButtons();
    const bool history = page == kHistoryPage;
    for (auto* choice : groupChoices)
        choice->setEnabled(!history);
    s.links->paletteShowHistoryOrPage(page);
    s.refilling = 0;
}

void SettingsDialog::editorGroupChosen(int group) {
    auto& s = state_;
    s.refilling = kRefilling;
    if (editorPageList->listIndex() == -1)
        editorPageList->setListIndex(0);
    showGroupEntries(editorPageList->listIndex(), group);
    s.links->paletteMarkGroup(group, true);
    s.refilling = 0;
    s.currentGroup = group;
}

void SettingsDialog::groupNameEdited(int index) {
    auto& s = state_;
    if (s.refilling == kRefilling)
        return;
    auto* box = groupNameBoxes[std::size_t(index)];
    box->setText(storage::StripLineBreaks(box->text()));
    const int page = editorPageList->listIndex();
    if (!storage::KaomojiTable::inRange(page, 0, index))
        return;
    s.kaomoji.at(page, 0, index) = box->text();
    s.links->paletteShowGroupName(index, s.kaomoji.at(page, 0, index));
}

void SettingsDialog::entryEdited(int index) {
    auto& s = state_;
    if (s.refilling == kRefilling)
        return;
    auto* box = entryBoxes[std::size_t(index)];
    box->setText(storage::StripLineBreaks(box->text()));
    // No group is chosen while the palette shows ASCII art: such an edit belongs to no cell.
    const int page = editorPageList->listIndex();
    const int row = s.currentGroup + 1;
    if (s.currentGroup < 0 || s.currentGroup >= 16 || !storage::KaomojiTable::inRange(page, row, index))
        return;
    s.kaomoji.at(page, row, index) = box->text();
    s.links->paletteShowEntry(index, s.kaomoji.at(page, row, index));
}

void SettingsDialog::pageNameChosen(int page) {
    auto& s = state_;
    pageNameBox->setText(s.pageNames[std::size_t(page)]);
    if (s.refilling == kRefilling)
        return;
    s.refilling = kRefilling;
    editorPageList->setListIndex(page);
    s.links->paletteShowPage(page);
    if (s.currentGroup == kAsciiArtMode)
        s.links->paletteChooseFirstGroup();
    showGroupEntries(page, s.currentGroup);
    showGroupNames(page);
    s.refilling = 0;
}

void SettingsDialog::pageNameEdited() {
    pageNameBox->setText(storage::StripLineBreaksFromName(pageNameBox->text()));
    // Every page can be renamed, the history page included.
    for (int j = 0; j < 10; ++j)
        if (pageNameChoices[std::size_t(j)]->value())
            state_.pageNames[std::size_t(j)] = pageNameBox->text();
}
