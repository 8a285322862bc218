-- Command-line reading shared by the example scripts: each names its options, what
-- converts the value after each, and where the value goes; a malformed value or an
-- unknown word ends the run with one line that says what is wrong, and status 2.
--   package.path = arg[0]:match("^(.-)[^/]*$") .. "?.lua;" .. package.path
--   local options = require("options")
--   local cli = options.parse("name.lua", usage, {
--     ["--port"] = {options.port, function(n) port = n end},
--   })
local options = {}

-- Converters: each answers the converted value, or nil and what it takes instead.
function options.number(text)
  local n = tonumber(text)
  if not n or n ~= n then return nil, "takes a number" end
  return n
end
-- A duration or a wait: a number of seconds, 0 or more.
function options.seconds(text)
  local n = tonumber(text)
  if not n or n ~= n or n < 0 then return nil, "takes a number of seconds, 0 or more" end
  return n
end
function options.integer(text)
  local n = math.tointeger(tonumber(text))
  if not n then return nil, "takes a whole number" end
  return n
end
-- A whole number from `low` to `high` (no bound when nil), or nil and `takes`.
local function whole(text, low, high, takes)
  local n = math.tointeger(tonumber(text))
  if not n or n < low or (high and n > high) then return nil, takes end
  return n
end
-- How many of something before stopping: 1 or more.
function options.count(text) return whole(text, 1, nil, "takes a count of 1 or more") end
-- How many times a datagram goes out: 1 or more (0 would send nothing at all).
options.repeats = options.count
function options.port(text) return whole(text, 1, 65535, "takes a UDP port from 1 to 65535") end
-- An IPv4 multicast group in dotted form, 224.0.0.0 to 239.255.255.255: the plug-ins
-- send to and join whatever they are given without a word, so a typing error would go
-- unnoticed.
-- The four numbers of a dotted IPv4 address, as written; nil unless there are four of
-- 0 to 255.
local function dotted(text)
  local parts = {text:match("^(%d+)%.(%d+)%.(%d+)%.(%d+)$")}
  if #parts ~= 4 then return nil end
  for _, part in ipairs(parts) do if tonumber(part) > 255 then return nil end end
  return parts
end

