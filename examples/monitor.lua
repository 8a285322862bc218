-- A live monitor of one multicast group: once a second, per sender, what came, how fast,
-- and what is missing, from what a Tidelisten object hands its script and says of the
-- binary message it is putting together; a summary at the end.
local usage = [[
usage: tidehost monitor.lua [-g ADDRESS] [-p PORT] [--seconds S] [--json]

Joins the group (default 239.255.0.1:7001) and once a second prints, per sender
(remote_host), its text datagrams and payload bytes per second, its text messages
complete, its binary messages complete, its messages incomplete (fragments missing),
the repeated text datagrams seen, and the message numbers that never arrived (gaps in
index, counted from the first number seen); then one line for binary messages of all
senders. A sender quiet for more than 3 seconds drops out of these lines until it
sends again. A summary of every sender follows at the end. Runs until interrupted
(Ctrl-C) or for S seconds.
  -g, --group ADDRESS  multicast group to join, 224.0.0.0 to 239.255.255.255
  -p, --port PORT  UDP port, 1 to 65535
  --seconds S      stop after S seconds
  --json           one JSON object a line instead of the text lines
  -h, --help       this text

What a listener shows a script sets the limits: every text datagram comes with
its header, so texts are counted fragment by fragment. A binary message comes
only once complete; the listener's GetMessageInfo names its sender and number
then, and those of the message being put together, which the monitor asks once a
second. So a binary message left incomplete shows as incomplete when it was still
being put together at such a moment, and otherwise only as a missing number: the
monitor cannot tell it from a lost one.]]

package.path = arg[0]:match("^(.-)[^/]*$") .. "?.lua;" .. package.path
local options = require("options")
local group, port_number, seconds, json = "239.255.0.1", 7001, nil, false
options.parse("monitor.lua", usage, {
  ["--group"] = {options.group, function(v) group = v end, "-g"},
  ["--port"] = {options.port, function(v) port_number = v end, "-p"},
  ["--seconds"] = {options.seconds, function(v) seconds = v end},
  ["--json"] = {options.flag, function() json = true end},
})

-- One line of output: the text line, or with --json the record as a JSON object.
local function emit(text, record)
  print(json and options.json(record) or text)
end

-- Message numbers wrap modulo 2^32; a sender's numbers are laid out on an unbounded line
-- from its first one, so that gaps are plain ranges.
local kWrap, kHalf = 1 << 32, 1 << 31
local function as_index(n) n = n % kWrap return n >= kHalf and n - kWrap or n end
-- Messages kept for their fragments and repeats, behind the newest number.
local kKeptMessages = 1024
-- Seconds without a datagram after which a sender leaves the per-second lines.
local kQuietSeconds = 3

local senders, order = {}, {}
local binary = {messages = 0, bytes = 0, tick_messages = 0, tick_bytes = 0}

