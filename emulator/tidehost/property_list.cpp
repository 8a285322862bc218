// Property lists: a userdata holding the entry count, with the keys and the items as two
// arrays in its user values. Keys that are symbols are kept as their names.
#include "emulator/tidehost/property_list.h"

#include <algorithm>
#include <string>
#include <vector>

#include "emulator/symbol_table.h"
#include "emulator/tidehost/lua_setup.h"
#include "emulator/tidehost/session.h"
#include "emulator/tidehost/symbols.h"

namespace tide::tidehost {

namespace {

constexpr const char* kListMeta = "tidehost.list";
constexpr int kKeys = 1;
constexpr int kItems = 2;

struct ListBox {
    lua_Integer count;
};

ListBox* CheckList(lua_State* state, int index) {
    return static_cast<ListBox*>(luaL_checkudata(state, index, kListMeta));
}

// Shared keys tables (see KeysCache) also hold, at this key, a table from each folded
// name to the position of the first key of that name.
const char kLookupKey = 0;

// The position (from 1) of the first entry named `name`; 0 when there is none. `key`,
// when not 0, is the stack index of the name as a Lua string.
lua_Integer Find(lua_State* state, int list, const ListBox& box, std::string_view name, int key = 0) {
    lua_getiuservalue(state, list, kKeys);
    lua_Integer found = 0;
    if (lua_rawgetp(state, -1, &kLookupKey) == LUA_TTABLE) {
        const bool folded =
            std::none_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
        if (folded && key != 0) {
            lua_pushvalue(state, key);
        } else {
            const std::string small = emulator::FoldAsciiCase(name);
            lua_pushlstring(state, small.data(), small.size());
        }
        lua_rawget(state, -2);
        found = lua_tointeger(state, -1);
        lua_pop(state, 3);
        return found;
    }
    lua_pop(state, 1);
    for (lua_Integer i = 1; i <= box.count && found == 0; ++i) {
        lua_rawgeti(state, -1, i);
        size_t length = 0;
        const char* spelling = nullptr;
        if (lua_type(state, -1) == LUA_TSTRING) {
            spelling = lua_tolstring(state, -1, &length);
        } else {
            spelling = ToSymbolName(state, -1, &length);
        }
        if (spelling && emulator::SymbolTable::SameName(std::string_view(spelling, length), name)) found = i;
        lua_pop(state, 1);
    }
    lua_pop(state, 1);
    return found;
}

void PushItem(lua_State* state, int list, lua_Integer position) {
    lua_getiuservalue(state, list, kItems);
    lua_rawgeti(state, -1, position);
    lua_remove(state, -2);
}

int NextEntry(lua_State* state) {
    const ListBox* box = CheckList(state, lua_upvalueindex(1));
    lua_Integer position = lua_tointeger(state, lua_upvalueindex(2)) + 1;
    if (position > box->count) return 0;
    lua_pushinteger(state, position);
    lua_replace(state, lua_upvalueindex(2));
    lua_getiuservalue(state, lua_upvalueindex(1), kKeys);
    lua_rawgeti(state, -1, position);
    lua_remove(state, -2);
    PushItem(state, lua_upvalueindex(1), position);
    return 2;
}

// list:pairs() and pairs(list): key, item in the list's order.
int Pairs(lua_State* state) {
    CheckList(state, 1);
    lua_pushvalue(state, 1);
    lua_pushinteger(state, 0);
    lua_pushcclosure(state, NextEntry, 2);
    return 1;
}

int Index(lua_State* state) {
    const ListBox* box = CheckList(state, 1);
    if (lua_isinteger(state, 2)) {
        const lua_Integer position = lua_tointeger(state, 2);
        if (position >= 1 && position <= box->count) {
            PushItem(state, 1, position);
        } else {
            lua_pushnil(state);
        }
        return 1;
    }
    size_t length = 0;
    const char* name = lua_type(state, 2) == LUA_TSTRING ? lua_tolstring(state, 2, &length)
                                                         : ToSymbolName(state, 2, &length);
    if (!name) {
        lua_pushnil(state);
        return 1;
    }
    if (std::string_view(name, length) == "pairs") {
        lua_pushcfunction(state, Pairs);
        return 1;
    }
    const lua_Integer position =
        Find(state, 1, *box, std::string_view(name, length), lua_type(state, 2) == LUA_TSTRING ? 2 : 0);
    if (position == 0) {
        lua_pushnil(state);
    } else {
        PushItem(state, 1, position);
    }
    return 1;
}

int Length(lua_State* state) {
    lua_pushinteger(state, CheckList(state, 1)->count);
    return 1;
}

int ReadOnly(lua_State* state) { return luaL_error(state, "a property list from the host is read-only"); }

// [#data: "hello", #index: 3]
int ToString(lua_State* state) {
    const ListBox* box = CheckList(state, 1);
    luaL_Buffer buffer;
    luaL_buffinit(state, &buffer);
    luaL_addchar(&buffer, '[');
    for (lua_Integer i = 1; i <= box->count; ++i) {
        if (i > 1) luaL_addstring(&buffer, ", ");
        lua_getiuservalue(state, 1, kKeys);
        lua_rawgeti(state, -1, i);
        if (lua_type(state, -1) == LUA_TSTRING) {
            lua_pushfstring(state, "#%s", lua_tostring(state, -1));
        } else {
            luaL_tolstring(state, -1, nullptr);
        }
        lua_replace(state, -3);
        lua_pop(state, 1);
        luaL_addvalue(&buffer);
        luaL_addstring(&buffer, ": ");
        PushItem(state, 1, i);
        if (lua_type(state, -1) == LUA_TSTRING) {
            lua_pushfstring(state, "\"%s\"", lua_tostring(state, -1));
        } else {
            luaL_tolstring(state, -1, nullptr);
        }
        lua_remove(state, -2);
        luaL_addvalue(&buffer);
    }
    luaL_addchar(&buffer, ']');
    luaL_pushresult(&buffer);
    return 1;
}

// The keys of the last list pushed whose keys were all symbols, as the Lua table of
// their names that lists with the same keys share: a plug-in hands over list after list
// with the same names, and a list's keys are never changed from Lua. Kept in the
// registry as a userdata holding the symbols, with the table as its user value.
constexpr size_t kCachedKeys = 16;
struct KeysCache {
    size_t count;
    host::HostSymbol symbols[kCachedKeys];
};
const char kKeysCacheKey = 0;

// Pushes the shared table of these keys when the cache holds them; false, pushing
// nothing, otherwise.
bool PushCachedKeys(lua_State* state, const host::HostSymbol* symbols, size_t count) {
    lua_rawgetp(state, LUA_REGISTRYINDEX, &kKeysCacheKey);
    const auto* cache = static_cast<const KeysCache*>(lua_touserdata(state, -1));
    if (cache && cache->count == count && std::equal(symbols, symbols + count, cache->symbols)) {
        lua_getiuservalue(state, -1, 1);
        lua_remove(state, -2);
        return true;
    }
    lua_pop(state, 1);
    return false;
}

// Makes the keys table at `table` the one lists with these keys share, and gives it the
// lookup of its names (kLookupKey).
void CacheKeys(lua_State* state, int table, const host::HostSymbol* symbols, size_t count) {
    table = lua_absindex(state, table);
    lua_createtable(state, 0, static_cast<int>(count));
    for (size_t i = 0; i < count; ++i) {
        lua_rawgeti(state, table, static_cast<lua_Integer>(i + 1));
        size_t length = 0;
        const char* name = lua_tolstring(state, -1, &length);
        const std::string folded = emulator::FoldAsciiCase(std::string_view(name, length));
        lua_pop(state, 1);
        lua_pushlstring(state, folded.data(), folded.size());
        lua_pushvalue(state, -1);
        // The first key of a name keeps its place: a later one of the same name is skipped.
        if (lua_rawget(state, -3) == LUA_TNIL) {
            lua_pop(state, 1);
            lua_pushinteger(state, static_cast<lua_Integer>(i + 1));
            lua_rawset(state, -3);
        } else {
            lua_pop(state, 2);
        }
    }
    lua_rawsetp(state, table, &kLookupKey);
    auto* cache = static_cast<KeysCache*>(lua_newuserdatauv(state, sizeof(KeysCache), 1));
    cache->count = count;
    std::copy(symbols, symbols + count, cache->symbols);
    lua_pushvalue(state, table);
    lua_setiuservalue(state, -2, 1);
    lua_rawsetp(state, LUA_REGISTRYINDEX, &kKeysCacheKey);
}

const luaL_Reg kListMethods[] = {
    {"__index", Index}, {"__newindex", ReadOnly}, {"__len", Length},
    {"__pairs", Pairs}, {"__tostring", ToString}, {nullptr, nullptr},
};

}  // namespace

void OpenPropertyLists(lua_State* state) { AddMetatable(state, kListMeta, kListMethods); }

void PushPropertyList(lua_State* state, const host::HostValue& list, int depth) {
    emulator::Host& host = Session::Of(state).host();
    // The entries are read from the list's slot into a copy of our own first: pushing may
    // run Lua's collector, whose finalizers may release or make values. A handler's list
    // is short, and its copy stays on the stack.
    constexpr size_t kEntriesOnStack = 16;
    emulator::PropEntry onStack[kEntriesOnStack];
    std::vector<emulator::PropEntry> onHeap;
    const emulator::PropEntry* entries = onStack;
    size_t count = 0;
    if (const emulator::ValueSlot* slot = host.Find(list); slot && slot->kind == host::kTypePropertyList) {
        count = slot->entries.size();
        if (count <= kEntriesOnStack) {
            std::copy(slot->entries.begin(), slot->entries.end(), onStack);
        } else {
            onHeap = slot->entries;
            entries = onHeap.data();
        }
    }
    // The keys' symbols, read before anything is pushed (0: a key that is no symbol).
    host::HostSymbol symbols[kCachedKeys];
    bool shareable = count > 0 && count <= kCachedKeys;
    for (size_t i = 0; shareable && i < count; ++i) {
        const emulator::ValueSlot* key = host.Find(entries[i].key);
        symbols[i] = key && key->kind == host::kTypeSymbol ? key->symbol : 0;
        shareable = symbols[i] != 0;
    }
    auto* box = static_cast<ListBox*>(lua_newuserdatauv(state, sizeof(ListBox), 2));
    box->count = static_cast<lua_Integer>(count);
    luaL_setmetatable(state, kListMeta);
    if (!shareable || !PushCachedKeys(state, symbols, count)) {
        lua_createtable(state, static_cast<int>(count), 0);
        for (size_t i = 0; i < count; ++i) {
            // A shareable list's keys come from the symbols read above, as the cache says.
            host::HostSymbol symbol = 0;
            if (shareable) {
                symbol = symbols[i];
            } else if (const emulator::ValueSlot* key = host.Find(entries[i].key);
                       key && key->kind == host::kTypeSymbol) {
                symbol = key->symbol;
            }
            if (symbol != 0) {
                const std::string& name = host.SymbolName(symbol);
                lua_pushlstring(state, name.data(), name.size());
            } else {
                PushHostValueAt(state, entries[i].key, depth + 1);
            }
            lua_rawseti(state, -2, static_cast<lua_Integer>(i + 1));
        }
        if (shareable) CacheKeys(state, -1, symbols, count);
    }
    lua_createtable(state, static_cast<int>(count), 0);
    for (size_t i = 0; i < count; ++i) {
        PushHostValueAt(state, entries[i].item, depth + 1);
        lua_rawseti(state, -2, static_cast<lua_Integer>(i + 1));
    }
    lua_setiuservalue(state, -3, kItems);
    lua_setiuservalue(state, -2, kKeys);
}

bool IsPropertyList(lua_State* state, int index) {
    return luaL_testudata(state, index, kListMeta) != nullptr;
}

bool ToHostPropertyList(lua_State* state, int index, host::HostValue* out, Refusal* refusal) {
    emulator::Host& host = Session::Of(state).host();
    index = lua_absindex(state, index);
    const auto* box = static_cast<const ListBox*>(lua_touserdata(state, index));
    host::HostValue list = host.MakePropList();
    for (lua_Integer i = 1; i <= box->count; ++i) {
        host::HostValue key{};
        host::HostValue item{};
        lua_getiuservalue(state, index, kKeys);
        lua_rawgeti(state, -1, i);
        bool made;
        if (lua_type(state, -1) == LUA_TSTRING) {
            key = host.MakeSymbolValue(lua_tostring(state, -1));
            made = true;
        } else {
            made = ToHostValue(state, -1, &key, refusal);
        }
        lua_pop(state, 2);
        if (made) {
            lua_getiuservalue(state, index, kItems);
            lua_rawgeti(state, -1, i);
            made = ToHostValue(state, -1, &item, refusal);
            lua_pop(state, 2);
        }
        if (made) host.AddProp(list, key, item);
        host.Release(key);
        host.Release(item);
        if (!made) {
            host.Release(list);
            return false;
        }
    }
    *out = list;
    return true;
}

}  // namespace tide::tidehost
