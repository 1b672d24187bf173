#pragma once
// The options the user sets, by the number each has in its stored key.
#include <cstddef>

// The option check boxes of the settings dialog, each by the number N of the key "CheckN" that
// stores it in the settings file.
namespace option {
enum : std::size_t {
    kAlwaysOnTop = 0,       // "常に手前に表示"
    kAutoHide = 1,          // "自動で隠す": shrink the palette when the pointer leaves it
    kRememberPositions = 2, // "終了位置を覚える"
    // "クリップボードは使わない": the user's clipboard is put back after a paste.
    kKeepUserClipboard = 3,
    kRememberWidth = 4, // "サイズを覚える"
    kShowPictures = 5,  // "画像を表示する": kept and saved, read by nothing
    kOpenLastPage = 6,  // "起動時に前回のページを開く"
    // "入力モードの変更": on, the input mode is left alone; off, the input-mode key follows a paste.
    kLeaveInputMode = 7,
    kSaveOnExit = 8,         // "終了時に自動保存する"
    kHideDateWhenShrunk = 9, // "縮小した時に日付部分も隠す"
    kCount = 10
};
} // namespace option

// The ASCII-art dialog's three option check boxes, with the keys that store them in
// "AAOptions.ini".
namespace aa_option {
enum : std::size_t {
    kLineBreakBefore = 0, // "Options"/"FrontLine": CR LF before the piece when it is pasted
    kLineBreakAfter = 1,  // "Options"/"BackLine": CR LF after it
    kShowPreviewTips = 2, // "ToolTipOptions"/"Display": the piece shows as the button's tip
    kCount = 3
};
} // namespace aa_option
