#pragma once
// The values the program's windows share. One instance is owned by the program object and
// every window reaches it by reference, so a test can build a whole program against a
// temporary folder and the fake desktop.
#include "platform/desktop.h"
#include "storage/aa_table.h"
#include "storage/kaomoji_table.h"
#include "storage/paste_key_rules.h"
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>

class WindowLinks;
namespace palette {
class TipWindow;
}

namespace storage {

// The current group while the palette shows ASCII-art names instead of a group's kaomoji.
constexpr int kAsciiArtMode = 100;
// The refilling guard while the program itself refills lists and text boxes: list and box
// handlers then leave the tables alone.
constexpr int kRefilling = 100;

// Where the kaomoji file and the ASCII-art store are in a program folder.
std::filesystem::path kaomojiFileIn(const std::filesystem::path& programFolder);
std::filesystem::path asciiArtFolderIn(const std::filesystem::path& programFolder);

struct ProgramState {
    ProgramState(std::filesystem::path programFolder, platform::Desktop& desktopRef)
        : folder(std::move(programFolder)), desktop(desktopRef) {}

    // The folder that holds the executable, where every file of the program lives.
    std::filesystem::path folder;
    platform::Desktop& desktop;

    std::filesystem::path settingsFile() const;
    std::filesystem::path kaomojiFile() const;
    std::filesystem::path asciiArtFolder() const;

    storage::KaomojiTable kaomoji;
    std::array<QString, 10> pageNames;
    // The page the palette showed when the settings were last saved ("PageNumber"); start-up
    // opens it when the "open the last page" option is on.
    int lastPage = 0;
    // The group whose entries the entry buttons show, 0..15, or kAsciiArtMode.
    int currentGroup = 0;
    // kRefilling while the program itself refills lists and boxes, else 0.
    int refilling = 0;

    // Colours as 0x00BBGGRR values; the first three are kept as decimal text.
    QString backgroundColor;
    QString selectionColor;
    QString clockColor;
    std::uint32_t tipBackColor = 0;
    std::uint32_t tipTextColor = 0;

    // The clock bar shows the date ("0"), the time ("1") or both ("2").
    QString clockMode;
    // The height of a window caption, in twips, as start-up measured it.
    int captionHeight = 0;
    // 1 while a dialog keeps the palette out of the always-on-top band, else 0.
    int topmostSuspended = 0;

    // The ASCII-art pieces' names and texts, by ASCII-art page 1..9 and entry 0..19.
    AATable asciiArtNames;
    AATable asciiArtTexts;

    // The user's own paste keystrokes by window class, as start-up read them.
    std::vector<PasteKeyRule> pasteKeyRules;

    // Files that existed at start-up but could not be read: the program does not know what
    // they hold, so a save never overwrites or deletes them in its ignorance.
    bool kaomojiFileUnreadable = false;
    // ASCII-art texts that could not be read whole (so none of it was taken), by
    // page * 100 + entry, with the text they were given at start-up (empty).
    QHash<int, QString> aaTextReadInPart;

    // The kaomoji file and the ASCII-art texts, when the program has begun reading them on other
    // threads while it makes its windows; start-up takes them from here, or reads them itself.
    std::future<kaomoji_file::Read> kaomojiReadAhead;
    std::future<AATextsRead> aaTextsReadAhead;

    // Questions and messages for the user; the program object shows them as message boxes,
    // tests answer them. Saving tells which files could not be written (nothing in memory is
    // lost); ending with automatic saving asks whether to end anyway when a save failed.
    std::function<void(const QStringList& files)> reportSaveFailure;
    std::function<bool(const QStringList& files)> confirmEndWithoutSaving;
    // The user's clipboard could not be read in time before a paste, so it was not put back
    // whole afterwards; the program object shows a notice that does not take the focus.
    std::function<void()> reportClipboardNotKept;
    // Tells the user why something asked for could not be done (a dropped file that cannot be
    // read); nothing was changed.
    std::function<void(const QString& message)> reportProblem;
    // Tells the user something without asking or waiting (start-up found files it could not
    // read whole): a notice that takes no focus and blocks nothing.
    std::function<void(const QString& message)> tellUser;
    // Ends the event loop; the program object quits the application.
    std::function<void()> endProgram;

    // The steps that span windows (links/window_links.h), set by the program object before
    // it makes the windows.
    WindowLinks* links = nullptr;
    // The palette's tip window, made at start-up.
    palette::TipWindow* tipWindow = nullptr;
};

// A colour held as decimal text, as a number (text that is no number gives black).
std::uint32_t colorFromText(const QString& text);

} // namespace storage
