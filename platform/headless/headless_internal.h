// Between the headless backend's files.
#pragma once

// plat_headless_reset: no frames captured, no present hook, the device palette black.
void plat_headless_video_reset(void);
