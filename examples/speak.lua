-- Sends texts and files to a multicast group with a Tidespeak object.
local usage = [[
usage: tidehost speak.lua [-g ADDRESS] [-p PORT] [-r N] [-i ADDRESS] [-T N]
                          [TEXT | -t TEXT | -t - | --text-file PATH | -f PATH]... [-- TEXT...]

Sends every TEXT as a text message and every --file PATH as a binary message (the
file's bytes), in the order given, to the group (default 239.255.0.1:7001).
  -g, --group ADDRESS  multicast group to send to, 224.0.0.0 to 239.255.255.255
  -p, --port PORT   UDP port, 1 to 65535
  -r, --repeat N    send every datagram N times in a row, 1 or more (default 1): the only
                    redundancy there is, since nothing is acknowledged or resent
  -i, --interface ADDRESS  send from the local interface with this IPv4 address
                    (default: the one the system's routes choose for the group)
  -T, --ttl N       how many routers the datagrams may cross, 1 to 255 (default 1:
                    none, they stay on the local network)
  -t, --text TEXT   send TEXT as a text message, even one that starts with -;
                    -t - sends what standard input holds, to its end
  --text-file PATH  send what the file at PATH holds as a text message, as it is
                    (UTF-8), for texts longer than a command line takes
  -f, --file PATH   send the bytes of the file at PATH as a binary message
  --                every word after it is a TEXT, even one that starts with -
  -h, --help        this text
Every option also takes its value after "=": --port=7001.
The plug-in sends wherever it is told without a word, so speak.lua checks the group
and port itself. Exits 2 for a malformed command line, 1 when a file or standard
input cannot be read.]]

package.path = arg[0]:match("^(.-)[^/]*$") .. "?.lua;" .. package.path
local options = require("options")
local group, port_number, repeats = "239.255.0.1", 7001, 1
local interface, ttl
local messages = {}
-- Every other word is a text to send; after "--", every word is.
local function text_word(word, reader)
  if word == "--" then
    for k = reader.i + 1, #arg do messages[#messages + 1] = {text = arg[k]} end
    return true
  end
  messages[#messages + 1] = {text = word}
end
local cli = options.parse("speak.lua", usage, {
  ["--group"] = {options.group, function(v) group = v end, "-g"},
  ["--port"] = {options.port, function(v) port_number = v end, "-p"},
  ["--repeat"] = {options.repeats, function(v) repeats = v end, "-r"},
  ["--interface"] = {options.address, function(v) interface = v end, "-i"},
  ["--ttl"] = {options.ttl, function(v) ttl = v end, "-T"},
  ["--text"] = {options.text, function(v) messages[#messages + 1] = v == "-" and {stdin = true} or {text = v} end,
                "-t"},
  ["--text-file"] = {options.text, function(v) messages[#messages + 1] = {text_file = v} end},
  ["--file"] = {options.text, function(v) messages[#messages + 1] = {file = v} end, "-f"},
}, text_word)
if #messages == 0 then cli.fail("nothing to send") end

local function datagrams(bytes) return math.max(1, (bytes + 20479) // 20480) end

-- 16-bit units of the text on the wire; UTF-8 is what the sender takes by default.
local function units(t)
  if not utf8.len(t) then return #t end
  local count = 0
  for _, code in utf8.codes(t) do count = count + (code > 0xFFFF and 2 or 1) end
  return count
end

-- The text of a --text-file or --text -, read whole; nil and the reason when it cannot be.
local function read_text(message)
  if message.stdin then
    -- Ctrl-C while waiting for input ends the run here, as it ends host.run elsewhere.
    local ok, text = pcall(io.stdin.read, io.stdin, "a")
    if not ok then
      if tostring(text):find("interrupted", 1, true) then
        io.stderr:write("speak.lua: interrupted while reading standard input; that text was not sent\n")
        os.exit(1)
      end
      return nil, "cannot read standard input: " .. tostring(text)
    end
    return text, "cannot read standard input"
  end
  local file, err = io.open(message.text_file, "rb")
  local text = file and file:read("a")
  if file then file:close() end
  return text, "cannot read " .. (err or message.text_file)
end

local speaker = xtra.new("Tidespeak")
options.use_interface(speaker, interface, "speak.lua")
if ttl then speaker:SetTTL(ttl) end
speaker:Open(port_number, group)
local failed = false
local where = string.format("%s:%d", group, port_number)
local each = options.counted(repeats, "time")

-- The message numbers the listener will see: each message sent takes the next, and one
-- that could not be sent takes none.
local number = 0
for _, message in ipairs(messages) do
  if message.file then
    local file, open_err = io.open(message.file, "rb")
    local size = file and file:seek("end")
    -- Why the plug-in refused it, where Lua can tell: it sends regular files of less than
    -- 2 GiB only. Lua's own reasons start with the path, which the line has already.
    local why = open_err and open_err:gsub("^" .. message.file:gsub("%p", "%%%0") .. ": ", "")
    if file then
      file:seek("set")
      local _, read_err = file:read(0)
      why = read_err or (not size and "it cannot be sized: not a regular file")
            or (size == 0 and "not a regular file (a device, a pipe)")
            or (size >= 2 ^ 31 and "it has 2 GiB or more, more than the header can describe") or nil
      file:close()
    end
    if speaker:SendBinary(message.file, repeats) ~= 0 then
      io.stderr:write("speak.lua: cannot send ", message.file, why and (": " .. why) or "", "\n")
      failed = true
    else
      number = number + 1
      print(string.format("sent file #%d %s to %s: %s in %s, each %s", number, message.file, where,
                          options.counted(size or 0, "byte"), options.counted(datagrams(size or 0), "datagram"), each))
    end
  else
    local text, err = message.text, nil
    if not text then text, err = read_text(message) end
    if not text then
      io.stderr:write("speak.lua: ", err, "\n")
      failed = true
    else
      local from = message.text and "" or string.format(" (%s)", message.stdin and "standard input" or message.text_file)
      speaker:SendText(text, repeats)
      number = number + 1
      -- The length a listener sees as data_tsize: 16-bit units and the zero unit after them.
      local tsize = (units(text) + 1) * 2
      print(string.format("sent text #%d%s to %s: %s, data_tsize %d, in %s, each %s", number, from, where,
                          options.counted(utf8.len(text) or #text, "character"), tsize,
                          options.counted(datagrams(tsize), "datagram"), each))
    end
  end
end
os.exit(failed and 1 or 0)
