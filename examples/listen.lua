-- Listens on a multicast group with a Tidelisten object: prints every text datagram
-- with its header fields, writes every complete binary message to a file named after its
-- sender and number, shows a long message's progress, and says at the end what did not
-- come whole.
local usage = [[
usage: tidehost listen.lua [-g ADDRESS] [-p PORT] [-i ADDRESS] [--seconds S]
                           [--messages N] [--out PREFIX] [--force] [--json]

Joins the group (default 239.255.0.1:7001), prints every text datagram with its
header fields, and writes every complete binary message to
PREFIX-ADDRESS_PORT-NUMBER.bin, after its sender and its message number (default
PREFIX: message), never over a file that is there already (a -2, -3, ... goes before
.bin then). Runs until interrupted (Ctrl-C), for S seconds, or until N deliveries
(text datagrams and binary messages) have come; then says which messages it saw begin
and never saw complete, and which message numbers of a sender never came at all.
  -g, --group ADDRESS  multicast group to join, 224.0.0.0 to 239.255.255.255
  -p, --port PORT  UDP port, 1 to 65535
  -i, --interface ADDRESS  join on the local interface with this IPv4 address only
                   (default: on every interface that has one)
  --seconds S      stop after S seconds
  --messages N     stop after N deliveries
  --out PREFIX     where binary messages go
  --force          write over files that are there already
  --json           one JSON object a line instead of the text lines
  -h, --help       this text
Every option also takes its value after "=": --port=7001.
Exits 2 for a malformed command line, 1 when it cannot join, a binary message could
not be written out, or a message it saw begin never completed (it goes on listening,
and says so for each).]]

package.path = arg[0]:match("^(.-)[^/]*$") .. "?.lua;" .. package.path
local options = require("options")
local group, port_number, out = "239.255.0.1", 7001, "message"
local seconds, limit, interface, force, json
options.parse("listen.lua", usage, {
  ["--group"] = {options.group, function(v) group = v end, "-g"},
  ["--port"] = {options.port, function(v) port_number = v end, "-p"},
  ["--interface"] = {options.address, function(v) interface = v end, "-i"},
  ["--seconds"] = {options.seconds, function(v) seconds = v end},
  ["--messages"] = {options.count, function(v) limit = v end},
  ["--out"] = {options.text, function(v) out = v end},
  ["--force"] = {options.flag, function() force = true end},
  ["--json"] = {options.flag, function() json = true end},
})

-- One line of output: the text line, or with --json the record as a JSON object.
local function report(text, record)
  if json then print(options.json(record)) else print(text) end
  io.stdout:flush()
end

local counts = {texts = 0, binaries = 0, unwritten = 0}
local function delivered()
  if limit and counts.texts + counts.binaries >= limit then host.stop() end
end

-- Each sender's message numbers seen, and the binary messages seen begin that have not
-- completed yet ("sender #number" → what was last seen of them).
local numbers, unfinished = {}, {}
local function saw(sender, index)
  local seen = numbers[sender] or {}
  numbers[sender] = seen
  seen[index] = true
end

local listener = xtra.new("Tidelisten")

