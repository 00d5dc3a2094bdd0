// The colours of chat lines, by what they say; the window picks the shade.
#pragma once

enum class TChatColor {
    Black,  // said in a channel
    Blue,   // private messages
    Green,  // notices
    Purple, // actions
    Orange, // joins, parts, kicks
    Red     // the program and the server speaking
};
