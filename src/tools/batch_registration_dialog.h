#pragma once
// "ぴこめ　一括登録": twenty lines of text go into the twenty entries the settings dialog shows,
// and those entries come back as text.
#include "controls/controls.h"
#include "controls/window.h"
#include "storage/program_state.h"
#include <array>

class BatchRegistrationDialog : public controls::Window {
    Q_OBJECT
public:
    explicit BatchRegistrationDialog(storage::ProgramState& state);

    controls::MultiLineTextBox* linesBox = nullptr;
    controls::Label* explanationLabel = nullptr;
    controls::CommandButton* registerButton = nullptr; // "登録"
    controls::CommandButton* closeButton = nullptr;    // "閉じる"
    controls::CommandButton* clearButton = nullptr;    // "消去"
    controls::CommandButton* fetchButton = nullptr;    // "読み込み"

    void registerClicked();
    void closeClicked();
    void clearClicked();
    void fetchClicked();

    // Line i of the text box (counted from 0; lines end at CR LF, CR or LF, as the box shows
    // them), as the box hands it out:
    // at most 255 bytes in cp932, cut before a character that would not fit; "" past the end.
    QString lineOf(int index) const;

    // A text file dropped on the box replaces its text, as the ASCII-art editor takes one.
    void filesDropped(const QStringList& paths);

private:
    void forgetFetch();
    storage::ProgramState& state_;
    // The entries of the last fetch and the lines that stood for them. An entry may hold a lone
    // LF, which a line of the box cannot show: its line shows a space there, and a line still
    // as fetched registers the entry as it was.
    std::array<QString, 20> fetchedEntries_;
    std::array<QString, 20> fetchedLines_;
};
