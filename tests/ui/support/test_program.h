#pragma once
// A whole program in a temporary folder, on the fake desktop, for window tests.
#include "app/program.h"
#include "file_helpers.h"
#include "platform/fake/fake_desktop.h"
#include "platform/utf8_path.h"
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

// The text of every cell in a kaomoji file written by writeSelfNamingKaomojiFile().
QString cellName(int page, int row, int slot);

using test_files::fileIdentity;

// Takes the owner's write permission away (mode 0444); on Windows gives the file the read-only
// attribute, which the C library's mode bits stand for there.
void makeReadOnly(const std::filesystem::path& file);

class TestProgram;

// Records the program's messages and questions instead of showing them; the question whether
// to end without saving gets the answer given here.
struct UserAnswers {
    explicit UserAnswers(TestProgram& t, bool endWithoutSaving = false);
    QList<QStringList> reported;
    QList<QStringList> asked;
    int ended = 0;
};

class TestProgram {
public:
    TestProgram();
    ~TestProgram();

    std::filesystem::path folder() const;
    std::filesystem::path path(const QString& name) const;
    // Writes a file of the program's folder; text given as UTF-8 is stored in cp932.
    void writeText(const QString& name, const QString& text) const;
    void writeBytes(const QString& name, const std::string& bytes) const;
    std::string readBytes(const QString& name) const;
    // A settings file holding these lines (CR LF after each).
    void writeSettings(const QStringList& lines) const;
    // A full kaomoji file whose every cell names itself (cellName).
    void writeSelfNamingKaomojiFile() const;
    // A kaomoji file whose first group of page 1 holds k0 … k19, and nothing else.
    void writeNumberedFirstGroup() const;

    // Builds the program and runs its start-up (the palette is shown).
    Program& start();
    Program& program() { return *program_; }
    storage::ProgramState& state() { return program_->state(); }

    platform::FakeDesktop desktop;

private:
    QTemporaryDir dir_;
    std::unique_ptr<Program> program_;
};