function options.group(text)
  local parts = dotted(text)
  local valid = parts ~= nil
  for k, part in ipairs(parts or {}) do
    local n = tonumber(part)
    valid = valid and (#part == 1 or part:sub(1, 1) ~= "0") and (k > 1 or n >= 224 and n <= 239)
  end
  if not valid then return nil, "takes a multicast group in dotted form, 224.0.0.0 to 239.255.255.255" end
  return text
end
-- The dotted IPv4 address of an interface of this machine; the plug-ins check that one
-- has it.
function options.address(text)
  if not dotted(text) then return nil, "takes the dotted IPv4 address of an interface of this machine" end
  return text
end
-- A multicast TTL: how many routers a datagram may cross, 1 to 255.
function options.ttl(text) return whole(text, 1, 255, "takes a TTL from 1 to 255") end
-- Chooses the local interface of a plug-in object (a Tidespeak or a Tidelisten); ends
-- the run with status 1 when no interface of this machine has the address.
function options.use_interface(object, address, name)
  if not address then return end
  object:SetLocalInterface(address)
  if object:GetLocalInterface() ~= address then
    io.stderr:write(name, ": no interface of this machine has the address ", address, "\n")
    os.exit(1)
  end
end
function options.text(text) return text end
-- An option that takes no value: its store is called with true.
function options.flag() return true end

-- A JSON text of a record: strings, numbers, booleans and lists of them; keys in order.
local function json_value(value)
  local kind = type(value)
  if kind == "string" then
    return '"' .. value:gsub('[%c"\\]', function(c)
      local named = {['"'] = '\\"', ["\\"] = "\\\\", ["\n"] = "\\n", ["\r"] = "\\r", ["\t"] = "\\t"}
      return named[c] or string.format("\\u%04x", c:byte())
    end) .. '"'
  elseif kind == "number" then
    return math.type(value) == "integer" and tostring(value) or string.format("%.17g", value)
  elseif kind == "boolean" then
    return tostring(value)
  elseif kind == "table" then
    local items = {}
    for _, item in ipairs(value) do items[#items + 1] = json_value(item) end
    return "[" .. table.concat(items, ",") .. "]"
  end
  return "null"
end
function options.json(record)
  local keys = {}
  for key in pairs(record) do keys[#keys + 1] = key end
  table.sort(keys, function(a, b) return a == "kind" or (b ~= "kind" and a < b) end)
  local fields = {}
  for _, key in ipairs(keys) do fields[#fields + 1] = json_value(key) .. ":" .. json_value(record[key]) end
  return "{" .. table.concat(fields, ",") .. "}"
end

-- Why a join may fail, where the plug-in answers only that it did: said with the failure.
function options.join_hint(port)
  return string.format(" (another program may hold UDP port %d without sharing it, or no interface here can join" ..
                       " the group: is one up, with multicast on?)", port)
end

-- Says once, on standard error, when this listener's socket buffer is held below what a
-- burst needs: the system gives a process that is not root at most net.core.rmem_max
-- (root takes 128 MiB), and a file sent at full speed is lost whole when it overflows.
-- Nothing where the system does not tell.
function options.warn_small_buffer(name)
  local file = io.open("/proc/sys/net/core/rmem_max", "r")
  if not file then return end
  local most = tonumber(file:read("l") or "")
  file:close()
  local status = io.open("/proc/self/status", "r")
  local uid = status and status:read("a"):match("\nUid:%s*(%d+)")
  if status then status:close() end
  if not most or uid == "0" or most >= 64 * 1024 * 1024 then return end
  io.stderr:write(string.format("%s: the system holds this listener's receive buffer to %.1f MiB (net.core.rmem_max): " ..
                                "a burst longer than that, a file of a few MB sent at full speed, is lost. Raise it " ..
                                "with: sudo sysctl -w net.core.rmem_max=134217728 (or run as root)\n",
                                name, most / (1024 * 1024)))
end
-- "GROUP:PORT" as {group = GROUP, port = PORT}.
function options.place(text)
  local group, number = text:match("^(.*):([^:]*)$")
  local message = "takes GROUP:PORT, a multicast group in dotted form and a UDP port from 1 to 65535"
  if not group or not options.group(group) or not options.port(number) then return nil, message end
  return {group = group, port = options.port(number)}
end

-- "1 datagram", "2 datagrams": a count and the word for what is counted.
function options.counted(n, singular, plural)
  return string.format("%d %s", n, n == 1 and singular or (plural or singular .. "s"))
end

-- A reader of `arg` for the script `name`: `reader.i` is the word being looked at.
function options.reader(name)
  local reader = {i = 1}
  function reader.fail(message)
    io.stderr:write(name, ": ", message, " (", name, " --help shows how to call it)\n")
    os.exit(2)
  end
  -- `word`, the value of `option`, converted.
  function reader.convert(option, word, convert)
    local converted, takes = convert(word)
    if converted == nil then reader.fail(string.format("%s %s, not %q", option, takes, word)) end
    return converted
  end
  -- The value after the option at arg[reader.i], converted; reader.i moves onto it.
  function reader.value(convert)
    local option = arg[reader.i]
    reader.i = reader.i + 1
    local word = arg[reader.i]
    if word == nil then reader.fail(option .. " needs a value") end
    return reader.convert(option, word, convert)
  end
  return reader
end

-- Walks `arg` for the script `name` and answers its reader (whose `fail` is still there
-- to use). "--help" or "-h" prints the usage and ends the run. An option that `takes`
-- names, as {convert, store[, short]}, stores its value, converted: the word after it
-- ("--port 7001", or with its short name "-p 7001"), or what follows "=" ("--port=7001").
-- Any other word goes to `other(word, reader)` when there is one, which answers true to
-- end the walk there; without it the word fails as an unknown argument. A word that
-- starts with "-" and names no option fails as an unknown option either way, so that a
-- mistyped option is never taken for something else: a text that starts with "-" comes
-- after "--".
function options.parse(name, usage, takes, other)
  local reader = options.reader(name)
  local short = {}
  for long, option in pairs(takes) do
    if option[3] then short[option[3]] = long end
  end
  while reader.i <= #arg do
    local word = arg[reader.i]
    local long, inline = word:match("^(%-%-[^=]+)=(.*)$")
    local option = takes[long or short[word] or word]
    if word == "--help" or word == "-h" then print(usage) os.exit(0)
    elseif option and option[1] == options.flag then
      if inline then reader.fail(long .. " takes no value") end
      option[2](true)
    elseif option and inline then option[2](reader.convert(long, inline, option[1]))
    elseif option then option[2](reader.value(option[1]))
    elseif word ~= "--" and word ~= "-" and word:sub(1, 1) == "-" then reader.fail("unknown option " .. word)
    elseif other then if other(word, reader) then break end
    else reader.fail("unknown argument " .. word) end
    reader.i = reader.i + 1
  end
  return reader
end

return options
