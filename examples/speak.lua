-- Sends texts and files to a multicast group with a Tidespeak object.
local usage = [[
usage: tidehost speak.lua [--group ADDRESS] [--port PORT] [--repeat N] [--file PATH | TEXT]...

Sends every TEXT as a text message and every --file PATH as a binary message (the
file's bytes), in the order given, to the group (default 239.255.0.1:7001).
  --group ADDRESS  multicast group to send to
  --port PORT      UDP port
  --repeat N       send every datagram N times in a row (default 1): the only
                   redundancy there is, since nothing is acknowledged or resent
  --file PATH      send the bytes of the file at PATH
  --help           this text
Exits 1 when a file cannot be read.]]

package.path = arg[0]:match("^(.-)[^/]*$") .. "?.lua;" .. package.path
local options = require("options")
local group, port_number, repeats = "239.255.0.1", 7001, 1
local messages = {}
-- Every other word is a text to send; after "--", every word is.
local function text_word(word, reader)
  if word == "--" then
    for k = reader.i + 1, #arg do messages[#messages + 1] = {text = arg[k]} end
    return true
  elseif word:sub(1, 2) == "--" then reader.fail("unknown option " .. word) end
  messages[#messages + 1] = {text = word}
end
local cli = options.parse("speak.lua", usage, {
  ["--group"] = {options.text, function(v) group = v end},
  ["--port"] = {options.port, function(v) port_number = v end},
  ["--repeat"] = {options.integer, function(v) repeats = v end},
  ["--file"] = {options.text, function(v) messages[#messages + 1] = {file = v} end},
}, text_word)
if #messages == 0 then cli.fail("nothing to send") end
if repeats < 0 then cli.fail("--repeat needs a count of 0 or more") end

local function datagrams(bytes) return math.max(1, (bytes + 20479) // 20480) end

local speaker = xtra.new("Tidespeak")
speaker:Open(port_number, group)
local failed = false
-- 16-bit units of the text on the wire; UTF-8 is what the sender takes by default.
local function units(t)
  if not utf8.len(t) then return #t end
  local count = 0
  for _, code in utf8.codes(t) do count = count + (code > 0xFFFF and 2 or 1) end
  return count
end

for n, message in ipairs(messages) do
  if message.text then
    speaker:SendText(message.text, repeats)
    print(string.format("sent text %d to %s:%d: %d bytes in %d datagram(s), each %d time(s)", n, group,
                        port_number, #message.text, datagrams((units(message.text) + 1) * 2), repeats))
  else
    local file = io.open(message.file, "rb")
    local size = file and file:seek("end")
    if file then file:close() end
    if speaker:SendBinary(message.file, repeats) ~= 0 then
      io.stderr:write("speak.lua: cannot read ", message.file, "\n")
      failed = true
    else
      print(string.format("sent file %s to %s:%d: %d bytes in %d datagram(s), each %d time(s)", message.file, group,
                          port_number, size or 0, datagrams(size or 0), repeats))
    end
  end
end
os.exit(failed and 1 or 0)
