#include "MenuRegistry.h"

#include <cstdint>

namespace {

constexpr const char* PluginsMenuTitle = "Plugins";

XPLMMenuID idForIndex(size_t index) { return reinterpret_cast<XPLMMenuID>(static_cast<uintptr_t>(index + 1)); }

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

MenuRegistry::MenuRegistry() { clear(); }

void MenuRegistry::clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    menus_.assign(1, Menu{PluginsMenuTitle, nullptr, nullptr, NoPlugin, {}});
}

XPLMMenuID MenuRegistry::pluginsMenu() const { return idForIndex(0); }

MenuRegistry::Menu* MenuRegistry::menuFor(XPLMMenuID id) {
    auto number = reinterpret_cast<uintptr_t>(id);
    if (number == 0 || number > menus_.size() || menus_[number - 1].removed) return nullptr;
    return &menus_[number - 1];
}

bool MenuRegistry::opensMenu(const Item& item) const {
    return item.submenu >= 0 && !menus_[static_cast<size_t>(item.submenu)].removed;
}

XPLMMenuID MenuRegistry::createMenu(const char* title, XPLMMenuID parent, int parentItem,
                                    XPLMMenuHandler_f handler, void* menuRef, PluginTag owner) {
    std::lock_guard<std::mutex> guard(mutex_);
    Menu* holder = menuFor(parent);
    if (!holder || parentItem < 0 || static_cast<size_t>(parentItem) >= holder->items.size()) return nullptr;
    holder->items[static_cast<size_t>(parentItem)].submenu = static_cast<int>(menus_.size());
    menus_.push_back(Menu{title ? title : "", handler, menuRef, owner, {}});
    return idForIndex(menus_.size() - 1);
}

int MenuRegistry::appendItem(XPLMMenuID menu, const char* text, void* itemRef, PluginTag owner) {
    std::lock_guard<std::mutex> guard(mutex_);
    Menu* holder = menuFor(menu);
    if (!holder) return -1;
    holder->items.push_back(Item{text ? text : "", itemRef, owner});
    return static_cast<int>(holder->items.size() - 1);
}

bool MenuRegistry::checkItem(XPLMMenuID menu, int index, XPLMMenuCheck check) {
    std::lock_guard<std::mutex> guard(mutex_);
    Menu* holder = menuFor(menu);
    if (!holder || index < 0 || static_cast<size_t>(index) >= holder->items.size()) return false;
    holder->items[static_cast<size_t>(index)].check = check;
    return true;
}

XPLMMenuCheck MenuRegistry::checkOf(const std::string& text) const {
    std::lock_guard<std::mutex> guard(mutex_);
    for (const Menu& menu : menus_) {
        for (const Item& item : menu.items) {
            if (item.text == text) return item.check;
        }
    }
    return xplm_Menu_NoCheck;
}

// A forgotten menu stays in the list with nothing in it, so that the identifiers of the others hold.
void MenuRegistry::forget(PluginTag owner) {
    if (owner == NoPlugin) return;
    std::lock_guard<std::mutex> guard(mutex_);
    for (Menu& menu : menus_) {
        std::erase_if(menu.items, [owner](const Item& item) { return item.owner == owner; });
        if (menu.owner != owner) continue;
        menu.removed = true;
        menu.handler = nullptr;
        menu.items.clear();
    }
}

bool MenuRegistry::click(const std::string& text) {
    Choice choice;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const Menu& menu : menus_) {
            if (!menu.handler) continue;
            for (const Item& item : menu.items) {
                if (item.text != text || choice.handler) continue;
                choice = Choice{menu.handler, menu.menuRef, item.itemRef, menu.owner};
            }
        }
    }
    return invoke(choice);
}

bool MenuRegistry::callHandler(const std::string& title, void* itemRef) {
    Choice choice;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const Menu& menu : menus_) {
            if (menu.title != title || !menu.handler || choice.handler) continue;
            choice = Choice{menu.handler, menu.menuRef, itemRef, menu.owner};
        }
    }
    return invoke(choice);
}

bool MenuRegistry::invoke(const Choice& choice) {
    if (!choice.handler) return false;
    PluginContext context(choice.owner);
    choice.handler(choice.menuRef, choice.itemRef);
    return true;
}

std::vector<std::string> MenuRegistry::listing() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::string> lines;
    for (const Menu& menu : menus_) {
        if (menu.removed) continue;
        lines.push_back("menu " + quoted(menu.title));
        for (size_t i = 0; i < menu.items.size(); ++i) {
            const Item& item = menu.items[i];
            std::string line = "  item " + std::to_string(i) + " " + quoted(item.text) + " reference " +
                               std::to_string(reinterpret_cast<intptr_t>(item.itemRef));
            if (opensMenu(item)) line += " opens menu " + quoted(menus_[static_cast<size_t>(item.submenu)].title);
            if (item.check == xplm_Menu_Checked) line += " [x]";
            if (item.check == xplm_Menu_Unchecked) line += " [ ]";
            lines.push_back(line);
        }
    }
    return lines;
}
