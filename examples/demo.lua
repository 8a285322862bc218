-- The demo: a Tidelisten and a Tidespeak in one process, on one multicast group.
-- It sends a short text (every datagram twice), a long text of several fragments and
-- a generated file of a few hundred KiB, and tells what went out and what arrived.
-- Run it with ./tide demo, which keeps every datagram inside a private network.
local usage = [[
usage: tidehost demo.lua [--group ADDRESS] [--port PORT] [--bytes N]

Sends a short text twice, a long text of several fragments and a file of N bytes
(default 307200) from a Tidespeak to a Tidelisten on the group (default
239.255.0.77:7077), prints what went out and what arrived, and exits 0 only when
everything arrived intact. `./tide demo` runs it inside a private network namespace.]]

local options = {group = "239.255.0.77", port = 7077, bytes = 307200}
local i = 1
while i <= #arg do
  local word = arg[i]
  if word == "--help" or word == "-h" then print(usage) os.exit(0)
  elseif word == "--group" then options.group = arg[i + 1]; i = i + 1
  elseif word == "--port" then options.port = math.tointeger(tonumber(arg[i + 1])); i = i + 1
  elseif word == "--bytes" then options.bytes = math.tointeger(tonumber(arg[i + 1])); i = i + 1
  else io.stderr:write("demo.lua: unknown argument ", word, "\n", usage, "\n") os.exit(2) end
  i = i + 1
end
if not options.group or not options.port or not options.bytes or options.bytes < 0 then
  io.stderr:write(usage, "\n") os.exit(2)
end

-- Adler-32, the checksum zlib uses: enough to tell a file arrived as it left.
local function adler32(bytes)
  local a, b = 1, 0
  for at = 1, #bytes, 4096 do
    local chunk = {bytes:byte(at, math.min(at + 4095, #bytes))}
    for k = 1, #chunk do
      a = (a + chunk[k]) % 65521
      b = (b + a) % 65521
    end
  end
  return string.format("%08x", (b << 16) | a)
end

-- Deterministic bytes that do not compress into one repeated fragment.
local function generated_bytes(count)
  local parts, seed = {}, 20512
  for at = 1, count, 1024 do
    local run = {}
    for k = 1, math.min(1024, count - at + 1) do
      seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
      run[k] = (seed >> 16) & 0xFF
    end
    parts[#parts + 1] = string.char(table.unpack(run))
  end
  return table.concat(parts)
end

local function fragments(bytes) return math.max(1, (bytes + 20479) // 20480) end
local function utf16_units(text)
  local units = 0
  for _, code in utf8.codes(text) do units = units + (code > 0xFFFF and 2 or 1) end
  return units
end

-- What arrives, kept by the script object whose handlers the listener calls.
local arrivals = {texts = {}, binary = nil}
local expected_texts
local receiver = {}

function receiver:OnText(list)
  arrivals.texts[#arrivals.texts + 1] = {
    data = list.data, remote_host = list.remote_host, index = list.index, tindex = list.tindex,
    tcount = list.tcount, data_tsize = list.data_tsize, data_offset = list.data_offset,
    data_size = list.data_size, at = host.now(),
  }
  if #arrivals.texts >= expected_texts and arrivals.binary then host.stop() end
end

function receiver:OnBinary(address, length)
  -- The bytes stay in the listener's buffer only until the next datagram: copy them now.
  arrivals.binary = {bytes = host.peek(address, length), length = length, address = address, at = host.now()}
  if #arrivals.texts >= expected_texts then host.stop() end
end

local place = string.format("%s:%d", options.group, options.port)
print(string.format("Tidespeak -> Tidelisten on %s (%s)", place, table.concat(xtra.list(), " and ")))

local listener = xtra.new("Tidelisten")
listener:SetScriptObject(receiver)
listener.prop.OnTextData = symbol("OnText")
listener.prop.OnBinaryData = symbol("OnBinary")
local joined = listener:Open(options.port, options.group)
if joined ~= 0 then
  io.stderr:write("demo.lua: the listener could not join ", place, "\n")
  os.exit(1)
end
listener:Start()
local speaker = xtra.new("Tidespeak")
speaker:Open(options.port, options.group)
print(string.format("listener %s joined and started; speaker %s opened", tostring(listener), tostring(speaker)))
print()

local short_text = "Hello from Tidespeak! Grüße, ¡hola!"
local long_text = {}
for n = 1, 1000 do long_text[#long_text + 1] = string.format("line %04d of a long text; ", n) end
long_text = table.concat(long_text)
local file_bytes = generated_bytes(options.bytes)
local file_sum = adler32(file_bytes)
local path = os.tmpname()
local file = assert(io.open(path, "wb"))
file:write(file_bytes)
file:close()

local long_fragments = fragments((utf16_units(long_text) + 1) * 2)
expected_texts = 2 + long_fragments
local started = host.now()
speaker:SendText(short_text, 2)
print(string.format("sent  #1 text, %d characters, every datagram twice: \"%s\"", utf8.len(short_text), short_text))
speaker:SendText(long_text)
print(string.format("sent  #2 text, %d characters in %d fragments", utf8.len(long_text), long_fragments))
local sent_file = speaker:SendBinary(path)
os.remove(path)
print(string.format("sent  #3 file, %d bytes in %d fragments, adler-32 %s%s", #file_bytes,
                    fragments(#file_bytes), file_sum, sent_file == 0 and "" or " (FAILED to read)"))
print()

local ended = host.run(10)
local finished = host.now()

local ok = true
local long_parts, long_count = {}, 0
for _, text in ipairs(arrivals.texts) do
  print(string.format("came  #%d text [%d/%d] from %s: data_tsize %d, data_offset %d, data_size %d%s",
                      text.index, text.tindex, text.tcount, text.remote_host, text.data_tsize,
                      text.data_offset, text.data_size,
                      text.index == 1 and (": \"" .. text.data .. "\"") or
                        string.format(", %d characters", utf8.len(text.data) or -1)))
  if text.index == 2 and not long_parts[text.tindex] then
    long_parts[text.tindex] = text.data
    long_count = long_count + 1
  end
end

local copies = 0
for _, text in ipairs(arrivals.texts) do
  if text.index == 1 and text.data == short_text then copies = copies + 1 end
end
if copies ~= 2 then
  print(string.format("MISSING: %d of 2 copies of the short text arrived intact", copies))
  ok = false
end
if long_count == long_fragments and table.concat(long_parts) == long_text then
  print(string.format("      #2 put together from its %d fragments: %d characters, as sent", long_fragments,
                      utf8.len(long_text)))
else
  print(string.format("MISSING: %d of %d fragments of the long text (or it differs)", long_count, long_fragments))
  ok = false
end

local binary = arrivals.binary
if binary then
  local sum = adler32(binary.bytes)
  local intact = binary.bytes == file_bytes
  print(string.format("came  #3 binary message of %d bytes (buffer address %d), adler-32 %s: %s", binary.length,
                      binary.address, sum, intact and "identical to the file" or "DIFFERENT from the file"))
  ok = ok and intact
else
  print("MISSING: the file did not arrive")
  ok = false
end

print()
local last = binary and binary.at or started
for _, text in ipairs(arrivals.texts) do last = math.max(last, text.at) end
if ok then
  print(string.format("everything arrived, %.1f ms after the first datagram went out", (last - started) * 1000))
else
  print(string.format("NOT everything arrived (host.run ended: %s after %.1f ms)", ended, (finished - started) * 1000))
end
listener:Stop()
listener:Close()
os.exit(ok and 0 or 1)
