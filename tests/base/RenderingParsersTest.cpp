// The text renderings are read back by real parsers: Python's json and plistlib and a Lua interpreter.
#include <gtest/gtest.h>

#include <string>

#include "ExternalTool.h"
#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseDate.h"
#include "base/BaseDictionary.h"
#include "base/BaseNull.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/Description.h"

namespace {

BaseString* str(const char* text) { return createAutoreleased<BaseString>(text); }
template <class T>
BaseNumber* num(T value) {
    return createAutoreleased<BaseNumber>(value);
}

// Texts that need escaping, control bytes and UTF-8.
constexpr const char* Awkward = "quote\" back\\ tab\t nl\n cr\r bs\b ctl\x01\x1F del\x7F \xC3\xA9\xE2\x82\xAC";

BaseArray* listOf(std::initializer_list<BaseObject*> elements) {
    auto* array = createAutoreleased<BaseArray>();
    for (BaseObject* element : elements) array->addObject(element);
    return array;
}

// A graph of every value kind. Null is left out where the reader has no null (Lua, property lists).
BaseDictionary* sampleGraph(bool withNull) {
    auto* nested = createAutoreleased<BaseDictionary>();
    nested->setObjectForKey(str("v"), str("k"));
    nested->setObjectForKey(listOf({}), str("empty list"));
    auto* graph = createAutoreleased<BaseDictionary>();
    graph->setObjectForKey(str(Awkward), str("text"));
    graph->setObjectForKey(num(42), str("int"));
    graph->setObjectForKey(num(int64_t{-1} << 40), str("big"));
    graph->setObjectForKey(num(0.1), str("real"));
    graph->setObjectForKey(num(-2.5e-300), str("tiny"));
    graph->setObjectForKey(num(true), str("yes"));
    graph->setObjectForKey(num(false), str("no"));
    graph->setObjectForKey(nested, str("nested"));
    graph->setObjectForKey(createAutoreleased<BaseDictionary>(), str("empty"));
    graph->setObjectForKey(num(7), str("my key"));
    graph->setObjectForKey(num(8), str("end"));
    graph->setObjectForKey(num(9), str(Awkward));
    auto* list = listOf({num(1), str("two"), listOf({num(3.5)}), createAutoreleased<BaseDictionary>()});
    for (int i = 0; i < 20; ++i) list->addObject(num(i));  // long enough for the multi-line layout
    graph->setObjectForKey(list, str("list"));
    if (withNull) graph->setObjectForKey(listOf({sharedNull(), num(1)}), str("nulls"));
    return graph;
}

std::string describe(const BaseObject* object, uint32_t flags) {
    BaseString* text = object->description(flags);
    return std::string(text->chars(), text->length());
}

// The same graph as a Python value.
const char* PythonExpected =
    "awkward = 'quote\" back\\\\ tab\\t nl\\n cr\\r bs\\b ctl\\x01\\x1f del\\x7f \\u00e9\\u20ac'\n"
    "expected = {'text': awkward, 'int': 42, 'big': -(1 << 40), 'real': 0.1, 'tiny': -2.5e-300,\n"
    "  'yes': True, 'no': False, 'nested': {'k': 'v', 'empty list': []}, 'empty': {}, 'my key': 7,\n"
    "  'end': 8, awkward: 9, 'list': [1, 'two', [3.5], {}] + list(range(20))}\n";

}  // namespace

TEST(JsonRendering, ReadBackByAJsonParser) {
    if (!toolAvailable("python3")) GTEST_SKIP() << "python3 is not installed: no JSON parser to judge with";
    AutoreleasePool pool;
    BaseDictionary* graph = sampleGraph(true);
    std::string script = std::string(PythonExpected) +
                         "import json, sys\n"
                         "expected['nulls'] = [None, 1]\n"
                         "for path in sys.argv[1:]:\n"
                         "    got = json.load(open(path, encoding='utf-8'))\n"
                         "    if got != expected: print(path, repr(got)); sys.exit(1)\n"
                         "print('same')\n";
    ToolResult judged = runTool("python3 check.py plain.json compact.json sorted.json", "",
                                {{"check.py", script},
                                 {"plain.json", describe(graph, StyleJSON)},
                                 {"compact.json", describe(graph, StyleJSON | DescriptionFlag::Compact)},
                                 {"sorted.json", describe(graph, StyleJSON | DescriptionFlag::Sorted)}});
    EXPECT_EQ(judged.exitCode, 0) << judged.output;
    EXPECT_EQ(judged.output, "same\n");
}