local function sender_of(host_text)
  local s = senders[host_text]
  if not s then
    s = {name = host_text, datagrams = 0, bytes = 0, tick_datagrams = 0, tick_bytes = 0, complete = 0,
         binaries = 0, binary_bytes = 0,
         incomplete = {}, repeats = 0, missing = {}, missing_count = 0, messages = {}, open = {}, kept = {},
         kept_first = 1, kept_last = 1}
    senders[host_text] = s
    order[#order + 1] = s
  end
  return s
end

-- Takes `n` out of the sender's missing ranges, when it is there (a late message).
local function arrived_late(s, n)
  for k, range in ipairs(s.missing) do
    if n >= range[1] and n <= range[2] then
      table.remove(s.missing, k)
      if n > range[1] then table.insert(s.missing, k, {range[1], n - 1}) end
      if n < range[2] then table.insert(s.missing, k + (n > range[1] and 1 or 0), {n + 1, range[2]}) end
      s.missing_count = s.missing_count - 1
      return
    end
  end
end

-- A message left with fragments missing counts as incomplete once a later one has come,
-- until its last fragment comes after all.
local function close_message(s, message)
  if message.seen < message.tcount then s.incomplete[#s.incomplete + 1] = message end
end

local function completed(s, message)
  if message.binary then s.binaries = s.binaries + 1 else s.complete = s.complete + 1 end
  for k, closed in ipairs(s.incomplete) do
    if closed == message then
      table.remove(s.incomplete, k)
      return
    end
  end
end

-- Keeps the message at `n` for its repeats, forgetting the oldest beyond kKeptMessages.
local function keep(s, n, message)
  s.messages[n] = message
  s.open[n] = message
  s.kept[s.kept_last] = n
  s.kept_last = s.kept_last + 1
  if s.kept_last - s.kept_first > kKeptMessages then
    s.messages[s.kept[s.kept_first]] = nil
    s.kept[s.kept_first] = nil
    s.kept_first = s.kept_first + 1
  end
end

-- The place of `index` on the sender's number line, moving its newest number forward.
local function place(s, index)
  if not s.newest then
    s.newest, s.newest_index = 0, index
    return 0
  end
  local ahead = (index - s.newest_index) % kWrap
  if ahead >= kHalf then ahead = ahead - kWrap end
  local n = s.newest + ahead
  if ahead > 0 then
    if ahead > 1 then
      s.missing[#s.missing + 1] = {s.newest + 1, n - 1}
      s.missing_count = s.missing_count + ahead - 1
    end
    for old, message in pairs(s.open) do
      close_message(s, message)
      s.open[old] = nil
    end
    s.newest, s.newest_index = n, index
  elseif ahead < 0 and not s.messages[n] then
    arrived_late(s, n)
  end
  return n
end

local monitor = {}

function monitor:onText(list)
  local s = sender_of(list.remote_host)
  s.datagrams, s.tick_datagrams = s.datagrams + 1, s.tick_datagrams + 1
  s.bytes, s.tick_bytes = s.bytes + list.data_size, s.tick_bytes + list.data_size
  local n = place(s, list.index)
  local message = s.messages[n]
  if not message then
    message = {index = list.index, tcount = list.tcount, seen = 0, fragments = {}}
    keep(s, n, message)
  end
  if message.fragments[list.tindex] then
    s.repeats = s.repeats + 1
  else
    message.fragments[list.tindex] = true
    message.seen = message.seen + 1
    if message.seen == message.tcount then completed(s, message) end
  end
end

local listener = xtra.new("Tidelisten")

-- The binary message at `info` (GetMessageInfo's list) in its sender's books: placed on
-- its number line, with the fragments in so far.
local function binary_message(info)
  local s = sender_of(info.remote_host)
  local n = place(s, info.index)
  local message = s.messages[n]
  if not message then
    message = {index = info.index, tcount = info.tcount, seen = 0, binary = true}
    keep(s, n, message)
  end
  return s, message
end

function monitor:onBinary(address, length)
  binary.messages, binary.tick_messages = binary.messages + 1, binary.tick_messages + 1
  binary.bytes, binary.tick_bytes = binary.bytes + length, binary.tick_bytes + length
  local info = listener:GetMessageInfo()
  if not info.index then return end
  local s, message = binary_message(info)
  s.binary_bytes = s.binary_bytes + length
  if message.seen < message.tcount then
    message.seen = message.tcount
    completed(s, message)
  end
end

-- The binary message being put together, noted with the fragments it has so far.
local function look_at_message()
  local info = listener:GetMessageInfo()
  if not info.index or info.complete == 1 then return end
  local _, message = binary_message(info)
  message.seen = math.max(message.seen, info.taken)
end

-- "2, 4..5, 9": the sender's missing numbers, as the sender wrote them, the first few.
local function missing_text(s)
  local parts = {}
  for k, range in ipairs(s.missing) do
    if k > 8 then parts[#parts + 1] = "..." break end
    local first = as_index(s.newest_index + range[1] - s.newest)
    local last = as_index(s.newest_index + range[2] - s.newest)
    parts[#parts + 1] = first == last and tostring(first) or string.format("%d..%d", first, last)
  end
  return table.concat(parts, ", ")
end

local function incomplete_text(s)
  local shown = {}
  for k = 1, math.min(8, #s.incomplete) do shown[k] = tostring(s.incomplete[k].index) end
  if #s.incomplete > 8 then shown[#shown + 1] = "..." end
  return table.concat(shown, ", ")
end

local function listed(count, numbers)
  return count > 0 and string.format("%d (%s)", count, numbers) or "0"
end

local function counts_text(s)
  return string.format("texts complete %d, binary complete %d, incomplete %s, repeats %d; missing %s", s.complete,
                       s.binaries, listed(#s.incomplete, incomplete_text(s)), s.repeats,
                       listed(s.missing_count, missing_text(s)))
end

-- A sender's counts as a record, for --json.
local function counts_record(s, kind, extra)
  local incomplete = {}
  for k, message in ipairs(s.incomplete) do incomplete[k] = message.index end
  local missing = {}
  for k, range in ipairs(s.missing) do
    missing[k] = {as_index(s.newest_index + range[1] - s.newest), as_index(s.newest_index + range[2] - s.newest)}
  end
  local record = {kind = kind, remote_host = s.name, texts_complete = s.complete, binary_complete = s.binaries,
                  binary_bytes = s.binary_bytes, incomplete = incomplete, repeats = s.repeats,
                  missing_count = s.missing_count, missing = missing}
  for key, value in pairs(extra) do record[key] = value end
  return record
end

local started = host.now()
-- Whether a sender (or the binary messages), with `arrived` this second, still has its
-- line at the report of `second`: something came within the last kQuietSeconds reports.
local function still_heard(counts, arrived, second)
  if arrived > 0 then counts.heard = second end
  return counts.heard ~= nil and second - counts.heard <= kQuietSeconds
end

local function report(elapsed)
  local second = math.floor(elapsed + 0.5)
  local stamp = string.format("[%4d s]", second)
  local lines = 0
  for _, s in ipairs(order) do
    if still_heard(s, s.tick_datagrams, second) then
      emit(string.format("%s %s: %s/s, %d B/s; %s", stamp, s.name, options.counted(s.tick_datagrams, "datagram"),
                         s.tick_bytes, counts_text(s)),
           counts_record(s, "second", {second = second, datagrams = s.tick_datagrams, bytes = s.tick_bytes}))
      lines = lines + 1
    end
    s.tick_datagrams, s.tick_bytes = 0, 0
  end
  if still_heard(binary, binary.tick_messages, second) then
    emit(string.format("%s binary, any sender: %s/s, %d B/s; complete %d", stamp,
                       options.counted(binary.tick_messages, "message"), binary.tick_bytes, binary.messages),
         {kind = "second", second = second, remote_host = "any", binary_messages = binary.tick_messages,
          binary_bytes = binary.tick_bytes, binary_complete = binary.messages})
    lines = lines + 1
  end
  binary.tick_messages, binary.tick_bytes = 0, 0
  if lines == 0 then
    emit(stamp .. (#order == 0 and binary.messages == 0 and " nothing yet" or
                   string.format(" quiet: nothing for more than %d s", kQuietSeconds)),
         {kind = "second", second = second, quiet = true})
  end
end

listener:SetScriptObject(monitor)
listener:OnTextData(symbol("onText"))
listener:OnBinaryData(symbol("onBinary"))
if listener:Open(port_number, group) ~= 0 then
  io.stderr:write(string.format("monitor.lua: cannot join %s:%d%s\n", group, port_number,
                                options.join_hint(port_number)))
  os.exit(1)
end
listener:Start()
options.warn_small_buffer("monitor.lua")
io.stdout:setvbuf("line")
emit(string.format("monitoring %s:%d%s", group, port_number,
                   seconds and string.format(" for %g s", seconds) or " (Ctrl-C ends)"),
     {kind = "monitoring", group = group, port = port_number, seconds = seconds})

local ended, tick = "timeout", 0
while ended == "timeout" and not (seconds and tick >= seconds) do
  local deadline = seconds and math.min(tick + 1, seconds) or tick + 1
  local slice = deadline - (host.now() - started)
  if slice > 0 then ended = host.run(slice) end
  look_at_message()
  if ended == "timeout" and deadline == tick + 1 then report(deadline) end
  tick = deadline
end
listener:Stop()
listener:Close()

emit(string.format("summary after %.1f s (%s):", host.now() - started, ended),
     {kind = "summary", seconds = host.now() - started, ended = ended})
local missing = 0
for _, s in ipairs(order) do
  for _, message in pairs(s.open) do close_message(s, message) end
  emit(string.format("  %s: %s, %s; %s", s.name, options.counted(s.datagrams, "text datagram"),
                     options.counted(s.bytes, "payload byte"), counts_text(s)),
       counts_record(s, "sender", {datagrams = s.datagrams, bytes = s.bytes}))
  missing = missing + s.missing_count
end
emit(string.format("  binary, any sender: complete %d, %s", binary.messages, options.counted(binary.bytes, "byte")),
     {kind = "binary", binary_complete = binary.messages, binary_bytes = binary.bytes})
if #order == 0 and binary.messages == 0 and not json then print("  nothing arrived") end
if missing > 0 and not json then
  print(string.format("  %s missing: lost, or binary messages left incomplete between two looks",
                      options.counted(missing, "number")))
end
