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

// Creates a menu attached to item inParentItem of inParentMenu; inHandler receives its commands. The title
// must not be empty, even for a submenu whose title is never shown.
XPLMMenuID XPLMCreateMenu(const char* inName, XPLMMenuID inParentMenu, int inParentItem,
                          XPLMMenuHandler_f inHandler, void* inMenuRef);

// Destroys a menu the plug-in created, with its items.
void XPLMDestroyMenu(XPLMMenuID inMenuID);

// Removes every item from a menu, so that it can be built anew.
void XPLMClearAllMenuItems(XPLMMenuID inMenuID);

// Appends an item and returns its index, counted among the calling plug-in's own items of the menu (in the
// Plugins menu, other plug-ins' items do not count); negative when the menu is not valid.
int XPLMAppendMenuItem(XPLMMenuID inMenu, const char* inItemName, void* inItemRef, int inDeprecatedAndIgnored);

// Sets the mark beside item index of inMenu.
void XPLMCheckMenuItem(XPLMMenuID inMenu, int index, XPLMMenuCheck inCheck);

// Removes item inIndex of inMenu; the items below it move up one index.
void XPLMRemoveMenuItem(XPLMMenuID inMenu, int inIndex);

#ifdef __cplusplus
}
#endif
