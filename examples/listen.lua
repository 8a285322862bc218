-- Listens on a multicast group with a Tidelisten object: prints every text datagram
-- with its header fields and writes every complete binary message to a file.
local usage = [[
usage: tidehost listen.lua [--group ADDRESS] [--port PORT] [--seconds S] [--messages N] [--out PREFIX]

Joins the group (default 239.255.0.1:7001), prints every text datagram with its
header fields, and writes every complete binary message to PREFIX-1.bin,
PREFIX-2.bin, ... (default PREFIX: message). Runs until interrupted (Ctrl-C), for S
seconds, or until N deliveries (text datagrams and binary messages) have come.
  --group ADDRESS  multicast group to join
  --port PORT      UDP port
  --seconds S      stop after S seconds
  --messages N     stop after N deliveries
  --out PREFIX     where binary messages go
  --help           this text]]

package.path = arg[0]:match("^(.-)[^/]*$") .. "?.lua;" .. package.path
local options = require("options")
local group, port_number, out = "239.255.0.1", 7001, "message"
local seconds, limit
options.parse("listen.lua", usage, {
  ["--group"] = {options.text, function(v) group = v end},
  ["--port"] = {options.port, function(v) port_number = v end},
  ["--seconds"] = {options.number, function(v) seconds = v end},
  ["--messages"] = {options.integer, function(v) limit = v end},
  ["--out"] = {options.text, function(v) out = v end},
})

local counts = {texts = 0, binaries = 0}
local function delivered()
  if limit and counts.texts + counts.binaries >= limit then host.stop() end
end

-- The script object whose handlers the listener calls.
local receiver = {}

function receiver:onText(list)
  counts.texts = counts.texts + 1
  print(string.format("text #%d [%d/%d] from %s, data_tsize %d, data_offset %d, data_size %d: %s", list.index,
                      list.tindex, list.tcount, list.remote_host, list.data_tsize, list.data_offset, list.data_size,
                      list.data))
  delivered()
end

function receiver:onBinary(address, length)
  counts.binaries = counts.binaries + 1
  local name = string.format("%s-%d.bin", out, counts.binaries)
  -- The bytes are the listener's until the next datagram: write them out now.
  local file, err = io.open(name, "wb")
  if file then
    file:write(host.peek(address, length))
    file:close()
    print(string.format("binary message of %d bytes -> %s", length, name))
  else
    io.stderr:write("listen.lua: ", err, "\n")
  end
  delivered()
end

local listener = xtra.new("Tidelisten")
listener:SetScriptObject(receiver)
listener:OnTextData(symbol("onText"))
listener:OnBinaryData(symbol("onBinary"))
if listener:Open(port_number, group) ~= 0 then
  io.stderr:write(string.format("listen.lua: cannot join %s:%d\n", group, port_number))
  os.exit(1)
end
listener:Start()
print(string.format("listening on %s:%d%s", group, port_number, seconds and string.format(" for %g s", seconds) or
                    " (Ctrl-C ends)"))
local ended = host.run(seconds)
listener:Stop()
listener:Close()
print(string.format("%s: %d text datagram(s), %d binary message(s)", ended, counts.texts, counts.binaries))
