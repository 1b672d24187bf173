#pragma once
// The windows that live from start-up to the end, for the steps that span them.
class PaletteWindow;
class SettingsDialog;
class MouseSensitivityDialog;
class AsciiArtDialog;

struct ProgramWindows {
    PaletteWindow& palette;
    SettingsDialog& settings;
    MouseSensitivityDialog& mouse;
    AsciiArtDialog& asciiArt;
};
