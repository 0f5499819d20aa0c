// MenuRegistry: simhost's menu bar. It starts with the Plugins menu; plug-ins append items and attach
// submenus through the XPLM menu functions, and the console chooses items by their text. Menu identifiers
// handed to plug-ins are small numbers, never reused, so a stale or foreign identifier is recognised and
// ignored. Menus are sandboxed between plug-ins: a plug-in reaches the Plugins menu and the menus it made,
// no other. Item indexes count only the calling plug-in's own items of a menu, so that in the Plugins menu
// a plug-in's first item is 0 whatever other plug-ins added before it. Menus and items carry the plug-in
// that made them; a handler runs in its menu's plug-in context, never while that plug-in is disabled. A
// menu lasts until XPLMDestroyMenu names it or its plug-in is forgotten: removing the item it hangs on, or
// destroying the menu that holds that item, leaves it in place (unreachable, but still the plug-in's).
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "PluginContext.h"
#include "PluginStates.h"
#include "XPLMMenus.h"

class MenuRegistry {
public:
    enum class Outcome { Called, NotFound, OwnerDisabled };
    // What choosing an item did, and whose handler it was.
    struct Click {
        Outcome outcome = Outcome::NotFound;
        PluginTag owner = NoPlugin;
    };

    explicit MenuRegistry(const PluginStates& plugins);

    XPLMMenuID pluginsMenu() const;
    // Null when the parent or the caller's item of it does not exist.
    XPLMMenuID createMenu(const char* title, XPLMMenuID parent, int parentItem, XPLMMenuHandler_f handler,
                          void* menuRef, PluginTag caller);
    // The new item's index among the caller's items of the menu, or -1 when the caller has no such menu.
    int appendItem(XPLMMenuID menu, const char* text, void* itemRef, PluginTag caller);
    // Sets the mark beside the caller's item index of menu; false when there is no such item.
    bool checkItem(XPLMMenuID menu, int index, XPLMMenuCheck check, PluginTag caller);
    // A menu the caller made goes with its items; false for any other identifier.
    bool destroyMenu(XPLMMenuID menu, PluginTag caller);
    // The caller's item index goes; its later items move up one. False when there is no such item.
    bool removeItem(XPLMMenuID menu, int index, PluginTag caller);
    // Every item of the caller's in menu goes; false when the caller has no such menu.
    bool clearItems(XPLMMenuID menu, PluginTag caller);
    // The mark beside the first item with this text (xplm_Menu_NoCheck when there is none).
    XPLMMenuCheck checkOf(const std::string& text) const;
    // One line for each menu and each item owner made that is still there: menu "<title>", or
    // menu item "<text>" in menu "<title>".
    std::vector<std::string> leftBehind(PluginTag owner) const;
    // Removes the menus and items owner made, wherever they are.
    void forget(PluginTag owner);

    // Chooses the first item with this text in a menu that has a handler. The handler runs without any
    // lock held, so it may change the menus.
    Click click(const std::string& text);
    // Calls the handler of the menu titled title with any item reference.
    Click callHandler(const std::string& title, void* itemRef);
    // One line per menu and per item, menus in the order they were made, each item with the index its
    // plug-in knows it by; an item with a mark ends in "[x]" (checked) or "[ ]" (unchecked).
    std::vector<std::string> listing() const;
    // Back to the Plugins menu alone.
    void clear();

private:
    struct Item {
        std::string text;
        void* itemRef;
        PluginTag owner;
        int submenu = -1;
        XPLMMenuCheck check = xplm_Menu_NoCheck;
    };
    struct Menu {
        std::string title;
        XPLMMenuHandler_f handler;
        void* menuRef;
        PluginTag owner;
        std::vector<Item> items;
        bool removed = false;
    };
    struct Choice {
        XPLMMenuHandler_f handler = nullptr;
        void* menuRef = nullptr;
        void* itemRef = nullptr;
        PluginTag owner = NoPlugin;
    };

    Menu* menuFor(XPLMMenuID id, PluginTag caller);
    Item* itemFor(Menu& menu, int index, PluginTag caller);
    static int ownIndex(const Menu& menu, size_t position);
    bool opensMenu(const Item& item) const;
    Click invoke(const Choice& choice);

    const PluginStates& plugins_;
    mutable std::mutex mutex_;
    std::vector<Menu> menus_;
};
