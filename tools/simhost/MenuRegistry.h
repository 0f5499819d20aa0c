// MenuRegistry: simhost's menu bar. It starts with the Plugins menu; plug-ins append items and attach
// submenus through the XPLM menu functions, and the console chooses items by their text. Menu identifiers
// handed to plug-ins are small numbers, so a stale or foreign identifier is recognised and ignored. Menus
// and items carry the plug-in that made them; a handler runs in its menu's plug-in context, and a plug-in's
// menus and items go when it is forgotten (its menus' identifiers stay taken, and stale).
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "PluginContext.h"
#include "XPLMMenus.h"

class MenuRegistry {
public:
    MenuRegistry();

    XPLMMenuID pluginsMenu() const;
    // Null when the parent or its item does not exist.
    XPLMMenuID createMenu(const char* title, XPLMMenuID parent, int parentItem, XPLMMenuHandler_f handler,
                          void* menuRef, PluginTag owner);
    // The new item's index, or -1 when the menu does not exist.
    int appendItem(XPLMMenuID menu, const char* text, void* itemRef, PluginTag owner);
    // Sets the mark beside item index of menu; false when there is no such item.
    bool checkItem(XPLMMenuID menu, int index, XPLMMenuCheck check);
    // The mark beside the first item with this text (xplm_Menu_NoCheck when there is none).
    XPLMMenuCheck checkOf(const std::string& text) const;
    // Removes the menus and items owner made, wherever they are.
    void forget(PluginTag owner);

    // Chooses the first item with this text in a menu that has a handler; false when there is none.
    // The handler runs without any lock held, so it may change the menus.
    bool click(const std::string& text);
    // Calls the handler of the menu titled title with any item reference; false when no such menu.
    bool callHandler(const std::string& title, void* itemRef);
    // One line per menu and per item, menus in the order they were made; an item with a mark ends in
    // "[x]" (checked) or "[ ]" (unchecked).
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

    Menu* menuFor(XPLMMenuID id);
    bool opensMenu(const Item& item) const;
    bool invoke(const Choice& choice);

    mutable std::mutex mutex_;
    std::vector<Menu> menus_;
};
