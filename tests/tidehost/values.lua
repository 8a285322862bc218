-- Values between Lua and the host, each kind through the plug-ins where one can carry
-- it, and through host.describe where none does.
local check = dofile(arg[0]:match("^(.-)[^/]*$") .. "check.lua")
local listener, speaker, receiver = check.pair("239.255.61.1", 46101)

-- Integers: 32 bits both ways, the ends included; beyond them an error, never a wrap.
listener.prop.BufferSize = 4096
check.equal(math.type(listener.prop.BufferSize), "integer", "an integer property reads as a Lua integer")
check.equal(listener.prop.BufferSize, 4096, "an integer written and read back")
check.equal(host.describe(2147483647), "integer 2147483647", "the largest 32-bit integer")
check.equal(host.describe(-2147483648), "integer -2147483648", "the smallest 32-bit integer")
check.raises(function() return host.describe(2147483648) end, "does not fit in 32 bits", "2^31 is refused")
check.raises(function() return host.describe(-2147483649) end, "does not fit in 32 bits", "-2^31-1 is refused")
check.raises(function() listener.prop.BufferSize = 4294967296 + 4096 end, "does not fit in 32 bits",
             "a property write of 2^32 + 4096 is refused, not wrapped to 4096")
check.equal(listener.prop.BufferSize, 4096, "a refused write changes nothing")
listener.prop.BufferSize = 102400

-- Floats stay floats: a repeat of 2.5 is not an integer, so the text goes out once.
check.equal(host.describe(2.5), "float 2.500000", "a Lua float is a float value")
check.equal(host.describe(3.0), "float 3.000000", "a whole float is still a float")
speaker:SendText("float repeat", 2.5)
speaker:SendText("marker")
check.truthy(receiver:await(2), "the texts arrive")
check.equal(receiver.texts[1].data, "float repeat", "the float-repeat text")
check.equal(receiver.texts[2].data, "marker", "a float repeat sends each datagram once")

-- Strings are bytes as they stand, in the object's character set.
receiver:clear()
speaker:SendText("h\xC3\xA9llo \xF0\x9D\x84\x9E")
check.truthy(receiver:await(1), "the UTF-8 text arrives")
speaker:SetDirectorCode("ISO-8859-1")
listener:SetDirectorCode("ISO-8859-1")
speaker:SendText("\xE9t\xE9")
check.truthy(receiver:await(2), "the texts arrive")
check.equal(receiver.texts[1].data, "h\xC3\xA9llo \xF0\x9D\x84\x9E", "UTF-8 bytes, a 4-byte character included")
check.equal(receiver.texts[2].data, "\xE9t\xE9", "Latin-1 bytes reach the plug-in unchanged")
check.equal(receiver.texts[2].data_tsize, 8, "three Latin-1 bytes are three characters on the wire")
speaker:SetDirectorCode("UTF-8")
listener:SetDirectorCode("UTF-8")
check.equal(speaker:GetDirectorCode(), "UTF-8", "a string result")

-- Symbols ignore ASCII case, keep their first spelling, and are one value per name.
local first = symbol("MixedCase")
check.equal(first, symbol("mixedcase"), "symbols that differ only in case are equal")
check.truthy(rawequal(first, symbol("MIXEDCASE")), "and are the same Lua value, usable as one table key")
check.equal(tostring(symbol("mixedCASE")), "#MixedCase", "a symbol prints as #name, first spelling")
check.truthy(symbol("a") ~= symbol("b"), "different names differ")
check.equal(host.describe(symbol("Zed")), "symbol #Zed", "a symbol is a symbol value")
check.raises(function() return symbol("") end, "a symbol needs a name", "an empty symbol is refused")

-- nil is the void value: setting the script object to nil drops the table.
check.equal(host.describe(nil), "void", "nil is the void value")
check.equal(host.describe(true), "integer 1", "true is 1")
check.equal(host.describe(false), "integer 0", "false is 0")

-- Property lists arrive read-only and ordered; names ignore case.
local list = receiver.texts[1]
check.equal(#list, 9, "a text list has nine entries")
local keys = {}
for key, value in list:pairs() do keys[#keys + 1] = key .. "=" .. tostring(value) end
check.equal(keys[1], "data=h\xC3\xA9llo \xF0\x9D\x84\x9E", "pairs begins with data")
check.equal(#keys, 9, "pairs walks all nine")
check.equal(table.concat(keys, " "):gsub("remote_host=[%d.:]+", "remote_host=R"),
            "data=h\xC3\xA9llo \xF0\x9D\x84\x9E remote_host=R data_tsize=18 data_offset=0 data_size=18 " ..
            "data_type=1 index=3 tcount=1 tindex=1", "entries in the order the plug-in made them")
check.equal(list.DATA, list.data, "names ignore case")
check.equal(string.format("%s %s %s", list.TIndex, list.tcount, list[symbol("Data_Type")]), "1 1 1",
            "every name is found, in any case, as a string or a symbol")
check.equal(list["remote_host"]:match("^127%.0%.0%.1:%d+$") ~= nil, true, "remote_host as address:port")
check.equal(list[3], 18, "list[n] is the nth item")
check.equal(list.nothing, nil, "a missing name is nil")
local walked = 0
for _ in pairs(list) do walked = walked + 1 end
check.equal(walked, 9, "pairs(list) walks the list too")
check.raises(function() list.data = "changed" end, "read-only", "a list cannot be changed")
check.equal(host.describe(list):sub(1, 14), "property list ", "a list goes back to the host as a list")

-- Tables are script objects: self is the table itself, and the same table is the same
-- host script object for as long as the host holds it.
local seen
local other = {}
function other:OnTeXt(l) seen = self; host.stop() end
listener:SetScriptObject(other)
listener:OnTextData(symbol("onText"))
local second = xtra.new("Tidelisten")
local values = check.count("values")
second:SetScriptObject(other)
check.equal(check.count("values"), values, "a table held by the host already is not made again")
second = nil
collectgarbage()
speaker:SendText("to the other table")
host.run(10)
check.truthy(rawequal(seen, other), "a handler named in mixed case is found and self is the table")

-- Handlers a class keeps for its objects, through __index, in any case.
local Class = {}
Class.__index = Class
function Class:ONTEXT(l) self.got = l.data; host.stop() end
local instance = setmetatable({}, Class)
listener:SetScriptObject(instance)
speaker:SendText("to an instance")
host.run(10)
check.equal(instance.got, "to an instance", "a handler found through the class")
listener:SetScriptObject(receiver)

-- Plug-in objects are themselves: equal to themselves, printed by their string form.
check.truthy(tostring(speaker):find("^< Tidespeak ") ~= nil, "the string form of a speaker")
check.truthy(tostring(listener):find("^< Tidelisten ") ~= nil, "the string form of a listener")
check.truthy(speaker == speaker, "an object equals itself")
check.truthy(speaker ~= xtra.new("Tidespeak"), "two objects differ")
check.equal(host.describe(speaker):sub(1, 7), "object ", "an object passes as itself")
local iid = speaker.prop.IID
check.equal(tostring(iid):match("^{[%x-]+}$") ~= nil, true, "an object the host made arrives as an object")

check.done()