TEST(JsonRendering, NonFiniteRealsStayReadable) {
    if (!toolAvailable("python3")) GTEST_SKIP() << "python3 is not installed: no JSON parser to judge with";
    AutoreleasePool pool;
    BaseArray* list = listOf({num(1.0 / 0.0), num(-1.0 / 0.0), num(0.0 / 0.0)});
    ToolResult judged = runTool("python3 -c 'import json,sys; print(json.load(sys.stdin))'", describe(list, StyleJSON));
    EXPECT_EQ(judged.exitCode, 0) << judged.output;
    EXPECT_EQ(judged.output, "[inf, -inf, None]\n");
}

TEST(LuaRendering, LoadedByALuaInterpreter) {
    if (!toolAvailable("lua5.4")) GTEST_SKIP() << "lua5.4 is not installed: no Lua interpreter to judge with";
    AutoreleasePool pool;
    BaseDictionary* graph = sampleGraph(false);
    const char* check = R"LUA(
local awkward = "quote\" back\\ tab\t nl\n cr\r bs\b ctl\1\31 del\127 \195\169\226\130\172"
local list = {1, "two", {3.5}, {}}
for i = 0, 19 do list[#list + 1] = i end
local expected = {text = awkward, int = 42, big = -(1 << 40), real = 0.1, tiny = -2.5e-300, yes = true,
  no = false, nested = {k = "v", ["empty list"] = {}}, empty = {}, ["my key"] = 7, ["end"] = 8,
  [awkward] = 9, list = list}
local function same(a, b)
  if type(a) ~= type(b) then return false end
  if type(a) ~= "table" then return a == b end
  for k, v in pairs(a) do if not same(v, b[k]) then return false end end
  for k in pairs(b) do if a[k] == nil then return false end end
  return true
end
for _, path in ipairs(arg) do
  local got = dofile(path)
  if not same(got, expected) then print("differs: " .. path) os.exit(1) end
end
print("same")
)LUA";
    ToolResult judged = runTool("lua5.4 check.lua plain.lua compact.lua", "",
                                {{"check.lua", check},
                                 {"plain.lua", "return " + describe(graph, StyleLua)},
                                 {"compact.lua", "return " + describe(graph, StyleLua | DescriptionFlag::Compact)}});
    EXPECT_EQ(judged.exitCode, 0) << judged.output;
    EXPECT_EQ(judged.output, "same\n");
}

TEST(PlistRendering, ReadByAPropertyListParser) {
    if (!toolAvailable("python3")) GTEST_SKIP() << "python3 is not installed: no property-list parser";
    AutoreleasePool pool;
    // XML 1.0 cannot carry control bytes other than tab, line feed and carriage return.
    auto* graph = createAutoreleased<BaseDictionary>();
    graph->setObjectForKey(str("a < b & c > d \"q\" \xC3\xA9 tab\t nl\n cr\r"), str("text"));
    graph->setObjectForKey(num(42), str("int"));
    graph->setObjectForKey(num(0.1), str("real"));
    graph->setObjectForKey(num(true), str("yes"));
    graph->setObjectForKey(num(false), str("no"));
    graph->setObjectForKey(createAutoreleased<BaseDate>(1000000000.0), str("when"));
    graph->setObjectForKey(listOf({num(1), str("<two>"), listOf({}), createAutoreleased<BaseDictionary>()}),
                           str("list"));
    graph->setObjectForKey(num(1), str("key & <markup>"));
    std::string document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n" + describe(graph, StyleXMLPlist) + "\n</plist>\n";
    const char* check =
        "import plistlib, sys, datetime\n"
        "got = plistlib.loads(sys.stdin.buffer.read())\n"
        "expected = {'text': 'a < b & c > d \"q\" \\u00e9 tab\\t nl\\n cr\\r', 'int': 42, 'real': 0.1, 'yes': True,\n"
        "  'no': False, 'when': datetime.datetime(2001, 9, 9, 1, 46, 40), 'list': [1, '<two>', [], {}],\n"
        "  'key & <markup>': 1}\n"
        "print('same' if got == expected else repr(got))\n";
    ToolResult judged = runTool(std::string("python3 -c \"$(cat check.py)\""), document, {{"check.py", check}});
    EXPECT_EQ(judged.exitCode, 0) << judged.output;
    EXPECT_EQ(judged.output, "same\n");
}
