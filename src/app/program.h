#pragma once
// The program object: owns the shared values and the windows, runs start-up and shows the palette.
#include "app/program_windows.h"
#include "app/read_ahead.h"
#include "platform/desktop.h"
#include "storage/program_state.h"
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <filesystem>
#include <memory>

class PaletteWindow;
class SettingsDialog;
class MouseSensitivityDialog;
class AsciiArtDialog;
class AboutDialog;
class BatchRegistrationDialog;
class ProgramWindowLinks;

class Program {
public:
    // readAhead: the start-up reads already begun (see read_ahead.h); what it lacks is read in
    // place during start-up.
    Program(std::filesystem::path folder, platform::Desktop& desktop, ReadAhead readAhead = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Start-up, then the palette is shown.
    void start();

    storage::ProgramState& state() { return state_; }
    PaletteWindow& paletteWindow() { return *paletteWindow_; }
    SettingsDialog& settingsDialog() { return *settingsDialog_; }
    MouseSensitivityDialog& mouseDialog() { return *mouseDialog_; }
    AsciiArtDialog& asciiArtDialog() { return *asciiArtDialog_; }
    // The dialogs made when first opened: null before (the About dialog again once closed).
    AboutDialog* aboutDialog() const;
    BatchRegistrationDialog* batchDialog() const;

    // The message shown when files could not be saved.
    static QString saveFailureText(const QStringList& files);

    // The desktop ends the program (a signal, the session's end): the palette's exit runs as
    // "終了" does, but nobody is there to answer a question, so a save that fails is reported
    // on standard error and the program ends with its files as they were.
    void endUnattended();
    // The automatic save of the exit (when it is on) with nothing asked or shown, for moments
    // when the program cannot or must not end through its windows: the session manager's
    // checkpoint, the display gone.
    void saveUnattended();
    // The display is gone and the program is about to end: the pastes not yet sent are dropped
    // (one whose text the target already has stays in the history), then the same save runs.
    void saveAsTheDisplayIsLost();
    // Another start on the same files asked for the palette: shown, at full height, in front.
    void bringForward();

private:
    ProgramWindows windows() const;
    void reportUnsavedOnStandardError(const QStringList& files) const;

    storage::ProgramState state_;
    // Dialogs first: the palette refers to them while it lives, so it goes first.
    std::unique_ptr<SettingsDialog> settingsDialog_;
    std::unique_ptr<MouseSensitivityDialog> mouseDialog_;
    std::unique_ptr<AsciiArtDialog> asciiArtDialog_;
    std::unique_ptr<PaletteWindow> paletteWindow_;
    std::unique_ptr<ProgramWindowLinks> links_;
    // The notice that the user's clipboard could not be kept; one at a time.
    QPointer<QMessageBox> clipboardNotice_;
};
