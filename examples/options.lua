-- Command-line reading shared by the example scripts: each names its options, what
-- converts the value after each, and where the value goes; a malformed value or an
-- unknown word shows the script's usage and ends the run with status 2.
--   package.path = arg[0]:match("^(.-)[^/]*$") .. "?.lua;" .. package.path
--   local options = require("options")
--   local cli = options.parse("name.lua", usage, {
--     ["--port"] = {options.port, function(n) port = n end},
--   })
local options = {}

-- Converters: each answers the converted value, or nil for a malformed one.
function options.number(text) return tonumber(text) end
function options.integer(text) return math.tointeger(tonumber(text)) end
function options.port(text)
  local n = options.integer(text)
  return n and n >= 0 and n <= 65535 and n or nil
end
function options.text(text) return text end
-- "GROUP:PORT" as {group = GROUP, port = PORT}.
function options.place(text)
  local group, number = text:match("^([^:]+):(%d+)$")
  local checked = options.port(number or "")
  return checked and {group = group, port = checked} or nil
end

-- A reader of `arg` for the script `name`: `reader.i` is the word being looked at.
function options.reader(name, usage)
  local reader = {i = 1}
  function reader.fail(message)
    io.stderr:write(name, ": ", message, "\n\n", usage, "\n")
    os.exit(2)
  end
  -- The value after the option at arg[reader.i], converted; reader.i moves onto it.
  function reader.value(convert)
    local option = arg[reader.i]
    reader.i = reader.i + 1
    local converted = arg[reader.i] and convert(arg[reader.i])
    if converted == nil then reader.fail(option .. " needs a value, got " .. tostring(arg[reader.i])) end
    return converted
  end
  return reader
end

-- Walks `arg` for the script `name` and answers its reader (whose `fail` is still there
-- to use). "--help" or "-h" prints the usage and ends the run. An option that `takes`
-- names, as {convert, store}, stores the value after it, converted. Any other word goes
-- to `other(word, reader)` when there is one, which answers true to end the walk there;
-- without it the word fails as an unknown argument.
function options.parse(name, usage, takes, other)
  local reader = options.reader(name, usage)
  while reader.i <= #arg do
    local word = arg[reader.i]
    local option = takes[word]
    if word == "--help" or word == "-h" then print(usage) os.exit(0)
    elseif option then option[2](reader.value(option[1]))
    elseif other then if other(word, reader) then break end
    else reader.fail("unknown argument " .. word) end
    reader.i = reader.i + 1
  end
  return reader
end

return options
