-- Receives one message of BYTES bytes (64 MiB unless given) with a Tidelisten object whose
-- binary handler is a Lua table's, while another process sends it at full speed with
-- repeat 1. Prints "ready" once joined, then "complete T" with the time the handler got
-- the whole message (host.now(), the machine's monotonic clock, which the sending process
-- reads too), or "incomplete 0" when it did not come whole within 20 seconds.
local group, port, bytes = arg[1] or "239.255.63.1", tonumber(arg[2] or 46301), tonumber(arg[3] or 64 * 1024 * 1024)

local listener = xtra.new("Tidelisten")
local receiver = {}
function receiver:onBinary(address, length)
  if length == bytes then
    self.completed = host.now()
    host.stop()
  end
end
listener:SetScriptObject(receiver)
listener:OnBinaryData(symbol("onBinary"))
assert(listener:Open(port, group) == 0, "cannot join " .. group)
listener:Start()
io.stdout:write("ready\n")
io.stdout:flush()
host.run(20)
listener:Stop()
listener:Close()
if receiver.completed then
  print(string.format("complete %.6f", receiver.completed))
else
  print("incomplete 0")
end
