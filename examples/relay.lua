-- Receives on one multicast group and forwards every complete binary message, as it
-- came, to another group: a Tidelisten hands the message's buffer to the handler, and
-- a Tidespeak sends that buffer with SendBuffer.
local usage = [[
usage: tidehost relay.lua --from GROUP:PORT --to GROUP:PORT [--repeat N] [--seconds S] [--messages N]

Forwards every complete binary message received on --from to --to with SendBuffer.
Text datagrams are not forwarded. Runs until interrupted (Ctrl-C), for S seconds, or
until N messages have been forwarded.
  --from GROUP:PORT  where to listen, e.g. 239.255.0.1:7001 (a multicast group in
                     dotted form, 224.0.0.0 to 239.255.255.255, and a port, 1 to 65535)
  --to GROUP:PORT    where to send, e.g. 239.255.0.2:7002
  -r, --repeat N     send every datagram N times, 1 or more (default 1)
  --seconds S        stop after S seconds
  --messages N       stop after N messages
  --help             this text]]

package.path = arg[0]:match("^(.-)[^/]*$") .. "?.lua;" .. package.path
local options = require("options")
local from, to, seconds, limit
local repeats = 1
local cli = options.parse("relay.lua", usage, {
  ["--from"] = {options.place, function(v) from = v end},
  ["--to"] = {options.place, function(v) to = v end},
  ["--repeat"] = {options.repeats, function(v) repeats = v end, "-r"},
  ["--seconds"] = {options.seconds, function(v) seconds = v end},
  ["--messages"] = {options.count, function(v) limit = v end},
})
if not from or not to then cli.fail("both --from and --to are needed") end

local speaker = xtra.new("Tidespeak")
speaker:Open(to.port, to.group)
local forwarded = 0

local relay = {}
function relay:onBinary(address, length)
  -- The address is the listener's buffer, known to the host: the speaker sends from it.
  speaker:SendBuffer(address, length, repeats)
  forwarded = forwarded + 1
  print(string.format("forwarded a binary message of %s to %s:%d", options.counted(length, "byte"), to.group, to.port))
  if limit and forwarded >= limit then host.stop() end
end

local listener = xtra.new("Tidelisten")
listener:SetScriptObject(relay)
listener:OnBinaryData(symbol("onBinary"))
if listener:Open(from.port, from.group) ~= 0 then
  io.stderr:write(string.format("relay.lua: cannot join %s:%d%s\n", from.group, from.port,
                                options.join_hint(from.port)))
  os.exit(1)
end
listener:Start()
options.warn_small_buffer("relay.lua")
print(string.format("relaying %s:%d -> %s:%d%s", from.group, from.port, to.group, to.port,
                    seconds and string.format(" for %g s", seconds) or " (Ctrl-C ends)"))
local ended = host.run(seconds)
listener:Stop()
listener:Close()
print(string.format("%s: %s forwarded", ended, options.counted(forwarded, "message")))
