-- One message of BYTES bytes (64 MiB unless given), sent at full speed with repeat 1 by a
-- Tidespeak object and received by a Tidelisten object of the same process, whose
-- binary handler is a Lua table's. Prints "complete MB/s" or "incomplete 0".
local group, port, bytes = arg[1] or "239.255.63.1", tonumber(arg[2] or 46301), tonumber(arg[3] or 64 * 1024 * 1024)

local listener, speaker = xtra.new("Tidelisten"), xtra.new("Tidespeak")
local receiver = { complete = false }
function receiver:onBinary(address, length)
  if length == bytes then
    self.complete = true
    host.stop()
  end
end
listener:SetScriptObject(receiver)
listener:OnBinaryData(symbol("onBinary"))
assert(listener:Open(port, group) == 0, "cannot join " .. group)
listener:Start()
speaker:Open(port, group)

local block = host.alloc(string.rep("\90", bytes))
local started = host.now()
speaker:SendBuffer(block, bytes, 1)
host.run(20)
local seconds = host.now() - started
host.free(block)
listener:Stop()
listener:Close()
if receiver.complete then
  print(string.format("complete %.1f", bytes / seconds / 1e6))
else
  print("incomplete 0")
end
