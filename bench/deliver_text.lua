-- Counts the text datagrams handed to a text handler, each with its nine-entry list,
-- while another process sends COUNT of them at full speed. Prints "delivered rate",
-- the rate taken from the first delivery to the last.
local group, port, count = arg[1] or "239.255.63.2", tonumber(arg[2] or 46302), tonumber(arg[3] or 50000)

local listen = dofile((arg[0]:match("^(.*[/\\])") or "") .. "text_listener.lua")
local listener, receiver = listen(group, port, count, function(receiver)
  receiver.last = host.now()
  receiver.first = receiver.first or receiver.last
end)
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
