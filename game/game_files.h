// The game's files, read from the working folder, and the palette entries the game draws with.
// The asset generator writes exactly these files with these entries, and CMake reads the file list
// from here (one `constexpr const char *GAME_FILE_... = "...";` per line, so keep that form).
#pragma once
#include <cstdint>

// ---- files ----
// The text palette the display starts with.
constexpr const char *GAME_FILE_PALETTE = "PALDATA2.PAL";
// The star field: backdrop of the play and win screens.
constexpr const char *GAME_FILE_STARS = "stars.BMP";
// The title picture: backdrop of the menu, options and story screens; its palette stays on.
constexpr const char *GAME_FILE_OPENING = "OPENING.BMP";
// The ships' 32 frames, two rows of 16 cells.
constexpr const char *GAME_FILE_SHIPS = "BLAZE8.BMP";
// The photon body's frames.
constexpr const char *GAME_FILE_PHOTON = "PHOTON8.BMP";
// The moon body's frames.
constexpr const char *GAME_FILE_MOON = "moon2a.BMP";
// The earth body's frames.
constexpr const char *GAME_FILE_EARTH = "earthlk1.BMP";
// Music of the menu, options and story screens.
constexpr const char *GAME_FILE_THEME = "THEME.MID";
// Music of the play screen.
constexpr const char *GAME_FILE_BATTLE = "BATTLE.MID";
// Music of the win screen.
constexpr const char *GAME_FILE_VICTORY = "2001.MID";
// The sound of a shot fired.
constexpr const char *GAME_FILE_CANNON = "CANNON.WAV";
// The sound of a flight's end.
constexpr const char *GAME_FILE_EXPLOSION = "EXP1.WAV";

// Every file above, in the order the start-up report names the missing ones.
constexpr const char *GAME_FILES[] = {GAME_FILE_PALETTE, GAME_FILE_STARS,   GAME_FILE_OPENING, GAME_FILE_SHIPS,
                                      GAME_FILE_PHOTON,  GAME_FILE_MOON,    GAME_FILE_EARTH,   GAME_FILE_THEME,
                                      GAME_FILE_BATTLE,  GAME_FILE_VICTORY, GAME_FILE_CANNON,  GAME_FILE_EXPLOSION};

// ---- palette entries ----
// Pictures leave these out, so the shot, the explosion and the turrets always stand out.
// The drawn shot, a 2 by 2 square.
constexpr uint8_t SHOT_COLOUR = 95;
// Every explosion particle: the first entry of particle class 0.
constexpr int32_t GAME_COLOUR_EXPLOSION = 187;
// The turret lines.
constexpr int32_t GAME_COLOUR_TURRET = 225;

// Particle class 0's last entry lies below its first; its steady particles show only the first.
constexpr int32_t GAME_COLOUR_CLASS0_LAST = 47;
// Particle class 1: a fire ramp, brighter entry by entry.
constexpr int32_t GAME_COLOUR_FIRE_FIRST = 96, GAME_COLOUR_FIRE_LAST = 111;
// Particle class 2: an ocean-blue ramp, brighter entry by entry.
constexpr int32_t GAME_COLOUR_OCEAN_FIRST = 144, GAME_COLOUR_OCEAN_LAST = 159;
// Particle class 3: a grey ramp up to white, brighter entry by entry.
constexpr int32_t GAME_COLOUR_GREY_FIRST = 16, GAME_COLOUR_GREY_LAST = 31;

// Text colours (0x00BBGGRR): red for every text, green for the play screen's status line.
constexpr uint32_t TEXT_RED = 255, TEXT_GREEN = 65280;
// The entries that are exactly those colours, so text shows true over any backdrop.
constexpr int32_t GAME_COLOUR_TEXT_RED = 223, GAME_COLOUR_TEXT_GREEN = 239;
