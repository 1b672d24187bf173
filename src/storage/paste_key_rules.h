#pragma once
// The user's own paste keystrokes, by window class: the settings file's section "PasteKeys",
// one "class=keystroke" a line (XTerm=+{INSERT}). The section is the program's alone: the
// Windows program never reads it and, writing its keys one by one, keeps it as it is, so the
// rules travel with the file from machine to machine.
#include <QString>
#include <filesystem>
#include <string>
#include <vector>

namespace storage {

inline const QString kPasteKeysSection = QStringLiteral("PasteKeys");

struct PasteKeyRule {
    std::string windowClass;
    std::string keys; // as written; the palette takes only the keystrokes it knows
};

// In the file's order; a class named twice keeps its first rule, as reading a key does.
std::vector<PasteKeyRule> readPasteKeyRules(const std::filesystem::path& settingsFile);

} // namespace storage
