-- Listens on a multicast group with a Tidelisten object: prints every text datagram
-- with its header fields and writes every complete binary message to a file.
local usage = [[
usage: tidehost listen.lua [-g ADDRESS] [-p PORT] [-i ADDRESS]
                           [--seconds S] [--messages N] [--out PREFIX]

Joins the group (default 239.255.0.1:7001), prints every text datagram with its
header fields, and writes every complete binary message to PREFIX-1.bin,
PREFIX-2.bin, ... (default PREFIX: message). Runs until interrupted (Ctrl-C), for S
seconds, or until N deliveries (text datagrams and binary messages) have come.
  -g, --group ADDRESS  multicast group to join, 224.0.0.0 to 239.255.255.255
  -p, --port PORT  UDP port, 1 to 65535
  -i, --interface ADDRESS  join on the local interface with this IPv4 address only
                   (default: on every interface that has one)
  --seconds S      stop after S seconds
  --messages N     stop after N deliveries
  --out PREFIX     where binary messages go
  -h, --help       this text
Every option also takes its value after "=": --port=7001.
Exits 2 for a malformed command line, 1 when it cannot join or a binary message could
not be written out (it goes on listening, and says so for each).]]

package.path = arg[0]:match("^(.-)[^/]*$") .. "?.lua;" .. package.path
local options = require("options")
local group, port_number, out = "239.255.0.1", 7001, "message"
local seconds, limit, interface
options.parse("listen.lua", usage, {
  ["--group"] = {options.group, function(v) group = v end, "-g"},
  ["--port"] = {options.port, function(v) port_number = v end, "-p"},
  ["--interface"] = {options.address, function(v) interface = v end, "-i"},
  ["--seconds"] = {options.seconds, function(v) seconds = v end},
  ["--messages"] = {options.count, function(v) limit = v end},
  ["--out"] = {options.text, function(v) out = v end},
})

local counts = {texts = 0, binaries = 0, unwritten = 0}
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
  local written = file ~= nil
  if file then
    -- A full disk may show only when the file is closed.
    local wrote, write_err = file:write(host.peek(address, length))
    local closed, close_err = file:close()
    written, err = wrote and closed, write_err or close_err
  end
  if written then
    print(string.format("binary message of %s -> %s", options.counted(length, "byte"), name))
  else
    counts.unwritten = counts.unwritten + 1
    io.stderr:write("listen.lua: cannot write a binary message of ", options.counted(length, "byte"), ": ", err, "\n")
  end
  delivered()
end

local listener = xtra.new("Tidelisten")
options.use_interface(listener, interface, "listen.lua")
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
print(string.format("%s: %s, %s", ended, options.counted(counts.texts, "text datagram"),
                    options.counted(counts.binaries, "binary message")))
if counts.unwritten > 0 then
  io.stderr:write("listen.lua: ", options.counted(counts.unwritten, "binary message"), " not written out\n")
  os.exit(1)
end