-- What the listener says of the binary message being put together: noted as begun, and
-- shown once a second while it is long in coming.
local last_progress = {}
local function look_at_message(show)
  local info = listener:GetMessageInfo()
  if not info.index or info.complete == 1 then return end
  local key = string.format("%s #%d", info.remote_host, info.index)
  saw(info.remote_host, info.index)
  unfinished[key] = {sender = info.remote_host, index = info.index, taken = info.taken, tcount = info.tcount,
                     length = info.data_tsize}
  if show and last_progress[key] ~= info.taken then
    last_progress[key] = info.taken
    report(string.format("message #%d from %s: %d of %d fragments (%d%%)", info.index, info.remote_host, info.taken,
                         info.tcount, info.taken * 100 // info.tcount),
           {kind = "progress", index = info.index, remote_host = info.remote_host, taken = info.taken,
            tcount = info.tcount, data_tsize = info.data_tsize})
  end
end

-- A name for the message's file that no file has yet (unless --force): ":" in the
-- sender's address:port would not do on every system.
local function file_name(sender, index)
  local base = string.format("%s-%s-%d", out, (sender:gsub(":", "_")), index)
  local name = base .. ".bin"
  local k = 1
  while not force do
    local existing = io.open(name, "rb")
    if not existing then break end
    existing:close()
    k = k + 1
    name = string.format("%s-%d.bin", base, k)
  end
  return name
end

-- The script object whose handlers the listener calls.
local receiver = {}

function receiver:onText(list)
  counts.texts = counts.texts + 1
  saw(list.remote_host, list.index)
  report(string.format("text #%d [%d/%d] from %s, data_tsize %d, data_offset %d, data_size %d: %s", list.index,
                       list.tindex, list.tcount, list.remote_host, list.data_tsize, list.data_offset, list.data_size,
                       list.data),
         {kind = "text", index = list.index, tindex = list.tindex, tcount = list.tcount, remote_host = list.remote_host,
          data_tsize = list.data_tsize, data_offset = list.data_offset, data_size = list.data_size, data = list.data})
  look_at_message(false)
  delivered()
end

function receiver:onBinary(address, length)
  counts.binaries = counts.binaries + 1
  local info = listener:GetMessageInfo()
  local sender, index = info.remote_host or "unknown", info.index or counts.binaries
  saw(sender, index)
  unfinished[string.format("%s #%d", sender, index)] = nil
  local name = file_name(sender, index)
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
    report(string.format("binary message #%d from %s of %s -> %s", index, sender, options.counted(length, "byte"),
                         name),
           {kind = "binary", index = index, remote_host = sender, length = length, file = name})
  else
    counts.unwritten = counts.unwritten + 1
    io.stderr:write("listen.lua: cannot write binary message #", index, " from ", sender, " of ",
                    options.counted(length, "byte"), ": ", err, "\n")
  end
  delivered()
end

options.use_interface(listener, interface, "listen.lua")
listener:SetScriptObject(receiver)
listener:OnTextData(symbol("onText"))
listener:OnBinaryData(symbol("onBinary"))
if listener:Open(port_number, group) ~= 0 then
  io.stderr:write(string.format("listen.lua: cannot join %s:%d%s\n", group, port_number,
                                options.join_hint(port_number)))
  os.exit(1)
end
listener:Start()
options.warn_small_buffer("listen.lua")
report(string.format("listening on %s:%d%s", group, port_number, seconds and string.format(" for %g s", seconds) or
                     " (Ctrl-C ends)"),
       {kind = "listening", group = group, port = port_number, seconds = seconds})

-- A second at a time, so that a long message's progress shows.
local ended
local deadline = seconds and host.now() + seconds
repeat
  local slice = deadline and math.min(1, math.max(0, deadline - host.now())) or 1
  ended = host.run(slice)
  look_at_message(true)
until ended ~= "timeout" or (deadline and host.now() >= deadline)
listener:Stop()
listener:Close()

-- What did not come whole: messages seen begin, and message numbers never seen.
local incomplete = 0
local keys = {}
for key in pairs(unfinished) do keys[#keys + 1] = key end
table.sort(keys)
for _, key in ipairs(keys) do
  local m = unfinished[key]
  incomplete = incomplete + 1
  report(string.format("incomplete: message #%d from %s, %d of %d fragments came (%s)", m.index, m.sender, m.taken,
                       m.tcount, options.counted(m.length, "byte")),
         {kind = "incomplete", index = m.index, remote_host = m.sender, taken = m.taken, tcount = m.tcount,
          data_tsize = m.length})
end
local senders = {}
for sender in pairs(numbers) do senders[#senders + 1] = sender end
table.sort(senders)
for _, sender in ipairs(senders) do
  local seen, low, high = numbers[sender], math.huge, 0
  for index in pairs(seen) do low, high = math.min(low, index), math.max(high, index) end
  local missing = {}
  for index = low, high do if not seen[index] then missing[#missing + 1] = index end end
  if #missing > 0 then
    report(string.format("missing: from %s, message %s %s never came", sender, #missing == 1 and "number" or "numbers",
                         table.concat(missing, ", ")),
           {kind = "missing", remote_host = sender, numbers = missing})
  end
end
report(string.format("%s: %s, %s", ended, options.counted(counts.texts, "text datagram"),
                     options.counted(counts.binaries, "binary message")),
       {kind = "end", ended = ended, texts = counts.texts, binaries = counts.binaries, incomplete = incomplete})
if counts.unwritten > 0 then
  io.stderr:write("listen.lua: ", options.counted(counts.unwritten, "binary message"), " not written out\n")
end
if incomplete > 0 then
  io.stderr:write("listen.lua: ", options.counted(incomplete, "message"), " began and never completed\n")
end
if counts.unwritten > 0 or incomplete > 0 then os.exit(1) end
