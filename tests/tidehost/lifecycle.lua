-- Lifetimes across the boundary: Lua's collector releases the host's references, a
-- table lives exactly as long as the host holds it, and an object the script lets go of
-- inside its own handler is torn down after that delivery, not under it.
local check = dofile(arg[0]:match("^(.-)[^/]*$") .. "check.lua")
local weak = setmetatable({}, {__mode = "v"})

-- A collected object's value is released, and a listener goes with its registration.
-- The object is held by a local until it is counted: in the weak table alone, any
-- allocation in between may collect it.
local values = check.count("values")
local speaker = xtra.new("Tidespeak")
weak.speaker = speaker
check.equal(check.count("values"), values + 1, "a new object is one host value")
speaker = nil
collectgarbage()
check.equal(weak.speaker, nil, "an object nobody holds is collected")
check.equal(host.stats().values, values, "and its host value released")

-- A table is held while a plug-in holds it, and let go when the plug-in lets go.
local listener = xtra.new("Tidelisten")
local held = {}
weak.held = held
listener:SetScriptObject(held)
held = nil
collectgarbage()
check.truthy(weak.held ~= nil, "a table the plug-in holds stays alive without a Lua reference")
listener:SetScriptObject(nil)
collectgarbage()
check.equal(weak.held, nil, "a table the plug-in let go of is collected")
listener = nil
collectgarbage()
check.equal(host.stats().notification_clients, 0, "a collected listener ends its registration")

-- A listener whose last reference its own handler drops, collected in that handler. The
-- reference is held until then: a listener held by nothing could be collected at any
-- allocation before the text arrives, whenever the collector's pace says.
local receiver = {texts = 0}
local held
function receiver:onText(list)
  self.texts = self.texts + 1
  held = nil
  collectgarbage()
  self.collected = weak.listener == nil
  self.clients = host.stats().notification_clients
  host.stop()
end
local function listen()
  local dropped = xtra.new("Tidelisten")
  weak.listener = dropped
  dropped:SetScriptObject(receiver)
  dropped:OnTextData(symbol("onText"))
  assert(dropped:Open(46601, "239.255.66.1") == 0)
  dropped:Start()
  return dropped
end
held = listen()
local speaker = xtra.new("Tidespeak")
speaker:Open(46601, "239.255.66.1")
speaker:SendText("last words")
check.equal(host.run(10), "stopped", "the text is delivered")
check.truthy(receiver.collected, "the listener was collected inside its handler")
check.equal(receiver.clients, 1, "but not torn down under its own delivery")
check.equal(host.stats().notification_clients, 0, "and torn down once the delivery was over")
check.equal(host.run(0.2), "timeout", "the pump goes on without it")

check.done()
