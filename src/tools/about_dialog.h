#pragma once
// "ぴこめ　バージョン情報": the version, the operating system's version, the terms and a link to
// the project's web page. Built anew for every opening and destroyed when closed.
#include "controls/controls.h"
#include "controls/window.h"
#include "storage/program_state.h"

class AboutDialog : public controls::Window {
    Q_OBJECT
public:
    explicit AboutDialog(storage::ProgramState& state);

    static inline const QString kWebAddress = QStringLiteral("https://pikome.github.io");
    static inline const QString kVersion = QStringLiteral("ver1.28");

    // "OSVersion  " and the version as a single-precision number in its shortest form.
    static QString osVersionText(double version);

    controls::Label* iconImage = nullptr;
    controls::Label* bannerImage = nullptr;
    controls::Label* osVersionLabel = nullptr;
    std::array<controls::Label*, 2> versionAndTermsLabels{};
    controls::Label* webAddressLabel = nullptr;
    controls::Label* feedbackLabel = nullptr;
    controls::Label* disclaimerLabel = nullptr;
    QFrame* separatorLine = nullptr;
    controls::CommandButton* okButton = nullptr; // "OK"

    void openWebPage();
    void okClicked();

private:
    storage::ProgramState& state_;
};
