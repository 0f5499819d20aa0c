// The simulator's drawing and text functions the plug-in calls, with the C signatures of the X-Plane SDK. They
// draw inside a window's draw callback, on the simulator's main thread, in the window's coordinates (global
// desktop boxels for a window made with XPLMCreateWindowEx).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// xplmFont_Basic is the simulator's fixed-width interface font, xplmFont_Proportional its proportional one;
// the SDK's other font numbers are deprecated.
enum {
    xplmFont_Basic = 0,
    xplmFont_Proportional = 18,
};
typedef int XPLMFontID;

// A translucent dark box behind text, to make it easy to read.
void XPLMDrawTranslucentDarkBox(int inLeft, int inTop, int inRight, int inBottom);
// Draws the null-terminated inChar with its lower left at (inXOffset, inYOffset) in the colour inColorRGB (three
// floats, red, green and blue, 0 to 1). inWordWrapWidth may be null; when given, the text wraps at that width.
void XPLMDrawString(float* inColorRGB, int inXOffset, int inYOffset, const char* inChar, int* inWordWrapWidth,
                    XPLMFontID inFontID);
// The width and height of one character of the font (an average width for a proportional one), and whether it
// has digits only; any of the three outputs may be null.
void XPLMGetFontDimensions(XPLMFontID inFontID, int* outCharWidth, int* outCharHeight, int* outDigitsOnly);

#ifdef __cplusplus
}
#endif
