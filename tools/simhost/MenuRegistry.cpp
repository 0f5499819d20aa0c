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
    menus_.assign(1, Menu{PluginsMenuTitle, nullptr, nullptr, {}});
}

XPLMMenuID MenuRegistry::pluginsMenu() const { return idForIndex(0); }

MenuRegistry::Menu* MenuRegistry::menuFor(XPLMMenuID id) {
    auto number = reinterpret_cast<uintptr_t>(id);
    if (number == 0 || number > menus_.size()) return nullptr;
    return &menus_[number - 1];
}

XPLMMenuID MenuRegistry::createMenu(const char* title, XPLMMenuID parent, int parentItem,
                                    XPLMMenuHandler_f handler, void* menuRef) {
    std::lock_guard<std::mutex> guard(mutex_);
    Menu* owner = menuFor(parent);
    if (!owner || parentItem < 0 || static_cast<size_t>(parentItem) >= owner->items.size()) return nullptr;
    owner->items[static_cast<size_t>(parentItem)].submenu = static_cast<int>(menus_.size());
    menus_.push_back(Menu{title ? title : "", handler, menuRef, {}});
    return idForIndex(menus_.size() - 1);
}

int MenuRegistry::appendItem(XPLMMenuID menu, const char* text, void* itemRef) {
    std::lock_guard<std::mutex> guard(mutex_);
    Menu* owner = menuFor(menu);
    if (!owner) return -1;
    owner->items.push_back(Item{text ? text : "", itemRef});
    return static_cast<int>(owner->items.size() - 1);
}

bool MenuRegistry::click(const std::string& text) {
    Choice choice;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const Menu& menu : menus_) {
            if (!menu.handler) continue;
            for (const Item& item : menu.items) {
                if (item.text != text || choice.handler) continue;
                choice = Choice{menu.handler, menu.menuRef, item.itemRef};
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
            choice = Choice{menu.handler, menu.menuRef, itemRef};
        }
    }
    return invoke(choice);
}

bool MenuRegistry::invoke(const Choice& choice) {
    if (!choice.handler) return false;
    choice.handler(choice.menuRef, choice.itemRef);
    return true;
}

std::vector<std::string> MenuRegistry::listing() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::string> lines;
    for (const Menu& menu : menus_) {
        lines.push_back("menu " + quoted(menu.title));
        for (size_t i = 0; i < menu.items.size(); ++i) {
            const Item& item = menu.items[i];
            std::string line = "  item " + std::to_string(i) + " " + quoted(item.text) + " reference " +
                               std::to_string(reinterpret_cast<intptr_t>(item.itemRef));
            if (item.submenu >= 0) line += " opens menu " + quoted(menus_[static_cast<size_t>(item.submenu)].title);
            lines.push_back(line);
        }
    }
    return lines;
}
