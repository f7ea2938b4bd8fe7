// A headless keyboard and pads behind the input streams, read a frame at a time.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "input/input.h"
#include "platform/plat_headless.h"
#include "platform/plat_pad.h"
#include "stream/stream.h"

class KeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat_headless_reset();
        plat_headless_pad_reset();
        strm_reset();
        inp_init();
        inp_keyboard_init();
    }
    void TearDown() override {
        inp_shutdown();
        strm_reset();
        plat_headless_pad_reset();
    }
    // One frame's read for seat: the key codes the game then sees down (0x80; any other
    // non-zero state shows as the negative code).
    static std::vector<int32_t> read(int32_t seat) {
        strm_read_keys(seat);
        std::vector<int32_t> down;
        for (int32_t code = 0; code < 256; code++)
            if (keyboard_state[code]) down.push_back(keyboard_state[code] == 0x80 ? code : -code);
        return down;
    }
    static std::vector<int32_t> keys(std::initializer_list<int32_t> codes) { return codes; }
};
