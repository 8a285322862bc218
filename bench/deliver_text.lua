-- Counts the text datagrams handed to a text handler, each with its nine-entry list,
-- while another process sends COUNT of them at full speed. Prints "delivered rate",
-- the rate taken from the first delivery to the last.
local group, port, count = arg[1] or "239.255.63.2", tonumber(arg[2] or 46302), tonumber(arg[3] or 50000)

local listener = xtra.new("Tidelisten")
local receiver = { delivered = 0 }
function receiver:onText(list)
  if self.delivered == 0 then self.first = host.now() end
  self.delivered = self.delivered + 1
  self.last = host.now()
  assert(#list == 9 and list.data == "hello, group")
  if self.delivered == count then host.stop() end
end
listener:SetScriptObject(receiver)
listener:OnTextData(symbol("onText"))
assert(listener:Open(port, group) == 0, "cannot join " .. group)
listener:Start()
-- Ready: the sending process waits for this line.
io.stdout:write("ready\n")
io.stdout:flush()
-- Until all have come, or nothing more has come for half a second (the rest was lost).
local deadline = host.now() + 30
repeat
  local before = receiver.delivered
  local ended = host.run(0.5)
until ended == "stopped" or host.now() > deadline or (before > 0 and receiver.delivered == before)
listener:Stop()
local span = (receiver.last or 0) - (receiver.first or 0)
print(string.format("%d %.1f", receiver.delivered, span > 0 and (receiver.delivered - 1) / span or 0))
