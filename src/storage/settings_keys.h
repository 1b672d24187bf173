#pragma once
// The settings file "設定.ini": its keys, their defaults, and the range each live value can take.
// A value outside its range (a hand-edited or damaged file) falls back to the key's default,
// so a bad file can never put a control into a state it cannot hold.
#include <QString>
#include <array>
#include <cstdint>

namespace storage::settings {

inline const QString kFileName = QStringLiteral("設定.ini");

inline const QString kOptions = QStringLiteral("Options");
inline const QString kColorOptions = QStringLiteral("ColorOptions");
inline const QString kForm = QStringLiteral("Form");
inline const QString kMouseOptions = QStringLiteral("MouseOptions");
inline const QString kPageName = QStringLiteral("PageName");

// Check0 .. Check9 defaults: always on top, auto-hide, remember position, (clipboard off),
// remember size, (pictures off), (last page off), input-mode, save at exit, (hide date off).
constexpr std::array<int, 10> kCheckDefaults = {1, 1, 1, 0, 1, 0, 0, 1, 1, 0};

constexpr int kPageNumberDefault = 1;
constexpr int kDoubleClickDefault = 1;
constexpr std::int32_t kColor1Default = 12648384;
constexpr std::int32_t kColor2Default = 16761087;
constexpr std::int32_t kColor3Default = 16777088;
constexpr std::int32_t kToolTipBackColorDefault = 11829860;
constexpr std::int32_t kToolTipFontColorDefault = 16777215;
constexpr int kForm1LeftDefault = 0;
constexpr int kForm1TopDefault = 0;
constexpr int kForm1WidthDefault = 4710;
constexpr int kForm2LeftDefault = 4680;
constexpr int kForm2TopDefault = 0;
constexpr int kTimeDefault = 2;
constexpr int kMouseDefault = 10000;

QString defaultPageName(int page);

// Range checks: the value when the receiving control can hold it, else the default.
int checkState(std::int32_t value, int defaultValue);
int inRange(std::int32_t value, int low, int high, int defaultValue);
std::int32_t colorValue(std::int32_t value, std::int32_t defaultValue);
// Window positions and widths in twips: anything beyond a screen the window system can
// address (32767 pixels either way) is no position at all.
int twipsValue(std::int32_t value, int defaultValue);

} // namespace storage::settings
