-- Command-line reading shared by the example scripts. Each script walks `arg` itself,
-- word by word, and asks its reader for the value after an option, converted, or for a
-- failure that shows the script's usage and ends the run with status 2.
--   package.path = arg[0]:match("^(.-)[^/]*$") .. "?.lua;" .. package.path
--   local options = require("options")
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

return options
