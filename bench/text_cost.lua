-- What delivering a text costs the host's thread. COUNT short texts are sent from this
-- process and left queued (a few at a time, so that the socket's buffer never overflows);
-- then host.run delivers them all, each with its nine-entry list, and stops at the last.
-- Prints "delivered cpu", cpu being the host thread's CPU seconds for the deliveries.
-- Run under callgrind with --toggle-collect='*DeliverOne*', the instructions counted are
-- those of the deliveries alone.
local group, port, count = arg[1] or "239.255.63.5", tonumber(arg[2] or 46305), tonumber(arg[3] or 2000)
local chunk, pause = 4, tonumber(arg[4] or 0.002)

local listen = dofile((arg[0]:match("^(.*[/\\])") or "") .. "text_listener.lua")
local listener, receiver = listen(group, port, count)
local speaker = xtra.new("Tidespeak")
speaker:Open(port, group)
for sent = 1, count do
  speaker:SendText("hello, group", 1)
  if sent % chunk == 0 then host.sleep(pause) end
end
host.sleep(10 * pause)
local before = host.cpu()
host.run(60)
local cpu = host.cpu() - before
listener:Stop()
print(string.format("%d %.6f", receiver.delivered, cpu))
