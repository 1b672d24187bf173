#pragma once
// "ぴこめ　バージョン情報": the version, the operating system's version, the terms and a link to
// the project's web page. Built anew for every opening and destroyed when closed.
#include "controls/controls.h"
#include "controls/window.h"
#include "storage/program_state.h"

class Form3 : public controls::Window {
    Q_OBJECT
public:
    explicit Form3(storage::ProgramState& state);
    ~Form3() override;

    static inline const QString kWebAddress = QStringLiteral("https://pikome.github.io");
    static inline const QString kVersion = QStringLiteral("ver1.28");

    // "OSVersion  " and the version as a single-precision number in its shortest form.
    static QString osVersionText(double version);

    controls::Label* Image1 = nullptr;
    controls::Label* Image2 = nullptr;
    controls::Label* Label1 = nullptr;
    std::array<controls::Label*, 2> Label2{};
    controls::Label* Label3 = nullptr;
    controls::Label* Label4 = nullptr;
    controls::Label* lblDisclaimer = nullptr;
    QFrame* Line1 = nullptr;
    controls::CommandButton* Command1 = nullptr; // "OK"

    void OpenWebPage();
    void Command1_Click();

private:
    storage::ProgramState& state_;
};
