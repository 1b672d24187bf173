#include "tools/form6.h"
#include "asciiart/dropped_text.h"
#include "platform/cp932.h"
#include "settings/form2.h"
#include "storage/text_codec.h"

using controls::placeTwips;

namespace {
constexpr int kClientWidth = 6195;
constexpr int kClientHeight = 5025;
constexpr std::size_t kLineBytes = 255;
constexpr int kEntries = 20;
} // namespace

Form6::Form6(storage::ProgramState& state)
    : controls::Window(state.desktop, QStringLiteral("ぴこめ　一括登録"), kClientWidth, kClientHeight),
      state_(state) {
    setFont(controls::pGothicFont(9));
    Text1 = new controls::MultiLineTextBox(this);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    placeTwips(Text1, 0, 0, 6195, 3975);
    Label1 = new controls::Label(
        QStringLiteral("２０個の顔文字を「ぴこめ　設定」に表示されているページへ一括登録します"
                       "　　　　　　２１行目以降は無視されます"),
        this);
    Label1->setWordWrap(true);
    placeTwips(Label1, 840, 4080, 4755, 375);

    struct ButtonItem {
        controls::CommandButton** button;
        const char16_t* caption;
        int left;
    };
    const ButtonItem buttons[] = {{&Command1, u"登録", 120},
                                  {&Command4, u"読み込み", 1680},
                                  {&Command3, u"消去", 3240},
                                  {&Command2, u"閉じる", 4800}};
    for (const auto& item : buttons) {
        *item.button = new controls::CommandButton(this);
        (*item.button)->setCaption(QString::fromUtf16(item.caption));
        placeTwips(*item.button, item.left, 4560, 1395, 435);
    }
    Command1->onClick = [this] { Command1_Click(); };
    Command2->onClick = [this] { Command2_Click(); };
    Command3->onClick = [this] { Command3_Click(); };
    Command4->onClick = [this] { Command4_Click(); };
    Text1->onFilesDropped = [this](const QStringList& paths) { Text1_FilesDropped(paths); };
    onCloseRequest = [this] {
        Command2_Click();
        return true;
    };
}

namespace {
// At most 255 bytes in cp932, cut before a character that would not fit.
QString cutToLineBytes(const QString& line) {
    const std::string bytes = storage::toCp932(line);
    return storage::fromCp932(
        std::string_view(bytes).substr(0, platform::cp932::prefixLength(bytes, kLineBytes)));
}
} // namespace

QString Form6::lineOf(int index) const {
    const QStringList lines = Text1->text().split(QStringLiteral("\r\n"));
    if (index < 0 || index >= lines.size())
        return QString();
    return cutToLineBytes(lines[index]);
}

void Form6::Command1_Click() {
    auto& f2 = *state_.form2;
    if (!f2.isVisible())
        return;
    for (int i = 0; i < kEntries; ++i) {
        QString line = lineOf(i);
        const auto entry = std::size_t(i);
        if (!fetchedLines_[entry].isNull() && line == fetchedLines_[entry])
            line = cutToLineBytes(fetchedEntries_[entry]);
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        auto* box = f2.Text2[entry];
        box->setText(line);
        box->setText(box->text().replace(QLatin1Char('\t'), QLatin1Char(' ')));
    }
}

void Form6::Command2_Click() {
    hide();
}

void Form6::Command3_Click() {
    Text1->setText(QString());
    forgetFetch();
}

void Form6::forgetFetch() {
    fetchedEntries_ = {};
    fetchedLines_ = {};
}

void Form6::Command4_Click() {
    auto& f2 = *state_.form2;
    Text1->setText(QString());
    QString text;
    for (int i = 0; i < kEntries; ++i) {
        const auto entry = std::size_t(i);
        const QString& entryText = f2.Text2[entry]->text();
        QString line = entryText;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        fetchedEntries_[entry] = entryText;
        fetchedLines_[entry] = entryText.contains(QLatin1Char('\n')) ? cutToLineBytes(line) : QString();
        text += line + QStringLiteral("\r\n");
    }
    Text1->setText(text);
}

void Form6::Text1_FilesDropped(const QStringList& paths) {
    const asciiart::DroppedText dropped = asciiart::readDroppedText(paths);
    if (dropped.kind == asciiart::DroppedText::Refused && state_.reportProblem)
        state_.reportProblem(dropped.message);
    if (dropped.kind != asciiart::DroppedText::Taken)
        return;
    forgetFetch();
    Text1->setText(dropped.text);
}
