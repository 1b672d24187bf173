#include "test_program.h"
#include "platform/utf8_path.h"
#include "storage/text_codec.h"
#include <QtTest>
#include <fstream>
#include <sstream>

void makeReadOnly(const std::filesystem::path& file) {
    // mingw's C library maps a mode without the owner's write bit to the read-only attribute.
    using std::filesystem::perms;
    std::filesystem::permissions(file, perms::owner_read | perms::group_read | perms::others_read);
}

QString cellName(int page, int row, int slot) {
    return QStringLiteral("p%1r%2s%3").arg(page).arg(row).arg(slot);
}

UserAnswers::UserAnswers(TestProgram& t, bool endWithoutSaving) {
    auto& s = t.state();
    s.reportSaveFailure = [this](const QStringList& files) { reported << files; };
    s.confirmEndWithoutSaving = [this, endWithoutSaving](const QStringList& files) {
        asked << files;
        return endWithoutSaving;
    };
    s.endProgram = [this] { ++ended; };
}

void TestProgram::writeSelfNamingKaomojiFile() const {
    QString text;
    for (int page = 0; page < 10; ++page)
        for (int row = 0; row < 17; ++row)
            for (int slot = 0; slot < 20; ++slot)
                text += cellName(page, row, slot) + QStringLiteral("\r\n");
    writeText(QStringLiteral("顔文字.ini"), text);
}

TestProgram::TestProgram() {
    // Qt's offscreen platform gives every window a 2-pixel frame; predicting the same frame
    // keeps the outer sizes set before the first show exact.
    desktop.captionHeight = 20;
    desktop.frame = {2, 2, 2, 2};
}

TestProgram::~TestProgram() = default;

std::filesystem::path TestProgram::folder() const {
    // UTF-8 said explicitly: mingw would read a std::string one character per byte.
    return platform::pathFromUtf8(dir_.path().toStdString());
}

std::filesystem::path TestProgram::path(const QString& name) const {
    return folder() / platform::pathFromUtf8(name.toStdString());
}

void TestProgram::writeText(const QString& name, const QString& text) const {
    writeBytes(name, storage::toCp932(text));
}

void TestProgram::writeNumberedFirstGroup() const {
    QString text;
    for (int line = 0; line < 3400; ++line)
        text += (line >= 20 && line < 40 ? QStringLiteral("k%1").arg(line - 20) : QString()) +
                QStringLiteral("\r\n");
    writeText(QStringLiteral("顔文字.ini"), text);
}

void TestProgram::writeBytes(const QString& name, const std::string& bytes) const {
    const auto file = path(name);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string TestProgram::readBytes(const QString& name) const {
    std::ifstream in(path(name), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void TestProgram::writeSettings(const QStringList& lines) const {
    writeText(QStringLiteral("設定.ini"), lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

Program& TestProgram::start() {
    // Begun as the real program begins them, so the reads on other threads are what is tested.
    program_ = std::make_unique<Program>(folder(), desktop, startReadingAhead(folder()));
    program_->start();
    return *program_;
}
