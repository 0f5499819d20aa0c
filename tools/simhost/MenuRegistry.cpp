#include "MenuRegistry.h"

#include <cstdint>

namespace {

constexpr const char* PluginsMenuTitle = "Plugins";
constexpr size_t PluginsMenuIndex = 0;

XPLMMenuID idForIndex(size_t index) { return reinterpret_cast<XPLMMenuID>(static_cast<uintptr_t>(index + 1)); }

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

MenuRegistry::MenuRegistry(const PluginStates& plugins) : plugins_(plugins) { clear(); }

void MenuRegistry::clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    menus_.assign(1, Menu{PluginsMenuTitle, nullptr, nullptr, NoPlugin, {}});
}

XPLMMenuID MenuRegistry::pluginsMenu() const { return idForIndex(PluginsMenuIndex); }

// The Plugins menu is everyone's; any other menu only its maker's.
MenuRegistry::Menu* MenuRegistry::menuFor(XPLMMenuID id, PluginTag caller) {
    auto number = reinterpret_cast<uintptr_t>(id);
    if (number == 0 || number > menus_.size()) return nullptr;
    Menu& menu = menus_[number - 1];
    if (menu.removed) return nullptr;
    return number - 1 == PluginsMenuIndex || menu.owner == caller ? &menu : nullptr;
}

MenuRegistry::Item* MenuRegistry::itemFor(Menu& menu, int index, PluginTag caller) {
    for (Item& item : menu.items) {
        if (item.owner != caller) continue;
        if (index-- == 0) return &item;
    }
    return nullptr;
}

int MenuRegistry::ownIndex(const Menu& menu, size_t position) {
    int index = 0;
    for (size_t i = 0; i < position; ++i) index += menu.items[i].owner == menu.items[position].owner ? 1 : 0;
    return index;
}

bool MenuRegistry::opensMenu(const Item& item) const {
    return item.submenu >= 0 && !menus_[static_cast<size_t>(item.submenu)].removed;
}

XPLMMenuID MenuRegistry::createMenu(const char* title, XPLMMenuID parent, int parentItem,
                                    XPLMMenuHandler_f handler, void* menuRef, PluginTag caller) {
    std::lock_guard<std::mutex> guard(mutex_);
    Menu* holder = menuFor(parent, caller);
    Item* item = holder ? itemFor(*holder, parentItem, caller) : nullptr;
    if (!item) return nullptr;
    item->submenu = static_cast<int>(menus_.size());
    menus_.push_back(Menu{title ? title : "", handler, menuRef, caller, {}});
    return idForIndex(menus_.size() - 1);
}

int MenuRegistry::appendItem(XPLMMenuID menu, const char* text, void* itemRef, PluginTag caller) {
    std::lock_guard<std::mutex> guard(mutex_);
    Menu* holder = menuFor(menu, caller);
    if (!holder) return -1;
    holder->items.push_back(Item{text ? text : "", itemRef, caller});
    return ownIndex(*holder, holder->items.size() - 1);
}

bool MenuRegistry::checkItem(XPLMMenuID menu, int index, XPLMMenuCheck check, PluginTag caller) {
    std::lock_guard<std::mutex> guard(mutex_);
    Menu* holder = menuFor(menu, caller);
    Item* item = holder ? itemFor(*holder, index, caller) : nullptr;
    if (!item) return false;
    item->check = check;
    return true;
}

bool MenuRegistry::destroyMenu(XPLMMenuID menu, PluginTag caller) {
    std::lock_guard<std::mutex> guard(mutex_);
    Menu* doomed = menuFor(menu, caller);
    if (!doomed || doomed == &menus_[PluginsMenuIndex]) return false;
    doomed->removed = true;
    doomed->handler = nullptr;
    doomed->items.clear();
    return true;
}

bool MenuRegistry::removeItem(XPLMMenuID menu, int index, PluginTag caller) {
    std::lock_guard<std::mutex> guard(mutex_);
    Menu* holder = menuFor(menu, caller);
    Item* item = holder ? itemFor(*holder, index, caller) : nullptr;
    if (!item) return false;
    holder->items.erase(holder->items.begin() + (item - holder->items.data()));
    return true;
}

bool MenuRegistry::clearItems(XPLMMenuID menu, PluginTag caller) {
    std::lock_guard<std::mutex> guard(mutex_);
    Menu* holder = menuFor(menu, caller);
    if (!holder) return false;
    std::erase_if(holder->items, [caller](const Item& item) { return item.owner == caller; });
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

std::vector<std::string> MenuRegistry::leftBehind(PluginTag owner) const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::string> lines;
    for (const Menu& menu : menus_) {
        if (menu.removed) continue;
        if (menu.owner == owner && &menu != &menus_[PluginsMenuIndex]) lines.push_back("menu " + quoted(menu.title));
        for (const Item& item : menu.items) {
            if (item.owner != owner) continue;
            lines.push_back("menu item " + quoted(item.text) + " in menu " + quoted(menu.title));
        }
    }
    return lines;
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

MenuRegistry::Click MenuRegistry::click(const std::string& text) {
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

MenuRegistry::Click MenuRegistry::callHandler(const std::string& title, void* itemRef) {
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

MenuRegistry::Click MenuRegistry::invoke(const Choice& choice) {
    if (!choice.handler) return {};
    if (plugins_.isDisabled(choice.owner)) return {Outcome::OwnerDisabled, choice.owner};
    PluginContext context(choice.owner);
    choice.handler(choice.menuRef, choice.itemRef);
    return {Outcome::Called, choice.owner};
}

std::vector<std::string> MenuRegistry::listing() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::string> lines;
    for (const Menu& menu : menus_) {
        if (menu.removed) continue;
        lines.push_back("menu " + quoted(menu.title));
        for (size_t i = 0; i < menu.items.size(); ++i) {
            const Item& item = menu.items[i];
            std::string line = "  item " + std::to_string(ownIndex(menu, i)) + " " + quoted(item.text) +
                               " reference " + std::to_string(reinterpret_cast<intptr_t>(item.itemRef));
            if (opensMenu(item)) line += " opens menu " + quoted(menus_[static_cast<size_t>(item.submenu)].title);
            if (item.check == xplm_Menu_Checked) line += " [x]";
            if (item.check == xplm_Menu_Unchecked) line += " [ ]";
            lines.push_back(line);
        }
    }
    return lines;
}
