// Between the web backend's files.
#pragma once
#include <cstdint>

// The clock runs on a virtual timeline (replays as fast as they go): waits jump it and the page
// is given a moment every so often.
void web_set_fast(int32_t fast);
int32_t web_fast(void);
// web_video: hands the page the newest frame a fast replay held back.
void web_paint_pending(void);
// web_system: the window lost or regained the player (focus or visibility).
void web_focus_changed(int32_t focused);
