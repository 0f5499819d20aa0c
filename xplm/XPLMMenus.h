// The simulator's menu functions the plug-in calls, with the C signatures of the X-Plane SDK. The host
// process (X-Plane, or simhost) defines them; the plug-in leaves them undefined and the loader resolves them.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef void* XPLMMenuID;

// The mark beside a menu item: none, an unlit one, or a lit one.
enum {
    xplm_Menu_NoCheck = 0,
    xplm_Menu_Unchecked = 1,
    xplm_Menu_Checked = 2,
};
typedef int XPLMMenuCheck;

// Called with the menu reference given to XPLMCreateMenu and the item reference of the chosen item.
typedef void (*XPLMMenuHandler_f)(void* inMenuRef, void* inItemRef);

// The simulator's Plugins menu, under which plug-ins add their own items.
XPLMMenuID XPLMFindPluginsMenu(void);

// Creates a menu attached to item inParentItem of inParentMenu; inHandler receives its commands.
XPLMMenuID XPLMCreateMenu(const char* inName, XPLMMenuID inParentMenu, int inParentItem,
                          XPLMMenuHandler_f inHandler, void* inMenuRef);

// Appends an item and returns its index in the menu.
int XPLMAppendMenuItem(XPLMMenuID inMenu, const char* inItemName, void* inItemRef, int inDeprecatedAndIgnored);

// Sets the mark beside item index of inMenu.
void XPLMCheckMenuItem(XPLMMenuID inMenu, int index, XPLMMenuCheck inCheck);

#ifdef __cplusplus
}
#endif
