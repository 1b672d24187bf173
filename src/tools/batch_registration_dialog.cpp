#include "tools/batch_registration_dialog.h"
#include "asciiart/dropped_text.h"
#include "links/window_links.h"
#include "platform/cp932.h"
#include "storage/text_codec.h"
#include <QRegularExpression>

using controls::placeTwips;

namespace {
constexpr int kClientWidth = 6195;
constexpr int kClientHeight = 5025;
constexpr std::size_t kLineBytes = 255;
constexpr int kEntries = 20;
} // namespace

BatchRegistrationDialog::BatchRegistrationDialog(storage::ProgramState& state)
    : controls::Window(state.desktop, QStringLiteral("ぴこめ　一括登録"), kClientWidth, kClientHeight),
      state_(state) {
    setFont(controls::pGothicFont(9));
    linesBox = new controls::MultiLineTextBox(this);
    linesBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    placeTwips(linesBox, 0, 0, 6195, 3975);
    explanationLabel = new controls::Label(
        QStringLiteral("２０個の顔文字を「ぴこめ　設定」に表示されているページへ一括登録します"
                       "　　　　　　２１行目以降は無視されます"),
        this);
    explanationLabel->setWordWrap(true);
    linesBox->setAccessibleName(explanationLabel->text());
    placeTwips(explanationLabel, 840, 4080, 4755, 375);

    struct ButtonItem {
        controls::CommandButton** button;
        const char16_t* caption;
        int left;
    };
    const ButtonItem buttons[] = {{&registerButton, u"登録", 120},
                                  {&fetchButton, u"読み込み", 1680},
                                  {&clearButton, u"消去", 3240},
                                  {&closeButton, u"閉じる", 4800}};
    for (const auto& item : buttons) {
        *item.button = new controls::CommandButton(this);
        (*item.button)->setCaption(QString::fromUtf16(item.caption));
        placeTwips(*item.button, item.left, 4560, 1395, 435);
    }
    registerButton->onClick = [this] { registerClicked(); };
    closeButton->onClick = [this] { closeClicked(); };
    clearButton->onClick = [this] { clearClicked(); };
    fetchButton->onClick = [this] { fetchClicked(); };
    linesBox->onFilesDropped = [this](const QStringList& paths) { filesDropped(paths); };
    onCloseRequest = [this] {
        closeClicked();
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

QString BatchRegistrationDialog::lineOf(int index) const {
    // The lines the box shows: a text set from code (a dropped file) may keep a lone CR or LF,
    // and the box breaks the line there as at CR LF.
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = linesBox->text().split(lineEnd);
    if (index < 0 || index >= lines.size())
        return QString();
    return cutToLineBytes(lines[index]);
}

void BatchRegistrationDialog::registerClicked() {
    auto& links = *state_.links;
    if (!links.settingsOpen())
        return;
    for (int i = 0; i < kEntries; ++i) {
        QString line = lineOf(i);
        const auto entry = std::size_t(i);
        if (!fetchedLines_[entry].isNull() && line == fetchedLines_[entry])
            line = cutToLineBytes(fetchedEntries_[entry]);
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        auto& box = links.editorEntryBox(i);
        box.setText(line);
        box.setText(box.text().replace(QLatin1Char('\t'), QLatin1Char(' ')));
    }
}

void BatchRegistrationDialog::closeClicked() {
    hide();
}

void BatchRegistrationDialog::clearClicked() {
    linesBox->setText(QString());
    forgetFetch();
}

void BatchRegistrationDialog::forgetFetch() {
    fetchedEntries_ = {};
    fetchedLines_ = {};
}

void BatchRegistrationDialog::fetchClicked() {
    auto& links = *state_.links;
    linesBox->setText(QString());
    QString text;
    for (int i = 0; i < kEntries; ++i) {
        const auto entry = std::size_t(i);
        const QString entryText = links.editorEntryBox(i).text();
        QString line = entryText;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        fetchedEntries_[entry] = entryText;
        fetchedLines_[entry] = entryText.contains(QLatin1Char('\n')) ? cutToLineBytes(line) : QString();
        text += line + QStringLiteral("\r\n");
    }
    linesBox->setText(text);
}

void BatchRegistrationDialog::filesDropped(const QStringList& paths) {
    const std::optional<QString> text = asciiart::takeDroppedText(paths, state_.reportProblem);
    if (!text)
        return;
    forgetFetch();
    linesBox->setText(*text);
}
