-- Errors: statuses become Lua errors naming their code, the address table refuses what
-- it does not hold, and a Lua error inside a handler comes out of host.run without
-- passing through the plug-in, which goes on working.
local check = dofile(arg[0]:match("^(.-)[^/]*$") .. "check.lua")
local listener, speaker, receiver = check.pair("239.255.62.1", 46201)

-- A non-zero status is a Lua error that names the code.
check.raises(function() return speaker:NoSuchThing() end, "NoSuchMember (0x800407DF)", "an unknown member")
check.raises(function() return speaker.prop.Text end, "NoSuchProperty (0x800407D5)", "reading a write-only property")
check.raises(function() speaker.prop.Interface = "x" end, "NoSuchProperty (0x800407D5)",
             "writing a read-only property")
check.raises(function() return speaker:GetAt(symbol("DirectorCode")) end, "NoSuchMember (0x800407DF)",
             "a status passed on by GetAt")
check.equal(speaker:GetAt("DirectorCode"), "UTF-8", "and GetAt with a string works")
check.raises(function() return speaker.SendText("x") end, "object:SendText(...)",
             "a member called without its object says how to call it")
check.raises(function() return xtra.new("Tidesing") end, "Tidelisten, Tidespeak", "an unknown class")
check.equal(tostring(xtra.new("TIDESPEAK")):sub(1, 12), "< Tidespeak ", "class names ignore case")

-- Values the host has no kind for are refused before the call, and nothing is left.
local values = check.count("values")
check.raises(function() return speaker:SendText(print) end, "argument 1: a function has no host value",
             "a function as an argument")
check.raises(function() return speaker:SendText("x", 1, coroutine.create(print)) end,
             "argument 3: a thread has no host value", "a thread as a later argument")
check.equal(check.count("values"), values, "arguments made before a refused one are released")

-- The address table: peek reads exactly the regions it holds.
local address = host.alloc("0123456789")
check.equal(host.peek(address, 10), "0123456789", "a region read whole")
check.equal(host.peek(address, 4), "0123", "a region read in part")
check.equal(host.peek(address, 0), "", "nothing read from a region")
check.raises(function() return host.peek(address, 11) end, "11 bytes do not fit the region of 10 bytes",
             "a range longer than the region")
check.raises(function() return host.peek(address + 1000, 1) end, "no region is published at address",
             "an unknown address")
check.raises(function() return host.peek(address, -1) end, "not a length", "a negative length")
check.raises(function() return host.peek(0, 1) end, "not an address of the host", "address 0")
host.free(address)
check.raises(function() return host.peek(address, 1) end, "no region is published", "a freed region")
check.raises(function() host.free(address) end, "not an address made by host.alloc", "a region freed twice")

-- A buffer made by host.alloc is sent whole by SendBuffer, and one the host does not
-- hold sends nothing.
local message = string.rep("tide", 6000)
local buffer = host.alloc(message)
speaker:SendBuffer(buffer, #message)
check.equal(speaker:SendBuffer(buffer + 5000, 10), -1, "SendBuffer from an unknown address answers -1")
check.truthy(receiver:await(1), "the buffer arrives")
check.equal(receiver.binaries[1] and receiver.binaries[1].bytes, message, "and arrives whole")
host.free(buffer)

-- A Lua error inside a handler: the plug-in sees a failed call, host.run raises the
-- error with the handler's traceback, and delivery goes on afterwards.
receiver:clear()
local calls = 0
function receiver:onText(list)
  calls = calls + 1
  if list.data == "boom" then error("the handler broke on " .. list.data) end
  self.texts[#self.texts + 1] = list
  self:arrived()
end
speaker:SendText("boom")
speaker:SendText("after")
local ok, message = pcall(host.run, 10)
check.equal(ok, false, "host.run raises the handler's error")
check.truthy(tostring(message):find("the handler broke on boom", 1, true), "with the handler's message")
check.truthy(tostring(message):find("in handler onText", 1, true), "naming the handler")
check.truthy(tostring(message):find("stack traceback", 1, true), "with a traceback")
check.truthy(host.stats().failed_handler_calls >= 1, "the plug-in saw a failed handler call")
check.truthy(receiver:await(1), "delivery goes on after the error")
check.equal(receiver.texts[#receiver.texts].data, "after", "with the next datagram")
check.equal(calls, 2, "each datagram was handed over once")

-- host.run belongs to the script's own level, not inside a handler.
function receiver:onText(list) host.run(1) end
speaker:SendText("nested")
check.raises(function() host.run(10) end, "host.run cannot be called from inside a handler", "a nested host.run")
check.raises(function() host.run(-1) end, "seconds must not be negative", "a negative time")

-- A handler the script object lacks fails the plug-in's call, and nothing else.
listener:OnTextData(symbol("noSuchHandler"))
local failed = host.stats().failed_handler_calls
speaker:SendText("to nobody")
local deadline = host.now() + 10
while host.stats().failed_handler_calls == failed and host.now() < deadline do host.run(0.05) end
check.equal(host.stats().failed_handler_calls, failed + 1, "the call to a missing handler failed")

check.done()
